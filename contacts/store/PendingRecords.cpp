#include "contacts/store/PendingRecords.h"

#include "contacts/store/PackedRecord.h"

namespace quennet {

void PendingRecords::add(const Contact &contact, unsigned *lossy)
{
    QByteArray record;
    unsigned lossyFields = 0;
    if (!store::packed::packInto(contact, m_arena, &record, &lossyFields))
        m_overCapacity.push_back(size());
    if (lossy)
        *lossy = lossyFields;
    m_records.push_back(std::move(record));
}

void PendingRecords::dropLatest()
{
    if (!m_overCapacity.empty() && m_overCapacity.back() == size() - 1)
        m_overCapacity.pop_back();
    m_arena.giveBack(m_records.back().size());
    m_records.pop_back();
}

QByteArrayView PendingRecords::fieldUtf8(int index, int pos) const
{
    return store::packed::fieldBytes(m_records[size_t(index)], pos - 1);
}

} // namespace quennet
