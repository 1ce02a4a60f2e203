#include "app/SingleInstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quennet {

namespace {

constexpr int kWaitMs = 100;
constexpr int kRetryMs = 10;

QString fallbackRuntimeDir()
{
    return QStringLiteral("/tmp/quennet-%1").arg(::getuid());
}

bool isDirectory(const QString &dir)
{
    struct stat info {};
    return ::stat(QFile::encodeName(dir).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString runtimeDir()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !xdg.isEmpty() && isDirectory(xdg) ? xdg : fallbackRuntimeDir();
}

void warn(const QString &what, int error)
{
    std::fprintf(stderr, "%s: %s\n", what.toLocal8Bit().constData(), std::strerror(error));
}

// The fallback lies in the shared /tmp: it must be a real directory of ours
// and private, since anyone who can write into it could take the lock away.
bool ensurePrivateDir(const QString &dir)
{
    const QByteArray path = QFile::encodeName(dir);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        errno = EPERM;
        return false;
    }
    return (info.st_mode & 0077) == 0 || ::chmod(path.constData(), 0700) == 0;
}

// A lock file name is one path component.
QString lockFileName(const QString &name)
{
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char('_'));
    return safe + QStringLiteral(".lock");
}

bool tryLock(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

bool heldByOther(int error)
{
    return error == EAGAIN || error == EACCES;
}

enum class Outcome { Held, Refused, Unavailable };

Outcome lockFile(const QString &path, int *error)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = errno;
        return Outcome::Unavailable;
    }
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (tryLock(fd))
            return Outcome::Held; // fd stays open for the life of the process
        *error = errno;
        if (!heldByOther(*error) || timer.elapsed() >= kWaitMs) {
            ::close(fd); // this process holds no lock on the file, so closing drops nothing
            return heldByOther(*error) ? Outcome::Refused : Outcome::Unavailable;
        }
        QThread::msleep(kRetryMs);
    }
}

QMutex heldMutex;
QSet<QString> &heldNames()
{
    static QSet<QString> names;
    return names;
}

} // namespace

QString singleInstanceLockPath(const QString &name)
{
    return runtimeDir() + QLatin1Char('/') + lockFileName(name);
}

bool acquireSingleInstance(const QString &name)
{
    QMutexLocker locker(&heldMutex);
    if (heldNames().contains(name))
        return true;
    const QString dir = runtimeDir();
    if (dir == fallbackRuntimeDir() && !ensurePrivateDir(dir)) {
        const int error = errno;
        warn(QStringLiteral("single-instance lock: cannot use %1").arg(dir), error);
        return true;
    }
    const QString path = singleInstanceLockPath(name);
    int error = 0;
    switch (lockFile(path, &error)) {
    case Outcome::Held:
        heldNames().insert(name);
        return true;
    case Outcome::Refused:
        return false;
    case Outcome::Unavailable:
        warn(QStringLiteral("single-instance lock: cannot lock %1").arg(path), error);
        return true;
    }
    return true;
}

} // namespace quennet
