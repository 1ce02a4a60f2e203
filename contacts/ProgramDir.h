#pragma once

#include <QString>

namespace quennet {

// Where the program finds its files. A portable program directory (the one
// ./run lays out, or the directory given with --home) holds everything: the
// skins and help page beside the store and the files the program writes. An
// installed program reads its skins and help page from its shared data
// directory and keeps the store and everything it writes in the user's data
// directory. Every fixed file is a directory followed by a relative name,
// built again at each use.
class ProgramDir {
public:
    ProgramDir() = default;
    explicit ProgramDir(const QString &dir); // portable: both directories are dir
    ProgramDir(const QString &resourceDir, const QString &dataDir);

    // The directories of an executable in exeDir. Portable when the skins lie
    // beside it and the directory is writable; otherwise the resources are
    // exeDir/../share/quennet (or exeDir itself when it has the skins) and
    // the data directory is userDataDir.
    static ProgramDir forExecutable(const QString &exeDir, const QString &userDataDir);
    // $XDG_DATA_HOME/quennet, by default ~/.local/share/quennet.
    static QString userDataDir();

    bool isPortable() const { return m_resourceDir == m_dataDir; }
    QString path() const { return m_dataDir; } // absolute, without a trailing separator
    QString resourcePath() const { return m_resourceDir; }
    // path() + "/" + relative: the store and every file the program writes.
    QString file(const QString &relative) const;
    // resourcePath() + "/" + relative: the skins and the help page.
    QString resourceFile(const QString &relative) const;

    QString storeFile() const { return file(QStringLiteral("wab.vdb")); }
    QString backupFile() const { return file(QStringLiteral("wab.bak")); }
    QString skinFile(int n) const; // skin/bg0N.bmp
    QString helpFile() const { return resourceFile(QStringLiteral("Help.html")); }
    QString previewFile() const { return file(QStringLiteral("html.txt")); }

private:
    QString m_resourceDir;
    QString m_dataDir;
};

} // namespace quennet
