#include "contacts/store/StoreFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
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

bool putMeta(Statement &insert, const char *key, qint64 value)
{
    return insert.bindText(1, key).bind(2, value).run();
}

bool putMeta(Statement &insert, const char *key, const QByteArray &value)
{
    return insert.bindText(1, key).bind(2, QByteArrayView(value)).run();
}

// Every object of the file's schema, exactly as SQLite keeps it; the
// objects SQLite makes itself have no statement of ours.
struct SchemaObject {
    const char *type;
    const char *name;
    const char *table;
    const char *sql;
};

constexpr SchemaObject kSchema[] = {
    {"table", "meta", "meta", "CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value NOT NULL)"},
    {"index", "sqlite_autoindex_meta_1", "meta", nullptr},
    {"table", "records", "records",
     "CREATE TABLE records ("
     " id INTEGER PRIMARY KEY AUTOINCREMENT,"
     " deleted INTEGER NOT NULL DEFAULT 0 CHECK (deleted IN (0, 1)),"
     " fields BLOB NOT NULL)"},
    {"table", "sqlite_sequence", "sqlite_sequence", nullptr},
    // Purge finds the marked rows through this (normally empty) index.
    {"index", "records_marked", "records", "CREATE INDEX records_marked ON records (id) WHERE deleted = 1"},
};

// The sync's tables: made by the first write of a sync, so a store that
// never syncs keeps the layout above.
constexpr SchemaObject kSyncSchema[] = {
    {"table", "sync_meta", "sync_meta", "CREATE TABLE sync_meta (key NOT NULL PRIMARY KEY, value NOT NULL)"},
    {"index", "sqlite_autoindex_sync_meta_1", "sync_meta", nullptr},
    {"table", "sync_cards", "sync_cards",
     "CREATE TABLE sync_cards ("
     " href NOT NULL PRIMARY KEY,"
     " etag NOT NULL,"
     " uid NOT NULL,"
     " contact INTEGER NOT NULL,"
     " card NOT NULL,"
     " synced NOT NULL)"},
    {"index", "sqlite_autoindex_sync_cards_1", "sync_cards", nullptr},
};

bool isOurs(const SchemaObject &object)
{
    return object.sql && qstrncmp(object.name, "sqlite_", 7) != 0;
}

bool createSchema(Connection &db)
{
    char applicationId[64];
    snprintf(applicationId, sizeof applicationId, "PRAGMA application_id = %d", int(kApplicationId));
    if (!db.exec(applicationId))
        return false;
    for (const SchemaObject &object : kSchema)
        if (isOurs(object) && !db.exec(object.sql))
            return false;
    return true;
}

bool matchesSchemaObject(const Statement &row, const SchemaObject &object)
{
    const QByteArrayView sql = row.columnBlob(3);
    const bool sqlMatches =
        object.sql ? sql == QByteArrayView(object.sql) : (row.columnIsNull(3) || !isOurs(object));
    return row.columnBlob(0) == QByteArrayView(object.type) &&
           row.columnBlob(1) == QByteArrayView(object.name) &&
           row.columnBlob(2) == QByteArrayView(object.table) && sqlMatches;
}

// The first error of a statement that stopped early; a statement that could
// not even be prepared counts as damage (a table or column is missing).
StoreError stepError(Connection &db, int rc)
{
    return rc == SQLITE_DONE ? StoreError::None : errorFromSqlite(db.lastError());
}

bool isInteger(const Statement &row, int column)
{
    return row.columnType(column) == SQLITE_INTEGER;
}

bool isBlob(const Statement &row, int column)
{
    return row.columnType(column) == SQLITE_BLOB;
}

// One meta entry: true when its key is known and its value has the right type.
bool readMetaEntry(const Statement &row, StoreMeta *meta, int *seen)
{
    const QByteArrayView key = row.columnBlob(0);
    const auto blob = [&](int bit, QByteArray *out) {
        *seen |= bit;
        *out = row.columnBlob(1).toByteArray();
        return isBlob(row, 1);
    };
    const auto integer = [&](int bit, qint64 *out) {
        *seen |= bit;
        *out = row.columnInt(1);
        return isInteger(row, 1);
    };
    qint64 format = 0;
    if (key == "format") {
        const bool ok = integer(1, &format);
        meta->format = int(std::clamp<qint64>(format, 0, 1 << 30));
        return ok;
    }
    if (key == "store_id")
        return blob(2, &meta->storeId);
    if (key == "kdf_salt")
        return blob(4, &meta->kdf.salt);
    if (key == "kdf_opslimit")
        return integer(8, &meta->kdf.opsLimit);
    if (key == "kdf_memlimit")
        return integer(16, &meta->kdf.memLimit);
    if (key == "key_check")
        return blob(32, &meta->keyCheck);
    if (key == "record_digest")
        return blob(64, &meta->sealedDigest);
    return false;
}

