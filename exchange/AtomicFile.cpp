#include "exchange/AtomicFile.h"

#include <QSaveFile>

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
    return file.commit();
}

} // namespace quennet::exchange
