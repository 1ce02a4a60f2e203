#include "contacts/store/ContactStore.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/PackedRecord.h"
#include "contacts/store/PendingRecords.h"
#include "contacts/store/SyncTables.h"

#include <QFileInfo>
#include <QVarLengthArray>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace quennet {

using namespace store;

namespace {

const QString &fieldNameAt(int index)
{
    return contactFieldNames().at(index);
}

bool isFieldPos(int pos)
{
    return pos >= 1 && pos <= kFieldCount;
}

bool opensKeyCheck(const StoreMeta &meta, const SealingKey &key)
{
    QByteArray check;
    return key.unseal(meta.keyCheck, keyCheckAssociatedData(meta.storeId), &check) &&
           check == keyCheckPlainText();
}

// The key for a sealed store: the one already held (a reload) when it still
// opens the file, else the credential's or one derived from the password.
StoreError unlockKey(const StoreMeta &meta, const Unlocking &with, SealingKey *key)
{
    if (!meta.sealed) {
        key->clear();
        return StoreError::None;
    }
    if (key->isValid() && opensKeyCheck(meta, *key))
        return StoreError::None;
    if (with.credential) {
        // A key derived for another salt or cost cannot open this file.
        if (!(with.credential->kdf == meta.kdf))
            return StoreError::WrongPassword;
        *key = with.credential->key.copy();
        if (!key->isValid())
            return StoreError::OverCapacity;
    } else if (!with.password || with.password->isEmpty()) {
        return StoreError::WrongPassword;
    } else if (!key->derive(*with.password, meta.kdf)) {
        return StoreError::OverCapacity; // the only way a plausible derivation fails: no memory
    }
    return opensKeyCheck(meta, *key) ? StoreError::None : StoreError::WrongPassword;
}

bool isInteger(const Statement &row, int column)
{
    return row.columnType(column) == SQLITE_INTEGER;
}

// sqlite_sequence holds at most the one row of the records table, and its
// number is at least the highest row id in use and within capacity.
StoreError checkSequence(Connection &reader, qint64 highestRowId)
{
    Statement select = reader.prepare("SELECT name, seq FROM sqlite_sequence");
    if (!select.isValid())
        return StoreError::Damaged;
    int rows = 0;
    bool plausible = true;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        ++rows;
        const qint64 seq = select.columnInt(1);
        plausible = plausible && select.columnBlob(0) == "records" && isInteger(select, 1) &&
                    seq >= highestRowId && seq <= kMaxRowId;
    }
    if (rc != SQLITE_DONE)
        return errorFromSqlite(reader.lastError());
    return plausible && rows <= 1 && (rows == 1 || highestRowId == 0) ? StoreError::None
                                                                      : StoreError::Damaged;
}

StoreError readMetaOnly(const QString &path, StoreMeta *meta)
{
    Connection reader;
    if (const StoreError error = beginReading(path, &reader); error != StoreError::None)
        return error;
    if (const StoreError error = verifySchema(reader); error != StoreError::None)
        return error;
    return readMeta(reader, meta);
}

StoreError writeFailure(int code)
{
    const StoreError error = errorFromSqlite(code, true);
    return error == StoreError::None ? StoreError::Failed : error;
}

} // namespace

// --- ContactStoreImpl -------------------------------------------------------

const StoredRecord *ContactStoreImpl::current() const
{
    return cursor >= 1 && cursor <= count() ? &records[size_t(cursor - 1)] : nullptr;
}

void ContactStoreImpl::reset()
{
    batch.reset(); // rolls back before the connection goes
    batchError = StoreError::None;
    db.close();
    meta = StoreMeta();
    key.clear();
    records.clear();
    records.shrink_to_fit();
    arena.release();
    path.clear();
    cursor = 0;
    dataVersion = -1;
    digest = RecordDigest();
    viewLost = false;
}

QByteArray ContactStoreImpl::diskForm(const StoreMeta &m, const SealingKey &k, qint64 rowId,
                                      const QByteArray &packed) const
{
    return m.sealed ? k.seal(packed, recordAssociatedData(m.storeId, rowId)) : packed;
}

bool ContactStoreImpl::readDiskForm(qint64 rowId, QByteArrayView stored, const char **packed)
{
    const qsizetype size = meta.sealed ? SealingKey::plainSize(stored) : stored.size();
    // Checked before anything is allocated or copied (an empty blob has no data pointer).
    if (size < packed::kHeaderBytes || size > packed::kMaxBytes)
        return false;
    char *place = arena.allocate(size);
    if (!place)
        return false;
    if (meta.sealed) {
        if (!key.unsealInto(stored, recordAssociatedData(meta.storeId, rowId), place))
            return false;
    } else {
        memcpy(place, stored.data(), size_t(size));
    }
    *packed = place;
    return packed::isWellFormed(QByteArrayView(place, size));
}

const char *ContactStoreImpl::keep(const QByteArray &packed)
{
    char *place = arena.allocate(packed.size());
    if (!place)
        qBadAlloc();
    memcpy(place, packed.constData(), size_t(packed.size()));
    return place;
}

