#include "app/LoginWindow.h"

#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "contacts/Session.h"
#include "contacts/store/Secret.h"
#include "ui/Controls.h"
#include "ui/Memory.h"
#include "ui/MessageBox.h"
#include "ui/Skin.h"

#include <QFocusEvent>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace quennet {

namespace {

const QString kTipTitle = QStringLiteral("温馨提示");

} // namespace

LoginWindow::LoginWindow(Session &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_session(session)
{
    setObjectName(QStringLiteral("登录窗口"));
    setWindowTitle(QStringLiteral("登录窗口"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(applicationIcon());
    setFixedSize(210, 205);

    titleLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签2"), QStringLiteral("登录窗口"),
                                          QRect(10, 1, 62, 24), 14);
    promptLabel = new ui::TransparentLabel(this, QStringLiteral("透明标签1"),
                                           QStringLiteral("请输入登录密码："), QRect(15, 70, 120, 18));

    密码编辑框 = new QLineEdit(this);
    密码编辑框->setObjectName(QStringLiteral("密码编辑框"));
    密码编辑框->setGeometry(15, 100, 180, 20);
    密码编辑框->setEchoMode(QLineEdit::Password);
    密码编辑框->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    密码编辑框->installEventFilter(this);
    ui::setCaption(密码编辑框, promptLabel);

    确定按钮 = new QPushButton(QStringLiteral("确  定"), this);
    确定按钮->setObjectName(QStringLiteral("确定按钮"));
    确定按钮->setGeometry(60, 170, 80, 24);
    setTabOrder(密码编辑框, 确定按钮);

    最小化 = new ui::ImageButton(this, QStringLiteral("最小化"), QStringLiteral("min"), QRect(160, 2, 19, 19),
                                 QStringLiteral("最小化"));
    关闭按钮 = new ui::ImageButton(this, QStringLiteral("关闭按钮"), QStringLiteral("close"),
                                   QRect(185, 2, 19, 19), QStringLiteral("关闭"));
    最小化->setFocusPolicy(Qt::NoFocus);
    关闭按钮->setFocusPolicy(Qt::NoFocus);

    memoryTrimTimer = ui::makeTimer(this, QStringLiteral("时钟1"), 200);

    connect(确定按钮, &QPushButton::clicked, this, &LoginWindow::确定按钮_clicked);
    // Enter in the password box presses 确定按钮.
    connect(密码编辑框, &QLineEdit::returnPressed, 确定按钮, &QPushButton::click);
    connect(最小化, &QAbstractButton::clicked, this, &LoginWindow::最小化_clicked);
    connect(关闭按钮, &QAbstractButton::clicked, this, &LoginWindow::关闭按钮_clicked);
    connect(memoryTrimTimer, &QTimer::timeout, this, &LoginWindow::memoryTrimTimer_fired);
}

LoginWindow *LoginWindow::load(Session &session)
{
    auto *window = new LoginWindow(session);
    window->created();
    if (window->isDestroyed())
        return nullptr;
    window->show();
    window->activateWindow();
    return window;
}

void LoginWindow::created()
{
    if (!acquireSingleInstance(QStringLiteral("通讯录"))) {
        ui::messageBox(nullptr, QStringLiteral("应用程序已经运行！"), QStringLiteral("提示"),
                       ui::Style::OkInformation);
        endProgram(0);
    }
    ui::applyVisualStyle(this);
    ui::applySkin(this, m_session.dir.skinFile(3));
    if (!memoryTrimTimer->isActive())
        memoryTrimTimer->start();

    if (ContactStore::hasPassword(m_session.dir.storeFile()))
        m_session.failedLoginCount = 0;
    else
        openStoreWithoutPassword();
}

void LoginWindow::openStoreWithoutPassword()
{
    if (m_session.store.open(m_session.dir.storeFile())) {
        continueWithMainWindow();
        return;
    }
    ui::messageBox(this, QStringLiteral("登录失败！请检查数据库是否存在！"), kTipTitle,
                   ui::Style::OkExclamation);
}

void LoginWindow::continueWithMainWindow()
{
    MainWindow::load(m_session);
    destroyWindow();
}

void LoginWindow::destroyWindow()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    memoryTrimTimer->stop();
    quennet::destroyWindow(this);
}

void LoginWindow::确定按钮_clicked()
{
    // Only the key derived from the typed text is kept for the run.
    QString typed = 密码编辑框->text();
    m_session.loginCredential = ContactStore::credentialFor(m_session.dir.storeFile(), typed).credential;
    wipe(typed); // shared with the box, which keeps its text after a failure
    if (m_session.store.open(m_session.dir.storeFile(), m_session.loginCredential)) {
        ui::wipeText(密码编辑框);
        continueWithMainWindow();
        return;
    }
    ++m_session.failedLoginCount;
    if (m_session.failedLoginCount >= kMaxFailedLogins) {
        ui::messageBox(this, QStringLiteral("密码还是错误！请勿非法登录！"), kTipTitle,
                       ui::Style::OkExclamation);
        destroyWindow();
        return;
    }
    ui::messageBox(this, QStringLiteral("密码错误！请重新输入密码！"), kTipTitle, ui::Style::OkStop);
}

void LoginWindow::密码编辑框_gotFocus()
{
    ui::wipeText(密码编辑框);
}

void LoginWindow::密码编辑框_leftButtonPressed()
{
    ui::wipeText(密码编辑框);
}

void LoginWindow::最小化_clicked()
{
    showMinimized();
}

void LoginWindow::关闭按钮_clicked()
{
    destroyWindow();
}

void LoginWindow::memoryTrimTimer_fired()
{
    ui::trimMemory();
}

bool LoginWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == 密码编辑框) {
        if (event->type() == QEvent::FocusIn) {
            // A context menu of the box gives the focus back to it; that is
            // no new attempt and must not wipe what was typed.
            if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
                密码编辑框_gotFocus();
        } else if (event->type() == QEvent::MouseButtonPress &&
                   static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            密码编辑框_leftButtonPressed();
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quennet
