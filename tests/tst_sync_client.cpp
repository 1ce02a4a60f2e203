// The CardDAV client against Radicale and Xandikos started on free local
// ports (finding the book, listing, fetching, writing with preconditions),
// and against a fake server for what goes wrong: no connection, silence,
// refusals, server errors, garbage, endless answers, a certificate that does
// not verify, plain HTTP to another machine; and the order in which the DNS
// (a scripted resolver) is asked for a server.

#include "support/DavServers.h"
#include "support/FakeDavServer.h"
#include "support/ScriptedResolver.h"
#include "sync/CardDavClient.h"
#include "sync/ServerCard.h"
#include "sync/SyncEngine.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <map>

using namespace quennet;
using namespace quennet::sync;
using test::DavServer;
using test::FakeRequest;
using test::FakeResponse;

Q_DECLARE_METATYPE(DavServer::Kind)
Q_DECLARE_METATYPE(DavError::Kind)
Q_DECLARE_METATYPE(FakeResponse)

namespace {

QByteArray dataFile(const QString &name)
{
    QFile file(QString::fromLocal8Bit(qgetenv("QUENNET_SOURCE_DIR")) + QStringLiteral("/tests/data/sync/") +
               name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray cardFor(const QString &name, const QString &mobile, const QString &uid)
{
    Contact c;
    c.name = name;
    c.mobile = mobile;
    return ServerCard::fromContact(c, uid).bytes();
}

QByteArray multistatus(const QByteArray &responses)
{
    return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" "
           "xmlns:card=\"urn:ietf:params:xml:ns:carddav\">" +
           responses + "</d:multistatus>";
}

QByteArray propResponse(const QByteArray &href, const QByteArray &props)
{
    return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
           "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

const QByteArray kBookType = "<d:resourcetype><d:collection/><card:addressbook/></d:resourcetype>";

} // namespace

class TestSyncClient : public QObject {
    Q_OBJECT

    std::map<DavServer::Kind, std::unique_ptr<DavServer>> m_servers;
    std::map<DavServer::Kind, QString> m_whyNot;
    int m_serial = 0;

    // The server of the row, or null after QSKIP/QFAIL.
    DavServer *server(DavServer::Kind kind)
    {
        auto &slot = m_servers[kind];
        if (!slot && m_whyNot[kind].isEmpty()) {
            bool missing = false;
            slot = DavServer::start(kind, &m_whyNot[kind], &missing);
            if (!slot && !missing)
                m_whyNot[kind].prepend(QStringLiteral("FAIL "));
        }
        return slot.get();
    }

    ServerAccount accountOf(const DavServer &s, const QUrl &url) const
    {
        return {url, s.user(), s.password()};
    }

    void addServerRows()
    {
        QTest::addColumn<DavServer::Kind>("kind");
        QTest::newRow("radicale") << DavServer::Radicale;
        QTest::newRow("xandikos") << DavServer::Xandikos;
    }

    QString uniqueUid()
    {
        return QStringLiteral("test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++m_serial);
    }

#define SERVER_OR_SKIP(var)                                                                                  \
    QFETCH(DavServer::Kind, kind);                                                                           \
    DavServer *var = server(kind);                                                                           \
    if (!var) {                                                                                              \
        if (m_whyNot[kind].startsWith(QLatin1String("FAIL ")))                                               \
            QFAIL(qPrintable(m_whyNot[kind]));                                                               \
        QSKIP(qPrintable(m_whyNot[kind]));                                                                   \
    }

private slots:
    // --- real servers ---------------------------------------------------------

    void findsTheBookFromRootOrBook_data()
    {
        addServerRows();
    }
    void findsTheBookFromRootOrBook()
    {
        SERVER_OR_SKIP(s);
        const QUrl principal = s->root().resolved(QUrl(s->principalPath()));
        const QUrl home = s->root().resolved(QUrl(s->homePath()));
        for (const QUrl &url : {s->root(), principal, home, s->bookUrl()}) {
            CardDavClient client(accountOf(*s, url));
            QList<AddressBook> books;
            const DavError error = client.discover(&books);
            QVERIFY2(error.ok(), qPrintable(url.toString() + QLatin1Char(' ') + error.message));
            QCOMPARE(books.size(), 1);
            QCOMPARE(books[0].href, s->bookPath());
            QVERIFY(!books[0].syncToken.isEmpty());
        }
    }

    void writesListsAndFetches_data()
    {
        addServerRows();
    }
    void writesListsAndFetches()
    {
        SERVER_OR_SKIP(s);
        CardDavClient client(accountOf(*s, s->bookUrl()));
        const QString book = s->bookPath();
        BookChanges start;
        QVERIFY2(client.syncCollection(book, QString(), &start).ok(), "initial listing");

        const QString uid = uniqueUid();
        const QString href = CardDavClient::newCardHref(book, uid);
        QString etag;
        DavError e = client.putCard(href, cardFor(QStringLiteral("张三"), QStringLiteral("13800138000"), uid),
                                    QString(), &etag);
        QVERIFY2(e.ok(), qPrintable(e.message));
        // The same href again as a new card: it exists.
        e = client.putCard(href, cardFor(QStringLiteral("张三"), QStringLiteral("13800138001"), uid),
                           QString(), nullptr);
        QCOMPARE(e.kind, DavError::PreconditionFailed);
        QVERIFY(e.message.contains(QStringLiteral("412")));

        BookChanges added;
        QVERIFY(client.syncCollection(book, start.syncToken, &added).ok());
        QCOMPARE(added.changed.size(), 1);
        QCOMPARE(added.changed[0].href, href);
        if (etag.isEmpty())
            etag = added.changed[0].etag;
        QCOMPARE(added.changed[0].etag, etag);

        QList<ServerCardData> cards;
        QVERIFY(client.fetchCards(book, {href}, &cards).ok());
        QCOMPARE(cards.size(), 1);
        QCOMPARE(ServerCard::parse(cards[0].vcard).contact().mobile, QStringLiteral("13800138000"));
        QCOMPARE(cards[0].etag, etag);

        // Over our version; then over the old one, which the server refuses.
        QString second;
        e = client.putCard(href, cardFor(QStringLiteral("张三"), QStringLiteral("13900139000"), uid), etag,
                           &second);
        QVERIFY2(e.ok(), qPrintable(e.message));
        QCOMPARE(
            client.putCard(href, cardFor(QStringLiteral("张三"), QStringLiteral("1"), uid), etag, nullptr)
                .kind,
            DavError::PreconditionFailed);
        QCOMPARE(client.deleteCard(href, etag).kind, DavError::PreconditionFailed);

        BookChanges changed;
        QVERIFY(client.syncCollection(book, added.syncToken, &changed).ok());
        QCOMPARE(changed.changed.size(), 1);
        QList<CardRef> listed;
        QVERIFY(client.listCards(book, &listed).ok());
        const auto found =
            std::find_if(listed.begin(), listed.end(), [&](const CardRef &r) { return r.href == href; });
        QVERIFY(found != listed.end());
        QCOMPARE(found->etag, changed.changed[0].etag);

        QVERIFY(client.deleteCard(href, found->etag).ok());
        QVERIFY(client.deleteCard(href, found->etag).ok()); // gone already
        BookChanges removed;
        QVERIFY(client.syncCollection(book, changed.syncToken, &removed).ok());
        QCOMPARE(removed.removed, QStringList{href});
        QVERIFY(removed.changed.isEmpty());
    }

    void fetchesInBatches_data()
    {
        addServerRows();
    }
    void fetchesInBatches()
    {
        SERVER_OR_SKIP(s);
        CardDavClient client(accountOf(*s, s->bookUrl()));
        QStringList hrefs;
        for (int i = 0; i < CardDavClient::kMultigetBatch + 5; ++i) {
            const QString uid = uniqueUid();
            hrefs << CardDavClient::newCardHref(s->bookPath(), uid);
            QVERIFY(client
                        .putCard(hrefs.last(), cardFor(QStringLiteral("批量%1").arg(i), QString(), uid),
                                 QString(), nullptr)
                        .ok());
        }
        hrefs << s->bookPath() + QStringLiteral("no-such-card.vcf");
        QList<ServerCardData> cards;
        const DavError e = client.fetchCards(s->bookPath(), hrefs, &cards);
        QVERIFY2(e.ok(), qPrintable(e.message));
        QCOMPARE(cards.size(), CardDavClient::kMultigetBatch + 5);
        for (const ServerCardData &card : cards)
            QVERIFY(ServerCard::parse(card.vcard).contact().name.startsWith(QStringLiteral("批量")));
    }

    void unknownSyncTokenAsksForAFullListing_data()
    {
        addServerRows();
    }
    void unknownSyncTokenAsksForAFullListing()
    {
        SERVER_OR_SKIP(s);
        CardDavClient client(accountOf(*s, s->bookUrl()));
        AddressBook book;
        QVERIFY(client.bookState(s->bookPath(), &book).ok());
        QString forged = book.syncToken;
        forged.chop(8);
        forged += QStringLiteral("deadbeef");
        BookChanges changes;
        const DavError e = client.syncCollection(s->bookPath(), forged, &changes);
        if (kind == DavServer::Xandikos) {
            // Xandikos fails on a token it never gave (500); the engine lists
            // in full once before it gives up.
            QCOMPARE(e.kind, DavError::ServerError);
            return;
        }
        QCOMPARE(e.kind, DavError::InvalidSyncToken);
        QVERIFY(e.message.contains(QStringLiteral("完整同步")));
    }

    void wrongPasswordIsRefused()
    {
        QTest::addColumn<DavServer::Kind>("kind");
        DavServer *s = server(DavServer::Radicale);
        if (!s)
            QSKIP(qPrintable(m_whyNot[DavServer::Radicale]));
        CardDavClient client({s->root(), s->user(), QStringLiteral("wrong")});
        QList<AddressBook> books;
        const DavError e = client.discover(&books);
        QCOMPARE(e.kind, DavError::Unauthorized);
        QCOMPARE(e.message, QStringLiteral("服务器拒绝了用户名或密码（401）。"));
    }

    // --- a fake server ----------------------------------------------------------

    // RFC 6764: a domain alone is looked up in the DNS first (_carddavs,
    // then _carddav for this machine only, each with its TXT path); an
    // address that leads nowhere afterwards. PORT is the fake server's port.
    void findsTheServerInTheDns_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("records"); // "SRV name host port priority", "TXT name text"
        QTest::addColumn<bool>("wellKnownLeads");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("paths"); // as the fake server was asked, in order
        QTest::addColumn<QString>("found");     // empty: no book found
        const QString s = QStringLiteral("_carddavs._tcp.example.test"),
                      p = QStringLiteral("_carddav._tcp.example.test");
        QTest::newRow("domain: _carddav on this machine with its path")
            << "example.test" << QStringList{"SRV " + p + " 127.0.0.1 PORT 0", "TXT " + p + " path=/dav/"}
            << true << QStringList{"SRV " + s, "SRV " + p, "TXT " + p} << QStringList{"/dav/"}
            << "http://127.0.0.1:PORT/dav/";
        QTest::newRow("domain: no path, the target's well-known address")
            << "example.test" << QStringList{"SRV " + p + " localhost PORT 0"} << true
            << QStringList{"SRV " + s, "SRV " + p, "TXT " + p} << QStringList{"/.well-known/carddav", "/dav/"}
            << "http://localhost:PORT/.well-known/carddav";
        QTest::newRow("domain: _carddavs first, then by priority, another machine never on http")
            << "example.test"
            << QStringList{"SRV " + s + " localhost 1 5", "TXT " + s + " path=/s/",
                           "SRV " + p + " 127.0.0.1 PORT 10", "SRV " + p + " dav.example.test PORT 0",
                           "TXT " + p + " path=/dav/"}
            << true << QStringList{"SRV " + s, "TXT " + s, "SRV " + p, "TXT " + p} << QStringList{"/dav/"}
            << "http://127.0.0.1:PORT/dav/";
        QTest::newRow("address whose well-known lookup fails")
            << "http://localhost:PORT/"
            << QStringList{"SRV _carddav._tcp.localhost 127.0.0.1 PORT 0",
                           "TXT _carddav._tcp.localhost path=/dav/"}
            << false
            << QStringList{"SRV _carddavs._tcp.localhost", "SRV _carddav._tcp.localhost",
                           "TXT _carddav._tcp.localhost"}
            << QStringList{"/", "/.well-known/carddav", "/dav/"} << "http://127.0.0.1:PORT/dav/";
        QTest::newRow("the password never to another domain")
            << "http://localhost:PORT/" << QStringList{"SRV _carddavs._tcp.localhost dav.example.test 443 0"}
            << false << QStringList{"SRV _carddavs._tcp.localhost", "SRV _carddav._tcp.localhost"}
            << QStringList{"/", "/.well-known/carddav"} << QString();
    }
    void findsTheServerInTheDns()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, records);
        QFETCH(bool, wellKnownLeads);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, paths);
        QFETCH(QString, found);
        test::FakeDavServer fake([&](const FakeRequest &r) {
            if (r.path == "/.well-known/carddav" && wellKnownLeads)
                return FakeResponse::plain(301).with("Location", "/dav/");
            if (r.path == "/dav/")
                return FakeResponse::xml(207, multistatus(propResponse("/dav/", kBookType)));
            return FakeResponse::plain(404);
        });
        const QString port = QString::number(fake.url().port());
        test::ScriptedResolver dns;
        for (const QString &record : records) {
            const QStringList w =
                QString(record).replace(QLatin1String("PORT"), port).split(QLatin1Char(' '));
            if (w[0] == QLatin1String("SRV"))
                dns.srv[w[1]].append({w[2], quint16(w[3].toUInt()), quint16(w[4].toUInt()), 0});
            else
                dns.txt[w[1]].append(w[2].toUtf8());
        }
        const QUrl start = CardDavClient::accountUrl(QString(typed).replace(QLatin1String("PORT"), port));
        CardDavClient client({start, QStringLiteral("u"), QStringLiteral("p")}, &dns);
        client.transport().setTimeout(5000);
        QList<AddressBook> books;
        const DavError e = client.discover(&books);
        QCOMPARE(dns.asked, asked);
        QStringList requested;
        for (const FakeRequest &r : fake.requests())
            requested << QString::fromUtf8(r.path);
        QCOMPARE(requested, paths);
        if (found.isEmpty()) {
            QVERIFY(!e.ok());
            QCOMPARE(client.transport().account().url, start);
            return;
        }
        QVERIFY2(e.ok(), qPrintable(e.message));
        QCOMPARE(books.size(), 1);
        QCOMPARE(books[0].href, QStringLiteral("/dav/"));
        QCOMPARE(client.transport().account().url.toString(),
                 QString(found).replace(QLatin1String("PORT"), port));
    }

