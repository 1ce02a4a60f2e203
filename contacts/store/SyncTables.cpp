#include "contacts/store/SyncTables.h"

#include "contacts/store/PackedRecord.h"

#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>

namespace quennet::store {

namespace {

constexpr char kDigestName[] = "digest";

constexpr const char *kValueNames[] = {"url",        "user", "book",       "interval",         "client_id",
                                       "sync_token", "ctag", "local_mark", kServerPasswordName};

void appendPart(QByteArray *message, QByteArrayView part)
{
    char length[8];
    qToLittleEndian<qint64>(part.size(), length);
    message->append(length, 8);
    message->append(part.data(), part.size());
}

bool isBlob(const Statement &row, int column)
{
    return row.columnType(column) == SQLITE_BLOB;
}

bool withinName(const Statement &row, int column)
{
    return isBlob(row, column) && row.columnBlob(column).size() <= kMaxSyncNameBytes;
}

StoreError stepError(Connection &db, int rc)
{
    return rc == SQLITE_DONE ? StoreError::None : errorFromSqlite(db.lastError());
}

// The stored forms are what the digest covers, so it is checked without
// unsealing anything; the seals are checked where the values are read.
StoreError readValues(Connection &db, const StoreMeta &meta, StoredSyncRows *rows)
{
    Statement select = db.prepare("SELECT key, value FROM sync_meta ORDER BY key");
    if (!select.isValid())
        return StoreError::Damaged;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        const QByteArrayView name = select.columnBlob(0);
        const QByteArrayView value = select.columnBlob(1);
        if (select.columnType(0) != SQLITE_TEXT || !isBlob(select, 1) || value.size() > kMaxSyncValueBytes)
            return StoreError::Damaged;
        if (name == QByteArrayView(kDigestName)) {
            if (!meta.sealed || !rows->sealedDigest.isEmpty())
                return StoreError::Damaged;
            rows->sealedDigest = value.toByteArray();
            continue;
        }
        if (!isSyncValueName(name) || (name == QByteArrayView(kServerPasswordName) && !meta.sealed))
            return StoreError::Damaged;
        rows->values.append({name.toByteArray(), value.toByteArray()});
    }
    if (const StoreError error = stepError(db, rc); error != StoreError::None)
        return error;
    const bool digestThere = rows->sealedDigest.size() == SealingKey::sealedSize(sizeof(RecordDigest::bytes));
    return meta.sealed && !digestThere ? StoreError::Damaged : StoreError::None;
}

// Every card with its text; with tagging, each without it, its tag (under
// a password) toggled into rows->cardTags before the text goes.
StoreError readCards(Connection &db, StoredSyncRows *rows, const SealingKey *tagging = nullptr,
                     bool sealed = false)
{
    Statement select =
        db.prepare("SELECT href, etag, uid, contact, card, synced FROM sync_cards ORDER BY href");
    if (!select.isValid())
        return StoreError::Damaged;
    rows->withoutCardText = tagging != nullptr;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (!withinName(select, 0) || !withinName(select, 1) || !withinName(select, 2) ||
            select.columnType(3) != SQLITE_INTEGER || select.columnInt(3) < 1 || !isBlob(select, 4) ||
            !isBlob(select, 5))
            return StoreError::Damaged;
        StoredSyncCard card{select.columnBlob(0).toByteArray(),
                            select.columnBlob(1).toByteArray(),
                            select.columnBlob(2).toByteArray(),
                            select.columnInt(3),
                            {},
                            select.columnBlob(5).toByteArray()};
        if (!tagging) {
            card.card = select.columnBlob(4).toByteArray();
        } else if (sealed) {
            card.card = select.columnBlob(4).toByteArray();
            rows->cardTags.toggle(syncCardTag(*tagging, card));
            card.card.clear();
        }
        rows->cards.push_back(std::move(card));
    }
    return stepError(db, rc);
}

QByteArray sealedEmptyDigest(const StoreMeta &meta, const SealingKey &key)
{
    return key.seal(RecordDigest().toBytes(), syncDigestAssociatedData(meta.storeId));
}

