#pragma once

// Whole-file reads and writes and snapshots of a file, to show that a
// failed operation left it as it was.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/stat.h>

namespace quennet::test {

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Everything a failed open must leave as it was.
struct FileState {
    bool exists = false;
    QByteArray bytes;
    qint64 mtimeNs = 0;
    unsigned mode = 0;

    bool operator==(const FileState &o) const
    {
        return exists == o.exists && bytes == o.bytes && mtimeNs == o.mtimeNs && mode == o.mode;
    }
};

inline FileState fileState(const QString &path)
{
    FileState state;
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0)
        return state;
    state.exists = true;
    state.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    state.mode = unsigned(st.st_mode);
    if (S_ISREG(st.st_mode))
        state.bytes = readAll(path);
    return state;
}

inline unsigned permissionsOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

// The process's umask (inherited by the programs it starts) while alive.
class UmaskScope {
public:
    explicit UmaskScope(unsigned mask) : m_saved(::umask(mode_t(mask))) {}
    ~UmaskScope() { ::umask(m_saved); }
    UmaskScope(const UmaskScope &) = delete;
    UmaskScope &operator=(const UmaskScope &) = delete;

private:
    mode_t m_saved;
};

} // namespace quennet::test
