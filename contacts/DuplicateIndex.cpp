#include "contacts/DuplicateIndex.h"

#include <algorithm>

namespace quennet::rules {

namespace {

constexpr int kSearchedFields[] = {FieldName, FieldPhone, FieldMobile, FieldQQ};

// The store's find compares the UTF-8 it holds with the text's.
size_t hashOf(QByteArrayView utf8)
{
    return qHash(utf8);
}

QByteArray searchedValue(const Contact &contact, int searched)
{
    switch (searched) {
    case 0:
        return contact.name.toUtf8();
    case 1:
        return contact.phone.toUtf8();
    case 2:
        return contact.mobile.toUtf8();
    default:
        return contact.qq.toUtf8();
    }
}

} // namespace

bool DuplicateIndex::describes(const ContactStore &store) const
{
    const int count = store.recordCount();
    return m_store == &store && m_reloads == store.reloadCount() && m_count == count &&
           m_lastRowId == store.rowIdAt(count);
}

void DuplicateIndex::remember(const ContactStore &store)
{
    m_store = &store;
    m_reloads = store.reloadCount();
    m_count = store.recordCount();
    m_lastRowId = store.rowIdAt(m_count);
}

void DuplicateIndex::follow(const ContactStore &store)
{
    if (describes(store))
        return;
    const int count = store.recordCount();
    for (QHash<size_t, Rows> &rows : m_rows) {
        rows.clear();
        rows.reserve(count);
    }
    // Records come in row id order, so each list is sorted as it grows.
    for (int number = 1; number <= count; ++number) {
        const qint64 rowId = store.rowIdAt(number);
        for (int searched = 0; searched < kSearched; ++searched)
            m_rows[searched][hashOf(store.fieldBytesOf(number, kSearchedFields[searched]))].append(rowId);
    }
    remember(store);
}

void DuplicateIndex::enter(const ContactStore &store, qint64 rowId)
{
    const int number = store.numberOf(rowId);
    for (int searched = 0; searched < kSearched; ++searched) {
        Rows &rows = m_rows[searched][hashOf(store.fieldBytesOf(number, kSearchedFields[searched]))];
        const auto at = std::lower_bound(rows.begin(), rows.end(), rowId);
        if (at == rows.end() || *at != rowId)
            rows.insert(at, rowId);
    }
}

// A row left entered under a value it no longer holds (text whose UTF-8 is
// not the bytes the file gave) costs a comparison: each look-up compares
// the values it finds.
void DuplicateIndex::leave(const Contact &contact, qint64 rowId)
{
    for (int searched = 0; searched < kSearched; ++searched) {
        const auto it = m_rows[searched].find(hashOf(searchedValue(contact, searched)));
        if (it == m_rows[searched].end())
            continue;
        const auto at = std::lower_bound(it->begin(), it->end(), rowId);
        if (at != it->end() && *at == rowId)
            it->erase(at);
        if (it->isEmpty())
            m_rows[searched].erase(it);
    }
}

void DuplicateIndex::appended(const ContactStore &store)
{
    if (m_store != &store)
        return;
    enter(store, store.rowIdAt(store.recordCount()));
    remember(store);
}

void DuplicateIndex::replaced(const ContactStore &store, qint64 rowId, const Contact &was)
{
    if (m_store != &store)
        return;
    leave(was, rowId);
    enter(store, rowId);
    remember(store);
}

void DuplicateIndex::removed(const ContactStore &store, qint64 rowId, const Contact &was)
{
    if (m_store != &store)
        return;
    leave(was, rowId);
    remember(store);
}

qint64 DuplicateIndex::lowestFrom(const ContactStore &store, int searched, const QByteArray &value,
                                  qint64 from) const
{
    const auto it = m_rows[searched].constFind(hashOf(value));
    if (it == m_rows[searched].cend())
        return 0;
    for (auto row = std::lower_bound(it->cbegin(), it->cend(), from); row != it->cend(); ++row) {
        // A row gone with the marked records a delete takes along is passed.
        const int number = store.numberOf(*row);
        if (number > 0 && store.fieldBytesOf(number, kSearchedFields[searched]) == value)
            return *row;
    }
    return 0;
}

qint64 DuplicateIndex::chainFrom(const ContactStore &store, const QByteArray (&values)[kSearched],
                                 qint64 from) const
{
    for (int searched = 0; searched < kSearched; ++searched)
        if (const qint64 rowId = lowestFrom(store, searched, values[searched], from))
            return rowId;
    return 0;
}

FoundValues DuplicateIndex::foundAt(const ContactStore &store, qint64 rowId)
{
    if (rowId == 0)
        return {};
    const Contact c = store.contact(rowId);
    return {true, store.numberOf(rowId), c.name, c.phone, c.mobile, c.qq};
}

Check DuplicateIndex::checkAdding(const ContactStore &store, const ContactInput &input) const
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    const QByteArray values[kSearched] = {input.name.toUtf8(), input.phone.toUtf8(), input.mobile.toUtf8(),
                                          input.qq.toUtf8()};
    return checkAgainst(input, foundAt(store, chainFrom(store, values, 0)));
}

Check DuplicateIndex::checkModifying(const ContactStore &store, const ContactInput &input, qint64 rowId) const
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    const QByteArray values[kSearched] = {input.name.toUtf8(), input.phone.toUtf8(), input.mobile.toUtf8(),
                                          input.qq.toUtf8()};
    // A find that lands on the record being changed goes on after it, the
    // whole chain again.
    qint64 found = chainFrom(store, values, 0);
    if (found == rowId)
        found = chainFrom(store, values, rowId + 1);
    return checkAgainst(input, foundAt(store, found));
}

} // namespace quennet::rules
