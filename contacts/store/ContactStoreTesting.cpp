#include "contacts/store/ContactStoreTesting.h"

#include "contacts/store/ContactStoreImpl.h"

namespace quennet {

void ContactStoreTestAccess::failNextCommit(ContactStore &store)
{
    store.d->failNextCommit = true;
}

void ContactStoreTestAccess::failCommitAfter(ContactStore &store, int successful)
{
    store.d->commitsBeforeFailure = successful;
}

void ContactStoreTestAccess::failCopyAfter(ContactStore &store, qint64 bytes)
{
    store.d->copyFailsAfterBytes = bytes;
}

bool ContactStoreTestAccess::appendMany(ContactStore &store, const QList<QStringList> &rows)
{
    return store.appendMany(rows);
}

void ContactStoreTestAccess::setBusyTimeout(int ms)
{
    store::Connection::setBusyTimeoutMs(ms);
}

} // namespace quennet
