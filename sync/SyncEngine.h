#pragma once

#include "sync/CardDavClient.h"
#include "sync/LocalContacts.h"
#include "sync/SyncState.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <functional>

namespace quennet::sync {

// What a sync tells the one who waits for it, and how it is stopped. Both
// are optional. stepsDone comes after each card handled (done of an
// estimated total); cancelled is asked before each step, and true ends the
// sync there with a Cancelled error. A request under way is ended by the
// transport's cancel().
struct SyncProgress {
    std::function<void(int done, int total)> stepsDone;
    std::function<bool()> cancelled;
};

// What one sync did, for the report.
struct SyncReport {
    int addedHere = 0, changedHere = 0, deletedHere = 0;    // in the store
    int addedThere = 0, changedThere = 0, deletedThere = 0; // on the server
    QStringList conflicts; // fields changed on both sides: ours kept, the server's value named
    QStringList skipped;   // server cards our rules refused, with the reason; left alone on the server
    DavError error;        // what ended the sync early; None when it ran through

    // The report as the user reads it: the error or the counts each way,
    // then the conflicts and the skipped cards, one a line.
    QStringList lines() const;
};

// Two-way sync of the local contacts with one address book.
//
// First sync: the server's cards come in through the adding rules, a local
// and a server contact with the same 姓名 and a matching number are linked,
// and the local contacts left go up as new cards. Later syncs ask what
// changed since the stored sync token (or compare getctag and ETags), fetch
// the changed cards, merge field by field against the last synced values
// (a field changed on both sides keeps ours), and send local changes and
// deletes with If-Match. The state is written after each step, in batches
// with the contacts' changes, the token last, so a sync stopped anywhere is
// picked up by the next one: cards
// refetched at a version we know are skipped, and a card we sent but did
// not record is recognised by its UID.
//
// A sync that leaves nothing to send keeps the local contacts' fingerprint
// with the book's marks. When the next one finds the contacts as they were
// and the book's getctag (or, where it has none, its sync-token) as it was,
// nothing changed on either side: it ends after that one request, without
// reading the kept cards.
class SyncEngine {
public:
    SyncEngine(CardDavClient &client, QString bookHref, LocalContacts &local, SyncState &state);

    SyncReport run(const SyncProgress &progress = {});

    // The UID of a new card for a local contact: the same for the same
    // contact of the same state, whatever happened in between.
    static QString uidFor(const QString &clientId, qint64 contactId);

private:
    class Batch;
    struct Listing {
        QList<CardRef> changed;
        QStringList removed;
        QString token, ctag;
    };

    // *unchanged when neither side changed since the last sync (see above).
    DavError unchangedSinceLastSync(bool *unchanged);
    DavError runRound();
    DavError list(Listing *listing);
    // The book's getctag for the mark of a round with nothing of ours to
    // send; empty for a round that will send (it lists again after).
    DavError ctagBeforeListing(QString *ctag);
    QString localFingerprint() const;
    DavError applyServerCard(const ServerCardData &card);
    DavError applyRemoval(const QString &href);
    DavError pushLocal(Batch &batch);
    DavError createCard(const Contact &local);
    // Brings the server's card (its href, version and text in server) and
    // the local contact together against base: merges, changes the store
    // where the server's side wins, and sends the card back where ours
    // does; a 412 fetches the card again and tries once more.
    DavError reconcile(SyncedCard server, Contact base, Contact local);
    // Field-wise merge against base; ours wins where both changed, and the
    // conflict is reported.
    Contact merge(const Contact &base, const Contact &ours, const Contact &theirs);
    const Contact *localContact(qint64 id) const;
    const SyncedCard *known(const QString &href) const;
    // The text of the card kept at href, which the engine reads only for a
    // card it merges or sends back from what it kept.
    DavError keptCard(const QString &href, QByteArray *card) const;
    void remember(const SyncedCard &card);
    void forget(const QString &href);
    void loadLocal();
    const QHash<QString, qint64> &byUid();
    void localAdded(const Contact &contact);
    void localChanged(const Contact &contact);
    void localRemoved(qint64 id);
    // One card handled: tells the progress, and ends the sync when it was cancelled.
    DavError step();
    DavError stopIfCancelled() const;
    int pendingLocal() const;

    CardDavClient &m_client;
    QString m_book;
    LocalContacts &m_local;
    SyncState &m_state;
    SyncReport m_report;
    QString m_clientId; // asked once: it is part of every local contact's UID
    SyncProgress m_progress;
    QString m_ctagAsked; // the getctag unchangedSinceLastSync found, for the first round
    int m_done = 0, m_total = 0;
    // Looked up once per card: a sync of thousands stays linear.
    QHash<QString, SyncedCard> m_known; // by href
    QHash<qint64, QString> m_linked;    // contact id → href of its card
    QMap<qint64, Contact> m_locals;     // by id
    // uidFor() of each local contact, made when a card new to us first asks
    // (a UUID per contact is a hash each: a sync with nothing new makes none).
    QHash<QString, qint64> m_byUid;
    bool m_byUidMade = false;
    QMultiHash<QString, qint64> m_byName;
    QSet<QString> m_reconciled; // hrefs already brought together this round
};

} // namespace quennet::sync
