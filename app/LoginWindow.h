#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTimer;

namespace quennet {

struct Session;

namespace ui {
class ImageButton;
class TransparentLabel;
} // namespace ui

// The start window: the single-instance rule, then either the store opens at
// once (no password) or the user types the store's password.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxFailedLogins = 3;

    explicit LoginWindow(Session &session, QWidget *parent = nullptr);

    // Creates the window, runs its created handler and shows it unless the
    // handler already replaced it by the main window. Returns the window, or
    // nullptr when it was destroyed during the handler.
    static LoginWindow *load(Session &session);

    void created();
    bool isDestroyed() const { return m_destroyed; }

    ui::TransparentLabel *titleLabel;
    ui::TransparentLabel *promptLabel;
    QLineEdit *密码编辑框;
    QPushButton *确定按钮;
    ui::ImageButton *最小化;
    ui::ImageButton *关闭按钮;
    QTimer *memoryTrimTimer;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void 确定按钮_clicked();
    void 密码编辑框_gotFocus();
    void 密码编辑框_leftButtonPressed();
    void 最小化_clicked();
    void 关闭按钮_clicked();
    void memoryTrimTimer_fired();

    void openStoreWithoutPassword();
    void continueWithMainWindow();
    void destroyWindow();

    Session &m_session;
    bool m_destroyed = false;
};

} // namespace quennet
