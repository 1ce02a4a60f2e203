#pragma once

#include <QByteArrayView>
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

// The rows a writer writes: the selected fields of the selected records, in
// record order, read from the store one at a time as the writer asks for
// them, so that an export holds no copy of the store; or rows given whole
// (small callers, tests). Records with the deleted mark are left out unless
// includeMarked is set, so a range counts store records and there may be
// fewer rows. The store (or the list given) must outlive the rows; the
// store's cursor does not move.
class RecordRows {
public:
    RecordRows(const QList<QStringList> &rows); // implicit: rows given whole
    RecordRows(ContactStore &store, const RecordSelection &selection);

    qsizetype size() const;
    QStringList at(qsizetype index) const;
    // Field column of row index as the UTF-8 bytes the store holds, without
    // a copy (ContactStore::fieldBytesOf): rows read from a store only.
    QByteArrayView utf8At(qsizetype index, qsizetype column) const;

private:
    const QList<QStringList> *m_rows = nullptr;
    const ContactStore *m_store = nullptr;
    QList<int> m_numbers;   // of the selected records
    QList<int> m_positions; // of the selected fields, in output order
    bool m_allInOrder = true;
};

// The same rows, all at once.
QList<QStringList> selectedRecords(ContactStore &store, const RecordSelection &selection);

} // namespace quennet::exchange
