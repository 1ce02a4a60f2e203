#include "sync/ServerPassword.h"

#include "sync/SyncStore.h"

#include <QEventLoop>
#include <QUrl>

#include <qt6keychain/keychain.h>

namespace quennet::sync {

namespace {

const QString kService = QStringLiteral("Quennet CardDAV");

ServerPassword::Result finish(QKeychain::Job &job, QString *why)
{
    // Plain-text files as a fallback would put the password on disk.
    job.setInsecureFallback(false);
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    switch (job.error()) {
    case QKeychain::NoError:
        return ServerPassword::Ok;
    case QKeychain::EntryNotFound:
        return ServerPassword::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        *why = QStringLiteral("桌面没有可用的密码保管服务，每次同步时需要输入服务器密码。");
        return ServerPassword::NoService;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        *why = QStringLiteral("密码保管服务拒绝了访问。");
        return ServerPassword::Failed;
    default:
        *why = QStringLiteral("密码保管服务出错：%1。").arg(job.errorString());
        return ServerPassword::Failed;
    }
}

} // namespace

QString ServerPassword::keyFor(const QString &url, const QString &user)
{
    const QUrl parsed(url);
    return user + QLatin1Char('@') +
           parsed.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

ServerPassword::Result ServerPassword::store(const QString &key, const QString &password, QString *why)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(password);
    return finish(job, why);
}

ServerPassword::Result ServerPassword::read(const QString &key, QString *password, QString *why)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    const Result result = finish(job, why);
    if (result == Ok)
        *password = job.textData();
    return result;
}

ServerPassword::Result ServerPassword::forget(const QString &key, QString *why)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    const Result result = finish(job, why);
    return result == NotFound ? Ok : result;
}

ServerPassword::Result ServerPassword::forgetReplaced(const QString &wasUrl, const QString &wasUser,
                                                      const QString &nowUrl, const QString &nowUser,
                                                      QString *why)
{
    if (wasUrl.isEmpty() || wasUser.isEmpty() || keyFor(wasUrl, wasUser) == keyFor(nowUrl, nowUser))
        return Ok;
    const Result result = forget(keyFor(wasUrl, wasUser), why);
    return result == NoService ? Ok : result;
}

bool ServerPassword::saveSettings(SyncStore &store, const SyncSettings &settings, QString *why,
                                  QString *notForgotten)
{
    const SyncSettings was = store.settings();
    if (!store.saveSettings(settings, why))
        return false;
    QString forgetWhy;
    if (forgetReplaced(was.url, was.user, settings.url, settings.user, &forgetWhy) != Ok)
        *notForgotten = QStringLiteral("原账户的密码没能从桌面的密码保管服务中删除：%1").arg(forgetWhy);
    return true;
}

} // namespace quennet::sync
