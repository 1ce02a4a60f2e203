#pragma once

// The one program-directory fixture: a fresh program directory with skins,
// Help.html and a store as asked; the per-test runtime directory that holds
// the instance lock; and the scripted window layer.

#include "contacts/Session.h"
#include "support/Person.h"
#include "support/StoreFixture.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace quennet::test {

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

// Runs the window modally; inside its loop `act` runs, then, when the window
// is still open, `whileOpen` and a close. Returns the window's result, or -1
// when it stayed open.
inline int runWindow(QDialog *window, const std::function<void()> &act,
                     const std::function<void()> &whileOpen = {})
{
    bool leftOpen = false;
    ui::ModalScript::setNextHandler([&](QDialog *shown) {
        act();
        if (shown->isVisible()) {
            leftOpen = true;
            if (whileOpen)
                whileOpen();
            shown->done(-1);
        }
    });
    const int result = ui::execModal(window);
    return leftOpen ? -1 : result;
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
        return writeStore(storeFile(), password, contacts);
    }

private:
    QTemporaryDir m_dir;
};

// A fresh program directory and the session of a run on it.
class SessionHome : public ProgramDirectory {
public:
    using ProgramDirectory::ProgramDirectory;
    Session session{path()};
};

// An empty program directory (with an empty "skin" folder) and the scripted
// window layer: message boxes, file dialogs, modal windows and opened
// documents are recorded and answered, never shown.
class TestEnv : public ProgramDirectory {
public:
    TestEnv() : ProgramDirectory(false)
    {
        ui::setTestMode(true);
        ui::clearTestScripts();
        QDir(path()).mkpath(QStringLiteral("skin"));
    }
    ~TestEnv() { ui::clearTestScripts(); }
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    bool isValid() const { return QDir(path()).exists(); }
};

} // namespace quennet::test
