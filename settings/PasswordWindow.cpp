#include "settings/PasswordWindow.h"

#include "contacts/Maintenance.h"
#include "contacts/Session.h"
#include "contacts/store/Secret.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/WaitCursor.h"

#include <QLineEdit>
#include <QPushButton>

namespace quennet {

PasswordWindow::PasswordWindow(Session &session, QWidget *parent)
    : ui::SkinnedWindow(session, QStringLiteral("密码设置窗口"), parent)
{
    oldPasswordLabel = new ui::TransparentLabel(this, QStringLiteral("标签1"), QStringLiteral("原始密码："),
                                                QRect(10, 60, 64, 18));
    oldPasswordEdit = makePasswordEdit(QStringLiteral("编辑框1"), QRect(10, 77, 190, 18));
    newPasswordLabel = new ui::TransparentLabel(this, QStringLiteral("标签2"), QStringLiteral("新密码："),
                                                QRect(10, 95, 64, 18));
    newPasswordEdit = makePasswordEdit(QStringLiteral("编辑框2"), QRect(10, 112, 190, 18));
    repeatedPasswordLabel = new ui::TransparentLabel(this, QStringLiteral("标签3"),
                                                     QStringLiteral("重复新密码："), QRect(10, 130, 72, 18));
    repeatedPasswordEdit = makePasswordEdit(QStringLiteral("编辑框3"), QRect(10, 147, 190, 18));
    确定按钮 = makeConfirmButton();

    ui::setCaption(oldPasswordEdit, oldPasswordLabel);
    ui::setCaption(newPasswordEdit, newPasswordLabel);
    ui::setCaption(repeatedPasswordEdit, repeatedPasswordLabel);
    setTabOrder(oldPasswordEdit, newPasswordEdit);
    setTabOrder(newPasswordEdit, repeatedPasswordEdit);
    setTabOrder(repeatedPasswordEdit, 确定按钮);

    connect(确定按钮, &QPushButton::clicked, this, &PasswordWindow::确定按钮_clicked);
}

QLineEdit *PasswordWindow::makePasswordEdit(const QString &name, const QRect &geometry)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    // The visual style masks each typed character with "*" (ui/Skin.cpp).
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

int PasswordWindow::run(Session &session, QWidget *parent)
{
    PasswordWindow window(session, parent);
    window.created();
    return ui::execModal(&window);
}

QString PasswordWindow::noOldPasswordText()
{
    return QStringLiteral("原始密码为空！请直接输入新密码！");
}

void PasswordWindow::created()
{
    setUpSkinnedWindow();
    // Asked of the file itself: the open store is not consulted.
    if (!ContactStore::hasPassword(m_session.dir.storeFile())) {
        oldPasswordEdit->setEchoMode(QLineEdit::Normal);
        oldPasswordEdit->setReadOnly(true);
        oldPasswordEdit->setText(noOldPasswordText());
        // The note is wider than the box: show it from its first character.
        oldPasswordEdit->setCursorPosition(0);
        newPasswordEdit->setFocus();
    }
}

void PasswordWindow::确定按钮_clicked()
{
    using namespace maintenance;
    PasswordRequest request;
    // Asked again at every press: another program may have changed the file.
    request.storeHasPassword = ContactStore::hasPassword(m_session.dir.storeFile()).ok;
    request.typedOld = oldPasswordEdit->text();
    request.login = m_session.loginCredential;
    request.newPassword = newPasswordEdit->text();
    request.repeated = repeatedPasswordEdit->text();

    PasswordOutcome outcome = checkPasswordChange(request);
    if (outcome == PasswordOutcome::Changed) {
        // Re-sealing a large store takes a moment.
        ui::WaitCursor wait;
        outcome = setNewPassword(m_session.store, request);
    }
    ui::showMessage(this, passwordMessage(outcome, request.storeHasPassword));

    switch (outcome) {
    case PasswordOutcome::WrongOldPassword:
        askOldPasswordAgain();
        return;
    case PasswordOutcome::Mismatch:
        // Without a password on the store nothing is cleared.
        if (request.storeHasPassword) {
            newPasswordEdit->clear();
            repeatedPasswordEdit->clear();
            newPasswordEdit->setFocus();
        }
        return;
    case PasswordOutcome::Changed:
        // The store now holds the key of newPasswordEdit's text.
        m_session.loginCredential = m_session.store.credential();
        forgetTyped(request);
        accept();
        return;
    case PasswordOutcome::ChangeFailed:
        forgetTyped(request);
        reject();
        return;
    }
}

void PasswordWindow::forgetTyped(maintenance::PasswordRequest &request)
{
    // The request shares the boxes' texts: it lets go first, so that each
    // box holds the last copy when it is wiped.
    for (QString *text : {&request.typedOld, &request.newPassword, &request.repeated})
        wipe(*text);
    for (QLineEdit *box : {oldPasswordEdit, newPasswordEdit, repeatedPasswordEdit})
        ui::wipeText(box);
}

void PasswordWindow::askOldPasswordAgain()
{
    // The box may still show the no-password note when the password was set
    // from elsewhere after the window opened; it takes a password now.
    oldPasswordEdit->setReadOnly(false);
    oldPasswordEdit->setEchoMode(QLineEdit::Password);
    oldPasswordEdit->clear();
    oldPasswordEdit->setFocus();
}

QString PasswordWindow::helpText() const
{
    return QStringLiteral("为了个人的隐私，本软件可设置密码登录！\r\n"
                          "\r\n"
                          "如果您还没设置密码，可以在“新密码”后\r\n"
                          "面输入密码！然后在“重复新密码”后面重\r\n"
                          "复输入新密码！最后按确定即可！\r\n"
                          "\r\n"
                          "如果不想设置密码，请输入原始密码后，保\r\n"
                          "留“新密码”和“重复新密码”为空，直接\r\n"
                          "按确定即可！\r\n"
                          "\r\n"
                          "注意：\r\n"
                          "      此密码为登录软件数据库密码，\r\n"
                          "      若忘记密码则不能打开通讯录！\r\n"
                          "      所以请一定要谨慎设置密码哦！");
}

} // namespace quennet