StoreError ContactStoreImpl::load(Connection &reader)
{
    // Each bound on its own, so that SQLite reads it off the end of the
    // table; a count(*) would walk every page once more. The records are
    // counted against the capacity as they are read.
    qint64 lowest = 0, highest = 0;
    for (auto [sql, bound] : {std::pair{"SELECT coalesce(min(id), 1) FROM records", &lowest},
                              std::pair{"SELECT coalesce(max(id), 0) FROM records", &highest}}) {
        Statement select = reader.prepare(sql);
        if (select.step() != SQLITE_ROW)
            return errorFromSqlite(reader.lastError());
        *bound = select.columnInt(0);
    }
    if (lowest < 1 || highest > kMaxRowId)
        return StoreError::Damaged;
    if (const StoreError error = checkSequence(reader, highest); error != StoreError::None)
        return error;
    // Row ids are unique, so their range bounds the count (ids are never
    // used twice, so a range far beyond it only reserves a first part).
    records.reserve(size_t(std::min({highest - lowest + 1, maxRecords, qint64(1) << 20})));
    // The records take less than the file they are in.
    arena.reserve(fileBytes(reader));
    Statement select = reader.prepare("SELECT id, deleted, fields FROM records ORDER BY id");
    if (!select.isValid())
        return StoreError::Damaged;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (count() >= maxRecords)
            return StoreError::OverCapacity;
        StoredRecord record{select.columnInt(0), false, nullptr};
        // A record that does not unseal or parse fails the whole open: records
        // are never dropped silently. Marks and purges commit together, so
        // a record still marked was flagged by someone else: damage too.
        qint64 deleted = -1;
        QByteArrayView stored;
        if (!select.columnIfInteger(1, &deleted) || deleted != 0 || !select.columnIfBlob(2, &stored) ||
            !readDiskForm(record.rowId, stored, &record.data))
            return StoreError::Damaged;
        if (meta.sealed) // the digest of an open store stays zero
            digest.toggle(tagOf(record));
        records.push_back(std::move(record));
    }
    if (rc != SQLITE_DONE)
        return errorFromSqlite(reader.lastError());
    if (!digestMatches(meta, digest))
        return StoreError::Damaged;
    arena.trim();
    return StoreError::None;
}

StoreError ContactStoreImpl::readVerified(const QString &path, const Unlocking &with, quint32 *counter)
{
    Connection reader;
    if (const StoreError error = beginReading(path, &reader); error != StoreError::None)
        return error;
    // Reading the schema takes the transaction's read lock; the integrity
    // check of the whole file then runs beside the reading of the records.
    // Its verdict comes first, as if it had run first: a damaged file gives
    // Damaged whatever the rest found.
    StructureCheck structure;
    StoreError error = verifySchema(reader);
    if (error == StoreError::None)
        structure.start(path);
    if (error == StoreError::None)
        error = readMeta(reader, &meta);
    // The password was already found wrong for this very key material.
    if (error == StoreError::None && refusedAhead.tried && refusedAhead.kdf == meta.kdf &&
        refusedAhead.keyCheck == meta.keyCheck)
        error = StoreError::WrongPassword;
    if (error == StoreError::None)
        error = unlockKey(meta, with, &key);
    if (error == StoreError::None)
        error = load(reader);
    if (const StoreError damaged = structure.finish(reader); damaged != StoreError::None)
        return damaged;
    if (error != StoreError::None)
        return error;
    *counter = changeCounter(path);
    return StoreError::None;
}

void ContactStoreImpl::unlockAhead(const QString &path, const Unlocking &with)
{
    // Only a password takes long to turn into a key.
    if (!with.password || with.password->isEmpty() || with.credential)
        return;
    StoreMeta early;
    if (readMetaOnly(path, &early) != StoreError::None || !early.sealed)
        return; // the verified read finds out why, in its own order
    if (unlockKey(early, with, &key) == StoreError::WrongPassword)
        refusedAhead = {true, early.kdf, early.keyCheck};
    if (refusedAhead.tried)
        key.clear();
}

StoreError ContactStoreImpl::openForWriting(const QString &path, quint32 changeCounterRead)
{
    // SQLite falls back to read-only when the file is write-protected; the
    // store then opens for reading and every write reports failure.
    if (!db.open(path, Connection::Mode::ReadWrite))
        return errorFromSqlite(db.lastError());
    if (!db.isReadOnly() && !prepareForWriting(db))
        return errorFromSqlite(db.lastError(), true);
    removeStaleJournal(db, path);
    if (!db.exec("BEGIN"))
        return errorFromSqlite(db.lastError());
    dataVersion = readDataVersion();
    StoreError error = dataVersion < 0 ? errorFromSqlite(db.lastError()) : StoreError::None;
    // The records were read through another connection. When another program
    // committed in between, they are read again through this one, so that
    // they belong to the data version the writes compare with.
    if (error == StoreError::None && changeCounter(path) != changeCounterRead)
        error = reloadInTransaction();
    db.exec("COMMIT");
    return error;
}