bool putDigest(Connection &db, const QByteArray &sealed)
{
    Statement insert = db.prepare("INSERT OR REPLACE INTO sync_meta (key, value) VALUES (?, ?)");
    return insert.bindText(1, kDigestName).bind(2, QByteArrayView(sealed)).run();
}

// The stored form of plain under meta: sealed with ad, or as it is.
QByteArray storedForm(const StoreMeta &meta, const SealingKey &key, const QByteArray &plain,
                      const QByteArray &ad)
{
    return meta.sealed ? key.seal(plain, ad) : plain;
}

bool plainForm(const StoreMeta &meta, const SealingKey &key, const QByteArray &stored, const QByteArray &ad,
               QByteArray *plain)
{
    if (!meta.sealed) {
        *plain = stored;
        return true;
    }
    return key.unseal(stored, ad, plain);
}

} // namespace

bool isSyncValueName(QByteArrayView name)
{
    return std::any_of(std::begin(kValueNames), std::end(kValueNames),
                       [&](const char *known) { return name == QByteArrayView(known); });
}

QByteArray syncValueAssociatedData(const QByteArray &storeId, QByteArrayView name)
{
    QByteArray ad = QByteArrayLiteral("quennet-sync-value:") + storeId;
    appendPart(&ad, name);
    return ad;
}

QByteArray syncCardAssociatedData(const QByteArray &storeId, QByteArrayView href, char column)
{
    QByteArray ad = QByteArrayLiteral("quennet-sync-card:") + storeId + column;
    appendPart(&ad, href);
    return ad;
}

QByteArray syncDigestAssociatedData(const QByteArray &storeId)
{
    return QByteArrayLiteral("quennet-sync-digest:") + storeId;
}

RecordTag syncValueTag(const SealingKey &key, QByteArrayView name, QByteArrayView stored)
{
    QByteArray message = QByteArrayLiteral("quennet-sync-value");
    appendPart(&message, name);
    appendPart(&message, stored);
    return key.messageTag(message);
}

RecordTag syncCardTag(const SealingKey &key, const StoredSyncCard &card)
{
    QByteArray message = QByteArrayLiteral("quennet-sync-card");
    for (const QByteArray *part : {&card.href, &card.etag, &card.uid})
        appendPart(&message, *part);
    char contact[8];
    qToLittleEndian<qint64>(card.contact, contact);
    message.append(contact, 8);
    appendPart(&message, card.card);
    appendPart(&message, card.synced);
    return key.messageTag(message);
}

StoreError readSyncRows(Connection &db, const StoreMeta &meta, StoredSyncRows *rows)
{
    if (const StoreError error = readSyncValues(db, meta, rows); error != StoreError::None)
        return error;
    return hasSyncTables(db) ? readCards(db, rows) : StoreError::None;
}

StoreError readSyncValues(Connection &db, const StoreMeta &meta, StoredSyncRows *rows)
{
    *rows = StoredSyncRows();
    return hasSyncTables(db) ? readValues(db, meta, rows) : StoreError::None;
}

StoreError readSyncIndex(Connection &db, const StoreMeta &meta, const SealingKey &key, StoredSyncRows *rows)
{
    if (const StoreError error = readSyncValues(db, meta, rows); error != StoreError::None)
        return error;
    return hasSyncTables(db) ? readCards(db, rows, &key, meta.sealed) : StoreError::None;
}

StoreError readSyncCardText(Connection &db, QByteArrayView href, QByteArray *stored)
{
    if (!hasSyncTables(db))
        return StoreError::Damaged;
    Statement select = db.prepare("SELECT card FROM sync_cards WHERE href = ?");
    if (!select.isValid())
        return StoreError::Damaged;
    select.bind(1, href);
    const int rc = select.step();
    if (rc == SQLITE_ROW && isBlob(select, 0)) {
        *stored = select.columnBlob(0).toByteArray();
        return StoreError::None;
    }
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? StoreError::Damaged : errorFromSqlite(db.lastError());
}

