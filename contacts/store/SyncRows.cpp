#include "contacts/store/SyncRows.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/PackedRecord.h"
#include "contacts/store/SyncTables.h"

#include <sqlite3.h>

namespace quennet {

using namespace store;

namespace {

const char *const kNames[] = {
    "url", "user", "book", "interval", "client_id", "sync_token", "ctag", kServerPasswordName, "local_mark"};

QString textOf(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

// The six values of a packed record, or false.
bool unpack(const QByteArray &packed, QStringList *values)
{
    if (!packed::isWellFormed(packed))
        return false;
    values->clear();
    for (int i = 0; i < 6; ++i)
        values->append(packed::field(packed, i));
    return true;
}

// A card's row without its text (see readSyncIndex).
bool readStoredCard(const StoreMeta &meta, const SealingKey &key, const StoredSyncCard &stored,
                    SyncCardRow *row)
{
    QByteArray synced;
    if (meta.sealed) {
        if (!key.unseal(stored.synced, syncCardAssociatedData(meta.storeId, stored.href, 's'), &synced))
            return false;
    } else {
        synced = stored.synced;
    }
    row->href = textOf(stored.href);
    row->etag = textOf(stored.etag);
    row->uid = textOf(stored.uid);
    row->contactId = stored.contact;
    return unpack(synced, &row->synced);
}

} // namespace

QString SyncRows::nameOf(Value value)
{
    return QLatin1String(kNames[int(value)]);
}

bool SyncRows::sealed() const
{
    return m_store.d->meta.sealed;
}

qint64 SyncRows::fileVersion() const
{
    // The header's change counter: every commit moves it, also one of another
    // connection, and it tells a file opened again from the one read before.
    return m_store.isOpen() ? qint64(changeCounter(m_store.d->path)) : -1;
}

bool SyncRows::read(SyncSnapshot *snapshot)
{
    return readRows(true, snapshot);
}

bool SyncRows::readValues(SyncSnapshot *snapshot)
{
    return readRows(false, snapshot);
}

bool SyncRows::readRows(bool withCards, SyncSnapshot *snapshot)
{
    ContactStoreImpl &d = *m_store.d;
    *snapshot = SyncSnapshot();
    if (!m_store.isOpen())
        return d.refuse(StoreError::NotOpen);
    // One committed state, unless a batch of ours holds the file already.
    const bool ownTransaction = !d.inTransaction();
    if (ownTransaction && !d.db.exec("BEGIN"))
        return d.refuse(errorFromSqlite(d.db.lastError()));
    StoredSyncRows rows;
    StoreError error =
        withCards ? readSyncIndex(d.db, d.meta, d.key, &rows) : readSyncValues(d.db, d.meta, &rows);
    if (ownTransaction)
        d.db.exec("COMMIT");
    if (withCards && error == StoreError::None && !syncDigestMatches(d.meta, d.key, rows))
        error = StoreError::Damaged;
    for (const auto &[name, stored] : rows.values) {
        QByteArray plain = stored;
        if (error == StoreError::None && d.meta.sealed &&
            !d.key.unseal(stored, syncValueAssociatedData(d.meta.storeId, name), &plain))
            error = StoreError::Damaged;
        snapshot->values.insert(textOf(name), textOf(plain));
    }
    snapshot->cards.reserve(qsizetype(rows.cards.size()));
    for (const StoredSyncCard &stored : rows.cards) {
        SyncCardRow row;
        if (error == StoreError::None && !readStoredCard(d.meta, d.key, stored, &row))
            error = StoreError::Damaged;
        snapshot->cards.append(std::move(row));
    }
    if (error != StoreError::None) {
        *snapshot = SyncSnapshot();
        return d.refuse(error);
    }
    d.error = StoreError::None;
    return true;
}

bool SyncRows::readCard(const QString &href, QByteArray *card)
{
    ContactStoreImpl &d = *m_store.d;
    card->clear();
    if (!m_store.isOpen())
        return d.refuse(StoreError::NotOpen);
    const QByteArray key = href.toUtf8();
    QByteArray stored;
    const bool ownTransaction = !d.inTransaction();
    if (ownTransaction && !d.db.exec("BEGIN"))
        return d.refuse(errorFromSqlite(d.db.lastError()));
    StoreError error = readSyncCardText(d.db, key, &stored);
    if (ownTransaction)
        d.db.exec("COMMIT");
    if (error == StoreError::None && d.meta.sealed &&
        !d.key.unseal(stored, syncCardAssociatedData(d.meta.storeId, key, 'c'), card))
        error = StoreError::Damaged;
    else if (error == StoreError::None && !d.meta.sealed)
        *card = std::move(stored);
    if (error != StoreError::None) {
        card->clear();
        return d.refuse(error);
    }
    d.error = StoreError::None;
    return true;
}

bool SyncRows::setValue(Value value, const QString &text)
{
    if (value == Value::ServerPassword && !sealed() && !text.isEmpty())
        return m_store.d->refuse(StoreError::Failed); // never in plain text
    return writeValue(QByteArray(kNames[int(value)]), text);
}

bool SyncRows::writeValue(const QByteArray &name, const QString &text)
{
    ContactStoreImpl &d = *m_store.d;
    const QByteArray plain = text.toUtf8();
    if (plain.size() > kMaxSyncValueBytes - 64)
        return d.refuse(StoreError::OverCapacity);
    return d.write([&] {
        if (!ensureSyncTables(d.db, d.meta, d.key))
            return false;
        std::vector<RecordTag> tags;
        Statement select = d.db.prepare("SELECT value FROM sync_meta WHERE key = ?");
        select.bindText(1, name.constData());
        const int rc = select.step();
        if (rc == SQLITE_ROW)
            tags.push_back(syncValueTag(d.key, name, select.columnBlob(0)));
        else if (rc != SQLITE_DONE)
            return false;
        select = Statement();
        if (plain.isEmpty()) {
            Statement remove = d.db.prepare("DELETE FROM sync_meta WHERE key = ?");
            if (!remove.bindText(1, name.constData()).run())
                return false;
        } else {
            const QByteArray stored =
                d.meta.sealed ? d.key.seal(plain, syncValueAssociatedData(d.meta.storeId, name)) : plain;
            tags.push_back(syncValueTag(d.key, name, stored));
            Statement put = d.db.prepare("INSERT OR REPLACE INTO sync_meta (key, value) VALUES (?, ?)");
            if (!put.bindText(1, name.constData()).bind(2, QByteArrayView(stored)).run())
                return false;
        }
        return toggleSyncDigest(d.db, d.meta, d.key, tags);
    });
}

namespace {

// The tag of the card stored at href now, when there is one.
bool tagOfStoredCard(Connection &db, const SealingKey &key, const QByteArray &href,
                     std::vector<RecordTag> *tags)
{
    Statement select = db.prepare("SELECT etag, uid, contact, card, synced FROM sync_cards WHERE href = ?");
    select.bind(1, QByteArrayView(href));
    const int rc = select.step();
    if (rc == SQLITE_ROW)
        tags->push_back(
            syncCardTag(key, {href, select.columnBlob(0).toByteArray(), select.columnBlob(1).toByteArray(),
                              select.columnInt(2), select.columnBlob(3).toByteArray(),
                              select.columnBlob(4).toByteArray()}));
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

} // namespace

bool SyncRows::putCard(const SyncCardRow &card)
{
    ContactStoreImpl &d = *m_store.d;
    StoredSyncCard stored{card.href.toUtf8(), card.etag.toUtf8(), card.uid.toUtf8(), card.contactId, {}, {}};
    QByteArray synced;
    if (stored.href.isEmpty() || stored.href.size() > kMaxSyncNameBytes ||
        stored.etag.size() > kMaxSyncNameBytes || stored.uid.size() > kMaxSyncNameBytes ||
        card.contactId < 1 || card.card.size() > kMaxKeptCardBytes || !packed::pack(card.synced, &synced))
        return d.refuse(StoreError::OverCapacity);
    if (d.meta.sealed) {
        stored.card = d.key.seal(card.card, syncCardAssociatedData(d.meta.storeId, stored.href, 'c'));
        stored.synced = d.key.seal(synced, syncCardAssociatedData(d.meta.storeId, stored.href, 's'));
    } else {
        stored.card = card.card;
        stored.synced = synced;
    }
    return d.write([&] {
        std::vector<RecordTag> tags;
        if (!ensureSyncTables(d.db, d.meta, d.key) ||
            (d.meta.sealed && !tagOfStoredCard(d.db, d.key, stored.href, &tags)))
            return false;
        tags.push_back(syncCardTag(d.key, stored));
        Statement put =
            d.db.prepare("INSERT OR REPLACE INTO sync_cards (href, etag, uid, contact, card, synced) "
                         "VALUES (?, ?, ?, ?, ?, ?)");
        return put.bind(1, QByteArrayView(stored.href))
                   .bind(2, QByteArrayView(stored.etag))
                   .bind(3, QByteArrayView(stored.uid))
                   .bind(4, stored.contact)
                   .bind(5, QByteArrayView(stored.card))
                   .bind(6, QByteArrayView(stored.synced))
                   .run() &&
               toggleSyncDigest(d.db, d.meta, d.key, tags);
    });
}

bool SyncRows::removeCard(const QString &href)
{
    ContactStoreImpl &d = *m_store.d;
    const QByteArray key = href.toUtf8();
    return d.write([&] {
        if (!hasSyncTables(d.db))
            return true;
        std::vector<RecordTag> tags;
        if (d.meta.sealed && !tagOfStoredCard(d.db, d.key, key, &tags))
            return false;
        Statement remove = d.db.prepare("DELETE FROM sync_cards WHERE href = ?");
        return remove.bind(1, QByteArrayView(key)).run() && toggleSyncDigest(d.db, d.meta, d.key, tags);
    });
}

bool SyncRows::forgetCards()
{
    ContactStoreImpl &d = *m_store.d;
    return d.write([&] {
        if (!hasSyncTables(d.db))
            return true;
        if (!d.db.exec("DELETE FROM sync_cards") ||
            !d.db.exec("DELETE FROM sync_meta WHERE key IN ('sync_token', 'ctag', 'local_mark')"))
            return false;
        // The digest of what is left: the other values.
        StoredSyncRows rows;
        if (readSyncRows(d.db, d.meta, &rows) != StoreError::None)
            return false;
        if (!d.meta.sealed)
            return true;
        RecordDigest digest;
        for (const auto &[name, value] : rows.values)
            digest.toggle(syncValueTag(d.key, name, value));
        Statement put = d.db.prepare("INSERT OR REPLACE INTO sync_meta (key, value) VALUES ('digest', ?)");
        const QByteArray sealed = d.key.seal(digest.toBytes(), syncDigestAssociatedData(d.meta.storeId));
        return put.bind(1, QByteArrayView(sealed)).run();
    });
}

} // namespace quennet
