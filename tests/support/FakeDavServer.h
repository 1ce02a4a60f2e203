#pragma once

// A small HTTP server in the test's own thread for what real servers do not
// do on request: fail, go silent, answer garbage or without end, or show a
// certificate that does not verify. The client under test waits in a local
// event loop, which serves this server's sockets too.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <memory>

namespace quennet::test {

struct FakeRequest {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names lower case
    QByteArray body;
};

struct FakeResponse {
    enum Mode {
        Answer,  // status, headers and body
        Silent,  // read the request, never answer
        Endless, // a 207 whose body never ends
        Hangup,  // close the connection without a word
    };
    Mode mode = Answer;
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    static FakeResponse xml(int status, const QByteArray &body)
    {
        FakeResponse r;
        r.status = status;
        r.body = body;
        return r.with("Content-Type", "application/xml; charset=utf-8");
    }
    static FakeResponse plain(int status, const QByteArray &body = {})
    {
        FakeResponse r;
        r.status = status;
        r.body = body;
        return r;
    }
    FakeResponse with(const QByteArray &name, const QByteArray &value) const
    {
        FakeResponse r = *this;
        r.headers.append(qMakePair(name, value));
        return r;
    }
    static FakeResponse of(Mode mode)
    {
        FakeResponse r;
        r.mode = mode;
        return r;
    }
};

using FakeHandler = std::function<FakeResponse(const FakeRequest &)>;

class FakeDavServer {
public:
    // tls: answer over TLS with the given certificate and key (PEM).
    explicit FakeDavServer(FakeHandler handler, const QByteArray &certPem = {}, const QByteArray &keyPem = {})
        : m_handler(std::move(handler))
    {
        if (!certPem.isEmpty()) {
            auto *tls = new QSslServer;
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            config.setLocalCertificate(QSslCertificate(certPem));
            config.setPrivateKey(QSslKey(keyPem, QSsl::Rsa));
            config.setPeerVerifyMode(QSslSocket::VerifyNone);
            tls->setSslConfiguration(config);
            m_server.reset(tls);
            m_tls = true;
        } else {
            m_server = std::make_unique<QTcpServer>();
        }
        m_server->listen(QHostAddress::LocalHost, 0);
        QObject::connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, [this] { accept(); });
    }

    QUrl url(const QString &path = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(m_tls ? "https" : "http")
                        .arg(m_server->serverPort())
                        .arg(path));
    }
    const QList<FakeRequest> &requests() const { return m_requests; }
    qint64 bytesSent() const { return m_sent; }

private:
    struct Connection {
        QPointer<QTcpSocket> socket;
        QByteArray buffer;
    };

    void accept()
    {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            auto connection = std::make_shared<Connection>();
            connection->socket = socket;
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, connection] { read(*connection); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(Connection &c)
    {
        c.buffer += c.socket->readAll();
        for (;;) {
            const qsizetype headEnd = c.buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            FakeRequest request;
            const QList<QByteArray> lines = c.buffer.left(headEnd).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length").toLongLong();
            if (c.buffer.size() < headEnd + 4 + length)
                return;
            request.body = c.buffer.mid(headEnd + 4, length);
            c.buffer.remove(0, headEnd + 4 + length);
            m_requests << request;
            answer(c, m_handler(request));
        }
    }

    void answer(Connection &c, const FakeResponse &response)
    {
        QTcpSocket *socket = c.socket;
        switch (response.mode) {
        case FakeResponse::Silent:
            return;
        case FakeResponse::Hangup:
            socket->disconnectFromHost();
            return;
        case FakeResponse::Endless: {
            socket->write(
                "HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nConnection: close\r\n\r\n"
                "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\">");
            // Keeps the socket's buffer topped up until the client goes.
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
                if (socket->bytesToWrite() < 1024 * 1024 && m_sent < 1024ll * 1024 * 1024) {
                    static const QByteArray chunk = QByteArray(256 * 1024, ' ');
                    socket->write(chunk);
                    m_sent += chunk.size();
                }
            });
            return;
        }
        case FakeResponse::Answer:
            break;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Fake\r\n";
        bool hasLength = false;
        for (const auto &header : response.headers) {
            out += header.first + ": " + header.second + "\r\n";
            hasLength = hasLength || header.first.toLower() == "content-length";
        }
        if (!hasLength)
            out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        out += "\r\n" + response.body;
        socket->write(out);
        m_sent += out.size();
    }

    FakeHandler m_handler;
    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    QList<FakeRequest> m_requests;
    qint64 m_sent = 0;
};

} // namespace quennet::test

