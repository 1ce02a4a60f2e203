#include "contacts/BatchAdding.h"

namespace quennet::rules {

namespace {

constexpr int kSearchedFields[] = {FieldName, FieldPhone, FieldMobile, FieldQQ};

size_t hashOf(const QString &value)
{
    return qHash(QStringView(value), size_t(0x51E7));
}

QString searchedValue(const ContactInput &input, int searched)
{
    switch (searched) {
    case 0: return input.name;
    case 1: return input.phone;
    case 2: return input.mobile;
    default: return input.qq;
    }
}

} // namespace

BatchAdding::BatchAdding(const ContactStore &store) : m_store(store), m_storeCount(store.recordCount())
{
    for (auto &index : m_index)
        index.reserve(m_storeCount);
    for (int number = 1; number <= m_storeCount; ++number)
        for (int searched = 0; searched < kSearched; ++searched)
            index(number, searched, store.fieldOf(number, kSearchedFields[searched]));
}

QString BatchAdding::valueOf(int number, int searched) const
{
    if (number <= m_storeCount)
        return m_store.fieldOf(number, kSearchedFields[searched]);
    return m_accepted.at(number - m_storeCount - 1).at(kSearchedFields[searched] - 1);
}

int BatchAdding::lowestWith(int searched, const QString &value) const
{
    const auto [first, last] = m_index[searched].equal_range(hashOf(value));
    for (auto it = first; it != last; ++it)
        if (valueOf(it.value(), searched) == value)
            return it.value();
    return 0;
}

void BatchAdding::index(int number, int searched, const QString &value)
{
    // Records come in ascending order, so a value already entered belongs
    // to a lower record and stays.
    if (lowestWith(searched, value) == 0)
        m_index[searched].insert(hashOf(value), number);
}

FoundValues BatchAdding::findDuplicate(const ContactInput &input) const
{
    // The chain of four finds from the first record: the lowest record with
    // the name, else the lowest with the phone, and so on.
    for (int searched = 0; searched < kSearched; ++searched) {
        const int number = lowestWith(searched, searchedValue(input, searched));
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
    m_accepted.append(input.values());
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
