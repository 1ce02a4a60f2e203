#include "contacts/store/StoreError.h"

#include <sqlite3.h>

namespace quennet {

QString storeErrorText(StoreError error)
{
    switch (error) {
    case StoreError::None:
        return QString();
    case StoreError::Missing:
        return QStringLiteral("找不到通讯录文件");
    case StoreError::NotAFile:
        return QStringLiteral("不是普通文件（是目录或其他特殊文件）");
    case StoreError::Unreadable:
        return QStringLiteral("无法读取通讯录文件（没有权限或无法打开）");
    case StoreError::NotAStore:
        return QStringLiteral("不是通讯录文件");
    case StoreError::Damaged:
        return QStringLiteral("通讯录文件已损坏");
    case StoreError::NewerFormat:
        return QStringLiteral("通讯录文件由更新版本的程序写成，请使用新版程序");
    case StoreError::WrongPassword:
        return QStringLiteral("密码错误！");
    case StoreError::ReadOnly:
        return QStringLiteral("通讯录文件或其所在目录是只读的，无法写入");
    case StoreError::DiskFull:
        return QStringLiteral("磁盘已满");
    case StoreError::Busy:
        return QStringLiteral("通讯录正被其他程序使用（已锁定），请稍后再试");
    case StoreError::OverCapacity:
        return QStringLiteral("超出通讯录的容量");
    case StoreError::ChangedElsewhere:
        return QStringLiteral("通讯录已被其他程序修改，请重新打开后再试");
    case StoreError::NotOpen:
        return QStringLiteral("通讯录没有打开");
    case StoreError::Failed:
        return QStringLiteral("读写通讯录文件时出错");
    }
    return QString();
}

namespace store {

StoreError errorFromSqlite(int code, bool writing)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return StoreError::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::Busy;
    case SQLITE_READONLY:
        return StoreError::ReadOnly;
    case SQLITE_FULL:
        return StoreError::DiskFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
        return StoreError::Damaged;
    case SQLITE_TOOBIG:
        // Read from a file, a value longer than this program ever writes.
        return writing ? StoreError::OverCapacity : StoreError::Damaged;
    case SQLITE_NOMEM:
        return StoreError::OverCapacity;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return writing ? StoreError::ReadOnly : StoreError::Unreadable;
    default:
        return StoreError::Failed;
    }
}

} // namespace store

} // namespace quennet
