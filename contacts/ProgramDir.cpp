#include "contacts/ProgramDir.h"

#include <QDir>

namespace quennet {

ProgramDir::ProgramDir(const QString &dir)
    : m_dir(QDir::cleanPath(QDir(dir).absolutePath()))
{
}

QString ProgramDir::file(const QString &relative) const
{
    return m_dir + QLatin1Char('/') + relative;
}

QString ProgramDir::skinFile(int n) const
{
    return file(QStringLiteral("skin/bg%1.bmp").arg(n, 2, 10, QLatin1Char('0')));
}

}  // namespace quennet
