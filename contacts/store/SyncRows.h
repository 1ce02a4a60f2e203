#pragma once

#include "contacts/store/ContactStore.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace quennet {

// One card a sync keeps: where it lives on the server, the version last
// seen, its UID, the contact it stands for (a contact no longer in the
// store: a delete the server has not confirmed yet), the whole card and the
// six values both sides agreed on then.
struct SyncCardRow {
    QString href;
    QString etag;
    QString uid;
    qint64 contactId = 0;
    QByteArray card;
    QStringList synced;
};

// What the sync keeps in a store, read in one piece.
struct SyncSnapshot {
    QMap<QString, QString> values; // by name (see SyncRows::Value)
    QList<SyncCardRow> cards;      // by href
};

// The sync's tables of an open store (see store/SyncTables.h): named values
// and the kept cards, sealed under the store's password, covered by their
// own keyed digest. Writes go through the store's own writes, so they join
// its batches: a contact and the card that stands for it land together.
// The first write makes the tables in the same transaction.
class SyncRows {
public:
    enum class Value { Url, User, Book, Interval, ClientId, SyncToken, Ctag, ServerPassword, LocalMark };

    explicit SyncRows(ContactStore &store) : m_store(store) {}

    static QString nameOf(Value value);

    // False with lastError() Damaged when a row does not verify. Each card
    // comes without its text (card stays empty): readCard gives it, for the
    // few a sync needs. The digest is checked over every row all the same.
    bool read(SyncSnapshot *snapshot);
    // The text of the card kept at href, unsealed; false with lastError()
    // Damaged when there is none or it does not unseal.
    bool readCard(const QString &href, QByteArray *card);
    // Only the values, each verified by its seal (the digest over all rows
    // needs the cards: read() checks it); snapshot->cards stays empty.
    bool readValues(SyncSnapshot *snapshot);
    // Moves with every commit to the file, ours and other programs'.
    qint64 fileVersion() const;
    // Only a store with a password keeps the server password.
    bool sealed() const;

    // An empty value removes it.
    bool setValue(Value value, const QString &text);
    bool putCard(const SyncCardRow &card);
    bool removeCard(const QString &href);
    // Forgets every card and the listing marks (another address book).
    bool forgetCards();
    StoreError lastError() const { return m_store.lastError(); }

private:
    bool readRows(bool withCards, SyncSnapshot *snapshot);
    bool writeValue(const QByteArray &name, const QString &text);
    ContactStore &m_store;
};

} // namespace quennet