    void followsTheWellKnownAddress()
    {
        test::FakeDavServer fake([](const FakeRequest &r) {
            if (r.path == "/")
                return FakeResponse::xml(207, multistatus(propResponse("/", "<d:resourcetype/>")));
            if (r.path == "/.well-known/carddav") {
                return FakeResponse::plain(301).with("Location", "/dav/");
            }
            if (r.path == "/dav/")
                return FakeResponse::xml(
                    207,
                    multistatus(propResponse(
                        "/dav/",
                        "<d:current-user-principal><d:href>/dav/p/</d:href></d:current-user-principal>")));
            if (r.path == "/dav/p/")
                return FakeResponse::xml(
                    207,
                    multistatus(propResponse(
                        "/dav/p/",
                        "<card:addressbook-home-set><d:href>/dav/h/</d:href></card:addressbook-home-set>")));
            if (r.path == "/dav/h/")
                return FakeResponse::xml(
                    207,
                    multistatus(
                        propResponse("/dav/h/", "<d:resourcetype><d:collection/></d:resourcetype>") +
                        propResponse("/dav/h/b%20one/", kBookType + "<d:displayname>B</d:displayname>") +
                        propResponse("/dav/h/cal/", "<d:resourcetype><d:collection/></d:resourcetype>")));
            return FakeResponse::plain(404);
        });
        CardDavClient client({fake.url(), QStringLiteral("u"), QStringLiteral("p")});
        QList<AddressBook> books;
        const DavError e = client.discover(&books);
        QVERIFY2(e.ok(), qPrintable(e.message));
        QCOMPARE(books.size(), 1);
        QCOMPARE(books[0].href, QStringLiteral("/dav/h/b one/"));
        QCOMPARE(books[0].displayName, QStringLiteral("B"));
        for (const FakeRequest &r : fake.requests()) {
            QCOMPARE(r.method, QByteArray("PROPFIND"));
            QCOMPARE(r.headers.value("authorization"), QByteArray("Basic ") + QByteArray("u:p").toBase64());
        }
    }

