#include "contacts/store/ContactStore.h"

#include "contacts/store/PackedRecord.h"
#include "contacts/store/Sealing.h"
#include "contacts/store/StoreFile.h"

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

bool checkMeta(Connection &db, StoreMeta *meta, QStringList *problems)
{
    int format = 0;
    switch (readMeta(db, meta, &format)) {
    case MetaRead::Ok:
        return true;
    case MetaRead::NewerFormat:
        problems->append(QStringLiteral("文件格式版本 %1 比本程序支持的版本 %2 新，请使用新版程序")
                             .arg(format)
                             .arg(kFormatVersion));
        return false;
    case MetaRead::Damaged:
        break;
    }
    problems->append(QStringLiteral("通讯录的格式信息缺失或已损坏"));
    return false;
}

int countRecords(Connection &db)
{
    Statement count = db.prepare("SELECT count(*) FROM records");
    return count.step() == SQLITE_ROW ? int(count.columnInt(0)) : -1;
}

void checkRecords(Connection &db, const StoreMeta &meta, const SealingKey *key, QStringList *problems)
{
    Statement select = db.prepare("SELECT id, fields FROM records ORDER BY id");
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

} // namespace

StoreCheck ContactStore::check(const QString &path, const QString &password)
{
    StoreCheck result;
    qint64 expected = 0, actual = 0;
    const Probe probe = probeFile(path, &expected, &actual);
    if (probe != Probe::Ok) {
        result.problems.append(probeProblem(probe, path, expected, actual));
        return result;
    }
    Connection db;
    if (!openForReading(path, &db)) {
        result.problems.append(QStringLiteral("无法打开数据库：%1").arg(db.lastErrorText()));
        return result;
    }
    checkIntegrity(db, &result.problems);
    StoreMeta meta;
    if (checkMeta(db, &meta, &result.problems)) {
        result.hasPassword = meta.sealed;
        result.recordCount = countRecords(db);
        SealingKey key;
        QByteArray check;
        if (!meta.sealed) {
            checkRecords(db, meta, nullptr, &result.problems);
        } else if (!password.isEmpty()) {
            // The records can only be verified with the password.
            if (key.derive(password, meta.kdf) &&
                key.unseal(meta.keyCheck, keyCheckAssociatedData(meta.storeId), &check) &&
                check == keyCheckPlainText())
                checkRecords(db, meta, &key, &result.problems);
            else
                result.problems.append(QStringLiteral("密码错误"));
        }
    }
    result.ok = result.problems.isEmpty();
    return result;
}

} // namespace quennet
