#include "contacts/ProgramDir.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace quennet {

namespace {

QString absoluteClean(const QString &dir)
{
    return QDir::cleanPath(QDir(dir).absolutePath());
}

bool isWritableDir(const QString &dir)
{
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

} // namespace

ProgramDir::ProgramDir(const QString &dir) : ProgramDir(dir, dir) {}

ProgramDir::ProgramDir(const QString &resourceDir, const QString &dataDir)
    : m_resourceDir(absoluteClean(resourceDir)), m_dataDir(absoluteClean(dataDir))
{
}

ProgramDir ProgramDir::forExecutable(const QString &exeDir, const QString &userDataDir)
{
    // Root may write to /usr/bin: writability alone cannot tell an installed
    // program from a portable one, the skins beside the executable can.
    if (QDir(exeDir).exists(QStringLiteral("skin")))
        return isWritableDir(exeDir) ? ProgramDir(exeDir) : ProgramDir(exeDir, userDataDir);
    const QString shared = exeDir + QStringLiteral("/../share/quennet");
    return ProgramDir(QDir(shared).exists() ? shared : exeDir, userDataDir);
}

QString ProgramDir::userDataDir()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/quennet");
}

QString ProgramDir::file(const QString &relative) const
{
    return m_dataDir + QLatin1Char('/') + relative;
}

QString ProgramDir::resourceFile(const QString &relative) const
{
    return m_resourceDir + QLatin1Char('/') + relative;
}

QString ProgramDir::skinFile(int n) const
{
    return resourceFile(QStringLiteral("skin/bg%1.bmp").arg(n, 2, 10, QLatin1Char('0')));
}

} // namespace quennet
