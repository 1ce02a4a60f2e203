#pragma once

#include <QString>

namespace quennet {

// The program's directory: where the executable lies, or the directory given
// with --home. Every fixed file is this directory followed by a relative name,
// built again at each use.
class ProgramDir {
public:
    ProgramDir() = default;
    explicit ProgramDir(const QString &dir);

    QString path() const { return m_dir; }  // absolute, without a trailing separator
    // path() + "/" + relative, e.g. file("wab.vdb"), file("skin/bg01.bmp").
    QString file(const QString &relative) const;

    QString storeFile() const { return file(QStringLiteral("wab.vdb")); }
    QString backupFile() const { return file(QStringLiteral("wab.bak")); }
    QString skinFile(int n) const;  // skin/bg0N.bmp
    QString helpFile() const { return file(QStringLiteral("Help.html")); }
    QString previewFile() const { return file(QStringLiteral("html.txt")); }

private:
    QString m_dir;
};

}  // namespace quennet
