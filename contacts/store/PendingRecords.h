#pragma once

#include "contacts/store/Contact.h"
#include "contacts/store/LargeBlockAllocator.h"
#include "contacts/store/RecordArena.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace quennet {

// Contacts waiting to be appended together (ContactStore::appendMany). Each
// is packed as it comes, into large blocks that the store takes over when
// the append commits: a batch of a million contacts costs their packed
// bytes and one view each, not six strings each.
class PendingRecords {
public:
    // Packs contact as the latest record. One with a value over capacity
    // is kept too (so its values can be compared), but the append refuses
    // the batch while it holds one. Bit i of *lossy (when given) is set
    // when value i held a lone surrogate, which UTF-8 cannot carry: it is
    // stored as QString::toUtf8 writes it.
    void add(const Contact &contact, unsigned *lossy = nullptr);
    // Forgets the latest record (the last one added).
    void dropLatest();
    int size() const { return int(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    bool holdsOverCapacity() const { return !m_overCapacity.empty(); }
    // The UTF-8 of field pos (1..6) of record index (0-based).
    QByteArrayView fieldUtf8(int index, int pos) const;

private:
    friend class ContactStore;
    store::RecordArena m_arena;
    std::vector<QByteArray, store::LargeBlockAllocator<QByteArray>> m_records; // views into m_arena
    std::vector<int> m_overCapacity;   // indexes of records that do not fit
};

} // namespace quennet
