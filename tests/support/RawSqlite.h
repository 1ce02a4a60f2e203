#pragma once

// Raw SQLite access to a store file, bypassing the store: to look at what it
// holds or to damage it on purpose.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <sqlite3.h>

namespace quennet::test {

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

} // namespace quennet::test
