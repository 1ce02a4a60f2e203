#pragma once

#include <QList>
#include <QStringList>

namespace quennet {
class ContactStore;
}

namespace quennet::exchange {

// Which records and fields of a store an export writes.
struct RecordSelection {
    QList<int> fields;          // field positions in output order; empty: all, in store order
    int first = 1;              // record numbers; a range given backwards is swapped
    int last = -1;              // -1: the last record
    bool includeMarked = false; // also records that carry the deleted mark

    // Every field of every record, whatever its mark.
    static RecordSelection wholeStore()
    {
        RecordSelection all;
        all.includeMarked = true;
        return all;
    }
};

// The names of the selected fields, as the store reports them.
QStringList selectedFieldNames(const ContactStore &store, const RecordSelection &selection);

// The selected fields of every selected record, in record order. Records with
// the deleted mark are left out unless includeMarked is set, so a range counts
// store records and the result may be shorter. The cursor ends where it was.
QList<QStringList> selectedRecords(ContactStore &store, const RecordSelection &selection);

} // namespace quennet::exchange
