#include "sync/SyncLock.h"

#include <QFileInfo>

namespace quennet::sync {

QString SyncLock::lockPathFor(const QString &storePath)
{
    if (storePath.isEmpty())
        return QString();
    // Beside the file itself, whatever name it was opened by.
    const QString real = QFileInfo(storePath).canonicalFilePath();
    return (real.isEmpty() ? QFileInfo(storePath).absoluteFilePath() : real) + QStringLiteral(".sync-lock");
}

SyncLock::SyncLock(const QString &storePath) : m_path(lockPathFor(storePath)), m_file(m_path)
{
    // A sync may run for many minutes: only a dead holder makes a lock stale.
    m_file.setStaleLockTime(0);
}

QString SyncLock::busyText()
{
    return QStringLiteral("这个通讯录正在同步（在通讯录窗口或 wab sync 中），请等它结束后再同步。");
}

bool SyncLock::tryLock(QString *why)
{
    if (m_path.isEmpty() || m_file.tryLock(0))
        return true;
    *why = m_file.error() == QLockFile::LockFailedError
               ? busyText()
               : QStringLiteral("无法建立同步用的锁文件 %1，不能同步。").arg(m_path);
    return false;
}

} // namespace quennet::sync