    void syncListingInParts()
    {
        // 507 on the collection: more changes to ask for from the new token.
        test::FakeDavServer fake([](const FakeRequest &r) {
            const bool first =
                r.body.contains("<d:sync-token></d:sync-token>") || r.body.contains("<d:sync-token/>");
            const QByteArray etag = "<d:getetag>\"1\"</d:getetag>";
            if (first)
                return FakeResponse::xml(207,
                                         multistatus(propResponse("/b/1.vcf", etag) +
                                                     "<d:response><d:href>/b/</d:href><d:status>HTTP/1.1 507 "
                                                     "Insufficient Storage</d:status></d:response>"
                                                     "<d:sync-token>t1</d:sync-token>"));
            return FakeResponse::xml(207, multistatus("<d:response><d:href>/b/2.vcf</d:href><d:status>HTTP/"
                                                      "1.1 404 Not Found</d:status></d:response>"
                                                      "<d:sync-token>t2</d:sync-token>"));
        });
        CardDavClient client({fake.url(QStringLiteral("/b/")), {}, {}});
        BookChanges changes;
        const DavError e = client.syncCollection(QStringLiteral("/b/"), QString(), &changes);
        QVERIFY2(e.ok(), qPrintable(e.message));
        QCOMPARE(changes.changed.size(), 1);
        QCOMPARE(changes.changed[0].etag, QStringLiteral("\"1\""));
        QCOMPARE(changes.removed, QStringList{QStringLiteral("/b/2.vcf")});
        QCOMPARE(changes.syncToken, QStringLiteral("t2"));
        QCOMPARE(fake.requests().size(), 2);
        QCOMPARE(fake.requests()[0].headers.value("depth"), QByteArray("0"));
    }

