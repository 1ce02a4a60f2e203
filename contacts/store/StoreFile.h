#pragma once

#include "contacts/store/Sealing.h"
#include "contacts/store/Sqlite.h"
#include "contacts/store/StoreError.h"

#include <QByteArray>
#include <QString>

#include <thread>

namespace quennet::store {

// Version of the file layout this program writes; a file with a larger one
// comes from a newer program and is never opened.
constexpr int kFormatVersion = 1;
// SQLite header field that marks a database as a contact store ("QNET").
constexpr quint32 kApplicationId = 0x514E4554;
constexpr int kStoreIdBytes = 16;
// The largest row id before the numbering would overflow; a file claiming
// more (or more than kMaxRecords records) is over capacity or damaged.
constexpr qint64 kMaxRowId = qint64(1) << 53;

// Truncated: the file's length is not what its header says (shorter or longer).
enum class Probe { Ok, Missing, NotAFile, Unreadable, Empty, NotAStore, Truncated };

// Looks at the file's bytes before SQLite is allowed near it, so that a file
// that is not a store is never opened (and never written) by the engine.
Probe probeFile(const QString &path, qint64 *expectedBytes = nullptr, qint64 *actualBytes = nullptr);
StoreError probeError(Probe probe);

// What the meta table says about a store.
struct StoreMeta {
    int format = 0;
    QByteArray storeId;
    bool sealed = false; // a non-empty password protects the records
    KdfParams kdf;
    QByteArray keyCheck;     // the known text sealed under the key
    QByteArray sealedDigest; // the record set's digest sealed under the key
};

// None, Damaged, NewerFormat, or the reason the read itself failed.
StoreError readMeta(Connection &db, StoreMeta *meta, int *foundFormat = nullptr);
// Replaces the whole meta table; call inside a transaction.
bool writeMeta(Connection &db, const StoreMeta &meta);

// Opens an existing store read-only. When a crash left a hot rollback
// journal, the interrupted transaction is rolled back first (the only write
// a reader ever causes, and it restores the last committed state).
StoreError openForReading(const QString &path, Connection *db);
// Probes the file, opens it for reading and begins one read transaction, so
// that everything read next belongs to one committed state.
StoreError beginReading(const QString &path, Connection *db);
// Exactly the tables and indexes this program creates, nothing else (no
// trigger, no view): anything more or less is damage. The sync's tables
// may be there or not, but only all of them.
StoreError verifySchema(Connection &db);
// The sync's tables (sync_meta, sync_cards) are in the file: a store made
// or last written before its first sync has none.
bool hasSyncTables(Connection &db);
// Adds them; call inside the transaction of the write that first needs them.
bool createSyncTables(Connection &db);
// SQLite's integrity check: every page's structure, and every index holding
// exactly the entries of its table, as wab check verifies it (the quick check
// misses a damaged index). The indexes are tiny (the meta keys, and the
// marks, empty at rest), so this costs little more than the quick check.
StoreError checkStructure(Connection &db);

// checkStructure of what a reading connection sees, run on a connection of
// its own in a worker thread (the machine's other core) while the reader
// goes on reading the records.
class StructureCheck {
public:
    StructureCheck() = default;
    ~StructureCheck();
    StructureCheck(const StructureCheck &) = delete;
    StructureCheck &operator=(const StructureCheck &) = delete;

    // Call once the reader's transaction holds its read lock: no program
    // can commit until it ends, so the worker's connection, opened after
    // it, reads the very state the reader reads.
    void start(const QString &path);
    // What checkStructure(reader) gives: the worker's verdict when it
    // reached one on the reader's own file, else the check run on the
    // reader now (no thread, a lock the worker would have waited for, an
    // error of its own, the file renamed away meanwhile).
    StoreError finish(Connection &reader);

private:
    void checkOnOwnConnection(const QString &path);

    std::thread m_worker;
    // Written by the worker, read once it has been joined.
    bool m_answered = false;
    bool m_sound = false;
};
// The file's change counter (header bytes 24..27); read it while holding a
// read lock, so that it belongs to what was read.
quint32 changeCounter(const QString &path);
// The size of the database the connection reads, in bytes; 0 if unknown.
qint64 fileBytes(Connection &db);
// Durability and hygiene settings for a connection that writes.
bool prepareForWriting(Connection &db);

// Removes a rollback journal that a crash left behind before it became
// hot (SQLite ignores such a file but leaves it, old page images and all).
// Call on a connection that has already read the store, so that a hot
// journal has been rolled back.
void removeStaleJournal(Connection &db, const QString &path);

// fsync of the directory that holds path, so a rename or unlink in it lasts.
bool fsyncDirectoryOf(const QString &path);

// Makes a new file (mode 0600, never over an existing one) holding an empty
// store with the given meta data. The store is built under a temporary name
// and renamed into place only when complete, so an interrupted creation
// never leaves a partial file at path.
StoreError createStoreFile(const QString &path, const StoreMeta &meta);

} // namespace quennet::store
