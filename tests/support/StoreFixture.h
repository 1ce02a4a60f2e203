#pragma once

// The one store fixture: store files made in a temporary directory, each in
// a folder of its own, holding given contacts; and reading back what a store
// holds.

#include "contacts/store/ContactStore.h"
#include "contacts/store/StoreError.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quennet::test {

// Rows of six fields in store order as contacts.
inline QList<Contact> contactsOf(const QList<QStringList> &rows)
{
    QList<Contact> contacts;
    for (const QStringList &row : rows)
        contacts << Contact::fromValues(row);
    return contacts;
}

// Creates the store file holding rows (in one transaction) under password.
inline bool writeStore(const QString &path, const QString &password = QString(),
                       const QList<QStringList> &rows = {})
{
    if (!ContactStore::create(path, password))
        return false;
    if (rows.isEmpty())
        return true;
    ContactStore store;
    return store.open(path, password) && store.appendMany(contactsOf(rows));
}

class StoreDir {
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // A path not used before, "<stem>.vdb" in a new folder of its own (so
    // that its journal and backups meet no other store's).
    QString freshPath(const QString &stem = QStringLiteral("wab"))
    {
        const QString dir = m_dir.filePath(QStringLiteral("%1-%2").arg(stem).arg(++m_serial));
        QDir().mkpath(dir);
        return dir + QLatin1Char('/') + stem + QStringLiteral(".vdb");
    }

    // A new store holding rows; its path, or "" when it could not be made.
    QString create(const QString &password = QString(), const QList<QStringList> &rows = {})
    {
        const QString path = freshPath();
        return writeStore(path, password, rows) ? path : QString();
    }

private:
    QTemporaryDir m_dir;
    int m_serial = 0;
};

// The record under the cursor replaced, or removed, found by its row id as
// the window finds the contact it shows.
inline bool modifyCurrent(ContactStore &store, const Contact &contact)
{
    return store.replace(store.rowIdAt(store.recordNumber()), contact);
}

inline bool removeCurrent(ContactStore &store)
{
    return store.remove(store.rowIdAt(store.recordNumber()));
}

// Every record in order, all six fields.
inline QList<QStringList> allRecords(const ContactStore &store)
{
    QList<QStringList> records;
    for (int number = 1; number <= store.recordCount(); ++number)
        records << store.contactAt(number).values();
    return records;
}

// The names of every record in order.
inline QStringList allNames(const ContactStore &store)
{
    QStringList names;
    for (int number = 1; number <= store.recordCount(); ++number)
        names << store.fieldOf(number, 1);
    return names;
}

// Why a fresh store does not open on the file, as the one row of a result.
inline QString notOpening(const ContactStore &store)
{
    return QStringLiteral("<does not open: %1>").arg(storeErrorText(store.lastError()));
}

// What a fresh store opened on the file holds: every record in order.
inline QList<QStringList> storedRecords(const QString &path, const QString &password = QString())
{
    ContactStore store;
    return store.open(path, password) ? allRecords(store) : QList<QStringList>{{notOpening(store)}};
}

// The names of those records.
inline QStringList storedNames(const QString &path, const QString &password = QString())
{
    ContactStore store;
    return store.open(path, password) ? allNames(store) : QStringList{notOpening(store)};
}

} // namespace quennet::test