    void failuresBecomeMessages_data()
    {
        QTest::addColumn<FakeResponse>("response");
        QTest::addColumn<DavError::Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("401") << FakeResponse::plain(401) << DavError::Unauthorized
                             << QStringLiteral("用户名或密码");
        QTest::newRow("403") << FakeResponse::plain(403) << DavError::Forbidden
                             << QStringLiteral("不允许访问");
        QTest::newRow("404") << FakeResponse::plain(404) << DavError::NotFound << QStringLiteral("找不到");
        QTest::newRow("500") << FakeResponse::plain(500) << DavError::ServerError
                             << QStringLiteral("服务器出错（500）");
        QTest::newRow("503") << FakeResponse::plain(503) << DavError::ServerError
                             << QStringLiteral("服务器出错（503）");
        QTest::newRow("418") << FakeResponse::plain(418) << DavError::HttpError << QStringLiteral("HTTP 418");
        QTest::newRow("not xml") << FakeResponse::xml(207,
                                                      "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>")
                                 << DavError::Malformed << QStringLiteral("无法读取");
        QTest::newRow("html page") << FakeResponse::plain(200, "<html>sign in</html>") << DavError::Malformed
                                   << QStringLiteral("不是 WebDAV");
        QTest::newRow("silent") << FakeResponse::of(FakeResponse::Silent) << DavError::Timeout
                                << QStringLiteral("没有应答");
        QTest::newRow("hang up") << FakeResponse::of(FakeResponse::Hangup) << DavError::Offline
                                 << QStringLiteral("无法连接到服务器");
        const FakeResponse huge = FakeResponse::xml(207, {}).with("Content-Length", "400000000");
        QTest::newRow("400 MB announced") << huge << DavError::TooLarge << QStringLiteral("超过 64 MB");
        QTest::newRow("no end") << FakeResponse::of(FakeResponse::Endless) << DavError::TooLarge
                                << QStringLiteral("超过 64 MB");
    }

