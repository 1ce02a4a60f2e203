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

QList<QStringList> selectedRecords(ContactStore &store, const RecordSelection &selection)
{
    const int count = store.recordCount();
    const int last = selection.last < 0 ? count : selection.last;
    const int from = std::max(1, std::min(selection.first, last));
    const int to = std::min(count, std::max(selection.first, last));
    const QList<int> positions = fieldPositions(store, selection);
    const bool allInOrder = positions == fieldPositions(store, {});
    const QList<bool> marked = selection.includeMarked ? QList<bool>() : markedRecords(store, from, to);

    QList<QStringList> records;
    records.reserve(std::max(0, to - from + 1));
    for (int number = from; number <= to; ++number) {
        if (!marked.isEmpty() && marked[number - from])
            continue;
        const QStringList values = store.recordAt(number);
        if (allInOrder) {
            records << values;
            continue;
        }
        QStringList row;
        row.reserve(positions.size());
        for (const int pos : positions)
            row << values.value(pos - 1);
        records << row;
    }
    return records;
}

} // namespace quennet::exchange