StoreError ContactStoreImpl::openAndLoad(const QString &path, const Unlocking &with)
{
    // Deriving a key takes long, and while the records are read no other
    // program can commit: the key comes first, outside any lock.
    refusedAhead = {};
    unlockAhead(path, with);
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        quint32 counter = 0;
        StoreError error = readVerified(path, with, &counter);
        if (error == StoreError::None)
            error = openForWriting(path, counter);
        if (error == StoreError::None)
            this->path = path;
        if (error != StoreError::ChangedElsewhere || attempt == kAttempts)
            return error;
        reset();
    }
}

RecordTag ContactStoreImpl::tagOf(const StoredRecord &record) const
{
    return key.recordTag(record.rowId, record.deleted, record.packed());
}

QByteArray ContactStoreImpl::sealDigest(const StoreMeta &m, const SealingKey &k,
                                        const RecordDigest &next) const
{
    return k.seal(next.toBytes(), recordDigestAssociatedData(m.storeId));
}

bool ContactStoreImpl::digestMatches(const StoreMeta &m, const RecordDigest &computed) const
{
    if (!m.sealed)
        return true;
    QByteArray sealed;
    return key.unseal(m.sealedDigest, recordDigestAssociatedData(m.storeId), &sealed) &&
           sealed == computed.toBytes();
}

bool ContactStoreImpl::writeDigest(const RecordDigest &next)
{
    if (!meta.sealed)
        return true;
    const QByteArray sealed = sealDigest(meta, key, next);
    Statement update = db.prepare("UPDATE meta SET value = ? WHERE key = 'record_digest'");
    return update.bind(1, QByteArrayView(sealed)).run() && db.changes() == 1;
}

qint64 ContactStoreImpl::readDataVersion()
{
    Statement pragma = db.prepare("PRAGMA data_version");
    return pragma.step() == SQLITE_ROW ? pragma.columnInt(0) : -1;
}

bool ContactStoreImpl::commit(Transaction &tx)
{
    if (faults)
        faults->beforeCommit(db.handle());
    const bool ok = tx.commit();
    if (faults)
        faults->afterCommit(db.handle());
    return ok;
}

bool ContactStoreImpl::write(const std::function<bool()> &body, bool readFirst)
{
    error = attemptWrite(body, readFirst);
    if (error != StoreError::None && !db.isOpen())
        reset(); // a reload found the file damaged
    return error == StoreError::None;
}

bool ContactStoreImpl::writeIf(ContactStore &store, const std::function<bool(ContactStore &)> &allowed,
                               const std::function<bool()> &body)
{
    bool refused = false;
    const bool ok = write([&] {
        // The caller's rules come first, as they would without the write.
        if (allowed && !allowed(store)) {
            refused = true;
            return false;
        }
        return body();
    });
    if (refused)
        error = StoreError::None;
    return ok;
}

StoreError ContactStoreImpl::reloadInTransaction()
{
    for (const auto &step : {checkStructure, verifySchema})
        if (const StoreError failed = step(db); failed != StoreError::None)
            return failed;
    StoreMeta fresh;
    if (const StoreError failed = readMeta(db, &fresh); failed != StoreError::None)
        return failed;
    // Another store put in its place, or its password changed: the key
    // held no longer applies.
    if (fresh.storeId != meta.storeId || unlockKey(fresh, Unlocking(), &key) != StoreError::None)
        return StoreError::ChangedElsewhere;
    meta = std::move(fresh);
    viewLost = true;
    records.clear();
    arena.release();
    digest = RecordDigest();
    if (const StoreError failed = load(db); failed != StoreError::None)
        return failed;
    dataVersion = readDataVersion();
    viewLost = false;
    ++reloads;
    cursor = std::clamp(cursor, 0, count() + 1);
    return StoreError::None;
}

StoreError ContactStoreImpl::attemptWrite(const std::function<bool()> &body, bool readFirst)
{
    if (!db.isOpen())
        return StoreError::NotOpen;
    if (db.isReadOnly())
        return StoreError::ReadOnly;
    if (batch)
        return writeInBatch(body);
    bodyError = StoreError::None;
    Transaction tx(db);
    if (!tx.isActive())
        return writeFailure(tx.failedCode());
    if (const StoreError changed = unchangedSinceRead(); changed != StoreError::None) {
        if (!readFirst || changed != StoreError::ChangedElsewhere)
            return changed;
        if (const StoreError failed = reloadInTransaction(); failed != StoreError::None) {
            tx.commit(); // nothing written; ends the transaction before the store closes
            if (viewLost || failed == StoreError::Damaged)
                db.close();
            return failed;
        }
    }
    if (!body())
        return bodyError != StoreError::None ? bodyError : writeFailure(db.lastError());
    return commit(tx) ? StoreError::None : writeFailure(tx.failedCode());
}

bool ContactStoreImpl::inTransaction() const
{
    return db.isOpen() && !sqlite3_get_autocommit(db.handle());
}

