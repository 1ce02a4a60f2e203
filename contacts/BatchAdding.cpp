#include "contacts/BatchAdding.h"

namespace quennet::rules {

namespace {

constexpr int kSearchedFields[] = {FieldName, FieldPhone, FieldMobile, FieldQQ};

size_t hashOf(const QString &value)
{
    return qHash(QStringView(value), size_t(0x51E7));
}

const QString &searchedValue(const ContactInput &input, int searched)
{
    switch (searched) {
    case 0:
        return input.name;
    case 1:
        return input.phone;
    case 2:
        return input.mobile;
    default:
        return input.qq;
    }
}

size_t capacityFor(size_t entries)
{
    size_t capacity = 64;
    while (capacity < entries * 2)
        capacity *= 2;
    return capacity;
}

} // namespace

BatchAdding::BatchAdding(const ContactStore &store) : m_store(store), m_storeCount(store.recordCount())
{
    for (Index &index : m_index) {
        index.hashes.assign(capacityFor(size_t(m_storeCount)), 0);
        index.numbers.assign(index.hashes.size(), 0);
    }
    for (int number = 1; number <= m_storeCount; ++number)
        for (int searched = 0; searched < kSearched; ++searched)
            index(number, searched, store.fieldOf(number, kSearchedFields[searched]));
}

QString BatchAdding::valueOf(int number, int searched) const
{
    if (number <= m_storeCount)
        return m_store.fieldOf(number, kSearchedFields[searched]);
    return searchedValue(m_accepted.at(number - m_storeCount - 1), searched);
}

int BatchAdding::lowestWith(int searched, const QString &value, size_t hash) const
{
    const Index &index = m_index[searched];
    const size_t mask = index.hashes.size() - 1;
    for (size_t slot = hash & mask; index.numbers[slot] != 0; slot = (slot + 1) & mask)
        if (index.hashes[slot] == hash && valueOf(index.numbers[slot], searched) == value)
            return index.numbers[slot];
    return 0;
}

void BatchAdding::grow(Index &index)
{
    Index bigger;
    bigger.hashes.assign(index.hashes.size() * 2, 0);
    bigger.numbers.assign(bigger.hashes.size(), 0);
    const size_t mask = bigger.hashes.size() - 1;
    for (size_t old = 0; old < index.hashes.size(); ++old) {
        if (index.numbers[old] == 0)
            continue;
        size_t slot = index.hashes[old] & mask;
        while (bigger.numbers[slot] != 0)
            slot = (slot + 1) & mask;
        bigger.hashes[slot] = index.hashes[old];
        bigger.numbers[slot] = index.numbers[old];
    }
    bigger.used = index.used;
    index = std::move(bigger);
}

void BatchAdding::index(int number, int searched, const QString &value)
{
    // Records come in ascending order, so a value already entered belongs
    // to a lower record and stays.
    const size_t hash = hashOf(value);
    if (lowestWith(searched, value, hash) != 0)
        return;
    Index &index = m_index[searched];
    if ((index.used + 1) * 2 > index.hashes.size())
        grow(index);
    const size_t mask = index.hashes.size() - 1;
    size_t slot = hash & mask;
    while (index.numbers[slot] != 0)
        slot = (slot + 1) & mask;
    index.hashes[slot] = hash;
    index.numbers[slot] = number;
    ++index.used;
}

FoundValues BatchAdding::findDuplicate(const ContactInput &input) const
{
    // The chain of four finds from the first record: the lowest record with
    // the name, else the lowest with the phone, and so on.
    for (int searched = 0; searched < kSearched; ++searched) {
        const QString &value = searchedValue(input, searched);
        const int number = lowestWith(searched, value, hashOf(value));
        if (number == 0)
            continue;
        FoundValues found;
        found.found = true;
        found.recordNumber = number;
        found.name = valueOf(number, 0);
        found.phone = valueOf(number, 1);
        found.mobile = valueOf(number, 2);
        found.qq = valueOf(number, 3);
        return found;
    }
    return {};
}

Check BatchAdding::offer(const ContactInput &input)
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    const Check check = checkAgainst(input, findDuplicate(input));
    if (check != Check::Ok)
        return check;
    m_accepted.append(input);
    const int number = m_storeCount + int(m_accepted.size());
    for (int searched = 0; searched < kSearched; ++searched)
        index(number, searched, searchedValue(input, searched));
    return Check::Ok;
}

bool BatchAdding::commit(ContactStore &store)
{
    return store.appendMany(m_accepted);
}

} // namespace quennet::rules
