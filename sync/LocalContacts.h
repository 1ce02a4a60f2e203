#pragma once

#include "contacts/store/Contact.h"

#include <QList>
#include <QString>

namespace quennet::sync {

// The store's contacts as the engine changes them. Adding and modifying go
// through the store's rules: a refused contact is left out with the reason.
class LocalContacts {
public:
    virtual ~LocalContacts() = default;

    virtual QList<Contact> all() = 0; // with their ids
    // The new contact's id, or 0 with *refusal the rule's text.
    virtual qint64 add(const Contact &contact, QString *refusal) = 0;
    // Overwrites contact.id's fields; false with *refusal when refused.
    virtual bool modify(const Contact &contact, QString *refusal) = 0;
    virtual bool remove(qint64 id) = 0;
};

} // namespace quennet::sync