StoreError ContactStoreImpl::writeInBatch(const std::function<bool()> &body)
{
    // The lock is held since the batch began: nobody else can have written.
    if (batchError != StoreError::None)
        return batchError;
    bodyError = StoreError::None;
    if (!db.exec("SAVEPOINT batch_write"))
        return batchError = writeFailure(db.lastError());
    if (body() && db.exec("RELEASE batch_write"))
        return StoreError::None;
    const StoreError failed = bodyError != StoreError::None ? bodyError : writeFailure(db.lastError());
    if (!inTransaction()) {
        // SQLite gave up the whole transaction (a full disk, an I/O error).
        batchError = failed;
        return failed;
    }
    db.exec("ROLLBACK TO batch_write");
    db.exec("RELEASE batch_write");
    return failed;
}

void ContactStoreImpl::reloadAfterRollback()
{
    if (!db.isOpen())
        return;
    // Memory followed the batch's writes, the file did not: read it again.
    const StoreError failed = db.exec("BEGIN") ? reloadInTransaction() : errorFromSqlite(db.lastError());
    db.exec("COMMIT");
    if (failed != StoreError::None)
        reset();
}

bool ContactStoreImpl::refuse(StoreError why)
{
    error = why;
    return false;
}

bool ContactStoreImpl::giveUp(StoreError why)
{
    bodyError = why;
    return false;
}

StoreError ContactStoreImpl::unchangedSinceRead()
{
    // Another program (the wab tool) may have written since the records were
    // read; writing on the strength of that stale view could break the
    // duplicate rules, or (after a password change) leave records that no
    // single password opens.
    const qint64 version = readDataVersion();
    if (version < 0)
        return writeFailure(db.lastError());
    return version == dataVersion ? StoreError::None : StoreError::ChangedElsewhere;
}

qint64 ContactStoreImpl::nextRowId()
{
    // AUTOINCREMENT keeps the highest id ever used, so ids are never reused.
    Statement select = db.prepare("SELECT seq FROM sqlite_sequence WHERE name = 'records'");
    if (!select.isValid())
        return -1;
    const int rc = select.step();
    if (rc == SQLITE_DONE)
        return 1;
    if (rc != SQLITE_ROW)
        return -1;
    if (select.columnInt(0) >= kMaxRowId) {
        bodyError = StoreError::OverCapacity;
        return -1;
    }
    return select.columnInt(0) + 1;
}

// --- file-level operations ----------------------------------------------------

ContactStore::ContactStore() : d(std::make_unique<ContactStoreImpl>()) {}

ContactStore::~ContactStore() = default;

FileResult ContactStore::hasPassword(const QString &path)
{
    StoreMeta meta;
    const StoreError error = readMetaOnly(path, &meta);
    return {error == StoreError::None && meta.sealed, error};
}

FileResult ContactStore::create(const QString &path, const QString &password)
{
    StoreMeta meta;
    meta.format = kFormatVersion;
    meta.storeId = randomBytes(kStoreIdBytes);
    if (meta.storeId.size() != kStoreIdBytes)
        return {false, StoreError::Failed};
    if (!password.isEmpty()) {
        SealingKey key;
        meta.sealed = true;
        meta.kdf = freshKdfParams();
        if (!key.derive(password, meta.kdf))
            return {false, StoreError::OverCapacity};
        meta.keyCheck = key.seal(keyCheckPlainText(), keyCheckAssociatedData(meta.storeId));
        meta.sealedDigest = key.seal(RecordDigest().toBytes(), recordDigestAssociatedData(meta.storeId));
    }
    const StoreError error = createStoreFile(path, meta);
    return {error == StoreError::None, error};
}

// --- open / close ---------------------------------------------------------------

bool ContactStore::open(const QString &path, const QString &password)
{
    return openUnlocking(path, Unlocking{&password, nullptr});
}

bool ContactStore::open(const QString &path, const StoreCredential &credential)
{
    static const QString noPassword;
    return openUnlocking(path, Unlocking{&noPassword, credential.m_unlock.get()});
}

bool ContactStore::openUnlocking(const QString &path, const Unlocking &with)
{
    close();
    // Everything is validated and read through a read-only connection; the
    // file is opened for writing only once it has proven to be a store that
    // this password opens.
    d->error = d->openAndLoad(path, with);
    if (d->error == StoreError::None) {
        goFirst();
        return true;
    }
    d->reset();
    return false;
}

StoreCredential ContactStore::credential() const
{
    if (!isOpen() || !d->meta.sealed)
        return StoreCredential();
    SealingKey copy = d->key.copy();
    if (!copy.isValid())
        return StoreCredential();
    return StoreCredential(std::make_shared<const StoreCredential::Unlock>(
        StoreCredential::Unlock{std::move(copy), d->meta.kdf}));
}

CredentialResult ContactStore::credentialFor(const QString &path, const QString &password)
{
    StoreMeta meta;
    StoreError error = readMetaOnly(path, &meta);
    SealingKey key;
    if (error == StoreError::None && meta.sealed)
        error = unlockKey(meta, Unlocking{&password, nullptr}, &key);
    CredentialResult result;
    result.ok = error == StoreError::None;
    result.error = error;
    if (result.ok && meta.sealed)
        result.credential = StoreCredential(std::make_shared<const StoreCredential::Unlock>(
            StoreCredential::Unlock{std::move(key), meta.kdf}));
    return result;
}

