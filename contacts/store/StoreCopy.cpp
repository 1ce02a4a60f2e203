#include "contacts/store/ContactStore.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/StoreFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quennet {

using namespace store;

namespace {

constexpr qint64 kCopyChunkBytes = 1024 * 1024;

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The store file and its rollback journal must never be written over.
bool isStoreFile(const QString &storePath, const QString &destination)
{
    const QString absolute = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    const QString store = QDir::cleanPath(QFileInfo(storePath).absoluteFilePath());
    return absolute == store || absolute == store + QStringLiteral("-journal") || sameFile(storePath, destination);
}

// A deferred transaction that has read the schema: it holds SQLite's shared
// lock, so no other connection can commit until it ends.
class ReadLock {
public:
    explicit ReadLock(Connection &db) : m_db(db)
    {
        m_held = m_db.exec("BEGIN") && m_db.exec("SELECT count(*) FROM sqlite_master");
    }
    ~ReadLock() { m_db.exec("COMMIT"); }
    ReadLock(const ReadLock &) = delete;
    ReadLock &operator=(const ReadLock &) = delete;

    bool held() const { return m_held; }

private:
    Connection &m_db;
    bool m_held = false;
};

// Of everything a copy can run into, a full disk is what the user can act on.
StoreError copyError(int error)
{
    return error == ENOSPC || error == EDQUOT ? StoreError::DiskFull : StoreError::Failed;
}

// Writes the bytes to the descriptor itself, so that a failure's errno is
// the one the write gave; 0 when every byte was taken.
int writeFully(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

} // namespace

StoreError ContactStoreImpl::copyFileBytes(const QString &destination)
{
    const qint64 failAfter = faults ? faults->takeCopyLimit() : -1;
    if (destination.isEmpty() || isStoreFile(path, destination))
        return StoreError::Failed;
    ReadLock lock(db);
    // The bytes are read through SQLite's own file handle: opening and closing
    // another descriptor on the file would drop the locks this process holds.
    sqlite3_file *file = nullptr;
    sqlite3_int64 size = 0;
    if (!lock.held() || sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods || file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return StoreError::Failed;

    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return StoreError::Failed;
    QByteArray chunk;
    for (qint64 offset = 0; offset < size; offset += chunk.size()) {
        chunk.resize(std::min(kCopyChunkBytes, qint64(size) - offset));
        if (file->pMethods->xRead(file, chunk.data(), int(chunk.size()), offset) != SQLITE_OK)
            return StoreError::Failed;
        if (failAfter >= 0 && offset + chunk.size() > failAfter) {
            out.write(chunk.constData(), std::max<qint64>(failAfter - offset, 0));
            return StoreError::Failed; // as a full disk would stop it; the temporary file is discarded
        }
        if (const int error = writeFully(out.handle(), chunk); error != 0)
            return copyError(error);
    }
    if (::fsync(out.handle()) != 0)
        return copyError(errno);
    return out.commit() && fsyncDirectoryOf(destination) ? StoreError::None : StoreError::Failed;
}

bool ContactStore::copyTo(const QString &destination)
{
    if (!isOpen())
        return d->refuse(StoreError::NotOpen);
    d->error = d->copyFileBytes(destination);
    return d->error == StoreError::None;
}

} // namespace quennet
