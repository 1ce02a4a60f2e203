#include "contacts/store/ContactStoreTesting.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/PackedRecord.h"

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
    ContactStoreImpl &d = *store.d;
    std::vector<StoredRecord> added;
    added.reserve(size_t(rows.size()));
    for (const QStringList &values : rows) {
        StoredRecord record;
        if (!store::packed::pack(values, &record.packed))
            return false;
        added.push_back(std::move(record));
    }
    store::RecordDigest next = d.digest;
    const bool ok = d.write([&] {
        qint64 rowId = d.nextRowId();
        if (rowId <= 0)
            return false;
        store::Statement insert = d.db.prepare("INSERT INTO records (id, deleted, fields) VALUES (?, 0, ?)");
        for (StoredRecord &record : added) {
            record.rowId = rowId++;
            next.toggle(d.tagOf(record));
            const QByteArray stored = d.diskForm(d.meta, d.key, record.rowId, record.packed);
            if (!insert.bind(1, record.rowId).bind(2, QByteArrayView(stored)).run())
                return false;
        }
        return d.writeDigest(next);
    });
    if (!ok)
        return false;
    d.digest = next;
    for (StoredRecord &record : added)
        d.records.push_back(std::move(record));
    d.cursor = d.count();
    return true;
}

void ContactStoreTestAccess::setBusyTimeout(int ms)
{
    store::Connection::setBusyTimeoutMs(ms);
}

} // namespace quennet