StoreError ContactStore::lastError() const
{
    return d->error;
}

bool ContactStore::refresh(bool *reloaded)
{
    if (reloaded)
        *reloaded = false;
    if (!isOpen())
        return d->refuse(StoreError::NotOpen);
    if (d->batch) {
        // Nobody else writes while the batch holds the lock.
        d->error = StoreError::None;
        return true;
    }
    if (!d->db.exec("BEGIN"))
        return d->refuse(errorFromSqlite(d->db.lastError()));
    const qint64 version = d->readDataVersion();
    if (version < 0) {
        // Busy or a passing fault: the records in memory stay as they were.
        const StoreError error = errorFromSqlite(d->db.lastError());
        d->db.exec("ROLLBACK");
        return d->refuse(error);
    }
    if (version == d->dataVersion) {
        d->db.exec("COMMIT");
        d->error = StoreError::None;
        return true;
    }
    const StoreError error = d->reloadInTransaction();
    d->db.exec("COMMIT");
    d->error = error;
    if (error != StoreError::None) {
        // A damaged file, or a read that began replacing the records, closes
        // the store; anything passing keeps it as it was.
        if (d->viewLost || error == StoreError::Damaged)
            d->reset();
        return false;
    }
    if (reloaded)
        *reloaded = true;
    return true;
}

int ContactStore::reloadCount() const
{
    return d->reloads;
}

void ContactStore::close()
{
    d->reset();
}

bool ContactStore::isOpen() const
{
    return d->db.isOpen();
}

bool ContactStore::setPassword(const QString &newPassword)
{
    if (!isOpen())
        return d->refuse(StoreError::NotOpen);
    StoreMeta newMeta = d->meta;
    SealingKey newKey;
    newMeta.sealed = !newPassword.isEmpty();
    newMeta.kdf = KdfParams();
    newMeta.keyCheck.clear();
    if (newMeta.sealed) {
        newMeta.kdf = freshKdfParams();
        if (!newKey.derive(newPassword, newMeta.kdf))
            return d->refuse(StoreError::OverCapacity);
        newMeta.keyCheck = newKey.seal(keyCheckPlainText(), keyCheckAssociatedData(newMeta.storeId));
    }
    RecordDigest newDigest;
    const bool ok = d->write([&] {
        // On the records as the file holds them now (read in when another
        // program wrote meanwhile).
        newDigest = RecordDigest();
        for (const StoredRecord &record : d->records)
            newDigest.toggle(newKey.recordTag(record.rowId, record.deleted, record.packed()));
        newMeta.sealedDigest = newMeta.sealed ? d->sealDigest(newMeta, newKey, newDigest) : QByteArray();
        if (d->meta.sealed || newMeta.sealed) {
            // Every row must be rewritten, or old and new sealing would mix.
            // The count ends first: ending later, it would overwrite the
            // reason a rewrite failed (a full disk) with its own success.
            {
                Statement count = d->db.prepare("SELECT count(*) FROM records");
                if (count.step() != SQLITE_ROW)
                    return false;
                if (count.columnInt(0) != d->count())
                    return d->giveUp(StoreError::ChangedElsewhere);
            }
            Statement update = d->db.prepare("UPDATE records SET fields = ? WHERE id = ?");
            for (const StoredRecord &record : d->records) {
                const QByteArray stored = d->diskForm(newMeta, newKey, record.rowId, record.packed());
                if (!update.bind(1, QByteArrayView(stored)).bind(2, record.rowId).run() ||
                    d->db.changes() != 1)
                    return false;
            }
        }
        return resealSyncRows(d->db, d->meta, d->key, newMeta, newKey) && writeMeta(d->db, newMeta);
    });
    if (!ok)
        return false;
    d->meta = std::move(newMeta);
    d->key = std::move(newKey);
    d->digest = newDigest;
    return true;
}

// --- batches --------------------------------------------------------------------

bool ContactStore::beginBatch()
{
    if (!isOpen())
        return d->refuse(StoreError::NotOpen);
    if (d->batch)
        return d->refuse(StoreError::Failed); // batches do not nest
    if (d->db.isReadOnly())
        return d->refuse(StoreError::ReadOnly);
    auto tx = std::make_unique<Transaction>(d->db);
    if (!tx->isActive())
        return d->refuse(writeFailure(tx->failedCode()));
    StoreError failed = d->unchangedSinceRead();
    if (failed == StoreError::ChangedElsewhere)
        failed = d->reloadInTransaction();
    if (failed != StoreError::None) {
        tx->commit(); // nothing written; ends the transaction
        if (d->viewLost || failed == StoreError::Damaged)
            d->reset();
        return d->refuse(failed);
    }
    d->batch = std::move(tx);
    d->batchError = StoreError::None;
    d->error = StoreError::None;
    return true;
}

