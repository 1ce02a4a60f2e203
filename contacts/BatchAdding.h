#pragma once

#include "contacts/ContactRules.h"
#include "contacts/store/LargeBlockAllocator.h"
#include "contacts/store/PendingRecords.h"

#include <QByteArrayView>

#include <vector>

namespace quennet::rules {

// Adds many contacts at once under the adding rules. Each contact is checked
// as the adding branch would check it if every contact accepted before it
// had already been appended: the same record is found and the same verdict
// given. The duplicate search goes through hash indexes over the UTF-8 the
// records hold (what the store's find compares), built once, so a batch
// costs no scan of the store per contact and no string per stored value.
// Accepted contacts are kept packed as the store will hold them; nothing is
// written until commit(), which writes them all in one transaction.
class BatchAdding {
public:
    explicit BatchAdding(const ContactStore &store);

    // The verdict of checkAdding; Ok also accepts the contact.
    Check offer(const ContactInput &input);
    int acceptedCount() const { return m_acceptedCount; }
    // All or nothing; the store's cursor ends on the last new record. The
    // store takes the accepted contacts' memory over; nothing more can be
    // offered.
    bool commit(ContactStore &store);

private:
    static constexpr int kSearched = 4; // 姓名, 电话, 手机, QQ

    // Open addressing over (32-bit hash of a value, lowest record holding
    // it) in one 64-bit word per place. Each distinct value is entered
    // once; equal hashes are told apart by comparing the values.
    using Entries = std::vector<quint64, store::LargeBlockAllocator<quint64>>;
    struct Index {
        Entries entries; // 0: free
        size_t used = 0;
    };

    // A look-up: the lowest record holding the value, or 0 and the free
    // place where the value would go.
    struct Probe {
        int number = 0;
        size_t freePlace = 0;
    };

    QByteArrayView valueOf(int number, int searched) const;
    Probe lowestWith(int searched, QByteArrayView value, quint32 hash) const;
    void enter(int searched, quint32 hash, int number, size_t freePlace);
    static void grow(Index &index);
    bool sameAs(const ContactInput &input, int searched, int number) const;

    const ContactStore &m_store;
    int m_storeCount = 0;
    Index m_index[kSearched];
    PendingRecords m_accepted;
    int m_acceptedCount = 0;    // also once the store took them
    unsigned m_latestLossy = 0; // lossy fields of the contact being offered
};

} // namespace quennet::rules