    void failuresBecomeMessages()
    {
        QFETCH(FakeResponse, response);
        QFETCH(DavError::Kind, kind);
        QFETCH(QString, message);
        test::FakeDavServer fake([&](const FakeRequest &) { return response; });
        CardDavClient client({fake.url(QStringLiteral("/book/")), {}, {}});
        client.transport().setTimeout(500);
        QList<CardRef> cards;
        const DavError e = client.listCards(QStringLiteral("/book/"), &cards);
        QCOMPARE(int(e.kind), int(kind));
        QVERIFY2(e.message.contains(message), qPrintable(e.message));
        QVERIFY(cards.isEmpty());
        // What we read stays within the cap however much was sent.
        QVERIFY(fake.bytesSent() < 200ll * 1024 * 1024);
    }

    void anErrorLeadsTheReport()
    {
        SyncReport report;
        report.error = DavError::make(DavError::Timeout, QStringLiteral("服务器 h:443 在 30 秒内没有应答。"));
        QCOMPARE(report.lines().first(), QStringLiteral("同步未完成：服务器 h:443 在 30 秒内没有应答。"));
    }

    void noServerThere()
    {
        const quint16 port = test::freeLocalPort();
        CardDavClient client({QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), {}, {}});
        QList<AddressBook> books;
        const DavError e = client.discover(&books);
        QCOMPARE(e.kind, DavError::Offline);
        QCOMPARE(
            e.message,
            QStringLiteral("无法连接到服务器 127.0.0.1:%1：连接被拒绝。请检查网络和服务器地址。").arg(port));
    }

    void refusedAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<DavError::Kind>("kind");
        QTest::newRow("plain http elsewhere") << "http://dav.example.com/" << DavError::Insecure;
        QTest::newRow("ftp") << "ftp://127.0.0.1/" << DavError::BadUrl;
        QTest::newRow("no host") << "https:///book/" << DavError::BadUrl;
        QTest::newRow("words") << "my server" << DavError::BadUrl;
    }

    void refusedAddresses()
    {
        QFETCH(QString, url);
        QFETCH(DavError::Kind, kind);
        CardDavClient client({QUrl(url), {}, {}});
        QList<AddressBook> books;
        QCOMPARE(int(client.discover(&books).kind), int(kind));
        QVERIFY(DavTransport::isLocalHost(QStringLiteral("127.0.0.9")));
        QVERIFY(DavTransport::isLocalHost(QStringLiteral("::1")));
        QVERIFY(DavTransport::isLocalHost(QStringLiteral("localhost")));
        QVERIFY(!DavTransport::isLocalHost(QStringLiteral("192.168.1.2")));
    }

    void certificateThatDoesNotVerifyIsRefused()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("no TLS backend");
        test::FakeDavServer fake([](const FakeRequest &) { return FakeResponse::xml(207, multistatus({})); },
                                 dataFile(QStringLiteral("selfsigned.crt")),
                                 dataFile(QStringLiteral("selfsigned.key")));
        CardDavClient client(
            {fake.url(QStringLiteral("/book/")), QStringLiteral("u"), QStringLiteral("secret")});
        QList<AddressBook> books;
        const DavError e = client.discover(&books);
        QCOMPARE(e.kind, DavError::Certificate);
        QVERIFY2(e.message.contains(QStringLiteral("证书是自签名的")), qPrintable(e.message));
        QVERIFY(e.message.contains(QStringLiteral("已拒绝连接")));
        QVERIFY(fake.requests().isEmpty()); // not a byte of the password went out
    }

    void redirectToPlainHttpIsRefused()
    {
        test::FakeDavServer fake([](const FakeRequest &) {
            return FakeResponse::plain(301).with("Location", "http://dav.example.com/");
        });
        CardDavClient client({fake.url(QStringLiteral("/")), {}, {}});
        QList<AddressBook> books;
        QCOMPARE(client.discover(&books).kind, DavError::Insecure);
    }

    void credentialsStayWithTheirServer()
    {
        test::FakeDavServer other([](const FakeRequest &) { return FakeResponse::plain(404); });
        const QUrl elsewhere = other.url(QStringLiteral("/dav/"));
        test::FakeDavServer fake([&](const FakeRequest &) {
            return FakeResponse::plain(307).with("Location", elsewhere.toEncoded());
        });
        CardDavClient client({fake.url(QStringLiteral("/book/")), QStringLiteral("u"), QStringLiteral("p")});
        QList<CardRef> cards;
        QCOMPARE(client.listCards(QStringLiteral("/book/"), &cards).kind, DavError::NotFound);
        QVERIFY(fake.requests().first().headers.contains("authorization"));
        QCOMPARE(other.requests().size(), 1);
        QVERIFY(!other.requests().first().headers.contains("authorization"));
        QCOMPARE(other.requests().first().method, QByteArray("PROPFIND"));
    }

    void cancelEndsTheRequest()
    {
        test::FakeDavServer fake([](const FakeRequest &) { return FakeResponse::of(FakeResponse::Silent); });
        CardDavClient client({fake.url(QStringLiteral("/book/")), {}, {}});
        QTimer::singleShot(100, [&] { client.transport().cancel(); });
        QElapsedTimer clock;
        clock.start();
        QList<CardRef> cards;
        const DavError e = client.listCards(QStringLiteral("/book/"), &cards);
        QCOMPARE(e.kind, DavError::Cancelled);
        QCOMPARE(e.message, QStringLiteral("同步已取消。"));
        QVERIFY(clock.elapsed() < 20000);
    }
};

QTEST_GUILESS_MAIN(TestSyncClient)
#include "tst_sync_client.moc"
