#pragma once

// A secret service of the test's own: a private session bus (dbus-daemon)
// with gnome-keyring unlocked on it, in a temporary home, so the server
// password tests never touch the desktop's keyring. Set up before the first
// use of the session bus in the process; stopped with the object.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

namespace quennet::test {

class PrivateSecretService {
public:
    static QString missingProgram()
    {
        for (const char *program : {"dbus-daemon", "dbus-send", "gnome-keyring-daemon"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                return QString::fromLatin1(program) +
                       QStringLiteral(" is not installed (scripts/setup-deps.sh)");
        return QString();
    }

    ~PrivateSecretService()
    {
        for (QProcess *process : {&m_keyring, &m_bus})
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000))
                    process->kill();
                process->waitForFinished(1000);
            }
    }

    // Empty when the service answers on the bus; else why not.
    QString start()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                    QStringLiteral("--print-address=1")});
        QByteArray address;
        QElapsedTimer clock;
        clock.start();
        while (!address.contains('\n') && clock.elapsed() < 10000 && m_bus.waitForReadyRead(200))
            address += m_bus.readAllStandardOutput();
        address = address.trimmed();
        if (address.isEmpty())
            return QStringLiteral("dbus-daemon gave no address: ") +
                   QString::fromLocal8Bit(m_bus.readAllStandardError());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        const QString home = m_dir.path();
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLocal8Bit(address));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        m_keyring.setProcessEnvironment(env);
        m_keyring.setStandardOutputFile(QProcess::nullDevice());
        m_keyring.start(QStringLiteral("gnome-keyring-daemon"),
                        {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                         QStringLiteral("--components=secrets")});
        if (!m_keyring.waitForStarted(5000))
            return QStringLiteral("gnome-keyring-daemon did not start");
        m_keyring.write("test-keyring-password");
        m_keyring.waitForBytesWritten(5000);
        m_keyring.closeWriteChannel();
        clock.restart();
        while (clock.elapsed() < 15000) {
            QProcess ask;
            ask.setProcessEnvironment(env);
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--dest=org.freedesktop.DBus"),
                       QStringLiteral("--print-reply"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.secrets")});
            if (ask.waitForFinished(3000) && ask.readAllStandardOutput().contains("true"))
                return QString();
            if (m_keyring.state() == QProcess::NotRunning)
                return QStringLiteral("gnome-keyring-daemon ended: ") +
                       QString::fromLocal8Bit(m_keyring.readAllStandardError());
            QThread::msleep(100);
        }
        return QStringLiteral("the secret service did not appear on the bus: ") +
               QString::fromLocal8Bit(m_keyring.readAllStandardError());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
};

} // namespace quennet::test

// In a test case's initTestCase: a service of its own started into service
// (a std::unique_ptr<PrivateSecretService>), else the test case skipped
// (a program is not installed) or failed.
#define QUENNET_START_SECRET_SERVICE(service)                                                                \
    do {                                                                                                     \
        if (const QString missing = quennet::test::PrivateSecretService::missingProgram();                   \
            !missing.isEmpty())                                                                              \
            QSKIP(qPrintable(missing));                                                                      \
        service = std::make_unique<quennet::test::PrivateSecretService>();                                   \
        const QString failed = service->start();                                                             \
        QVERIFY2(failed.isEmpty(), qPrintable(failed));                                                      \
    } while (false)
