#pragma once

// vdirsyncer as a second client of the test server: it mirrors the address
// book into a folder of .vcf files, which a test edits between our syncs, as
// a phone would.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

namespace quennet::test {

class VdirsyncerPhone {
public:
    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("vdirsyncer")).isEmpty();
    }

    // timeoutMs: how long one vdirsyncer run may take.
    VdirsyncerPhone(const QUrl &book, const QString &user, const QString &password, int timeoutMs = 60000)
        : m_timeoutMs(timeoutMs)
    {
        QDir().mkpath(cardsDir());
        QString config =
            QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n\n"
                           "[pair book]\na = \"phone\"\nb = \"server\"\ncollections = null\n\n"
                           "[storage phone]\ntype = \"filesystem\"\npath = \"%2/\"\nfileext = \".vcf\"\n\n"
                           "[storage server]\ntype = \"carddav\"\nurl = \"%3\"\n")
                .arg(m_dir.path(), cardsDir(), book.toString());
        if (!user.isEmpty())
            config += QStringLiteral("username = \"%1\"\npassword = \"%2\"\n").arg(user, password);
        QFile file(m_dir.path() + QStringLiteral("/config"));
        if (file.open(QIODevice::WriteOnly))
            file.write(config.toUtf8());
    }

    QString cardsDir() const { return m_dir.path() + QStringLiteral("/cards"); }

    // Runs "vdirsyncer discover" (once) and "vdirsyncer sync"; the output
    // when it failed, else empty.
    QString sync()
    {
        if (!m_discovered) {
            if (QString failed = run({QStringLiteral("discover")}); !failed.isEmpty())
                return failed;
            m_discovered = true;
        }
        return run({QStringLiteral("sync")});
    }

    QStringList files() const
    {
        return QDir(cardsDir()).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
    }
    QByteArray read(const QString &file) const
    {
        QFile f(cardsDir() + QLatin1Char('/') + file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString &file, const QByteArray &card) const
    {
        QFile f(cardsDir() + QLatin1Char('/') + file);
        if (f.open(QIODevice::WriteOnly))
            f.write(card);
    }
    bool remove(const QString &file) const { return QFile::remove(cardsDir() + QLatin1Char('/') + file); }

private:
    QString run(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("vdirsyncer"),
                      QStringList{QStringLiteral("-c"), m_dir.path() + QStringLiteral("/config")} +
                          arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(m_timeoutMs) || process.exitCode() != 0)
            return QString::fromLocal8Bit(process.readAll()) + QStringLiteral(" (vdirsyncer failed)");
        return QString();
    }

    QTemporaryDir m_dir;
    int m_timeoutMs;
    bool m_discovered = false;
};

} // namespace quennet::test
