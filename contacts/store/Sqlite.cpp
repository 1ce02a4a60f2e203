#include "contacts/store/Sqlite.h"
#include "contacts/store/ReadAheadVfs.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quennet::store {

Statement::Statement(sqlite3 *db, const char *sql)
{
    if (db && sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_bindFailed(other.m_bindFailed)
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_bindFailed = other.m_bindFailed;
    }
    return *this;
}

Statement &Statement::bind(int index, qint64 value)
{
    if (!m_stmt || sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        m_bindFailed = true;
    return *this;
}

Statement &Statement::bind(int index, QByteArrayView blob)
{
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    const char *data = blob.isEmpty() ? &empty : blob.data();
    if (!m_stmt ||
        sqlite3_bind_blob64(m_stmt, index, data, sqlite3_uint64(blob.size()), SQLITE_STATIC) != SQLITE_OK)
        m_bindFailed = true;
    return *this;
}

Statement &Statement::bindText(int index, const char *text)
{
    if (!m_stmt || sqlite3_bind_text(m_stmt, index, text, -1, SQLITE_STATIC) != SQLITE_OK)
        m_bindFailed = true;
    return *this;
}

int Statement::step()
{
    if (!m_stmt)
        return SQLITE_MISUSE;
    if (m_bindFailed)
        return SQLITE_RANGE;
    return sqlite3_step(m_stmt);
}

bool Statement::run()
{
    const bool done = step() == SQLITE_DONE;
    reset();
    return done;
}

void Statement::reset()
{
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    m_bindFailed = false;
}

qint64 Statement::columnInt(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QByteArrayView Statement::columnBlob(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return QByteArrayView(static_cast<const char *>(data), size);
}

bool Statement::columnIsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

int Statement::columnType(int column) const
{
    return sqlite3_column_type(m_stmt, column);
}

bool Statement::columnIfInteger(int column, qint64 *value) const
{
    sqlite3_value *v = sqlite3_column_value(m_stmt, column);
    if (sqlite3_value_type(v) != SQLITE_INTEGER)
        return false;
    *value = sqlite3_value_int64(v);
    return true;
}

bool Statement::columnIfBlob(int column, QByteArrayView *blob) const
{
    sqlite3_value *v = sqlite3_column_value(m_stmt, column);
    if (sqlite3_value_type(v) != SQLITE_BLOB)
        return false;
    const void *data = sqlite3_value_blob(v);
    *blob = QByteArrayView(static_cast<const char *>(data), sqlite3_value_bytes(v));
    return true;
}

namespace {
int g_busyTimeoutMs = 5000;
} // namespace

int Connection::busyTimeoutMs()
{
    return g_busyTimeoutMs;
}

void Connection::setBusyTimeoutMs(int ms)
{
    g_busyTimeoutMs = ms;
}

Connection::~Connection()
{
    close();
}

bool Connection::open(const QString &path, Mode mode)
{
    close();
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    const QByteArray name = QFile::encodeName(path);
    const char *vfs = mode == Mode::ReadOnly ? readAheadVfsName() : nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, vfs);
    if (rc != SQLITE_OK) {
        m_openError = m_db ? sqlite3_extended_errcode(m_db) : rc;
        close();
        return false;
    }
    m_openError = SQLITE_OK;
    sqlite3_extended_result_codes(m_db, 1);
    m_fileName = name;
    sqlite3_busy_handler(m_db, &Connection::waitForLock, this);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    return true;
}

void Connection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Connection::isReadOnly() const
{
    return !m_db || sqlite3_db_readonly(m_db, "main") != 0;
}

bool Connection::exec(const char *sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Connection::execWithoutWaiting(const char *sql)
{
    m_waits = false;
    const bool ok = exec(sql);
    m_waits = true;
    return ok;
}

namespace {

qint64 nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Every commit rewrites the file: its modification time (and often its size)
// tells that the program holding the lock got on. stat, not a descriptor of
// our own: closing one would drop SQLite's locks on the file.
qint64 changeStamp(const QByteArray &fileName)
{
    struct stat st {};
    if (::stat(fileName.constData(), &st) != 0)
        return 0;
    return (qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) ^ (qint64(st.st_size) << 40);
}

} // namespace

int Connection::waitForLock(void *connection, int attempt)
{
    auto *self = static_cast<Connection *>(connection);
    if (!self->m_waits)
        return 0;
    const qint64 now = nowMs();
    const qint64 stamp = changeStamp(self->m_fileName);
    if (attempt == 0 || stamp != self->m_seenChange) {
        self->m_seenChange = stamp;
        self->m_giveUpAtMs = now + g_busyTimeoutMs;
    }
    if (now >= self->m_giveUpAtMs)
        return 0;
    // Short naps at first, as a lock is mostly held for milliseconds.
    const qint64 napMs = std::min<qint64>({qint64(attempt) + 1, 10, self->m_giveUpAtMs - now});
    ::usleep(useconds_t(napMs * 1000));
    return 1;
}

int Connection::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

int Connection::lastError() const
{
    if (!m_db)
        return m_openError == SQLITE_OK ? SQLITE_CANTOPEN : m_openError;
    return sqlite3_extended_errcode(m_db);
}

QString Connection::lastErrorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
}

Transaction::Transaction(Connection &db) : m_db(db)
{
    m_active = m_db.exec("BEGIN IMMEDIATE");
    if (!m_active)
        m_failedCode = m_db.lastError();
}

Transaction::~Transaction()
{
    if (m_active)
        rollback();
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (m_db.exec("COMMIT")) {
        m_active = false;
        return true;
    }
    m_failedCode = m_db.lastError();
    rollback();
    return false;
}

void Transaction::rollback()
{
    // A failed COMMIT may already have rolled back on its own.
    if (m_db.handle() && !sqlite3_get_autocommit(m_db.handle()))
        m_db.exec("ROLLBACK");
    m_active = false;
}

} // namespace quennet::store
