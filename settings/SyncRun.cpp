#include "settings/SyncRun.h"

#include "sync/CardDavClient.h"
#include "sync/ServerPassword.h"
#include "ui/MessageBox.h"
#include "ui/PasswordPrompt.h"
#include "ui/Progress.h"

#include <QUrl>

namespace quennet::syncrun {

namespace {

bool nothingDone(const sync::SyncReport &r)
{
    return r.addedHere + r.changedHere + r.deletedHere + r.addedThere + r.changedThere + r.deletedThere == 0;
}

} // namespace

bool worthTellingAutomatically(const sync::SyncReport &report)
{
    return (!report.error.ok() && report.error.kind != sync::DavError::Cancelled) ||
           !report.conflicts.isEmpty();
}

void showReport(QWidget *parent, const sync::SyncReport &report)
{
    ui::messageBoxWithDetails(parent, reportText(report), reportTitle(), reportStyle(report),
                              reportDetails(report));
}

const QString &reportTitle()
{
    static const QString title = QStringLiteral("同步");
    return title;
}

bool serverPassword(QWidget *parent, sync::SyncStore &store, const sync::SyncSettings &settings,
                    QString *password)
{
    password->clear();
    if (settings.user.isEmpty())
        return true;
    QString why;
    const QString key = sync::ServerPassword::keyFor(settings.url, settings.user);
    if (sync::ServerPassword::read(key, password, &why) == sync::ServerPassword::Ok)
        return true;
    // The copy sealed in the store is the saved account's: never sent elsewhere.
    const sync::SyncSettings saved = store.settings();
    if (sync::ServerPassword::keyFor(saved.url, saved.user) == key)
        *password = store.keptPassword();
    if (!password->isEmpty())
        return true;
    return ui::askPassword(parent, reportTitle(),
                           QStringLiteral("%1 在 %2 的密码：").arg(settings.user, QUrl(settings.url).host()),
                           password);
}

QString reportText(const sync::SyncReport &report)
{
    if (!report.error.ok() && nothingDone(report))
        return report.error.kind == sync::DavError::Cancelled
                   ? QStringLiteral("同步已取消，通讯录没有改动。")
                   : QStringLiteral("同步失败：%1\r\n通讯录没有改动。").arg(report.error.message);
    QStringList lines = report.lines();
    // The counts each way, with the error first; the lists go to the details.
    lines = lines.mid(0, report.error.ok() ? 2 : 3);
    if (!report.conflicts.isEmpty())
        lines << QStringLiteral("两边都修改过的 %1 处保留了本机的内容，详见“显示详细信息”。")
                     .arg(report.conflicts.size());
    if (!report.skipped.isEmpty())
        lines << QStringLiteral("%1 张名片未同步，详见“显示详细信息”。").arg(report.skipped.size());
    if (report.error.kind == sync::DavError::Cancelled)
        lines << QStringLiteral("已完成的部分已保存，下次同步会接着进行。");
    return lines.join(QStringLiteral("\r\n"));
}

QString reportDetails(const sync::SyncReport &report)
{
    const QStringList lines = report.lines();
    return lines.mid(report.error.ok() ? 2 : 3).join(QStringLiteral("\r\n"));
}

int reportStyle(const sync::SyncReport &report)
{
    if (report.error.kind == sync::DavError::Cancelled)
        return ui::Style::OkExclamation;
    if (!report.error.ok())
        return ui::Style::OkStop;
    if (!report.conflicts.isEmpty() || !report.skipped.isEmpty())
        return ui::Style::OkExclamation;
    return ui::Style::OkInformation;
}

std::unique_ptr<sync::SyncLock> lockStore(QWidget *parent, const sync::SyncStore &store, bool tell)
{
    auto lock = std::make_unique<sync::SyncLock>(store.storePath());
    QString why;
    if (lock->tryLock(&why))
        return lock;
    if (tell)
        ui::messageBox(parent, why, reportTitle(), ui::Style::OkExclamation);
    return nullptr;
}

Outcome run(QWidget *parent, sync::SyncStore &store, const QString &password)
{
    const sync::SyncSettings settings = store.settings();
    sync::CardDavClient client({sync::CardDavClient::accountUrl(settings.url), settings.user, password});
    sync::SyncEngine engine(client, settings.book, store.contacts(), store.state());
    Outcome outcome;
    {
        ui::Progress progress(parent, reportTitle(), QStringLiteral("正在与服务器同步…"));
        // 取消 ends the request under way; the engine stops before its next step.
        progress.setCancelHandler([&client] { client.transport().cancel(); });
        sync::SyncProgress steps;
        steps.stepsDone = [&progress](int done, int total) { progress.update(done, total); };
        steps.cancelled = [&progress] { return progress.wasCancelled(); };
        outcome.report = engine.run(steps);
    }
    return outcome;
}

} // namespace quennet::syncrun
