#pragma once

// What the benchmarks of the whole program share: a program directory with
// the skins and a store of many contacts without password.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

namespace quennet::bench {

inline QStringList contactOf(int n)
{
    return {QStringLiteral("联系人%1").arg(n),
            QStringLiteral("010-%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("139%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("%1").arg(10000000 + n),
            QStringLiteral("user%1@example.com.cn").arg(n),
            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(n % 100)};
}

// Skins from the built program directory beside the benchmark, and a new
// wab.vdb with records contacts.
inline bool buildProgramDir(const QString &dir, int records)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../program");
    QDir().mkpath(dir + QStringLiteral("/skin"));
    for (const char *skin : {"bg01.bmp", "bg02.bmp", "bg03.bmp"})
        QFile::copy(program + QStringLiteral("/skin/") + QLatin1String(skin),
                    dir + QStringLiteral("/skin/") + QLatin1String(skin));
    const QString store = dir + QStringLiteral("/wab.vdb");
    QFile::remove(store);
    if (!ContactStore::create(store))
        return false;
    ContactStore contacts;
    if (!contacts.open(store))
        return false;
    QList<QStringList> rows;
    rows.reserve(records);
    for (int i = 1; i <= records; ++i)
        rows << contactOf(i);
    return ContactStoreTestAccess::appendMany(contacts, rows);
}

} // namespace quennet::bench
