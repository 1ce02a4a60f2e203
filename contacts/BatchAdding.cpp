#include "contacts/BatchAdding.h"

#include <QtAlgorithms>

#include <cstring>

namespace quennet::rules {

namespace {

constexpr int kSearchedFields[] = {FieldName, FieldPhone, FieldMobile, FieldQQ};

// A multiply-and-rotate hash over 8-byte words with a full final mix: the
// values are short, and Qt's SipHash took a third of an import's time.
quint32 hashOf(QByteArrayView value)
{
    constexpr quint64 kMultiplier = 0x517CC1B727220A95ull;
    const auto mixIn = [](quint64 hash, quint64 word) {
        return ((hash << 5 | hash >> 59) ^ word) * kMultiplier;
    };
    quint64 hash = 0x9E3779B97F4A7C15ull ^ quint64(value.size());
    const char *at = value.data();
    qsizetype left = value.size();
    for (; left >= 8; left -= 8, at += 8) {
        quint64 word;
        memcpy(&word, at, 8);
        hash = mixIn(hash, word);
    }
    if (left > 0) {
        quint64 word = 0;
        memcpy(&word, at, size_t(left));
        hash = mixIn(hash, word);
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    hash ^= hash >> 33;
    return quint32(hash >> 32);
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
    while (capacity * 5 < entries * 8)
        capacity *= 2;
    return capacity;
}

quint64 entryOf(quint32 hash, int number)
{
    return quint64(hash) << 32 | quint32(number);
}

int numberIn(quint64 entry)
{
    return int(quint32(entry));
}

quint32 hashIn(quint64 entry)
{
    return quint32(entry >> 32);
}

// The home of a hash: its top bits, as many as the table has places. A
// table twice the size takes one more bit of the same kept hash.
template <typename Entries>
size_t homeOf(quint32 hash, const Entries &entries)
{
    return size_t(hash) >> (32 - qCountTrailingZeroBits(quint64(entries.size())));
}

} // namespace

BatchAdding::BatchAdding(const ContactStore &store) : m_store(store), m_storeCount(store.recordCount())
{
    for (Index &index : m_index)
        index.entries.assign(capacityFor(size_t(m_storeCount)), 0);
    for (int number = 1; number <= m_storeCount; ++number)
        for (int searched = 0; searched < kSearched; ++searched) {
            const QByteArrayView value = store.fieldBytesOf(number, kSearchedFields[searched]);
            const quint32 hash = hashOf(value);
            // Records come in ascending order, so a value already entered
            // belongs to a lower record and stays.
            const Probe probe = lowestWith(searched, value, hash);
            if (probe.number == 0)
                enter(searched, hash, number, probe.freePlace);
        }
}

QByteArrayView BatchAdding::valueOf(int number, int searched) const
{
    if (number <= m_storeCount)
        return m_store.fieldBytesOf(number, kSearchedFields[searched]);
    return m_accepted.fieldUtf8(number - m_storeCount - 1, kSearchedFields[searched]);
}

BatchAdding::Probe BatchAdding::lowestWith(int searched, QByteArrayView value, quint32 hash) const
{
    const Entries &entries = m_index[searched].entries;
    const size_t mask = entries.size() - 1;
    size_t at = homeOf(hash, entries);
    for (; entries[at] != 0; at = (at + 1) & mask)
        if (hashIn(entries[at]) == hash && valueOf(numberIn(entries[at]), searched) == value)
            return {numberIn(entries[at]), 0};
    return {0, at};
}

void BatchAdding::grow(Index &index)
{
    Entries bigger(index.entries.size() * 2, 0);
    const size_t mask = bigger.size() - 1;
    for (const quint64 entry : index.entries) {
        if (entry == 0)
            continue;
        size_t at = homeOf(hashIn(entry), bigger);
        while (bigger[at] != 0)
            at = (at + 1) & mask;
        bigger[at] = entry;
    }
    index.entries = std::move(bigger);
}

void BatchAdding::enter(int searched, quint32 hash, int number, size_t freePlace)
{
    Index &index = m_index[searched];
    if ((index.used + 1) * 8 > index.entries.size() * 5) {
        grow(index);
        const size_t mask = index.entries.size() - 1;
        for (freePlace = homeOf(hash, index.entries); index.entries[freePlace] != 0;)
            freePlace = (freePlace + 1) & mask;
    }
    index.entries[freePlace] = entryOf(hash, number);
    ++index.used;
}

bool BatchAdding::sameAs(const ContactInput &input, int searched, int number) const
{
    const QByteArrayView found = valueOf(number, searched);
    const int field = kSearchedFields[searched];
    if (!(m_latestLossy & (1u << (field - 1)))) {
        // UTF-8 that is valid stands for exactly one text: its bytes decide.
        if (m_accepted.fieldUtf8(m_accepted.size() - 1, field) == found)
            return true;
        if (found.isValidUtf8())
            return false;
    }
    return searchedValue(input, searched) == QString::fromUtf8(found);
}

Check BatchAdding::offer(const ContactInput &input)
{
    if (input.name.isEmpty())
        return Check::EmptyName;
    m_accepted.add(input, &m_latestLossy);
    const int latest = m_accepted.size() - 1;
    // The chain of four finds from the first record: the lowest record with
    // the name, else the lowest with the phone, and so on.
    // All four are looked up: an accepted contact enters each value not
    // found where its look-up ended.
    quint32 hashes[kSearched];
    for (int searched = 0; searched < kSearched; ++searched) {
        hashes[searched] = hashOf(m_accepted.fieldUtf8(latest, kSearchedFields[searched]));
        const Entries &entries = m_index[searched].entries;
        __builtin_prefetch(&entries[homeOf(hashes[searched], entries)]);
    }
    Probe probes[kSearched];
    for (int searched = 0; searched < kSearched; ++searched)
        probes[searched] =
            lowestWith(searched, m_accepted.fieldUtf8(latest, kSearchedFields[searched]), hashes[searched]);
    FoundMatch same;
    for (const Probe &probe : probes) {
        if (probe.number == 0)
            continue;
        same = {sameAs(input, 0, probe.number), sameAs(input, 1, probe.number),
                sameAs(input, 2, probe.number), sameAs(input, 3, probe.number)};
        break;
    }
    const Check check = checkAgainst(input, same);
    if (check != Check::Ok) {
        m_accepted.dropLatest();
        return check;
    }
    ++m_acceptedCount;
    const int number = m_storeCount + m_accepted.size();
    for (int searched = 0; searched < kSearched; ++searched)
        if (probes[searched].number == 0)
            enter(searched, hashes[searched], number, probes[searched].freePlace);
    return Check::Ok;
}

bool BatchAdding::commit(ContactStore &store)
{
    // The indexes are done with: their memory goes before the store grows.
    for (Index &index : m_index)
        index = Index();
    return store.appendMany(m_accepted);
}

} // namespace quennet::rules