constexpr int kPlainMetaKeys = 1 | 2;
constexpr int kSealedMetaKeys = kPlainMetaKeys | 4 | 8 | 16 | 32 | 64;

} // namespace

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
    // counter matches the change counter; a shorter file lost its tail, and
    // a longer one got bytes no commit wrote (SQLite would cut them off at
    // the next write). A hot journal may legitimately leave the file at
    // another length until it is rolled back.
    const quint32 changeCounter = headerWord(header, 24);
    const quint32 pageCount = headerWord(header, 28);
    const quint32 validFor = headerWord(header, 92);
    const qint64 expected = validFor == changeCounter ? qint64(pageCount) * pageSize : 0;
    if (expectedBytes)
        *expectedBytes = expected;
    if (hasJournal(path))
        return Probe::Ok;
    if (st.st_size % pageSize != 0 || (expected > 0 && qint64(st.st_size) != expected))
        return Probe::Truncated;
    return Probe::Ok;
}

StoreError probeError(Probe probe)
{
    switch (probe) {
    case Probe::Ok:
        return StoreError::None;
    case Probe::Missing:
        return StoreError::Missing;
    case Probe::NotAFile:
        return StoreError::NotAFile;
    case Probe::Unreadable:
        return StoreError::Unreadable;
    case Probe::Empty:
    case Probe::NotAStore:
        return StoreError::NotAStore;
    case Probe::Truncated:
        return StoreError::Damaged;
    }
    return StoreError::Failed;
}

StoreError readMeta(Connection &db, StoreMeta *meta, int *foundFormat)
{
    *meta = StoreMeta();
    Statement select = db.prepare("SELECT key, value FROM meta");
    if (!select.isValid())
        return StoreError::Damaged;
    int seen = 0;
    bool wellTyped = true;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW)
        wellTyped = readMetaEntry(select, meta, &seen) && wellTyped;
    if (foundFormat)
        *foundFormat = meta->format;
    if (const StoreError error = stepError(db, rc); error != StoreError::None)
        return error;
    if (meta->format > kFormatVersion)
        return StoreError::NewerFormat;
    meta->sealed = (seen & 32) != 0;
    const bool complete = seen == (meta->sealed ? kSealedMetaKeys : kPlainMetaKeys);
    if (!wellTyped || !complete || meta->format < 1 || meta->storeId.size() != kStoreIdBytes)
        return StoreError::Damaged;
    if (meta->sealed && (!meta->kdf.isPlausible() ||
                         meta->keyCheck.size() != SealingKey::sealedSize(keyCheckPlainText().size()) ||
                         meta->sealedDigest.size() != SealingKey::sealedSize(sizeof(RecordDigest::bytes))))
        return StoreError::Damaged;
    return StoreError::None;
}

StoreError beginReading(const QString &path, Connection *db)
{
    if (const StoreError error = probeError(probeFile(path)); error != StoreError::None)
        return error;
    if (const StoreError error = openForReading(path, db); error != StoreError::None)
        return error;
    // The verifying read passes over every page in turn (the structure
    // check, then the records): a cache beyond the pages of one path down
    // the tree saves no read, and its pages would add to the peak of every
    // open.
    if (!db->exec("PRAGMA cache_size = 64"))
        return errorFromSqlite(db->lastError());
    return db->exec("BEGIN") ? StoreError::None : errorFromSqlite(db->lastError());
}

StoreError verifySchema(Connection &db)
{
    Statement select = db.prepare("SELECT type, name, tbl_name, sql FROM sqlite_master");
    if (!select.isValid())
        return errorFromSqlite(db.lastError());
    const auto matchesOneOf = [&](const auto &objects) {
        return std::any_of(std::begin(objects), std::end(objects),
                           [&](const SchemaObject &object) { return matchesSchemaObject(select, object); });
    };
    // Names are unique in the schema, so counting the matches finds each object once.
    int found = 0, foundSync = 0;
    bool matches = true;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (matchesOneOf(kSchema))
            ++found;
        else if (matchesOneOf(kSyncSchema))
            ++foundSync;
        else
            matches = false;
    }
    if (const StoreError error = stepError(db, rc); error != StoreError::None)
        return error;
    // The sync's tables come all together or not at all.
    const bool syncComplete = foundSync == 0 || foundSync == int(std::size(kSyncSchema));
    return matches && found == int(std::size(kSchema)) && syncComplete ? StoreError::None
                                                                       : StoreError::Damaged;
}

bool hasSyncTables(Connection &db)
{
    Statement select =
        db.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'sync_cards'");
    return select.step() == SQLITE_ROW && select.columnInt(0) == 1;
}

