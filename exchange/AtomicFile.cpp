#include "exchange/AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

namespace quennet::exchange {

bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!write(file)) {
        file.cancelWriting();
        file.commit(); // discards the temporary file
        return false;
    }
    // commit() overlooks a failure to write out the last buffered bytes (a
    // full disk, a size limit), so flush() is checked first.
    return file.flush() && file.commit();
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace quennet::exchange
