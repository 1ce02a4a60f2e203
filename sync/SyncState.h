#pragma once

#include "contacts/store/Contact.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace quennet::sync {

// What the engine remembers of one card it synced: where it lives, the
// version it last saw, the whole card, and the six fields both sides agreed
// on then (the base of the next merge). A card whose contact is gone from
// the store is a local delete the server has not confirmed yet.
struct SyncedCard {
    QString href;
    QString etag;
    QString uid;
    qint64 contactId = 0;
    QByteArray card;
    Contact synced;
};

// The largest card kept: one with a larger photo is left alone on the server.
constexpr qsizetype kMaxCardBytes = 256 * 1024;

// The engine's memory between syncs. Every call is one atomic write, so a
// sync stopped at any moment leaves a state the next sync converges from.
class SyncState {
public:
    virtual ~SyncState() = default;

    // The writes from beginBatch to endBatch, and the changes to the
    // contacts made meanwhile, land together (a store: in one transaction),
    // so a contact and the card that stands for it are never written apart,
    // and many cards cost one commit. endBatch is false with *why when they
    // could not be written; then none of them was.
    virtual void beginBatch() {}
    virtual bool endBatch(QString *why)
    {
        Q_UNUSED(why);
        return true;
    }

    // Tells this store's cards apart from other clients' (new UIDs are made from it).
    virtual QString clientId() const = 0;
    virtual QString syncToken() const = 0;
    virtual QString ctag() const = 0;
    // The local contacts' fingerprint (LocalContacts::fingerprint) as the
    // last sync left them with nothing more to send; empty when it did not.
    virtual QString localMark() const = 0;
    // Every card kept; a store may leave their texts out (card empty):
    // keptCard gives the text of one.
    virtual QList<SyncedCard> cards() const = 0;
    // Why the cards could not be read (cards() is empty then); empty when they were.
    virtual QString cardsUnreadable() const { return QString(); }
    // The text of the card kept at href; false with *why when it could not be read.
    virtual bool keptCard(const QString &href, QByteArray *card, QString *why) const = 0;

    virtual void setClientId(const QString &id) = 0;
    // What the last listing ended on, and the local mark that goes with it.
    virtual void setListingMark(const QString &syncToken, const QString &ctag, const QString &localMark) = 0;
    virtual void putCard(const SyncedCard &card) = 0; // by href
    virtual void removeCard(const QString &href) = 0;
};

} // namespace quennet::sync
