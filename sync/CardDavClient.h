#pragma once

#include "sync/DavError.h"
#include "sync/DavTransport.h"
#include "sync/DavXml.h"
#include "sync/DnsResolver.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// A CardDAV client (RFC 6352) for one account: finding the address books
// (RFC 6764), listing what changed (RFC 6578 sync-collection, or getctag and
// getetag where the server has no sync tokens), fetching cards in batches
// and writing them with preconditions. Every call waits for its answer.

namespace quennet::sync {

struct AddressBook {
    QString href; // decoded path of the collection, ending in '/'
    QString displayName;
    QString ctag;      // getctag; empty when the server has none
    QString syncToken; // empty when the server offers no sync-collection
};

struct CardRef {
    QString href;
    QString etag;
};

struct ServerCardData {
    QString href;
    QString etag;
    QByteArray vcard;
};

// What changed in a book since a sync token.
struct BookChanges {
    QList<CardRef> changed; // new or changed cards
    QStringList removed;    // hrefs gone from the book
    QString syncToken;      // to ask from next time
};

class CardDavClient {
public:
    // resolver: where the DNS is asked (null: the system's).
    explicit CardDavClient(ServerAccount account, DnsResolver *resolver = nullptr);
    ~CardDavClient();

    DavTransport &transport() { return m_transport; }

    // The address as the user typed it: an address without a scheme is
    // one on https (a domain alone: "example.cn").
    static QUrl accountUrl(const QString &typed);

    // The address books the account's URL leads to. The URL may be the book
    // itself (then it is the only one), a home, a principal or the server
    // root (then /.well-known/carddav is asked first). A domain alone
    // (https, no path) is first looked up in the DNS (RFC 6764): the SRV
    // records of _carddavs._tcp, then of _carddav._tcp for a server on this
    // machine, each with the context path of its TXT record; so is the
    // domain of an address that leads to no book. A server found so within
    // the domain (or on this machine) becomes the account's: transport()'s
    // account URL tells where, for the next syncs.
    DavError discover(QList<AddressBook> *books);
    // The book's getctag and sync-token.
    DavError bookState(const QString &bookHref, AddressBook *book);
    // Only the book's getctag (ctag true) or only its sync-token, in one
    // PROPFIND of depth 0; empty when the server has none. A server may
    // spend on each property what it spends on a listing, so one is asked.
    DavError bookMark(const QString &bookHref, bool ctag, QString *mark);
    // Changes since token (empty: every card). InvalidSyncToken when the
    // server no longer knows the token: list again from an empty one.
    DavError syncCollection(const QString &bookHref, const QString &token, BookChanges *changes);
    // Every card of the book with its ETag (for servers without sync-collection).
    DavError listCards(const QString &bookHref, QList<CardRef> *cards);
    // The cards of the hrefs (a batch at a time); a card the server no
    // longer has is left out.
    DavError fetchCards(const QString &bookHref, const QStringList &hrefs, QList<ServerCardData> *cards);
    // Writes a card: over the version etag (If-Match), or as a new card when
    // etag is empty (If-None-Match: *). *newEtag is empty when the server
    // gave none back.
    DavError putCard(const QString &href, const QByteArray &vcard, const QString &etag, QString *newEtag);
    // Deletes the card when it is still at version etag (empty: any version).
    DavError deleteCard(const QString &href, const QString &etag);

    // A new card's href in the book for the card's UID.
    static QString newCardHref(const QString &bookHref, const QString &uid);

    static constexpr int kMultigetBatch = 100;

private:
    DavError request(const QByteArray &method, const QUrl &url, const QByteArray &body, int depth,
                     DavReply *reply, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    DavError propfind(const QUrl &url, int depth, const QStringList &properties, Multistatus *result,
                      QUrl *answeredAt = nullptr);
    DavError booksAt(const QUrl &url, QList<AddressBook> *books);
    DavError discoverAt(const QUrl &start, QList<AddressBook> *books);
    DavError discoverByServices(const QString &domain, QList<AddressBook> *books);
    QUrl urlOf(const QString &path) const;

    DavTransport m_transport;
    std::unique_ptr<DnsResolver> m_ownResolver;
    DnsResolver *m_resolver;
};

} // namespace quennet::sync
