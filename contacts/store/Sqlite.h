#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace quennet::store {

// One prepared statement; finalized when it goes out of scope.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }

    Statement &bind(int index, qint64 value);
    Statement &bind(int index, QByteArrayView blob);
    Statement &bindText(int index, const char *text);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Runs a statement that returns no rows and resets it for the next use.
    bool run();
    void reset();

    qint64 columnInt(int column) const;
    // Valid until the next step or reset.
    QByteArrayView columnBlob(int column) const;
    bool columnIsNull(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int columnType(int column) const;
    // The same checks and values for rows read by the thousand: each
    // column_* call does its bookkeeping again, these look the value up once.
    // Both read the connection's own state, so only its one thread may call
    // them (connections are opened without a mutex of their own anyway).
    bool columnIfInteger(int column, qint64 *value) const;
    bool columnIfBlob(int column, QByteArrayView *blob) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
    bool m_bindFailed = false;
};

// The longest text or blob a connection reads or writes: above the largest
// record this program writes (six fields at capacity, sealed), far below what
// would strain memory. SQLite refuses a longer value (SQLITE_TOOBIG) from its
// length in the row's header, before it reads or allocates anything.
constexpr int kMaxValueBytes = 512 * 1024;

// A connection to an existing database file. It never creates one: a store
// file comes to exist only through ContactStore::create.
class Connection {
public:
    // How long a statement waits for another program's lock, while no
    // program commits anything, before it reports the store busy (5 s; tests
    // shorten it). As long as others keep committing it waits on: many
    // programs writing at once take turns, however long the queue.
    static int busyTimeoutMs();
    static void setBusyTimeoutMs(int ms);

    enum class Mode { ReadOnly, ReadWrite };

    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool open(const QString &path, Mode mode);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    bool isReadOnly() const;
    sqlite3 *handle() const { return m_db; }

    bool exec(const char *sql);
    // The same, but it gives up at once instead of waiting for a lock.
    bool execWithoutWaiting(const char *sql);
    // Whether every statement waits for another program's lock (it does
    // unless told otherwise) or gives up at once.
    void setWaiting(bool waits) { m_waits = waits; }
    Statement prepare(const char *sql) const { return Statement(m_db, sql); }
    int changes() const;
    // Extended result code of the last failed call.
    int lastError() const;
    QString lastErrorText() const;

private:
    // SQLite's busy handler: waits a little and tries again, until the file
    // went unchanged for the busy timeout.
    static int waitForLock(void *connection, int attempt);

    sqlite3 *m_db = nullptr;
    int m_openError = 0;
    QByteArray m_fileName;
    bool m_waits = true;
    // What the file looked like when the wait last saw it change.
    qint64 m_seenChange = 0;
    qint64 m_giveUpAtMs = 0;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Connection &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    // Result code of the failed BEGIN or COMMIT (the rollback after a failed
    // COMMIT would otherwise overwrite it).
    int failedCode() const { return m_failedCode; }

private:
    void rollback();

    Connection &m_db;
    bool m_active = false;
    int m_failedCode = 0;
};

} // namespace quennet::store
