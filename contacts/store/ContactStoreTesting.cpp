#include "contacts/store/ContactStoreTesting.h"

#include "contacts/store/ContactStoreImpl.h"

#include <sqlite3.h>

#include <utility>

namespace quennet {

namespace {

int failCommitOnce(void *flag)
{
    return std::exchange(*static_cast<bool *>(flag), false) ? 1 : 0;
}

class PlannedFaults : public store::FaultPlan {
public:
    bool failNextCommit = false;
    int commitsBeforeFailure = -1; // >= 0: that many commits succeed, the next fails
    qint64 copyFailsAfterBytes = -1;

    void beforeCommit(sqlite3 *db) override
    {
        if (commitsBeforeFailure >= 0 && commitsBeforeFailure-- == 0)
            failNextCommit = true;
        if (failNextCommit)
            sqlite3_commit_hook(db, failCommitOnce, &failNextCommit);
    }

    void afterCommit(sqlite3 *db) override
    {
        sqlite3_commit_hook(db, nullptr, nullptr);
        failNextCommit = false;
    }

    qint64 takeCopyLimit() override { return std::exchange(copyFailsAfterBytes, -1); }
};

// The store's plan, made on first use: only this file ever gives a store one.
PlannedFaults &planOf(std::unique_ptr<store::FaultPlan> &faults)
{
    if (!faults)
        faults = std::make_unique<PlannedFaults>();
    return static_cast<PlannedFaults &>(*faults);
}

} // namespace

void ContactStoreTestAccess::failNextCommit(ContactStore &store)
{
    planOf(store.d->faults).failNextCommit = true;
}

void ContactStoreTestAccess::failCommitAfter(ContactStore &store, int successful)
{
    planOf(store.d->faults).commitsBeforeFailure = successful;
}

void ContactStoreTestAccess::failCopyAfter(ContactStore &store, qint64 bytes)
{
    planOf(store.d->faults).copyFailsAfterBytes = bytes;
}

bool ContactStoreTestAccess::appendMany(ContactStore &store, const QList<QStringList> &rows)
{
    QList<Contact> contacts;
    contacts.reserve(rows.size());
    for (const QStringList &row : rows)
        contacts.append(Contact::fromValues(row));
    return store.appendMany(contacts);
}

void ContactStoreTestAccess::setRecordCap(ContactStore &store, qint64 records)
{
    store.d->maxRecords = records;
}

qint64 ContactStoreTestAccess::recordCap(const ContactStore &store)
{
    return store.d->maxRecords;
}

void ContactStoreTestAccess::setBusyTimeout(int ms)
{
    store::Connection::setBusyTimeoutMs(ms);
}

} // namespace quennet
