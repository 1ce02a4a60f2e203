#pragma once

// Header only: tests that do not use widgets never include it, so the core
// tests need not link the window layer.

#include "ui/Modal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace quennet::test {

// A fresh program directory (with an empty "skin" folder) and the scripted
// window layer: message boxes, file dialogs, modal windows and opened
// documents are recorded and answered, never shown.
class TestEnv {
public:
    TestEnv()
    {
        ui::setTestMode(true);
        ui::clearTestScripts();
        QDir(m_dir.path()).mkpath(QStringLiteral("skin"));
    }
    ~TestEnv() { ui::clearTestScripts(); }
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

    // Copies a file into the program directory, e.g. copyIn(x, "wab.vdb").
    bool copyIn(const QString &source, const QString &relative) const
    {
        QFile::remove(file(relative));
        return QFile::copy(source, file(relative));
    }

    // Copies the skins of the built program directory; false when one is missing.
    bool copySkins() const
    {
        const QString from = qEnvironmentVariable("QUENNET_PROGRAM_DIR") + QStringLiteral("/skin/");
        bool all = true;
        for (const char *name : {"bg01.bmp", "bg02.bmp", "bg03.bmp"}) {
            const QString skin = QLatin1String(name);
            all = copyIn(from + skin, QStringLiteral("skin/") + skin) && all;
        }
        return all;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace quennet::test
