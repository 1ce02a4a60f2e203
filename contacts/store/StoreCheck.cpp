#include "contacts/store/ContactStore.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/PackedRecord.h"
#include "contacts/store/Sealing.h"
#include "contacts/store/StoreFile.h"
#include "contacts/store/SyncTables.h"

#include <sqlite3.h>

namespace quennet {

using namespace store;

namespace {

constexpr int kMaxReportedRecords = 20;

QString probeProblem(Probe probe, const QString &path, qint64 expected, qint64 actual)
{
    switch (probe) {
    case Probe::Ok:
        return {};
    case Probe::Missing:
        return QStringLiteral("找不到文件：%1").arg(path);
    case Probe::NotAFile:
        return QStringLiteral("不是普通文件：%1").arg(path);
    case Probe::Unreadable:
        return QStringLiteral("无法读取文件：%1").arg(path);
    case Probe::Empty:
        return QStringLiteral("文件为空（0 字节），不是通讯录文件");
    case Probe::NotAStore:
        return QStringLiteral("不是通讯录文件");
    case Probe::Truncated:
        if (actual > expected)
            return QStringLiteral("文件长度不对：应有 %1 字节，实际有 %2 字节").arg(expected).arg(actual);
        return QStringLiteral("文件不完整：应有 %1 字节，实际只有 %2 字节").arg(expected).arg(actual);
    }
    return {};
}

void checkIntegrity(Connection &db, QStringList *problems)
{
    Statement pragma = db.prepare("PRAGMA integrity_check(20)");
    if (!pragma.isValid()) {
        problems->append(QStringLiteral("完整性检查无法进行：%1").arg(db.lastErrorText()));
        return;
    }
    int rc;
    while ((rc = pragma.step()) == SQLITE_ROW) {
        const QString line = QString::fromUtf8(pragma.columnBlob(0));
        if (line != QLatin1String("ok"))
            problems->append(QStringLiteral("完整性检查：%1").arg(line));
    }
    if (rc != SQLITE_DONE)
        problems->append(QStringLiteral("完整性检查未能完成：%1").arg(db.lastErrorText()));
}

StoreError checkSchema(Connection &db, QStringList *problems)
{
    const StoreError error = verifySchema(db);
    if (error == StoreError::Damaged)
        problems->append(
            QStringLiteral("通讯录的表结构与本程序建立的不同（多出或缺少表、索引、触发器或视图）"));
    else if (error != StoreError::None)
        problems->append(storeErrorText(error));
    return error;
}

StoreError checkMeta(Connection &db, StoreMeta *meta, QStringList *problems)
{
    int format = 0;
    const StoreError error = readMeta(db, meta, &format);
    if (error == StoreError::NewerFormat)
        problems->append(QStringLiteral("文件格式版本 %1 比本程序支持的版本 %2 新，请使用新版程序")
                             .arg(format)
                             .arg(kFormatVersion));
    else if (error == StoreError::Damaged)
        problems->append(QStringLiteral("通讯录的格式信息缺失或已损坏"));
    else if (error != StoreError::None)
        problems->append(storeErrorText(error));
    return error;
}

int countRecords(Connection &db, const char *where = "")
{
    const QByteArray sql = QByteArray("SELECT count(*) FROM records") + where;
    Statement count = db.prepare(sql.constData());
    return count.step() == SQLITE_ROW ? int(count.columnInt(0)) : -1;
}

// A delete marks and purges in one transaction: a mark left in the file is
// damage, seen with or without the password.
void checkMarks(Connection &db, QStringList *problems)
{
    const int marked = countRecords(db, " WHERE deleted IS NOT 0");
    if (marked > 0)
        problems->append(
            QStringLiteral("有 %1 条记录留有删除标记（删除没有完成，或文件被改动过）").arg(marked));
}

void checkRecords(Connection &db, const StoreMeta &meta, const SealingKey *key, QStringList *problems)
{
    // A value longer than any record is never read: it counts as damaged.
    Statement select = db.prepare("SELECT id, CASE WHEN typeof(fields) = 'blob' AND length(fields) <= ? "
                                  "THEN fields END FROM records ORDER BY id");
    select.bind(1, qint64(kMaxValueBytes));
    if (!select.isValid()) {
        problems->append(QStringLiteral("无法读取记录：%1").arg(db.lastErrorText()));
        return;
    }
    int number = 0, bad = 0;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        ++number;
        QByteArray plain;
        const bool readable =
            key ? key->unseal(select.columnBlob(1), recordAssociatedData(meta.storeId, select.columnInt(0)),
                              &plain)
                : (plain = select.columnBlob(1).toByteArray(), true);
        if (readable && packed::isWellFormed(plain))
            continue;
        if (++bad <= kMaxReportedRecords)
            problems->append(QStringLiteral("第 %1 条记录已损坏或被改动").arg(number));
    }
    if (bad > kMaxReportedRecords)
        problems->append(QStringLiteral("……另有 %1 条记录有问题").arg(bad - kMaxReportedRecords));
    if (rc != SQLITE_DONE)
        problems->append(QStringLiteral("读取记录时出错：%1").arg(db.lastErrorText()));
}

int countPendingDeletes(Connection &db)
{
    Statement count =
        db.prepare("SELECT count(*) FROM sync_cards WHERE contact NOT IN (SELECT id FROM records)");
    return count.step() == SQLITE_ROW ? int(count.columnInt(0)) : 0;
}

// The sync's rows: their types and bounds, and with the key their seals and
// their digest. What they say goes into summary.
void checkSync(Connection &db, const StoreMeta &meta, const SealingKey *key, QStringList *problems,
               SyncSummary *summary)
{
    StoredSyncRows rows;
    summary->tables = hasSyncTables(db);
    if (!summary->tables)
        return;
    if (readSyncRows(db, meta, &rows) != StoreError::None) {
        problems->append(QStringLiteral("同步记录的结构、类型或长度不对"));
        return;
    }
    summary->cards = int(rows.cards.size());
    summary->pendingDeletes = countPendingDeletes(db);
    if (meta.sealed && !key)
        return;
    if (meta.sealed && !syncDigestMatches(meta, *key, rows))
        problems->append(QStringLiteral("同步记录有缺失或被改动（摘要不符）"));
    int bad = 0;
    for (const auto &[name, stored] : rows.values) {
        QByteArray plain = stored;
        if (meta.sealed && !key->unseal(stored, syncValueAssociatedData(meta.storeId, name), &plain))
            ++bad;
        const QString text = QString::fromUtf8(plain);
        if (name == "url")
            summary->url = text;
        else if (name == "user")
            summary->user = text;
        else if (name == "book")
            summary->book = text;
    }
    for (const StoredSyncCard &card : rows.cards) {
        QByteArray plainCard = card.card, synced = card.synced;
        const bool unsealed =
            !meta.sealed ||
            (key->unseal(card.card, syncCardAssociatedData(meta.storeId, card.href, 'c'), &plainCard) &&
             key->unseal(card.synced, syncCardAssociatedData(meta.storeId, card.href, 's'), &synced));
        if (!unsealed || !packed::isWellFormed(synced))
            ++bad;
    }
    if (bad > 0)
        problems->append(QStringLiteral("有 %1 条同步记录已损坏或被改动").arg(bad));
    summary->readable = bad == 0;
}

// The bounds and types an open verifies (row ids, sequence, marks, blobs).
void checkBounds(Connection &db, const StoreMeta &meta, SealingKey key, QStringList *problems)
{
    ContactStoreImpl loader;
    loader.meta = meta;
    loader.key = std::move(key);
    const StoreError error = loader.load(db);
    if (error == StoreError::Damaged)
        problems->append(QStringLiteral("记录的编号、标记或存储类型不对"));
    else if (error != StoreError::None)
        problems->append(storeErrorText(error));
}

} // namespace