bool ContactStore::endBatch()
{
    if (!d->batch)
        return d->refuse(isOpen() ? StoreError::Failed : StoreError::NotOpen);
    std::unique_ptr<Transaction> tx = std::move(d->batch);
    StoreError error = std::exchange(d->batchError, StoreError::None);
    if (error == StoreError::None && !d->commit(*tx))
        error = writeFailure(tx->failedCode());
    if (error == StoreError::None) {
        d->error = StoreError::None;
        return true;
    }
    tx.reset(); // rolls back what SQLite did not
    d->reloadAfterRollback();
    return d->refuse(error);
}

void ContactStore::abandonBatch()
{
    if (!d->batch)
        return;
    d->batch.reset();
    d->batchError = StoreError::None;
    d->reloadAfterRollback();
}

bool ContactStore::inBatch() const
{
    return d->batch != nullptr;
}

// --- cursor ---------------------------------------------------------------------

int ContactStore::recordCount() const
{
    return d->count();
}

void ContactStore::goFirst()
{
    // In an empty store record 1 is the after-last position.
    d->cursor = 1;
}

void ContactStore::goLast()
{
    d->cursor = std::max(d->count(), 1);
}

void ContactStore::skip(int count)
{
    goTo(int(std::clamp<qint64>(qint64(d->cursor) + count, 0, qint64(d->count()) + 1)));
}

int ContactStore::recordNumber() const
{
    return d->cursor;
}

void ContactStore::goTo(int number)
{
    d->cursor = std::clamp(number, 0, d->count() + 1);
}

bool ContactStore::isBeforeFirst() const
{
    return d->cursor == 0;
}

bool ContactStore::isAfterLast() const
{
    return d->cursor == d->count() + 1;
}

Contact ContactStore::current() const
{
    return contactAt(d->cursor);
}

// --- search -----------------------------------------------------------------------

int ContactStore::findRecord(int pos, const QString &text, int from) const
{
    if (!isFieldPos(pos))
        return 0;
    const QByteArray wanted = text.toUtf8();
    for (int number = std::max(from, 1); number <= d->count(); ++number) {
        // Lengths first: most values differ in theirs.
        const QByteArrayView bytes = packed::fieldBytes(d->records[size_t(number - 1)].data, pos - 1);
        if (bytes.size() == wanted.size() &&
            std::memcmp(bytes.data(), wanted.constData(), size_t(bytes.size())) == 0)
            return number;
    }
    return 0;
}

bool ContactStore::findFirstOf(std::initializer_list<FieldText> wanted)
{
    QVarLengthArray<QByteArray, 4> texts;
    QVarLengthArray<int, 4> positions;
    for (const FieldText &w : wanted) {
        // A position that is no field is never found: the chain goes on.
        if (!isFieldPos(w.fieldPos))
            continue;
        texts.append(w.text.toUtf8());
        positions.append(w.fieldPos - 1);
    }
    const qsizetype count = texts.size();
    // The lowest record matching the earliest find so far; a later record
    // can only win with an earlier find, so those alone are compared.
    qsizetype best = count;
    int found = 0;
    for (int number = std::max(d->cursor, 1); number <= d->count() && best > 0; ++number) {
        const char *packed = d->records[size_t(number - 1)].data;
        for (qsizetype k = 0; k < best; ++k) {
            // Lengths first: most values differ in theirs.
            const QByteArrayView bytes = packed::fieldBytes(packed, positions[k]);
            if (bytes.size() == texts[k].size() &&
                std::memcmp(bytes.data(), texts[k].constData(), size_t(bytes.size())) == 0) {
                best = k;
                found = number;
                break;
            }
        }
    }
    if (best == count)
        return false;
    d->cursor = found;
    return true;
}

// --- fields -----------------------------------------------------------------------

QString ContactStore::fieldOf(int number, int pos) const
{
    if (number < 1 || number > d->count() || !isFieldPos(pos))
        return QString();
    return packed::field(d->records[size_t(number - 1)].packed(), pos - 1);
}

QByteArrayView ContactStore::fieldBytesOf(int number, int pos) const
{
    if (number < 1 || number > d->count() || !isFieldPos(pos))
        return QByteArrayView();
    return packed::fieldBytes(d->records[size_t(number - 1)].data, pos - 1);
}

int ContactStore::fieldCount() const
{
    return kFieldCount;
}

QString ContactStore::fieldName(int pos) const
{
    return isFieldPos(pos) ? fieldNameAt(pos - 1) : QString();
}

// --- contacts ---------------------------------------------------------------------

qint64 ContactStore::rowIdAt(int number) const
{
    return number >= 1 && number <= d->count() ? d->records[size_t(number - 1)].rowId : 0;
}

int ContactStore::numberOf(qint64 rowId) const
{
    // Records stay in row id order: read in that order, appended with ever
    // higher ids, and purges keep the order of the rest.
    const auto found =
        std::lower_bound(d->records.cbegin(), d->records.cend(), rowId,
                         [](const StoredRecord &record, qint64 id) { return record.rowId < id; });
    return found != d->records.cend() && found->rowId == rowId ? int(found - d->records.cbegin()) + 1 : 0;
}