bool syncDigestMatches(const StoreMeta &meta, const SealingKey &key, const StoredSyncRows &rows)
{
    if (!meta.sealed)
        return true;
    if (rows.sealedDigest.isEmpty() && rows.values.isEmpty() && rows.cards.empty())
        return true; // no tables yet
    RecordDigest computed = rows.withoutCardText ? rows.cardTags : RecordDigest();
    for (const auto &[name, value] : rows.values)
        computed.toggle(syncValueTag(key, name, value));
    if (!rows.withoutCardText)
        for (const StoredSyncCard &card : rows.cards)
            computed.toggle(syncCardTag(key, card));
    QByteArray sealed;
    return key.unseal(rows.sealedDigest, syncDigestAssociatedData(meta.storeId), &sealed) &&
           sealed == computed.toBytes();
}

bool ensureSyncTables(Connection &db, const StoreMeta &meta, const SealingKey &key)
{
    if (hasSyncTables(db))
        return true;
    return createSyncTables(db) && (!meta.sealed || putDigest(db, sealedEmptyDigest(meta, key)));
}

bool toggleSyncDigest(Connection &db, const StoreMeta &meta, const SealingKey &key,
                      const std::vector<RecordTag> &tags)
{
    if (!meta.sealed)
        return true;
    Statement select = db.prepare("SELECT value FROM sync_meta WHERE key = ?");
    select.bindText(1, kDigestName);
    if (select.step() != SQLITE_ROW)
        return false;
    QByteArray plain;
    if (!key.unseal(select.columnBlob(0), syncDigestAssociatedData(meta.storeId), &plain) ||
        plain.size() != qsizetype(sizeof(RecordDigest::bytes)))
        return false;
    select = Statement();
    RecordDigest digest;
    std::copy(plain.cbegin(), plain.cend(), reinterpret_cast<char *>(digest.bytes));
    for (const RecordTag &tag : tags)
        digest.toggle(tag);
    return putDigest(db, key.seal(digest.toBytes(), syncDigestAssociatedData(meta.storeId)));
}

bool resealSyncRows(Connection &db, const StoreMeta &was, const SealingKey &wasKey, const StoreMeta &now,
                    const SealingKey &nowKey)
{
    if (!hasSyncTables(db))
        return true;
    StoredSyncRows rows;
    if (readSyncRows(db, was, &rows) != StoreError::None || !syncDigestMatches(was, wasKey, rows))
        return false;
    RecordDigest digest;
    if (!db.exec("DELETE FROM sync_meta"))
        return false;
    Statement putValue = db.prepare("INSERT INTO sync_meta (key, value) VALUES (?, ?)");
    for (const auto &[name, stored] : rows.values) {
        QByteArray plain;
        if (!plainForm(was, wasKey, stored, syncValueAssociatedData(was.storeId, name), &plain))
            return false;
        if (!now.sealed && name == QByteArrayView(kServerPasswordName))
            continue; // never in plain text
        const QByteArray again = storedForm(now, nowKey, plain, syncValueAssociatedData(now.storeId, name));
        digest.toggle(syncValueTag(nowKey, name, again));
        if (!putValue.bindText(1, name.constData()).bind(2, QByteArrayView(again)).run())
            return false;
    }
    Statement putCard = db.prepare("UPDATE sync_cards SET card = ?, synced = ? WHERE href = ?");
    for (StoredSyncCard &card : rows.cards) {
        QByteArray plainCard, plainSynced;
        if (!plainForm(was, wasKey, card.card, syncCardAssociatedData(was.storeId, card.href, 'c'),
                       &plainCard) ||
            !plainForm(was, wasKey, card.synced, syncCardAssociatedData(was.storeId, card.href, 's'),
                       &plainSynced))
            return false;
        card.card = storedForm(now, nowKey, plainCard, syncCardAssociatedData(now.storeId, card.href, 'c'));
        card.synced =
            storedForm(now, nowKey, plainSynced, syncCardAssociatedData(now.storeId, card.href, 's'));
        digest.toggle(syncCardTag(nowKey, card));
        if (!putCard.bind(1, QByteArrayView(card.card))
                 .bind(2, QByteArrayView(card.synced))
                 .bind(3, QByteArrayView(card.href))
                 .run() ||
            db.changes() != 1)
            return false;
    }
    return !now.sealed || putDigest(db, nowKey.seal(digest.toBytes(), syncDigestAssociatedData(now.storeId)));
}

} // namespace quennet::store
