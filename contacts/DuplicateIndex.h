#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>
#include <QHash>
#include <QVarLengthArray>

namespace quennet::rules {

// The duplicate search of the adding and modifying rules over hash indexes
// of the four searched fields (姓名, 电话, 手机, QQ), built once from a store
// and then kept along with the writes made through it: many adds and
// changes in a row (a sync) cost no scan of the store each. The record
// found is the one the chain of finds finds, so the verdicts are the same.
//
// Records are known by row id, whose order is the records' order: a delete
// that numbers the rest again leaves the index right. An index follows a
// store only as long as every write goes through it; follow() builds it
// again when the store read the file since (another program wrote).
class DuplicateIndex {
public:
    DuplicateIndex() = default;

    // Builds the index from store unless it describes store already.
    void follow(const ContactStore &store);

    // checkAdding and checkModifying (the record being changed by its row id).
    Check checkAdding(const ContactStore &store, const ContactInput &input) const;
    Check checkModifying(const ContactStore &store, const ContactInput &input, qint64 rowId) const;

    // After a write through the rules: the store's last record was appended,
    // the record rowId that held was was written over, or it was removed.
    void appended(const ContactStore &store);
    void replaced(const ContactStore &store, qint64 rowId, const Contact &was);
    void removed(const ContactStore &store, qint64 rowId, const Contact &was);

private:
    static constexpr int kSearched = 4;
    // Every record whose value has the hash, in row id order.
    using Rows = QVarLengthArray<qint64, 1>;

    bool describes(const ContactStore &store) const;
    void remember(const ContactStore &store);
    void enter(const ContactStore &store, qint64 rowId); // the values the store holds
    void leave(const Contact &contact, qint64 rowId);
    // The lowest record from row id from on with the UTF-8 value in the
    // searched field; 0 for none.
    qint64 lowestFrom(const ContactStore &store, int searched, const QByteArray &value, qint64 from) const;
    // The chain of four finds from row id from on.
    qint64 chainFrom(const ContactStore &store, const QByteArray (&values)[kSearched], qint64 from) const;
    static FoundValues foundAt(const ContactStore &store, qint64 rowId);

    QHash<size_t, Rows> m_rows[kSearched];
    const ContactStore *m_store = nullptr;
    int m_reloads = -1;
    int m_count = 0;
    qint64 m_lastRowId = 0;
};

} // namespace quennet::rules
