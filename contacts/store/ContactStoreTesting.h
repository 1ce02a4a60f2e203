#pragma once

#include "contacts/store/ContactStore.h"

#include <QList>
#include <QStringList>

namespace quennet {

// Hooks for tests and benchmarks only; the program never uses them.
struct ContactStoreTestAccess {
    // The next write's COMMIT fails inside SQLite (and rolls back), as a
    // failing disk would make it.
    static void failNextCommit(ContactStore &store);
    // The next `successful` commits go through; the one after them fails.
    static void failCommitAfter(ContactStore &store, int successful);
    // The next copyTo stops with a write error after `bytes` bytes.
    static void failCopyAfter(ContactStore &store, qint64 bytes);
    // Appends many records, each six fields in store order, in one
    // transaction (builds large stores quickly).
    static bool appendMany(ContactStore &store, const QList<QStringList> &rows);
    // The most records the store holds from now on (kMaxRecords unless set).
    static void setRecordCap(ContactStore &store, qint64 records);
    static qint64 recordCap(const ContactStore &store);
    // How long connections opened from now on wait for another program's lock.
    static void setBusyTimeout(int ms);
};

} // namespace quennet
