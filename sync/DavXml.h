#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The WebDAV XML we send and the multistatus answers we read (RFC 4918,
// 6352, 6578), through QXmlStreamReader and QXmlStreamWriter.

namespace quennet::sync {

// Element names as "{namespace}local".
namespace dav {
inline const QString kDav = QStringLiteral("DAV:");
inline const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");
inline const QString kCalServer = QStringLiteral("http://calendarserver.org/ns/");
QString name(const QString &ns, const QString &local);
} // namespace dav

// One property of a response as found under a 2xx propstat.
struct DavProperty {
    QString text;         // all character data inside, trimmed (address-data: the card)
    QStringList hrefs;    // DAV:href elements inside, resolved to decoded paths
    QStringList children; // names of the direct child elements
};

struct DavResponseItem {
    QString href;   // decoded path
    int status = 0; // of the response itself (sync-collection removals); 0 when none
    QHash<QString, DavProperty> properties;

    bool has(const QString &property) const { return properties.contains(property); }
    QString text(const QString &property) const { return properties.value(property).text; }
};

struct Multistatus {
    QList<DavResponseItem> responses;
    QString syncToken;
    QString error; // why the XML was not read; empty when it was
    qint64 errorLine = 0;
};

// Reads a 207 body; hrefs are resolved against base.
Multistatus parseMultistatus(const QByteArray &body, const QUrl &base);
// True when an error body names the element (e.g. valid-sync-token).
bool errorBodyNames(const QByteArray &body, const QString &local);
// The status code of "HTTP/1.1 404 Not Found".
int statusCode(const QString &statusLine);
// A decoded path as a URL on the server of base.
QUrl urlForPath(const QUrl &base, const QString &path);

// --- request bodies ----------------------------------------------------------
// PROPFIND for the named properties.
QByteArray propfindBody(const QStringList &properties);
// REPORT sync-collection (token empty: the initial listing), asking getetag.
QByteArray syncCollectionBody(const QString &token);
// REPORT addressbook-multiget of the hrefs (decoded paths), asking getetag
// and address-data.
QByteArray multigetBody(const QStringList &hrefs);

} // namespace quennet::sync
