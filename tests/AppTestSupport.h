#pragma once

// Helpers for the tests of the start sequence and the main window: program
// directories with a store, the per-test runtime directory that holds the
// instance lock, and running the real executable.

#include "contacts/store/ContactStore.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace apptest {

inline QStringList contact(const QString &name, const QString &mobile = QString(),
                           const QString &phone = QString(), const QString &qq = QString(),
                           const QString &email = QString(), const QString &address = QString())
{
    return {name, phone, mobile, qq, email, address};
}

// Every test process gets a runtime directory of its own, so the instance
// lock of one test never meets that of a test running beside it.
inline QString useOwnRuntimeDir()
{
    static QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    return dir.path();
}

// What every window test sets up once: its own runtime directory, scripted
// dialogs, and an application that outlives the windows it closes.
inline void initWindowTests()
{
    useOwnRuntimeDir();
    quennet::ui::setTestMode(true);
    QApplication::setQuitOnLastWindowClosed(false);
}

inline bool copyDir(const QString &from, const QString &to)
{
    QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    for (const QString &name : source.entryList(QDir::Files))
        if (!QFile::copy(source.filePath(name), to + QLatin1Char('/') + name))
            return false;
    return true;
}

// A fresh program directory; with skins and Help.html unless told otherwise.
class ProgramDirectory {
public:
    explicit ProgramDirectory(bool withSkins = true)
    {
        if (withSkins) {
            const QString program = QString::fromLocal8Bit(qgetenv("QUENNET_PROGRAM_DIR"));
            copyDir(program + QStringLiteral("/skin"), m_dir.path() + QStringLiteral("/skin"));
            QFile::copy(program + QStringLiteral("/Help.html"), file(QStringLiteral("Help.html")));
        }
    }

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString storeFile() const { return file(QStringLiteral("wab.vdb")); }

    // Creates wab.vdb holding the given contacts.
    bool createStore(const QString &password = QString(), const QList<QStringList> &contacts = {}) const
    {
        if (!quennet::ContactStore::create(storeFile(), password))
            return false;
        if (contacts.isEmpty())
            return true;
        quennet::ContactStore store;
        if (!store.open(storeFile(), password))
            return false;
        for (const QStringList &values : contacts)
            if (!store.append(values))
                return false;
        store.close();
        return true;
    }

private:
    QTemporaryDir m_dir;
};

inline QList<QStringList> numberedContacts(int count)
{
    QList<QStringList> contacts;
    for (int i = 1; i <= count; ++i)
        contacts << contact(QStringLiteral("联系人%1").arg(i),
                            QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
    return contacts;
}

inline QString quennetBinary()
{
    return QString::fromLocal8Bit(qgetenv("QUENNET_TEST_BIN_DIR")) + QStringLiteral("/quennet");
}

// The real executable on a program directory, with the testing switch on
// (no real message box; shown windows and messages reported on stderr) and
// the given runtime directory for its instance lock.
inline std::unique_ptr<QProcess> startQuennet(const QString &home, const QString &runtimeDir,
                                              const QString &platform = QStringLiteral("offscreen"),
                                              const QStringList &extraEnv = {},
                                              const QString &testMode = QStringLiteral("1"))
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("QUENNET_TEST_MODE"), testMode);
    for (const QString &pair : extraEnv)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process->setProcessEnvironment(env);
    process->start(quennetBinary(), {QStringLiteral("--home"), home});
    return process;
}

// Reads stderr until a line equal to expected arrived (true) or the process
// ended or the time ran out (false). Everything read is appended to log.
inline bool waitForLine(QProcess &process, const QString &expected, QByteArray &log, int timeoutMs = 20000)
{
    const QByteArray wanted = expected.toUtf8();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        log += process.readAllStandardError();
        for (const QByteArray &line : log.split('\n'))
            if (line == wanted)
                return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
    }
    return false;
}

inline QStringList reportedLines(const QByteArray &log, const QString &prefix)
{
    QStringList lines;
    for (const QByteArray &line : log.split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(prefix))
            lines << text.mid(prefix.size());
    }
    return lines;
}

} // namespace apptest