Contact ContactStore::contactAt(int number) const
{
    if (number < 1 || number > d->count())
        return Contact();
    const StoredRecord &record = d->records[size_t(number - 1)];
    const QByteArray packed = record.packed();
    const auto at = [&](int index) { return packed::field(packed, index); };
    return {record.rowId, at(0), at(1), at(2), at(3), at(4), at(5)};
}

Contact ContactStore::contact(qint64 rowId) const
{
    return contactAt(numberOf(rowId));
}

// --- writes -------------------------------------------------------------------------

bool ContactStore::append(const Contact &contact)
{
    return appendIf(contact, nullptr);
}

bool ContactStore::appendIf(const Contact &contact, const std::function<bool(ContactStore &)> &allowed)
{
    QByteArray packedValues;
    const bool fits = packed::pack(contact.values(), &packedValues);
    StoredRecord record{0, false, packedValues.constData()};
    RecordDigest next;
    const bool ok = d->writeIf(*this, allowed, [&] {
        if (!fits || qint64(d->count()) >= d->maxRecords)
            return d->giveUp(StoreError::OverCapacity);
        next = d->digest;
        record.rowId = d->nextRowId();
        if (record.rowId <= 0)
            return false;
        next.toggle(d->tagOf(record));
        const QByteArray stored = d->diskForm(d->meta, d->key, record.rowId, packedValues);
        Statement insert = d->db.prepare("INSERT INTO records (id, deleted, fields) VALUES (?, 0, ?)");
        return insert.bind(1, record.rowId).bind(2, QByteArrayView(stored)).run() && d->writeDigest(next);
    });
    if (!ok)
        return false;
    d->digest = next;
    record.data = d->keep(packedValues);
    d->records.push_back(record);
    d->cursor = d->count();
    return true;
}

bool ContactStore::appendMany(const QList<Contact> &contacts)
{
    if (qint64(d->count()) + contacts.size() > d->maxRecords)
        return d->refuse(StoreError::OverCapacity);
    PendingRecords records;
    for (const Contact &contact : contacts)
        records.add(contact);
    return appendMany(records);
}

namespace {

constexpr int kRowsPerInsert = 64;

QByteArray insertRows(int rows)
{
    QByteArray sql = "INSERT INTO records (id, deleted, fields) VALUES (?, 0, ?)";
    for (int row = 1; row < rows; ++row)
        sql += ", (?, 0, ?)";
    return sql;
}

const char *insertManySql()
{
    static const QByteArray sql = insertRows(kRowsPerInsert);
    return sql.constData();
}

} // namespace

bool ContactStore::appendMany(PendingRecords &pending)
{
    if (qint64(d->count()) + pending.size() > d->maxRecords || pending.holdsOverCapacity())
        return d->refuse(StoreError::OverCapacity);
    if (pending.isEmpty())
        return isOpen() || d->refuse(StoreError::NotOpen);
    auto &packedRecords = pending.m_records;
    qint64 firstRowId = 0;
    RecordDigest next = d->digest;
    const bool ok = d->write(
        [&] {
            firstRowId = d->nextRowId();
            if (firstRowId <= 0)
                return false;
            // Many rows to a statement: each run of one also reads and
            // writes the row id sequence.
            Statement many = d->db.prepare(insertManySql());
            Statement one = d->db.prepare("INSERT INTO records (id, deleted, fields) VALUES (?, 0, ?)");
            qint64 rowId = firstRowId;
            for (size_t from = 0; from < packedRecords.size();) {
                const size_t rows =
                    packedRecords.size() - from >= size_t(kRowsPerInsert) ? kRowsPerInsert : 1;
                Statement &insert = rows == 1 ? one : many;
                std::vector<QByteArray> stored(rows);
                for (size_t row = 0; row < rows; ++row, ++rowId) {
                    const QByteArray &packedRecord = packedRecords[from + row];
                    if (d->meta.sealed)
                        next.toggle(d->key.recordTag(rowId, false, packedRecord));
                    stored[row] = d->diskForm(d->meta, d->key, rowId, packedRecord);
                    insert.bind(int(2 * row + 1), rowId).bind(int(2 * row + 2), QByteArrayView(stored[row]));
                }
                if (!insert.run())
                    return false;
                from += rows;
            }
            return d->writeDigest(next);
        },
        false); // the batch's verdicts were given on the records read
    if (!ok)
        return false;
    d->digest = next;
    d->records.reserve(d->records.size() + packedRecords.size());
    qint64 rowId = firstRowId;
    for (const QByteArray &packedRecord : packedRecords)
        d->records.push_back(StoredRecord{rowId++, false, packedRecord.constData()});
    packedRecords.clear();
    d->arena.adopt(pending.m_arena);
    d->cursor = d->count();
    return true;
}

bool ContactStore::writeToRow(const std::function<qint64()> &rowId,
                              const std::function<bool(ContactStore &)> &allowed,
                              const std::function<bool(size_t index)> &body, size_t *index)
{
    return d->writeIf(*this, allowed, [&] {
        const int number = numberOf(rowId());
        if (number == 0)
            return d->giveUp(StoreError::ChangedElsewhere);
        *index = size_t(number - 1);
        return body(*index);
    });
}

