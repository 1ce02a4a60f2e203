#pragma once

#include "ui/SkinnedWindow.h"

class QLineEdit;
class QPushButton;

namespace quennet {

namespace maintenance {
struct PasswordRequest;
}

// 密码设置窗口: sets, changes or removes the password of the store file.
class PasswordWindow : public ui::SkinnedWindow {
    Q_OBJECT
public:
    explicit PasswordWindow(Session &session, QWidget *parent = nullptr);

    // Builds the window, runs its created handler and shows it modally.
    static int run(Session &session, QWidget *parent);

    // The text oldPasswordEdit shows, readable, when the store has no password.
    static QString noOldPasswordText();

    ui::TransparentLabel *oldPasswordLabel;
    QLineEdit *oldPasswordEdit;
    ui::TransparentLabel *newPasswordLabel;
    QLineEdit *newPasswordEdit;
    ui::TransparentLabel *repeatedPasswordLabel;
    QLineEdit *repeatedPasswordEdit;
    QPushButton *确定按钮;

    QString helpText() const override;

    // The window's created handler; call once before showing.
    void created();
    void 确定按钮_clicked();

private:
    void askOldPasswordAgain();
    // Wipes the typed passwords once the window is done with them.
    void forgetTyped(maintenance::PasswordRequest &request);
    QLineEdit *makePasswordEdit(const QString &name, const QRect &geometry);
};

} // namespace quennet
