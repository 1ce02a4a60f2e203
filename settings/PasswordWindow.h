#pragma once

#include "settings/SkinnedWindow.h"

class QLineEdit;
class QPushButton;

namespace quennet {

namespace maintenance {
struct PasswordRequest;
}

// 密码设置窗口: sets, changes or removes the password of the store file.
class PasswordWindow : public SkinnedWindow {
    Q_OBJECT
public:
    explicit PasswordWindow(Session &session, QWidget *parent = nullptr);

    // Builds the window, runs its created handler and shows it modally.
    static int run(Session &session, QWidget *parent);

    // The text 编辑框1 shows, readable, when the store has no password.
    static QString noOldPasswordText();

    ui::TransparentLabel *标签1;
    QLineEdit *编辑框1; // old password
    ui::TransparentLabel *标签2;
    QLineEdit *编辑框2; // new password
    ui::TransparentLabel *标签3;
    QLineEdit *编辑框3; // new password repeated
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
