#pragma once

#include "sync/DavError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace quennet::sync {

// Where the address book lives and who we are there.
struct ServerAccount {
    QUrl url; // the server root, a principal, a home or the address book itself
    QString user;
    QString password;
};

struct DavRequest {
    QByteArray method; // PROPFIND, REPORT, GET, PUT, DELETE
    QUrl url;
    QByteArray body;
    QByteArray contentType; // of body
    QList<QPair<QByteArray, QByteArray>> headers;
};

struct DavReply {
    int status = 0;
    QUrl url; // where the answer came from, after redirects
    QByteArray body;
    QByteArray etag;     // the ETag header, quotes kept
    QByteArray location; // the Location header of a redirect
};

// One HTTP exchange at a time with the server, waited for in a local event
// loop. The answer is read as it arrives and dropped past a size cap; a
// server silent for the timeout is given up on. HTTPS verifies against the
// system's certificates and refuses what does not verify; plain HTTP goes
// only to this machine. Credentials go only to the account's own origin.
class DavTransport {
public:
    explicit DavTransport(ServerAccount account);
    ~DavTransport();
    DavTransport(const DavTransport &) = delete;
    DavTransport &operator=(const DavTransport &) = delete;

    const ServerAccount &account() const { return m_account; }
    // The account's server is found elsewhere (its domain's DNS named it):
    // requests and credentials go to url's origin from now on.
    void moveTo(const QUrl &url) { m_account.url = url; }

    // Silence after which a request is given up (default 30 s).
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    // The largest answer read (default 64 MiB).
    void setMaxResponseBytes(qint64 bytes) { m_maxBytes = bytes; }
    qint64 maxResponseBytes() const { return m_maxBytes; }

    // Sends the request and follows up to five redirects with the same
    // method. A network failure, a refused certificate, a timeout or an
    // oversized answer is an error; any HTTP status comes back in reply.
    DavError send(const DavRequest &request, DavReply *reply);

    // Ends the request under way (from another slot of the same thread).
    void cancel();

    // Refuses an address we do not talk to: not http(s), or plain HTTP to
    // another machine.
    static DavError checkUrl(const QUrl &url);
    static bool isLocalHost(const QString &host);

private:
    DavError sendOnce(const DavRequest &request, DavReply *reply);
    bool sameOrigin(const QUrl &url) const;

    ServerAccount m_account;
    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_current;
    int m_timeoutMs = 30000;
    qint64 m_maxBytes = 64ll * 1024 * 1024;
    bool m_cancelled = false;
};

// The text for an HTTP status that ends the exchange, or None for 2xx.
DavError errorForStatus(int status, const QUrl &url);

} // namespace quennet::sync