bool ContactStore::replace(qint64 rowId, const Contact &contact)
{
    return replaceIf(rowId, contact, nullptr);
}

bool ContactStore::replaceIf(qint64 rowId, const Contact &contact,
                             const std::function<bool(ContactStore &)> &allowed)
{
    QByteArray packedValues;
    const bool fits = packed::pack(contact.values(), &packedValues);
    RecordDigest next;
    size_t index = 0;
    const bool ok =
        writeToRow([rowId] { return rowId; }, allowed,
                   [&](size_t at) {
                       if (!fits)
                           return d->giveUp(StoreError::OverCapacity);
                       const StoredRecord &record = d->records[at];
                       next = d->digest;
                       next.toggle(d->tagOf(record));
                       next.toggle(d->tagOf(StoredRecord{rowId, record.deleted, packedValues.constData()}));
                       const QByteArray stored = d->diskForm(d->meta, d->key, rowId, packedValues);
                       Statement update = d->db.prepare("UPDATE records SET fields = ? WHERE id = ?");
                       return update.bind(1, QByteArrayView(stored)).bind(2, rowId).run() &&
                              d->db.changes() == 1 && d->writeDigest(next);
                   },
                   &index);
    if (!ok)
        return false;
    d->digest = next;
    d->records[index].data = d->keep(packedValues);
    return true;
}

bool ContactStore::remove(qint64 rowId)
{
    return removeIf(rowId, nullptr);
}

bool ContactStore::removeIf(qint64 rowId, const std::function<bool(ContactStore &)> &allowed)
{
    return removeRow([rowId] { return rowId; }, allowed);
}

bool ContactStore::removeNumberIf(int number, const std::function<bool(ContactStore &)> &allowed)
{
    return removeRow([this, number] { return rowIdAt(number); }, allowed);
}

bool ContactStore::removeRow(const std::function<qint64()> &target,
                             const std::function<bool(ContactStore &)> &allowed)
{
    RecordDigest next;
    size_t index = 0;
    const bool ok = writeToRow(
        target, allowed,
        [&](size_t at) {
            const qint64 rowId = d->records[at].rowId;
            // The record leaves the set, and so does every one marked earlier.
            next = d->digest;
            for (const StoredRecord &record : d->records)
                if (record.deleted || record.rowId == rowId)
                    next.toggle(d->tagOf(record));
            Statement update = d->db.prepare("UPDATE records SET deleted = 1 WHERE id = ?");
            return update.bind(1, rowId).run() && d->db.changes() == 1 &&
                   d->db.exec("DELETE FROM records WHERE deleted = 1") && d->writeDigest(next);
        },
        &index);
    if (!ok)
        return false;
    d->digest = next;
    d->records[index].deleted = true;
    d->removeMarkedFromMemory();
    goTo(d->cursor);
    return true;
}

bool ContactStore::markDeleted()
{
    const StoredRecord *record = d->current();
    if (!record)
        return d->refuse(StoreError::NotOpen);
    const qint64 rowId = record->rowId;
    RecordDigest next;
    size_t index = 0;
    const bool ok =
        writeToRow([rowId] { return rowId; }, nullptr,
                   [&](size_t at) {
                       const StoredRecord &stored = d->records[at];
                       next = d->digest;
                       next.toggle(d->tagOf(stored));
                       next.toggle(d->tagOf(StoredRecord{rowId, true, stored.data}));
                       Statement update = d->db.prepare("UPDATE records SET deleted = 1 WHERE id = ?");
                       return update.bind(1, rowId).run() && d->db.changes() == 1 && d->writeDigest(next);
                   },
                   &index);
    if (!ok)
        return false;
    d->digest = next;
    d->records[index].deleted = true;
    return true;
}

bool ContactStore::isMarkedDeleted() const
{
    const StoredRecord *record = d->current();
    return record && record->deleted;
}

bool ContactStore::purge()
{
    RecordDigest next;
    const bool ok = d->write([&] {
        next = d->digest;
        for (const StoredRecord &record : d->records)
            if (record.deleted)
                next.toggle(d->tagOf(record));
        return d->db.exec("DELETE FROM records WHERE deleted = 1") && d->writeDigest(next);
    });
    if (!ok)
        return false;
    d->digest = next;
    d->removeMarkedFromMemory();
    goTo(d->cursor);
    return true;
}

void ContactStoreImpl::removeMarkedFromMemory()
{
    records.erase(
        std::remove_if(records.begin(), records.end(), [](const StoredRecord &r) { return r.deleted; }),
        records.end());
}

bool ContactStore::clear()
{
    if (!d->write([&] { return d->db.exec("DELETE FROM records") && d->writeDigest(RecordDigest()); }))
        return false;
    d->digest = RecordDigest();
    d->records.clear();
    d->records.shrink_to_fit();
    goTo(d->cursor);
    return true;
}

// --- names ---------------------------------------------------------------------------

QString ContactStore::storeName() const
{
    return d->path.isEmpty() ? QString() : QFileInfo(d->path).completeBaseName();
}

QString ContactStore::filePath() const
{
    return d->path;
}

} // namespace quennet
