#include "sync/CardDavClient.h"

#include "sync/DavXml.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>

namespace quennet::sync {

namespace {

const QString kResourceType = dav::name(dav::kDav, QStringLiteral("resourcetype"));
const QString kPrincipal = dav::name(dav::kDav, QStringLiteral("current-user-principal"));
const QString kHomeSet = dav::name(dav::kCardDav, QStringLiteral("addressbook-home-set"));
const QString kDisplayName = dav::name(dav::kDav, QStringLiteral("displayname"));
const QString kCtag = dav::name(dav::kCalServer, QStringLiteral("getctag"));
const QString kSyncToken = dav::name(dav::kDav, QStringLiteral("sync-token"));
const QString kEtag = dav::name(dav::kDav, QStringLiteral("getetag"));
const QString kAddressData = dav::name(dav::kCardDav, QStringLiteral("address-data"));
const QString kAddressBookType = dav::name(dav::kCardDav, QStringLiteral("addressbook"));
const QString kCollectionType = dav::name(dav::kDav, QStringLiteral("collection"));

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

bool isAddressBook(const DavResponseItem &item)
{
    return item.properties.value(kResourceType).children.contains(kAddressBookType);
}

AddressBook bookOf(const DavResponseItem &item)
{
    AddressBook book;
    book.href = withSlash(item.href);
    book.displayName = item.text(kDisplayName);
    book.ctag = item.text(kCtag);
    book.syncToken = item.text(kSyncToken);
    return book;
}

// The response about the resource asked for: the one with its path, else the first.
const DavResponseItem *responseFor(const Multistatus &result, const QUrl &url)
{
    const QString path = withSlash(url.path(QUrl::FullyDecoded));
    for (const DavResponseItem &item : result.responses)
        if (withSlash(item.href) == path)
            return &item;
    return result.responses.isEmpty() ? nullptr : &result.responses.first();
}

QByteArray quotedEtag(const QString &etag)
{
    QByteArray out = etag.toUtf8();
    if (!out.startsWith('"') && !out.startsWith("W/"))
        out = '"' + out + '"';
    return out;
}

// XML hands the card over with its line ends made LF; a vCard's are CR LF.
QByteArray vcardLines(const QString &text)
{
    QByteArray out = text.toUtf8();
    out.replace("\r\n", "\n");
    out.replace('\r', '\n');
    out.replace("\n", "\r\n");
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    return out;
}

DavError malformed(const QString &why)
{
    return DavError::make(DavError::Malformed, QStringLiteral("服务器的应答无法读取：%1。").arg(why));
}

} // namespace

CardDavClient::CardDavClient(ServerAccount account, DnsResolver *resolver)
    : m_transport(std::move(account)),
      m_ownResolver(resolver ? nullptr : std::make_unique<SystemDnsResolver>()),
      m_resolver(resolver ? resolver : m_ownResolver.get())
{
}

CardDavClient::~CardDavClient() = default;

QUrl CardDavClient::accountUrl(const QString &typed)
{
    const QString text = typed.trimmed();
    return QUrl(text.contains(QLatin1String("://")) ? text : QStringLiteral("https://") + text);
}

QUrl CardDavClient::urlOf(const QString &path) const
{
    return urlForPath(m_transport.account().url, path);
}

DavError CardDavClient::request(const QByteArray &method, const QUrl &url, const QByteArray &body, int depth,
                                DavReply *reply, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    DavRequest request;
    request.method = method;
    request.url = url;
    request.body = body;
    if (!body.isEmpty())
        request.contentType = "application/xml; charset=utf-8";
    if (depth >= 0)
        request.headers.append(qMakePair(QByteArray("Depth"), QByteArray(QByteArray::number(depth))));
    request.headers += headers;
    return m_transport.send(request, reply);
}

DavError CardDavClient::propfind(const QUrl &url, int depth, const QStringList &properties,
                                 Multistatus *result, QUrl *answeredAt)
{
    DavReply reply;
    if (DavError failed = request("PROPFIND", url, propfindBody(properties), depth, &reply); !failed.ok())
        return failed;
    if (DavError status = errorForStatus(reply.status, reply.url); !status.ok())
        return status;
    if (reply.status != 207)
        return malformed(QStringLiteral("%1 不是 WebDAV 服务器的应答（HTTP %2）")
                             .arg(reply.url.toDisplayString())
                             .arg(reply.status));
    *result = parseMultistatus(reply.body, reply.url);
    if (!result->error.isEmpty())
        return malformed(QStringLiteral("XML 第 %1 行有误（%2）").arg(result->errorLine).arg(result->error));
    if (answeredAt)
        *answeredAt = reply.url;
    return {};
}

DavError CardDavClient::booksAt(const QUrl &url, QList<AddressBook> *books)
{
    Multistatus result;
    if (DavError failed = propfind(url, 1, {kResourceType, kDisplayName, kCtag, kSyncToken}, &result);
        !failed.ok())
        return failed;
    for (const DavResponseItem &item : result.responses)
        if (isAddressBook(item))
            books->append(bookOf(item));
    return {};
}

DavError CardDavClient::discover(QList<AddressBook> *books)
{
    books->clear();
    const QUrl start = m_transport.account().url;
    if (DavError refused = DavTransport::checkUrl(start); !refused.ok())
        return refused;
    const bool domainOnly = start.path().isEmpty() && start.scheme() == QLatin1String("https");
    if (domainOnly) {
        const DavError found = discoverByServices(start.host(), books);
        if (found.ok() || found.kind == DavError::Unauthorized || found.kind == DavError::Certificate ||
            found.kind == DavError::Cancelled)
            return found;
    }
    const DavError e = discoverAt(start, books);
    const bool nowhere = e.kind == DavError::NoAddressBook || e.kind == DavError::NotFound ||
                         e.kind == DavError::HttpError || e.kind == DavError::Malformed ||
                         e.kind == DavError::Forbidden || e.kind == DavError::Offline;
    if (e.ok() || domainOnly || !nowhere)
        return e;
    // The address and its well-known one lead nowhere: its domain's DNS may.
    const DavError found = discoverByServices(start.host(), books);
    return found.ok() || found.kind != DavError::NoAddressBook ? found : e;
}

DavError CardDavClient::discoverByServices(const QString &domain, QList<AddressBook> *books)
{
    const QUrl was = m_transport.account().url;
    DavError last = DavError::make(DavError::NoAddressBook,
                                   QStringLiteral("在 %1 的 DNS 中找不到 CardDAV 服务。").arg(domain));
    if (domain.isEmpty() || !QHostAddress(domain).isNull())
        return last;
    for (const bool secure : {true, false}) {
        const QString name =
            (secure ? QStringLiteral("_carddavs._tcp.") : QStringLiteral("_carddav._tcp.")) + domain;
        QList<DnsResolver::Service> services = m_resolver->services(name);
        // RFC 2782: the lowest priority first, the heaviest first among equals.
        std::stable_sort(services.begin(), services.end(), [](const auto &a, const auto &b) {
            return a.priority != b.priority ? a.priority < b.priority : a.weight > b.weight;
        });
        QString path;
        for (const DnsResolver::Service &service : std::as_const(services)) {
            QString host = service.host;
            if (host.endsWith(QLatin1Char('.')))
                host.chop(1);
            // No such service ("."); plain HTTP only on this machine; the
            // account's password only to its own domain.
            const bool within = host.compare(domain, Qt::CaseInsensitive) == 0 ||
                                host.endsWith(QLatin1Char('.') + domain, Qt::CaseInsensitive);
            if (host.isEmpty() || !(DavTransport::isLocalHost(host) || (secure && within)))
                continue;
            if (path.isEmpty()) {
                for (const QByteArray &text : m_resolver->texts(name))
                    if (text.startsWith("path=") && text.size() > 5)
                        path = QString::fromUtf8(text.mid(5));
                if (!path.startsWith(QLatin1Char('/')))
                    path = QStringLiteral("/.well-known/carddav");
            }
            QUrl url;
            url.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
            url.setHost(host);
            url.setPort(service.port);
            url.setPath(path);
            m_transport.moveTo(url);
            const DavError e = discoverAt(url, books);
            if (e.ok())
                return e;
            m_transport.moveTo(was);
            books->clear();
            if (e.kind == DavError::Unauthorized || e.kind == DavError::Certificate ||
                e.kind == DavError::Cancelled)
                return e;
            last = e;
        }
    }
    return last;
}

DavError CardDavClient::discoverAt(const QUrl &start, QList<AddressBook> *books)
{
    const QStringList asked = {kResourceType, kPrincipal, kHomeSet, kDisplayName, kCtag, kSyncToken};
    const bool atRoot = start.path().isEmpty() || start.path() == QLatin1String("/");

    // The address itself first: it may be the book, a home or a principal.
    Multistatus result;
    QUrl answeredAt = start;
    DavError failed = propfind(start, 0, asked, &result, &answeredAt);
    const DavResponseItem *item = failed.ok() ? responseFor(result, answeredAt) : nullptr;
    if (item && isAddressBook(*item)) {
        books->append(bookOf(*item));
        return {};
    }
    const bool lost = failed.kind == DavError::NotFound || failed.kind == DavError::HttpError ||
                      failed.kind == DavError::Malformed;
    if (!failed.ok() && !lost)
        return failed;

    QStringList homes = item ? item->properties.value(kHomeSet).hrefs : QStringList();
    QStringList principals = item ? item->properties.value(kPrincipal).hrefs : QStringList();
    if (homes.isEmpty() && principals.isEmpty() && (atRoot || lost)) {
        // RFC 6764: the well-known address leads to the context path.
        QUrl wellKnown = start;
        wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
        Multistatus known;
        QUrl knownAt = wellKnown;
        if (DavError notKnown = propfind(wellKnown, 0, asked, &known, &knownAt); notKnown.ok()) {
            if (const DavResponseItem *k = responseFor(known, knownAt)) {
                if (isAddressBook(*k)) {
                    books->append(bookOf(*k));
                    return {};
                }
                homes = k->properties.value(kHomeSet).hrefs;
                principals = k->properties.value(kPrincipal).hrefs;
            }
        } else if (notKnown.kind == DavError::Unauthorized || notKnown.kind == DavError::Certificate ||
                   notKnown.kind == DavError::Offline || notKnown.kind == DavError::Timeout ||
                   notKnown.kind == DavError::Cancelled) {
            return notKnown;
        }
    }
    if (!failed.ok() && homes.isEmpty() && principals.isEmpty())
        return failed;
    if (homes.isEmpty()) {
        for (const QString &principal : principals) {
            Multistatus found;
            if (DavError e = propfind(urlOf(principal), 0, {kHomeSet}, &found); !e.ok())
                return e;
            if (const DavResponseItem *p = responseFor(found, urlOf(principal)))
                homes += p->properties.value(kHomeSet).hrefs;
        }
    }
    // Without a home the address itself may hold the books.
    if (homes.isEmpty())
        homes << answeredAt.path(QUrl::FullyDecoded);
    for (const QString &home : homes)
        if (DavError e = booksAt(urlOf(home), books); !e.ok())
            return e;
    if (books->isEmpty())
        return DavError::make(
            DavError::NoAddressBook,
            QStringLiteral("在 %1 找不到通讯录。").arg(start.toDisplayString(QUrl::RemoveUserInfo)));
    return {};
}

DavError CardDavClient::bookState(const QString &bookHref, AddressBook *book)
{
    Multistatus result;
    const QUrl url = urlOf(bookHref);
    if (DavError failed = propfind(url, 0, {kResourceType, kDisplayName, kCtag, kSyncToken}, &result);
        !failed.ok())
        return failed;
    const DavResponseItem *item = responseFor(result, url);
    if (!item || !isAddressBook(*item))
        return DavError::make(DavError::NoAddressBook,
                              QStringLiteral("%1 不是通讯录。").arg(url.toDisplayString()));
    *book = bookOf(*item);
    return {};
}

DavError CardDavClient::bookMark(const QString &bookHref, bool ctag, QString *mark)
{
    mark->clear();
    Multistatus result;
    const QUrl url = urlOf(bookHref);
    const QString property = ctag ? kCtag : kSyncToken;
    if (DavError failed = propfind(url, 0, {property}, &result); !failed.ok())
        return failed;
    if (const DavResponseItem *item = responseFor(result, url))
        *mark = item->text(property);
    return {};
}

DavError CardDavClient::syncCollection(const QString &bookHref, const QString &token, BookChanges *changes)
{
    *changes = BookChanges();
    const QUrl url = urlOf(bookHref);
    const QString own = withSlash(url.path(QUrl::FullyDecoded));
    QString from = token;
    // A server may hand the changes out in parts (507 on the collection):
    // ask again from the token it gave until it has none left.
    for (int round = 0; round < 1000; ++round) {
        DavReply reply;
        if (DavError failed = request("REPORT", url, syncCollectionBody(from), 0, &reply); !failed.ok())
            return failed;
        if ((reply.status == 403 || reply.status == 409 || reply.status == 400) &&
            errorBodyNames(reply.body, QStringLiteral("valid-sync-token")))
            return DavError::make(DavError::InvalidSyncToken,
                                  QStringLiteral("服务器不再认得上次同步的标记，需要完整同步。"),
                                  reply.status);
        if (DavError status = errorForStatus(reply.status, reply.url); !status.ok())
            return status;
        if (reply.status != 207)
            return malformed(QStringLiteral("同步列表不是多状态应答（HTTP %1）").arg(reply.status));
        const Multistatus result = parseMultistatus(reply.body, reply.url);
        if (!result.error.isEmpty())
            return malformed(
                QStringLiteral("XML 第 %1 行有误（%2）").arg(result.errorLine).arg(result.error));
        bool more = false;
        for (const DavResponseItem &item : result.responses) {
            if (withSlash(item.href) == own) {
                more = more || item.status == 507;
                continue;
            }
            if (item.status == 404 || item.status == 410)
                changes->removed << item.href;
            else if (item.has(kEtag))
                changes->changed.append({item.href, item.text(kEtag)});
        }
        changes->syncToken = result.syncToken;
        if (!more || result.syncToken.isEmpty() || result.syncToken == from)
            return {};
        from = result.syncToken;
    }
    return malformed(QStringLiteral("同步列表没有尽头"));
}

DavError CardDavClient::listCards(const QString &bookHref, QList<CardRef> *cards)
{
    cards->clear();
    Multistatus result;
    const QUrl url = urlOf(bookHref);
    if (DavError failed = propfind(url, 1, {kResourceType, kEtag}, &result); !failed.ok())
        return failed;
    const QString own = withSlash(url.path(QUrl::FullyDecoded));
    for (const DavResponseItem &item : result.responses) {
        if (withSlash(item.href) == own ||
            item.properties.value(kResourceType).children.contains(kCollectionType))
            continue;
        if (item.has(kEtag))
            cards->append({item.href, item.text(kEtag)});
    }
    return {};
}

DavError CardDavClient::fetchCards(const QString &bookHref, const QStringList &hrefs,
                                   QList<ServerCardData> *cards)
{
    cards->clear();
    const QUrl url = urlOf(bookHref);
    for (qsizetype at = 0; at < hrefs.size(); at += kMultigetBatch) {
        const QStringList batch = hrefs.mid(at, kMultigetBatch);
        DavReply reply;
        if (DavError failed = request("REPORT", url, multigetBody(batch), 1, &reply); !failed.ok())
            return failed;
        if (DavError status = errorForStatus(reply.status, reply.url); !status.ok())
            return status;
        if (reply.status != 207)
            return malformed(QStringLiteral("名片不是多状态应答（HTTP %1）").arg(reply.status));
        const Multistatus result = parseMultistatus(reply.body, reply.url);
        if (!result.error.isEmpty())
            return malformed(
                QStringLiteral("XML 第 %1 行有误（%2）").arg(result.errorLine).arg(result.error));
        for (const DavResponseItem &item : result.responses)
            if (item.has(kAddressData))
                cards->append({item.href, item.text(kEtag), vcardLines(item.text(kAddressData))});
    }
    return {};
}

DavError CardDavClient::putCard(const QString &href, const QByteArray &vcard, const QString &etag,
                                QString *newEtag)
{
    DavRequest put;
    put.method = "PUT";
    put.url = urlOf(href);
    put.body = vcard;
    put.contentType = "text/vcard; charset=utf-8";
    if (etag.isEmpty())
        put.headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else
        put.headers.append(qMakePair(QByteArray("If-Match"), QByteArray(quotedEtag(etag))));
    DavReply reply;
    if (DavError failed = m_transport.send(put, &reply); !failed.ok())
        return failed;
    if (DavError status = errorForStatus(reply.status, reply.url); !status.ok())
        return status;
    if (newEtag)
        *newEtag = QString::fromUtf8(reply.etag);
    return {};
}

DavError CardDavClient::deleteCard(const QString &href, const QString &etag)
{
    DavRequest del;
    del.method = "DELETE";
    del.url = urlOf(href);
    if (!etag.isEmpty())
        del.headers.append(qMakePair(QByteArray("If-Match"), QByteArray(quotedEtag(etag))));
    DavReply reply;
    if (DavError failed = m_transport.send(del, &reply); !failed.ok())
        return failed;
    if (reply.status == 404 || reply.status == 410)
        return {}; // already gone: what we wanted
    return errorForStatus(reply.status, reply.url);
}

QString CardDavClient::newCardHref(const QString &bookHref, const QString &uid)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9._-]{1,200}$"));
    const QString name =
        safe.match(uid).hasMatch() ? uid : QUuid::createUuid().toString(QUuid::WithoutBraces);
    return withSlash(bookHref) + name + QStringLiteral(".vcf");
}

} // namespace quennet::sync
