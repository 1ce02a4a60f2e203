#include "contacts/store/StoreFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quennet::store {

namespace {

constexpr int kHeaderBytes = 100;
constexpr char kSqliteMagic[] = "SQLite format 3"; // followed by its NUL, 16 bytes

quint32 headerWord(const unsigned char *header, int offset)
{
    return qFromBigEndian<quint32>(header + offset);
}

bool readHeader(const QByteArray &file, unsigned char *header)
{
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    qsizetype got = 0;
    while (got < kHeaderBytes) {
        const ssize_t n = ::read(fd, header + got, size_t(kHeaderBytes - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    return got == kHeaderBytes;
}

bool hasJournal(const QString &path)
{
    QFileInfo journal(path + QStringLiteral("-journal"));
    return journal.exists() && journal.size() > 0;
}

// Runs a statement that makes SQLite read the schema (and so take a read lock).
bool touchSchema(Connection &db)
{
    return db.exec("SELECT count(*) FROM sqlite_master");
}

bool fsyncDirectoryOf(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool putMeta(Statement &insert, const char *key, qint64 value)
{
    return insert.bindText(1, key).bind(2, value).run();
}

bool putMeta(Statement &insert, const char *key, const QByteArray &value)
{
    return insert.bindText(1, key).bind(2, QByteArrayView(value)).run();
}

bool createSchema(Connection &db)
{
    char applicationId[64];
    snprintf(applicationId, sizeof applicationId, "PRAGMA application_id = %d", int(kApplicationId));
    return db.exec(applicationId) &&
           db.exec("CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value NOT NULL)") &&
           db.exec("CREATE TABLE records ("
                   " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   " deleted INTEGER NOT NULL DEFAULT 0 CHECK (deleted IN (0, 1)),"
                   " fields BLOB NOT NULL)") &&
           // Purge finds the marked rows through this (normally empty) index.
           db.exec("CREATE INDEX records_marked ON records (id) WHERE deleted = 1");
}

} // namespace

Probe probeFile(const QString &path, qint64 *expectedBytes, qint64 *actualBytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Probe::Missing : Probe::Unreadable;
    if (!S_ISREG(st.st_mode))
        return Probe::NotAFile;
    if (actualBytes)
        *actualBytes = qint64(st.st_size);
    if (st.st_size == 0)
        return Probe::Empty;
    unsigned char header[kHeaderBytes];
    if (st.st_size < kHeaderBytes)
        return Probe::NotAStore;
    if (!readHeader(name, header))
        return Probe::Unreadable;
    if (memcmp(header, kSqliteMagic, sizeof kSqliteMagic) != 0 || headerWord(header, 68) != kApplicationId)
        return Probe::NotAStore;
    // Both format bytes are 1 for a rollback-journal database (2 would be WAL).
    if (header[18] != 1 || header[19] != 1)
        return Probe::NotAStore;
    const quint32 rawPageSize = qFromBigEndian<quint16>(header + 16);
    const qint64 pageSize = rawPageSize == 1 ? 65536 : qint64(rawPageSize);
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return Probe::NotAStore;
    // The page count in the header is trusted by SQLite when the "valid for"
    // counter matches the change counter; a shorter file lost its tail. A hot
    // journal may legitimately leave the file short until it is rolled back.
    const quint32 changeCounter = headerWord(header, 24);
    const quint32 pageCount = headerWord(header, 28);
    const quint32 validFor = headerWord(header, 92);
    const qint64 expected = validFor == changeCounter ? qint64(pageCount) * pageSize : 0;
    if (expectedBytes)
        *expectedBytes = expected;
    if (hasJournal(path))
        return Probe::Ok;
    if (st.st_size % pageSize != 0 || qint64(st.st_size) < expected)
        return Probe::Truncated;
    return Probe::Ok;
}

MetaRead readMeta(Connection &db, StoreMeta *meta, int *foundFormat)
{
    *meta = StoreMeta();
    Statement select = db.prepare("SELECT key, value FROM meta");
    if (!select.isValid())
        return MetaRead::Damaged;
    bool haveSalt = false, haveOps = false, haveMem = false;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        const QByteArrayView key = select.columnBlob(0);
        if (key == "format")
            meta->format = int(select.columnInt(1));
        else if (key == "store_id")
            meta->storeId = select.columnBlob(1).toByteArray();
        else if (key == "kdf_salt")
            meta->kdf.salt = select.columnBlob(1).toByteArray(), haveSalt = true;
        else if (key == "kdf_opslimit")
            meta->kdf.opsLimit = select.columnInt(1), haveOps = true;
        else if (key == "kdf_memlimit")
            meta->kdf.memLimit = select.columnInt(1), haveMem = true;
        else if (key == "key_check")
            meta->keyCheck = select.columnBlob(1).toByteArray(), meta->sealed = true;
    }
    if (foundFormat)
        *foundFormat = meta->format;
    if (rc != SQLITE_DONE || meta->format < 1)
        return MetaRead::Damaged;
    if (meta->format > kFormatVersion)
        return MetaRead::NewerFormat;
    if (meta->storeId.size() != kStoreIdBytes)
        return MetaRead::Damaged;
    if (meta->sealed && !(haveSalt && haveOps && haveMem && meta->kdf.isPlausible()))
        return MetaRead::Damaged;
    if (!db.prepare("SELECT id, deleted, fields FROM records LIMIT 0").isValid())
        return MetaRead::Damaged;
    return MetaRead::Ok;
}

bool writeMeta(Connection &db, const StoreMeta &meta)
{
    if (!db.exec("DELETE FROM meta"))
        return false;
    Statement insert = db.prepare("INSERT INTO meta (key, value) VALUES (?, ?)");
    if (!insert.isValid() || !putMeta(insert, "format", qint64(meta.format)) ||
        !putMeta(insert, "store_id", meta.storeId))
        return false;
    if (!meta.sealed)
        return true;
    return putMeta(insert, "kdf_salt", meta.kdf.salt) && putMeta(insert, "kdf_opslimit", meta.kdf.opsLimit) &&
           putMeta(insert, "kdf_memlimit", meta.kdf.memLimit) && putMeta(insert, "key_check", meta.keyCheck);
}

bool openForReading(const QString &path, Connection *db)
{
    if (!db->open(path, Connection::Mode::ReadOnly))
        return false;
    if (touchSchema(*db))
        return true;
    if (db->lastError() != SQLITE_READONLY_ROLLBACK)
        return false;
    db->close();
    {
        Connection recovery;
        if (!recovery.open(path, Connection::Mode::ReadWrite) || !touchSchema(recovery))
            return false;
    }
    return db->open(path, Connection::Mode::ReadOnly) && touchSchema(*db);
}

bool prepareForWriting(Connection &db)
{
    Statement mode = db.prepare("PRAGMA journal_mode = DELETE");
    if (mode.step() != SQLITE_ROW || mode.columnBlob(0) != "delete")
        return false;
    sqlite3_busy_timeout(db.handle(), 2000);
    // EXTRA: FULL plus a sync of the directory after the journal is deleted,
    // without which a commit could come undone on power loss.
    return db.exec("PRAGMA synchronous = EXTRA") && db.exec("PRAGMA secure_delete = ON") &&
           db.exec("PRAGMA temp_store = MEMORY") && db.exec("PRAGMA cell_size_check = ON");
}

void removeStaleJournal(Connection &db, const QString &path)
{
    const QString journal = path + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal) || db.isReadOnly())
        return;
    // Under an exclusive lock no other connection can be writing, so a
    // journal that is still there now belongs to no transaction.
    if (!db.exec("BEGIN EXCLUSIVE"))
        return;
    if (QFileInfo::exists(journal)) {
        const QByteArray name = QFile::encodeName(journal);
        if (::truncate(name.constData(), 0) == 0)
            ::unlink(name.constData());
    }
    db.exec("COMMIT");
}

bool createStoreFile(const QString &path, const StoreMeta &meta)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool modeSet = ::fchmod(fd, 0600) == 0; // exactly 0600, whatever the umask
    ::close(fd);
    bool ok = modeSet;
    if (ok) {
        Connection db;
        ok = db.open(path, Connection::Mode::ReadWrite) && !db.isReadOnly() && prepareForWriting(db) &&
             db.exec("PRAGMA page_size = 4096");
        if (ok) {
            Transaction tx(db);
            ok = tx.isActive() && createSchema(db) && writeMeta(db, meta) && tx.commit();
        }
    }
    if (ok)
        ok = fsyncDirectoryOf(path);
    if (!ok) {
        ::unlink(name.constData());
        ::unlink((name + "-journal").constData());
    }
    return ok;
}

} // namespace quennet::store
