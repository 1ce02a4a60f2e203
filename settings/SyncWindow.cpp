#include "settings/SyncWindow.h"

#include "contacts/store/Secret.h"
#include "settings/SyncRun.h"
#include "sync/CardDavClient.h"
#include "sync/ServerPassword.h"
#include "sync/SyncStore.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Progress.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QUrl>

namespace quennet {

namespace {

const QString kTitle = QStringLiteral("同步设置");
constexpr int kMaxIntervalMinutes = 24 * 60;

} // namespace

SyncWindow::SyncWindow(Session &session, sync::SyncStore &store, QWidget *parent)
    : ui::SkinnedWindow(session, QStringLiteral("同步设置窗口"), parent), m_store(store)
{
    setWindowTitle(kTitle);
    titleLabel->setText(kTitle);

    serverLabel = addLabel(QStringLiteral("服务器标签"), QStringLiteral("服务器："), QRect(8, 33, 52, 16));
    服务器编辑框 = addEditBox(QStringLiteral("服务器编辑框"), QRect(60, 31, 142, 18));
    服务器编辑框->setPlaceholderText(QStringLiteral("https://"));
    userLabel = addLabel(QStringLiteral("用户名标签"), QStringLiteral("用户名："), QRect(8, 55, 52, 16));
    用户名编辑框 = addEditBox(QStringLiteral("用户名编辑框"), QRect(60, 53, 142, 18));
    passwordLabel = addLabel(QStringLiteral("密码标签"), QStringLiteral("密  码："), QRect(8, 77, 52, 16));
    密码编辑框 = addEditBox(QStringLiteral("密码编辑框"), QRect(60, 75, 142, 18));
    // The visual style masks each typed character with "*" (ui/Skin.cpp).
    密码编辑框->setEchoMode(QLineEdit::Password);

    测试连接按钮 = new QPushButton(QStringLiteral("测试连接"), this);
    测试连接按钮->setObjectName(QStringLiteral("测试连接按钮"));
    测试连接按钮->setGeometry(8, 98, 72, 22);
    通讯簿选择框 = new QComboBox(this);
    通讯簿选择框->setObjectName(QStringLiteral("通讯簿选择框"));
    通讯簿选择框->setGeometry(84, 99, 118, 20);
    通讯簿选择框->setPlaceholderText(QStringLiteral("（先测试连接）"));
    通讯簿选择框->setAccessibleName(QStringLiteral("通讯簿"));

    intervalLabel = addLabel(QStringLiteral("间隔标签"), QStringLiteral("自动同步："), QRect(8, 127, 60, 16));
    间隔调节框 = new QSpinBox(this);
    间隔调节框->setObjectName(QStringLiteral("间隔调节框"));
    间隔调节框->setGeometry(68, 125, 60, 18);
    间隔调节框->setRange(0, kMaxIntervalMinutes);
    间隔调节框->setSpecialValueText(QStringLiteral("关"));
    minutesLabel = addLabel(QStringLiteral("分钟标签"), QStringLiteral("分钟"), QRect(132, 127, 40, 16));
    状态标签 = addLabel(QStringLiteral("状态标签"), QString(), QRect(8, 150, 194, 16));

    保存按钮 = new QPushButton(QStringLiteral("保  存"), this);
    保存按钮->setObjectName(QStringLiteral("保存按钮"));
    保存按钮->setGeometry(15, 172, 85, 24);
    立即同步按钮 = new QPushButton(QStringLiteral("立即同步"), this);
    立即同步按钮->setObjectName(QStringLiteral("立即同步按钮"));
    立即同步按钮->setGeometry(110, 172, 85, 24);

    ui::setCaption(服务器编辑框, serverLabel);
    ui::setCaption(用户名编辑框, userLabel);
    ui::setCaption(密码编辑框, passwordLabel);
    ui::setCaption(间隔调节框, intervalLabel);
    setTabOrder(服务器编辑框, 用户名编辑框);
    setTabOrder(用户名编辑框, 密码编辑框);
    setTabOrder(密码编辑框, 测试连接按钮);
    setTabOrder(测试连接按钮, 通讯簿选择框);
    setTabOrder(通讯簿选择框, 间隔调节框);
    setTabOrder(间隔调节框, 保存按钮);
    setTabOrder(保存按钮, 立即同步按钮);

    connect(测试连接按钮, &QPushButton::clicked, this, &SyncWindow::测试连接按钮_clicked);
    connect(保存按钮, &QPushButton::clicked, this, &SyncWindow::保存按钮_clicked);
    connect(立即同步按钮, &QPushButton::clicked, this, &SyncWindow::立即同步按钮_clicked);
    // Another server or account has other books: they are found again.
    for (QLineEdit *box : {服务器编辑框, 用户名编辑框})
        connect(box, &QLineEdit::textEdited, 通讯簿选择框, &QComboBox::clear);
}

ui::TransparentLabel *SyncWindow::addLabel(const QString &name, const QString &text, const QRect &geometry)
{
    return new ui::TransparentLabel(this, name, text, geometry);
}

QLineEdit *SyncWindow::addEditBox(const QString &name, const QRect &geometry)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

int SyncWindow::run(Session &session, sync::SyncStore &store, QWidget *parent)
{
    SyncWindow window(session, store, parent);
    window.created();
    ui::execModal(&window);
    return window.m_outcome;
}

void SyncWindow::created()
{
    setUpSkinnedWindow();
    const sync::SyncSettings settings = m_store.settings();
    服务器编辑框->setText(settings.url);
    服务器编辑框->setCursorPosition(0);
    用户名编辑框->setText(settings.user);
    间隔调节框->setValue(settings.intervalMinutes);
    if (!settings.book.isEmpty())
        showBooks({{settings.book, settings.book}}, settings.book);
    if (!m_store.keptPassword().isEmpty())
        密码编辑框->setPlaceholderText(QStringLiteral("已保存"));
}

sync::SyncSettings SyncWindow::typedSettings() const
{
    sync::SyncSettings settings;
    settings.url = 服务器编辑框->text().trimmed();
    settings.user = 用户名编辑框->text().trimmed();
    settings.book = 通讯簿选择框->currentData().toString();
    settings.intervalMinutes = 间隔调节框->value();
    return settings;
}

void SyncWindow::showProblem(const QString &text)
{
    ui::messageBox(this, text, kTitle, ui::Style::OkStop);
}

void SyncWindow::showBooks(const QList<QPair<QString, QString>> &books, const QString &chosen)
{
    通讯簿选择框->clear();
    for (const auto &[label, href] : books) {
        通讯簿选择框->addItem(label, href);
        通讯簿选择框->setItemData(通讯簿选择框->count() - 1, href, Qt::ToolTipRole);
    }
    const int at = 通讯簿选择框->findData(chosen);
    通讯簿选择框->setCurrentIndex(at >= 0 ? at : 0);
}

bool SyncWindow::passwordFor(const sync::SyncSettings &settings, QString *password)
{
    *password = 密码编辑框->text();
    if (!password->isEmpty() || settings.user.isEmpty())
        return true;
    return syncrun::serverPassword(this, m_store, settings, password);
}

int SyncWindow::discoverBooks()
{
    const sync::SyncSettings settings = typedSettings();
    if (settings.url.isEmpty()) {
        showProblem(QStringLiteral("请填写服务器地址。"));
        服务器编辑框->setFocus();
        return 0;
    }
    if (const sync::DavError refused =
            sync::DavTransport::checkUrl(sync::CardDavClient::accountUrl(settings.url));
        !refused.ok()) {
        showProblem(refused.message);
        服务器编辑框->setFocus();
        return 0;
    }
    QString password;
    if (!passwordFor(settings, &password))
        return 0;
    sync::CardDavClient client({sync::CardDavClient::accountUrl(settings.url), settings.user, password});
    wipe(password);
    QList<sync::AddressBook> found;
    sync::DavError error;
    状态标签->setText(QStringLiteral("正在连接…"));
    {
        ui::Progress progress(this, QStringLiteral("测试连接"), QStringLiteral("正在连接服务器…"));
        progress.setCancelHandler([&client] { client.transport().cancel(); });
        error = client.discover(&found);
    }
    if (error.kind == sync::DavError::Cancelled) {
        状态标签->setText(QStringLiteral("已取消。"));
        return 0;
    }
    if (!error.ok()) {
        状态标签->setText(QStringLiteral("连接失败。"));
        showProblem(error.message);
        return 0;
    }
    // A server the domain's DNS named: its address is the one to keep.
    if (const QUrl at = client.transport().account().url; at != sync::CardDavClient::accountUrl(settings.url))
        服务器编辑框->setText(at.toString());
    QList<QPair<QString, QString>> books;
    for (const sync::AddressBook &book : found)
        books.append({book.displayName.isEmpty() ? book.href : book.displayName, book.href});
    showBooks(books, settings.book);
    状态标签->setText(QStringLiteral("连接成功，找到 %1 个通讯簿。").arg(found.size()));
    return int(found.size());
}

void SyncWindow::keepTypedPassword(const sync::SyncSettings &settings)
{
    QString password = 密码编辑框->text();
    if (password.isEmpty())
        return;
    QString why;
    const QString key = sync::ServerPassword::keyFor(settings.url, settings.user);
    const sync::ServerPassword::Result kept = sync::ServerPassword::store(key, password, &why);
    if (kept == sync::ServerPassword::Ok) {
        // One place only: a copy sealed in the store would outlive a change.
        if (!m_store.keptPassword().isEmpty())
            m_store.keepPassword(QString(), &why);
        状态标签->setText(QStringLiteral("密码已交给桌面的密码保管服务。"));
    } else if (m_store.canKeepPassword()) {
        if (m_store.keepPassword(password, &why))
            状态标签->setText(QStringLiteral("密码已加密保存在通讯录中。"));
        else
            showProblem(QStringLiteral("无法保存密码：%1").arg(why));
    } else {
        ui::messageBox(this,
                       QStringLiteral("桌面没有密码保管服务，通讯录也没有设密码，服务器密码不会保存："
                                      "每次同步时会询问密码。"),
                       kTitle, ui::Style::OkInformation);
    }
    wipe(password);
    ui::wipeText(密码编辑框);
}

bool SyncWindow::save()
{
    const sync::SyncSettings settings = typedSettings();
    if (!settings.url.isEmpty()) {
        if (const sync::DavError refused =
                sync::DavTransport::checkUrl(sync::CardDavClient::accountUrl(settings.url));
            !refused.ok()) {
            showProblem(refused.message);
            服务器编辑框->setFocus();
            return false;
        }
    }
    const sync::SyncSettings was = m_store.settings();
    if (settings != was) {
        // The password of the account given up goes from the secret service.
        QString why, notForgotten;
        if (!sync::ServerPassword::saveSettings(m_store, settings, &why, &notForgotten)) {
            showProblem(QStringLiteral("无法保存同步设置：%1").arg(why));
            return false;
        }
        m_outcome |= Saved;
        if (!notForgotten.isEmpty())
            showProblem(notForgotten);
    }
    keepTypedPassword(settings);
    return true;
}

void SyncWindow::测试连接按钮_clicked()
{
    if (m_busy)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    discoverBooks();
}

void SyncWindow::保存按钮_clicked()
{
    if (m_busy)
        return;
    if (save())
        done(m_outcome);
}

void SyncWindow::立即同步按钮_clicked()
{
    if (m_busy)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    // Nothing is saved while another sync of the store runs.
    const std::unique_ptr<sync::SyncLock> lock = syncrun::lockStore(this, m_store);
    if (!lock)
        return;
    if (typedSettings().book.isEmpty()) {
        // One book found is the one; among several the user chooses first.
        const int found = discoverBooks();
        if (found == 0)
            return;
        if (found > 1) {
            状态标签->setText(QStringLiteral("请选择通讯簿，再按“立即同步”。"));
            通讯簿选择框->setFocus();
            return;
        }
    }
    QString password;
    if (!passwordFor(typedSettings(), &password) || !save()) {
        wipe(password);
        return;
    }
    const syncrun::Outcome outcome = syncrun::run(this, m_store, password);
    wipe(password);
    if (outcome.contactsChanged())
        m_outcome |= ContactsChanged;
    syncrun::showReport(this, outcome.report);
    if (outcome.report.error.ok())
        done(m_outcome);
}

QString SyncWindow::helpText() const
{
    return QStringLiteral("通讯录可以与 CardDAV 服务器（Nextcloud、Radicale、iCloud 等）上的\r\n"
                          "一个通讯簿双向同步，手机也同步这个通讯簿即可。\r\n"
                          "\r\n"
                          "（1）填写服务器地址、用户名和密码，按“测试连接”，\r\n"
                          "然后选择要同步的通讯簿；\r\n"
                          "（2）按“保存”保存设置，按“立即同步”保存并同步；\r\n"
                          "（3）自动同步：每隔几分钟同步一次，“关”为不自动同步。\r\n"
                          "\r\n"
                          "密码交给桌面的密码保管服务；没有时，设了密码的通讯录\r\n"
                          "会加密保存它；两者都没有时，每次同步时询问。");
}

} // namespace quennet
