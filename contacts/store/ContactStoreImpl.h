#pragma once

#include "contacts/store/ContactStore.h"
#include "contacts/store/FaultPlan.h"
#include "contacts/store/LargeBlockAllocator.h"
#include "contacts/store/PackedRecord.h"
#include "contacts/store/RecordArena.h"
#include "contacts/store/Sealing.h"
#include "contacts/store/Sqlite.h"
#include "contacts/store/StoreFile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace quennet {

// One record as held in memory: the row it lives in, its mark and where its
// six fields lie packed (see store/PackedRecord.h), in the arena: records
// read at open and written later alike. Sixteen bytes: the size is read off
// the packed record, the mark shares the row id's word.
struct StoredRecord {
    qint64 rowId : 63;
    bool deleted : 1;
    const char *data;

    QByteArray packed() const { return QByteArray::fromRawData(data, store::packed::sizeOf(data)); }
};
static_assert(sizeof(StoredRecord) == 16);

struct StoreCredential::Unlock {
    store::SealingKey key;
    store::KdfParams kdf;
};

// How an open unlocks a sealed store: with a password or a credential.
// With neither only the key already held (a reload) can unlock it.
struct Unlocking {
    const QString *password = nullptr;
    const StoreCredential::Unlock *credential = nullptr;
};

class ContactStoreImpl {
public:
    // The open store; records[i] is record number i + 1.
    store::Connection db;
    store::StoreMeta meta;
    store::SealingKey key;
    std::vector<StoredRecord, store::LargeBlockAllocator<StoredRecord>> records;
    store::RecordArena arena;
    QString path;
    int cursor = 0; // 0 before-first, 1..N on a record, N + 1 after-last
    StoreError error = StoreError::None;
    // Set by a write's body to say why it gave up (else the SQLite code tells).
    StoreError bodyError = StoreError::None;
    // PRAGMA data_version of db when the records were read: it moves when
    // another connection commits.
    qint64 dataVersion = -1;
    // Digest of the record set as the file holds it (protected stores only).
    store::RecordDigest digest;
    std::unique_ptr<store::FaultPlan> faults; // none outside tests
    qint64 maxRecords = kMaxRecords;          // lowered only by tests (ContactStoreTesting.h), to reach it

    int count() const { return int(records.size()); }
    const StoredRecord *current() const;
    void reset();

    StoreError openAndLoad(const QString &path, const Unlocking &with);
    // Derives the key from the meta data read on their own, before the
    // records are read under a lock. A wrong password is remembered with the
    // key material it failed on, so that it is not tried twice.
    void unlockAhead(const QString &path, const Unlocking &with);
    struct Refusal {
        bool tried = false;
        store::KdfParams kdf;
        QByteArray keyCheck;
    } refusedAhead;
    StoreError readVerified(const QString &path, const Unlocking &with, quint32 *changeCounter);
    StoreError openForWriting(const QString &path, quint32 changeCounterRead);
    StoreError load(store::Connection &reader);
    QByteArray diskForm(const store::StoreMeta &m, const store::SealingKey &k, qint64 rowId,
                        const QByteArray &packed) const;
    bool readDiskForm(qint64 rowId, QByteArrayView stored, const char **packed);
    // A copy of a packed record in the arena, where it stays until the
    // records are read again or the store closes.
    const char *keep(const QByteArray &packed);

    // The open batch (ContactStore::beginBatch), and the failure that ended
    // its transaction early: its later writes fail with it.
    std::unique_ptr<store::Transaction> batch;
    StoreError batchError = StoreError::None;
    bool inTransaction() const;
    StoreError writeInBatch(const std::function<bool()> &body);
    // Reads the records again after a batch that did not commit.
    void reloadAfterRollback();

    int reloads = 0;
    bool viewLost = false; // a reload cleared the records and failed

    // Runs body inside one transaction; true only when it committed. On
    // failure error says why. When other programs committed since the
    // records were read, the file's records are read in first (the write
    // lock is already held, so they stay what the file holds until the
    // commit); without readFirst such a write fails with ChangedElsewhere.
    bool write(const std::function<bool()> &body, bool readFirst = true);
    StoreError attemptWrite(const std::function<bool()> &body, bool readFirst);
    // A write whose rules come first: allowed decides on the records as the
    // file holds them inside the transaction. A refusal fails the write with
    // error None.
    bool writeIf(ContactStore &store, const std::function<bool(ContactStore &)> &allowed,
                 const std::function<bool()> &body);
    // Inside a transaction on db: verifies the file again and reads its
    // records. On failure memory is unusable and the caller closes the store.
    StoreError reloadInTransaction();
    bool commit(store::Transaction &tx);
    StoreError unchangedSinceRead();
    // Both return false: refuse before any write starts, giveUp from a body.
    bool refuse(StoreError why);
    bool giveUp(StoreError why);
    qint64 readDataVersion();
    void removeMarkedFromMemory();
    // None, or why the copy failed (a full disk is told apart).
    StoreError copyFileBytes(const QString &destination);
    qint64 nextRowId();

    // The record set's digest under a protected store's key.
    store::RecordTag tagOf(const StoredRecord &record) const;
    QByteArray sealDigest(const store::StoreMeta &m, const store::SealingKey &k,
                          const store::RecordDigest &next) const;
    bool digestMatches(const store::StoreMeta &m, const store::RecordDigest &computed) const;
    // Inside a write: seals next into the meta table (nothing to do
    // without a password). Assign it to digest once the write committed.
    bool writeDigest(const store::RecordDigest &next);
};

} // namespace quennet