bool createSyncTables(Connection &db)
{
    for (const SchemaObject &object : kSyncSchema)
        if (isOurs(object) && !db.exec(object.sql))
            return false;
    return true;
}

StoreError checkStructure(Connection &db)
{
    Statement pragma = db.prepare("PRAGMA integrity_check(1)");
    if (!pragma.isValid())
        return errorFromSqlite(db.lastError());
    const int rc = pragma.step();
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE ? StoreError::Damaged : errorFromSqlite(db.lastError());
    return pragma.columnBlob(0) == "ok" ? StoreError::None : StoreError::Damaged;
}

namespace {

// The file the connection has open is still the one its path names.
bool stillAtPath(Connection &db)
{
    int moved = 1;
    return sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved == 0;
}

} // namespace

StructureCheck::~StructureCheck()
{
    if (m_worker.joinable())
        m_worker.join();
}

void StructureCheck::checkOnOwnConnection(const QString &path)
{
    Connection db;
    if (!db.open(path, Connection::Mode::ReadOnly))
        return;
    // A program waiting to commit keeps new readers out until the reader
    // holding the lock is done, and that reader waits for this thread: it
    // never waits, the reader checks on its own.
    db.setWaiting(false);
    // The check passes over every page in turn and only needs those of one
    // path down a tree at a time.
    if (!db.exec("PRAGMA cache_size = 16"))
        return;
    Statement pragma = db.prepare("PRAGMA integrity_check(1)");
    if (pragma.step() != SQLITE_ROW)
        return;
    const bool sound = pragma.columnBlob(0) == "ok";
    // With the reader's file still at the path after this (see finish), both
    // had the same file open: an inode would have to come back to the path
    // after another took its place.
    if (!stillAtPath(db))
        return;
    m_sound = sound;
    m_answered = true;
}

void StructureCheck::start(const QString &path)
{
    // Two connections in two threads need a thread-safe SQLite.
    if (m_worker.joinable() || sqlite3_threadsafe() == 0)
        return;
    try {
        m_worker = std::thread([this, path] {
            checkOnOwnConnection(path);
            // What the connection took came from this thread's own malloc
            // arena, which the reader's allocations never reuse: handed
            // back, it adds nothing to the open's resident peak.
            malloc_trim(0);
        });
    } catch (const std::system_error &) {
        // No thread: finish() runs the check on the reader.
    }
}

StoreError StructureCheck::finish(Connection &reader)
{
    if (m_worker.joinable())
        m_worker.join();
    if (m_answered && stillAtPath(reader))
        return m_sound ? StoreError::None : StoreError::Damaged;
    return checkStructure(reader);
}

quint32 changeCounter(const QString &path)
{
    unsigned char header[kHeaderBytes];
    return readHeader(QFile::encodeName(path), header) ? headerWord(header, 24) : 0;
}

qint64 fileBytes(Connection &db)
{
    Statement select = db.prepare("SELECT page_count * page_size FROM pragma_page_count, pragma_page_size");
    return select.step() == SQLITE_ROW ? std::max<qint64>(0, select.columnInt(0)) : 0;
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
           putMeta(insert, "kdf_memlimit", meta.kdf.memLimit) &&
           putMeta(insert, "key_check", meta.keyCheck) && putMeta(insert, "record_digest", meta.sealedDigest);
}

StoreError openForReading(const QString &path, Connection *db)
{
    if (!db->open(path, Connection::Mode::ReadOnly))
        return errorFromSqlite(db->lastError());
    if (touchSchema(*db))
        return StoreError::None;
    const int rc = db->lastError();
    if (rc != SQLITE_READONLY_ROLLBACK)
        return errorFromSqlite(rc);
    db->close();
    {
        // A crash left a hot journal: rolling it back needs write access.
        Connection recovery;
        if (!recovery.open(path, Connection::Mode::ReadWrite))
            return errorFromSqlite(recovery.lastError(), true);
        if (recovery.isReadOnly())
            return StoreError::ReadOnly;
        if (!touchSchema(recovery))
            return errorFromSqlite(recovery.lastError(), true);
    }
    if (!db->open(path, Connection::Mode::ReadOnly) || !touchSchema(*db))
        return errorFromSqlite(db->lastError());
    return StoreError::None;
}

bool prepareForWriting(Connection &db)
{
    Statement mode = db.prepare("PRAGMA journal_mode = DELETE");
    if (mode.step() != SQLITE_ROW || mode.columnBlob(0) != "delete")
        return false;
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
    // journal that is still there now belongs to no transaction. Without
    // waiting: while another program holds a lock the journal may be its
    // own, and a later open removes a stale one.
    if (!db.execWithoutWaiting("BEGIN EXCLUSIVE"))
        return;
    if (QFileInfo::exists(journal)) {
        const QByteArray name = QFile::encodeName(journal);
        if (::truncate(name.constData(), 0) == 0)
            ::unlink(name.constData());
    }
    db.exec("COMMIT");
}