bool StoreCheck::couldNotExamine() const
{
    switch (error) {
    case StoreError::Missing:
    case StoreError::NotAFile:
    case StoreError::Unreadable:
    case StoreError::Busy:
    case StoreError::ReadOnly:
    case StoreError::Failed:
    case StoreError::NotOpen:
        return true;
    default:
        return false;
    }
}

StoreCheck ContactStore::check(const QString &path, const QString &password)
{
    StoreCheck result;
    const auto fail = [&](StoreError error) {
        if (result.error == StoreError::None)
            result.error = error;
    };
    qint64 expected = 0, actual = 0;
    const Probe probe = probeFile(path, &expected, &actual);
    if (probe != Probe::Ok) {
        result.problems.append(probeProblem(probe, path, expected, actual));
        result.error = probeError(probe);
        return result;
    }
    Connection db;
    if (const StoreError error = openForReading(path, &db); error != StoreError::None) {
        result.problems.append(QStringLiteral("无法打开数据库：%1").arg(storeErrorText(error)));
        result.error = error;
        return result;
    }
    db.exec("BEGIN"); // one consistent view; the first statement takes the lock
    checkIntegrity(db, &result.problems);
    if (!result.problems.isEmpty())
        fail(StoreError::Damaged);
    fail(checkSchema(db, &result.problems));
    StoreMeta meta;
    const StoreError metaError = checkMeta(db, &meta, &result.problems);
    fail(metaError);
    if (metaError == StoreError::None) {
        result.hasPassword = meta.sealed;
        result.recordCount = countRecords(db);
        SealingKey key;
        QByteArray check;
        const int problemsBefore = int(result.problems.size());
        bool keyOpens = false;
        checkMarks(db, &result.problems);
        if (!meta.sealed) {
            checkRecords(db, meta, nullptr, &result.problems);
        } else if (!password.isEmpty()) {
            // The records can only be verified with the password.
            if (key.derive(password, meta.kdf) &&
                key.unseal(meta.keyCheck, keyCheckAssociatedData(meta.storeId), &check) &&
                check == keyCheckPlainText()) {
                keyOpens = true;
                checkRecords(db, meta, &key, &result.problems);
            } else {
                result.problems.append(QStringLiteral("密码错误"));
                fail(StoreError::WrongPassword);
            }
        }
        checkSync(db, meta, meta.sealed && !keyOpens ? nullptr : &key, &result.problems, &result.sync);
        if (int(result.problems.size()) == problemsBefore && (!meta.sealed || key.isValid()))
            checkBounds(db, meta, std::move(key), &result.problems);
        if (int(result.problems.size()) > problemsBefore)
            fail(StoreError::Damaged);
    }
    result.ok = result.problems.isEmpty();
    return result;
}

} // namespace quennet