namespace quennet::test {

// An address book without sync tokens, only getctag and ETags, as older
// servers have: the handler for a FakeDavServer. Cards live in cards.
struct EtagOnlyBook {
    QString path = QStringLiteral("/book/");
    QMap<QString, QByteArray> cards; // href → card
    QMap<QString, int> versions;
    int ctag = 1;

    QByteArray etagOf(const QString &href) const
    {
        return "\"v" + QByteArray::number(versions.value(href)) + '"';
    }
    void put(const QString &href, const QByteArray &card)
    {
        cards.insert(href, card);
        versions[href] += 1;
        ++ctag;
    }
    void remove(const QString &href)
    {
        cards.remove(href);
        ++ctag;
    }

    FakeResponse operator()(const FakeRequest &r)
    {
        const QString href = QUrl::fromPercentEncoding(r.path);
        const auto response = [](const QString &h, const QByteArray &props) {
            return "<d:response><d:href>" + QUrl::toPercentEncoding(h, "/") +
                   "</d:href><d:propstat><d:prop>" + props +
                   "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
        };
        const auto multistatus = [](const QByteArray &inner) {
            return FakeResponse::xml(
                207, "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\" "
                     "xmlns:cs=\"http://calendarserver.org/ns/\">" +
                         inner + "</d:multistatus>");
        };
        const QByteArray bookProps =
            "<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype><cs:getctag>" +
            QByteArray::number(ctag) + "</cs:getctag>";
        if (r.method == "PROPFIND" && href == path) {
            QByteArray inner = response(path, bookProps);
            if (r.headers.value("depth") == "1")
                for (auto it = cards.cbegin(); it != cards.cend(); ++it)
                    inner += response(it.key(), "<d:getetag>" + etagOf(it.key()) + "</d:getetag>");
            return multistatus(inner);
        }
        if (r.method == "REPORT" && r.body.contains("addressbook-multiget")) {
            QByteArray inner;
            for (qsizetype at = r.body.indexOf("<d:href>"); at >= 0;
                 at = r.body.indexOf("<d:href>", at + 1)) {
                const qsizetype end = r.body.indexOf("</d:href>", at);
                const QString wanted = QUrl::fromPercentEncoding(r.body.mid(at + 8, end - at - 8));
                if (cards.contains(wanted)) {
                    QByteArray card = cards.value(wanted);
                    card.replace("&", "&amp;").replace("<", "&lt;");
                    inner +=
                        response(wanted, "<d:getetag>" + etagOf(wanted) + "</d:getetag><c:address-data>" +
                                             card + "</c:address-data>");
                }
            }
            return multistatus(inner);
        }
        if (r.method == "REPORT")
            return FakeResponse::plain(501);
        const QByteArray ifMatch = r.headers.value("if-match");
        const bool exists = cards.contains(href);
        if ((r.headers.value("if-none-match") == "*" && exists) ||
            (!ifMatch.isEmpty() && ifMatch != etagOf(href)) || (!ifMatch.isEmpty() && !exists))
            return FakeResponse::plain(412);
        if (r.method == "PUT") {
            put(href, r.body);
            return FakeResponse::plain(exists ? 204 : 201).with("ETag", etagOf(href));
        }
        if (r.method == "DELETE") {
            if (!exists)
                return FakeResponse::plain(404);
            remove(href);
            return FakeResponse::plain(204);
        }
        return FakeResponse::plain(405);
    }
};

} // namespace quennet::test
