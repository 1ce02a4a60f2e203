#include "exchange/RecordSelection.h"

#include "contacts/store/ContactStore.h"

#include <algorithm>

namespace quennet::exchange {

namespace {

QList<int> fieldPositions(const ContactStore &store, const RecordSelection &selection)
{
    if (!selection.fields.isEmpty())
        return selection.fields;
    QList<int> all;
    for (int pos = 1; pos <= store.fieldCount(); ++pos)
        all << pos;
    return all;
}

// The deleted mark is only readable under the cursor; the cursor is put back.
QList<bool> markedRecords(ContactStore &store, int first, int last)
{
    QList<bool> marked;
    const int returnTo = store.recordNumber();
    for (int number = first; number <= last; ++number) {
        store.goTo(number);
        marked << store.isMarkedDeleted();
    }
    store.goTo(returnTo);
    return marked;
}

} // namespace

QStringList selectedFieldNames(const ContactStore &store, const RecordSelection &selection)
{
    QStringList names;
    for (const int pos : fieldPositions(store, selection))
        names << store.fieldName(pos);
    return names;
}

RecordRows::RecordRows(const QList<QStringList> &rows) : m_rows(&rows) {}

RecordRows::RecordRows(ContactStore &store, const RecordSelection &selection)
    : m_store(&store), m_positions(fieldPositions(store, selection))
{
    const int count = store.recordCount();
    const int last = selection.last < 0 ? count : selection.last;
    const int from = std::max(1, std::min(selection.first, last));
    const int to = std::min(count, std::max(selection.first, last));
    m_allInOrder = m_positions == fieldPositions(store, {});
    const QList<bool> marked = selection.includeMarked ? QList<bool>() : markedRecords(store, from, to);
    m_numbers.reserve(std::max(0, to - from + 1));
    for (int number = from; number <= to; ++number) {
        if (marked.isEmpty() || !marked[number - from])
            m_numbers << number;
    }
}

qsizetype RecordRows::size() const
{
    return m_rows ? m_rows->size() : m_numbers.size();
}

QStringList RecordRows::at(qsizetype index) const
{
    if (m_rows)
        return m_rows->at(index);
    const QStringList values = m_store->contactAt(m_numbers.at(index)).values();
    if (m_allInOrder)
        return values;
    QStringList row;
    row.reserve(m_positions.size());
    for (const int pos : m_positions)
        row << values.value(pos - 1);
    return row;
}

QByteArrayView RecordRows::utf8At(qsizetype index, qsizetype column) const
{
    Q_ASSERT(m_store);
    return m_store->fieldBytesOf(m_numbers.at(index), m_positions.at(column));
}

QList<QStringList> selectedRecords(ContactStore &store, const RecordSelection &selection)
{
    const RecordRows rows(store, selection);
    QList<QStringList> records;
    records.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        records << rows.at(i);
    return records;
}

} // namespace quennet::exchange
