#pragma once

// Helpers shared by the contact store tests: contacts, file snapshots and
// direct SQLite access to a store file (to damage it on purpose).

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <sys/stat.h>

namespace storetest {

inline QStringList contact(const QString &name, const QString &phone = QString(),
                           const QString &mobile = QString(), const QString &qq = QString(),
                           const QString &email = QString(), const QString &address = QString())
{
    return {name, phone, mobile, qq, email, address};
}

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

// Raw SQLite access, bypassing the store.
class RawDb {
public:
    explicit RawDb(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    bool exec(const char *sql)
    {
        return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    QByteArray blob(const char *sql, qint64 arg)
    {
        QByteArray out;
        sqlite3_stmt *stmt = nullptr;
        if (m_db && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(stmt, 1, arg);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                out = QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, 0)),
                                 sqlite3_column_bytes(stmt, 0));
        }
        sqlite3_finalize(stmt);
        return out;
    }

    qint64 integer(const char *sql)
    {
        qint64 out = -1;
        sqlite3_stmt *stmt = nullptr;
        if (m_db && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            out = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return out;
    }

    bool setBlob(const char *sql, const QByteArray &value, qint64 arg)
    {
        sqlite3_stmt *stmt = nullptr;
        bool ok = m_db && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK;
        ok =
            ok &&
            sqlite3_bind_blob(stmt, 1, value.constData(), int(value.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
            sqlite3_bind_int64(stmt, 2, arg) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_DONE;
        sqlite3_finalize(stmt);
        return ok;
    }

    // Row ids of the records table in order.
    QList<qint64> rowIds()
    {
        QList<qint64> ids;
        sqlite3_stmt *stmt = nullptr;
        if (m_db &&
            sqlite3_prepare_v2(m_db, "SELECT id FROM records ORDER BY id", -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                ids.append(sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
        return ids;
    }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace storetest
