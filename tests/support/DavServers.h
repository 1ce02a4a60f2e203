#pragma once

// Real CardDAV servers for the sync tests: Radicale (with a user and a
// password) and Xandikos (which has no accounts), each on a free local port
// with an empty address book in a temporary directory, stopped with the
// object. A test skips when the server's program is not installed.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <memory>

namespace quennet::test {

inline quint16 freeLocalPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool waitForPort(quint16 port, QProcess &process, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(50);
    }
    return false;
}

class DavServer {
public:
    enum Kind { Radicale, Xandikos };

    static QString programOf(Kind kind)
    {
        return kind == Radicale ? QStringLiteral("radicale") : QStringLiteral("xandikos");
    }
    static QString nameOf(Kind kind) { return programOf(kind); }

    // The server started, or null with *why (missing: the program is not
    // installed). timed: Radicale logs every request with its own time
    // (requestTimes), for a benchmark that tells the server's part from ours.
    static std::unique_ptr<DavServer> start(Kind kind, QString *why, bool *missing, bool timed = false)
    {
        *missing = QStandardPaths::findExecutable(programOf(kind)).isEmpty();
        if (*missing) {
            *why = programOf(kind) + QStringLiteral(" is not installed (scripts/setup-deps.sh)");
            return nullptr;
        }
        std::unique_ptr<DavServer> server(new DavServer(kind, timed));
        if (!server->launch(why))
            return nullptr;
        return server;
    }

    ~DavServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    Kind kind() const { return m_kind; }
    // http://127.0.0.1:PORT/ with no user in it.
    QUrl root() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }
    QUrl bookUrl() const { return root().resolved(QUrl(bookPath())); }
    QString bookPath() const
    {
        return m_kind == Radicale ? QStringLiteral("/alice/contacts/")
                                  : QStringLiteral("/user/contacts/addressbook/");
    }
    // The principal and the home of the address books, as the server lays them out.
    QString principalPath() const
    {
        return m_kind == Radicale ? QStringLiteral("/alice/") : QStringLiteral("/user/");
    }
    QString homePath() const
    {
        return m_kind == Radicale ? QStringLiteral("/alice/") : QStringLiteral("/user/contacts/");
    }
    QString user() const { return m_kind == Radicale ? QStringLiteral("alice") : QString(); }
    QString password() const { return m_kind == Radicale ? QStringLiteral("geheim-42") : QString(); }
    bool hasAccounts() const { return m_kind == Radicale; }

    // Radicale: the folder of the address book, one .vcf file per card (a
    // benchmark fills it without a request per card); another address book
    // beside it, by its href. Empty for Xandikos.
    QString bookFolder() const
    {
        return m_kind == Radicale
                   ? m_dir.path() + QStringLiteral("/collections/collection-root/alice/contacts")
                   : QString();
    }
    // Xandikos: the git repository that holds the address book; empty for Radicale.
    QString bookRepository() const
    {
        return m_kind == Xandikos ? m_dir.path() + QStringLiteral("/data/user/contacts/addressbook")
                                  : QString();
    }
    QString addBook(const QString &name, const QString &displayName)
    {
        return m_kind == Radicale ? makeBook(QStringLiteral("alice"), name, displayName) : QString();
    }
    // Radicale: another user with an address book of their own; the book's
    // href. Empty for Xandikos.
    QString addUser(const QString &name, const QString &password)
    {
        QFile users(m_dir.path() + QStringLiteral("/users"));
        if (m_kind != Radicale || !users.open(QIODevice::Append))
            return QString();
        users.write((name + QLatin1Char(':') + password + QLatin1Char('\n')).toUtf8());
        return makeBook(name, QStringLiteral("contacts"), QStringLiteral("Contacts"));
    }

    // Radicale started timed: how many requests of method it answered so
    // far and the seconds it spent on them, as its log tells (from the
    // request read to the answer made; the connection and our side are not in it).
    struct RequestTimes {
        int count = 0;
        double seconds = 0;
    };
    RequestTimes requestTimes(const QByteArray &method) const
    {
        RequestTimes times;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return times;
        const QByteArray marker = "] " + method + " response status for ";
        while (!log.atEnd()) {
            const QByteArray line = log.readLine();
            const qsizetype at = line.indexOf(marker);
            const qsizetype in = line.lastIndexOf(" in ");
            if (at < 0 || in < at)
                continue;
            ++times.count;
            times.seconds += line.mid(in + 4).split(' ').value(0).toDouble();
        }
        return times;
    }

private:
    DavServer(Kind kind, bool timed) : m_kind(kind), m_timed(timed) {}

    bool launch(QString *why)
    {
        const QString base = m_dir.path();
        m_port = freeLocalPort();
        QStringList arguments;
        if (m_kind == Radicale) {
            makeBook(QStringLiteral("alice"), QStringLiteral("contacts"), QStringLiteral("Contacts"));
            write(base + QStringLiteral("/users"), "alice:geheim-42\n");
            write(base + QStringLiteral("/config"),
                  QStringLiteral(
                      "[server]\nhosts = 127.0.0.1:%1\n"
                      "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\nhtpasswd_encryption = plain\n"
                      "delay = 0\n"
                      "[storage]\nfilesystem_folder = %2/collections\n"
                      "[logging]\nlevel = %3\n")
                      .arg(m_port)
                      .arg(base, m_timed ? QStringLiteral("info") : QStringLiteral("warning"))
                      .toUtf8());
            arguments << QStringLiteral("--config") << base + QStringLiteral("/config");
        } else {
            arguments << QStringLiteral("-d") << base + QStringLiteral("/data") << QStringLiteral("-l")
                      << QStringLiteral("127.0.0.1") << QStringLiteral("-p") << QString::number(m_port)
                      << QStringLiteral("--defaults");
        }
        // Into a file: a server that logs every request would otherwise
        // stop once the pipe is full.
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(logPath());
        m_process.start(programOf(m_kind), arguments);
        if (!m_process.waitForStarted(10000) || !waitForPort(m_port, m_process)) {
            QFile log(logPath());
            log.open(QIODevice::ReadOnly);
            *why = programOf(m_kind) + QStringLiteral(" did not start: ") +
                   QString::fromLocal8Bit(log.readAll());
            return false;
        }
        return true;
    }

    // Radicale: an empty address book of the user's; its href.
    QString makeBook(const QString &user, const QString &name, const QString &displayName)
    {
        const QString folder =
            m_dir.path() + QStringLiteral("/collections/collection-root/%1/%2").arg(user, name);
        QDir().mkpath(folder);
        write(folder + QStringLiteral("/.Radicale.props"),
              QStringLiteral(R"({"D:displayname": "%1", "tag": "VADDRESSBOOK"})").arg(displayName).toUtf8());
        return QStringLiteral("/%1/%2/").arg(user, name);
    }

    QString logPath() const { return m_dir.path() + QStringLiteral("/server.log"); }

    static void write(const QString &path, const QByteArray &text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }

    Kind m_kind;
    bool m_timed = false;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace quennet::test
