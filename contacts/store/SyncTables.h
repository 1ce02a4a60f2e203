#pragma once

#include "contacts/store/Sealing.h"
#include "contacts/store/Sqlite.h"
#include "contacts/store/StoreError.h"
#include "contacts/store/StoreFile.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <vector>

// The sync's two tables as the file holds them: sync_meta (named values:
// the settings, the client id, the marks of the last listing, the kept
// server password) and sync_cards (per card its href, ETag, UID, the
// contact it stands for, the whole card and the six values last synced).
// Under a password the values, cards and synced values are sealed like the
// records, tied to their store and their name or href, and a keyed digest
// of every row (sealed in sync_meta as "digest") tells rows deleted, put
// back from an older copy or changed.
namespace quennet::store {

// Longest href, ETag or UID kept, and the largest card (a card with a
// larger photo is not synced: one row must stay within kMaxValueBytes).
constexpr qsizetype kMaxSyncNameBytes = 4096;
constexpr qsizetype kMaxKeptCardBytes = 256 * 1024;
constexpr qsizetype kMaxSyncValueBytes = 64 * 1024;

// The names sync_meta may hold, besides the digest.
bool isSyncValueName(QByteArrayView name);
// Kept only sealed: a store without a password never holds it.
constexpr char kServerPasswordName[] = "server_password";

struct StoredSyncCard {
    QByteArray href, etag, uid;
    qint64 contact = 0;
    QByteArray card, synced; // sealed under a password; synced is a packed record
};

struct StoredSyncRows {
    QList<QPair<QByteArray, QByteArray>> values; // name, stored value
    QByteArray sealedDigest;                     // empty without a password
    std::vector<StoredSyncCard> cards;
    // Read without the cards' text (readSyncIndex): their tags, toggled
    // together, stand in for the texts in the digest.
    bool withoutCardText = false;
    RecordDigest cardTags;
};

QByteArray syncValueAssociatedData(const QByteArray &storeId, QByteArrayView name);
QByteArray syncCardAssociatedData(const QByteArray &storeId, QByteArrayView href, char column);
QByteArray syncDigestAssociatedData(const QByteArray &storeId);

RecordTag syncValueTag(const SealingKey &key, QByteArrayView name, QByteArrayView stored);
RecordTag syncCardTag(const SealingKey &key, const StoredSyncCard &card);

// Every row with its types and bounds checked (Damaged when one is off); no
// tables is no rows.
StoreError readSyncRows(Connection &db, const StoreMeta &meta, StoredSyncRows *rows);
// Only the values (rows->cards stays empty): their types and bounds.
StoreError readSyncValues(Connection &db, const StoreMeta &meta, StoredSyncRows *rows);
// Every row as readSyncRows, each card without its text (card stays empty),
// which is read only to tag it for the digest under a password.
StoreError readSyncIndex(Connection &db, const StoreMeta &meta, const SealingKey &key, StoredSyncRows *rows);
// The stored text of the card at href (Damaged when there is none).
StoreError readSyncCardText(Connection &db, QByteArrayView href, QByteArray *stored);
// The digest of rows under key against the one sealed in them.
bool syncDigestMatches(const StoreMeta &meta, const SealingKey &key, const StoredSyncRows &rows);

// Inside a write: makes the tables (and a protected store's empty digest)
// when the file has none yet.
bool ensureSyncTables(Connection &db, const StoreMeta &meta, const SealingKey &key);
// Inside a write: toggles tags in the sealed digest (nothing to do without a password).
bool toggleSyncDigest(Connection &db, const StoreMeta &meta, const SealingKey &key,
                      const std::vector<RecordTag> &tags);
// Inside the write that changes the password: every sealed part sealed
// again under the new key (or unsealed), the digest made anew; the kept
// server password goes when the store loses its password.
bool resealSyncRows(Connection &db, const StoreMeta &was, const SealingKey &wasKey, const StoreMeta &now,
                    const SealingKey &nowKey);

} // namespace quennet::store
