#pragma once

#include "contacts/ContactRules.h"

#include <QList>
#include <QStringList>

#include <vector>

namespace quennet::rules {

// Adds many contacts at once under the adding rules. Each contact is checked
// as the adding branch would check it if every contact accepted before it
// had already been appended: the same record is found and the same verdict
// given. The duplicate search goes through hash indexes built once, so a
// batch costs no scan of the store per contact. Nothing is written until
// commit(), which writes every accepted contact in one transaction.
class BatchAdding {
public:
    explicit BatchAdding(const ContactStore &store);

    // The verdict of checkAdding; Ok also accepts the contact.
    Check offer(const ContactInput &input);
    int acceptedCount() const { return int(m_accepted.size()); }
    // All or nothing; the store's cursor ends on the last new record.
    bool commit(ContactStore &store);

    // The duplicate search for adding over the store and the accepted ones.
    FoundValues findDuplicate(const ContactInput &input) const;

private:
    static constexpr int kSearched = 4; // 姓名, 电话, 手机, QQ

    // Open addressing over (hash of a value, lowest record holding it). Each
    // distinct value is entered once; equal hashes are told apart by
    // comparing the values themselves.
    struct Index {
        std::vector<size_t> hashes;
        std::vector<int> numbers; // 0: free slot
        size_t used = 0;
    };

    QString valueOf(int number, int searched) const;
    int lowestWith(int searched, const QString &value, size_t hash) const;
    void index(int number, int searched, const QString &value);
    static void grow(Index &index);

    const ContactStore &m_store;
    int m_storeCount = 0;
    Index m_index[kSearched];
    QList<Contact> m_accepted;
};

} // namespace quennet::rules
