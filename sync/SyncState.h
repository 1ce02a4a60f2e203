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

// The engine's memory between syncs. Every call is one atomic write, so a
// sync stopped at any moment leaves a state the next sync converges from.
class SyncState {
public:
    virtual ~SyncState() = default;

    // Tells this store's cards apart from other clients' (new UIDs are made from it).
    virtual QString clientId() const = 0;
    virtual QString syncToken() const = 0;
    virtual QString ctag() const = 0;
    virtual QList<SyncedCard> cards() const = 0;

    virtual void setClientId(const QString &id) = 0;
    virtual void setListingMark(const QString &syncToken, const QString &ctag) = 0;
    virtual void putCard(const SyncedCard &card) = 0; // by href
    virtual void removeCard(const QString &href) = 0;
};

} // namespace quennet::sync