namespace {

StoreError fillNewStore(const QString &path, const StoreMeta &meta)
{
    Connection db;
    if (!db.open(path, Connection::Mode::ReadWrite))
        return errorFromSqlite(db.lastError(), true);
    if (db.isReadOnly())
        return StoreError::ReadOnly;
    if (!prepareForWriting(db) || !db.exec("PRAGMA page_size = 4096"))
        return errorFromSqlite(db.lastError(), true);
    Transaction tx(db);
    if (!tx.isActive())
        return errorFromSqlite(tx.failedCode(), true);
    if (!createSchema(db) || !writeMeta(db, meta))
        return errorFromSqlite(db.lastError(), true);
    return tx.commit() ? StoreError::None : errorFromSqlite(tx.failedCode(), true);
}

// A store is built as "<store>.new-XXXXXX" (mkstemp fills in the X), with
// its journal beside it while a transaction runs.
const QString kTemporaryInfix = QStringLiteral(".new-");
const QString kJournalSuffix = QStringLiteral("-journal");
constexpr int kTemporarySuffixChars = 6;
// A creation takes well under a second; a temporary file this old was left
// by one that was killed (or stopped: it then still holds its lock).
constexpr qint64 kAbandonedAfterSeconds = 10 * 60;

bool isMkstempCharacter(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

bool isTemporaryOf(const QString &entry, const QString &storeName)
{
    const QString prefix = storeName + kTemporaryInfix;
    if (!entry.startsWith(prefix))
        return false;
    QStringView suffix = QStringView(entry).mid(prefix.size());
    if (suffix.endsWith(kJournalSuffix))
        suffix.chop(kJournalSuffix.size());
    return suffix.size() == kTemporarySuffixChars &&
           std::all_of(suffix.begin(), suffix.end(), isMkstempCharacter);
}

bool isOldFile(const QByteArray &name)
{
    struct stat st {};
    return ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           qint64(::time(nullptr)) - qint64(st.st_mtime) >= kAbandonedAfterSeconds;
}

// Old, and not locked by a creation that is still alive (see createStoreFile).
bool isAbandoned(const QByteArray &temporary)
{
    if (!isOldFile(temporary))
        return false;
    const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool unlocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return unlocked;
}

// Removes what killed creations of a store at path left beside it: their
// temporary files, and journals whose temporary file is gone.
void removeAbandonedTemporaries(const QString &path)
{
    const QFileInfo store(path);
    const QDir dir = store.absoluteDir();
    // Sorted by name: a temporary file comes before its journal.
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (!isTemporaryOf(entry, store.fileName()))
            continue;
        const QByteArray name = QFile::encodeName(dir.filePath(entry));
        const bool journal = entry.endsWith(kJournalSuffix);
        const QByteArray base = journal ? name.chopped(kJournalSuffix.size()) : name;
        if (journal ? isOldFile(name) && ::access(base.constData(), F_OK) != 0 : isAbandoned(name))
            ::unlink(name.constData());
    }
}

StoreError errorFromErrno(int error)
{
    switch (error) {
    case EEXIST:
        return StoreError::Failed;
    case ENOSPC:
    case EDQUOT:
        return StoreError::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return StoreError::ReadOnly;
    case ENOENT:
    case ENOTDIR:
        return StoreError::Missing;
    default:
        return StoreError::Failed;
    }
}

} // namespace

StoreError createStoreFile(const QString &path, const StoreMeta &meta)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0)
        return StoreError::Failed; // never over an existing file
    removeAbandonedTemporaries(path);
    QByteArray temporary = name + QFile::encodeName(kTemporaryInfix) + "XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600
    if (fd < 0)
        return errorFromErrno(errno);
    // Held until the end, so that a creation running meanwhile never takes
    // this file for a leftover (flock does not meet SQLite's own locks). The
    // descriptor is closed only after SQLite closed its own on the file.
    ::flock(fd, LOCK_EX);
    const bool modeSet = ::fchmod(fd, 0600) == 0; // exactly 0600, whatever the umask
    StoreError error = modeSet ? fillNewStore(QFile::decodeName(temporary), meta) : StoreError::Failed;
    // RENAME_NOREPLACE: a file that appeared at path meanwhile is kept.
    if (error == StoreError::None &&
        ::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) != 0)
        error = errorFromErrno(errno);
    if (error == StoreError::None && !fsyncDirectoryOf(path))
        error = StoreError::Failed;
    if (error != StoreError::None) {
        ::unlink(temporary.constData());
        ::unlink((temporary + QFile::encodeName(kJournalSuffix)).constData());
    }
    ::close(fd);
    return error;
}

} // namespace quennet::store
