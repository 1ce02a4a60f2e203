#pragma once

#include "contacts/store/Contact.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QList>
#include <QString>
#include <QtEndian>

#include <array>

namespace quennet::sync {

// A digest of contacts with their ids, in whatever order they are added: a
// sync keeps the one of the contacts as it left them, and the next sync
// tells from it that nothing was added, changed or deleted here since.
class ContactsFingerprint {
public:
    void add(qint64 id, const std::array<QByteArrayView, 6> &fields)
    {
        char number[8];
        qToLittleEndian<qint64>(id, number);
        m_hash.reset();
        m_hash.addData(QByteArrayView(number, 8));
        for (QByteArrayView field : fields) {
            qToLittleEndian<qint64>(field.size(), number);
            m_hash.addData(QByteArrayView(number, 8));
            m_hash.addData(field);
        }
        // Summed lane by lane: the order of the contacts does not count.
        const QByteArrayView digest = m_hash.resultView();
        for (int lane = 0; lane < 4; ++lane)
            m_lanes[lane] += qFromLittleEndian<quint64>(digest.data() + 8 * lane);
        ++m_count;
    }
    void add(const Contact &contact)
    {
        const QStringList values = contact.values();
        std::array<QByteArray, 6> bytes;
        for (int i = 0; i < 6; ++i)
            bytes[i] = values[i].toUtf8();
        add(contact.id, {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5]});
    }
    QString text() const
    {
        QByteArray out;
        for (quint64 lane : m_lanes)
            out += QByteArray::number(lane, 16).rightJustified(16, '0');
        return QString::fromLatin1(out) + QLatin1Char('-') + QString::number(m_count);
    }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    std::array<quint64, 4> m_lanes{};
    qint64 m_count = 0;
};

// The store's contacts as the engine changes them. Adding and modifying go
// through the store's rules: a refused contact is left out with the reason.
class LocalContacts {
public:
    virtual ~LocalContacts() = default;

    virtual QList<Contact> all() = 0; // with their ids
    // ContactsFingerprint of all(), which a store makes without reading its contacts out.
    virtual QString fingerprint()
    {
        ContactsFingerprint fingerprint;
        for (const Contact &contact : all())
            fingerprint.add(contact);
        return fingerprint.text();
    }
    // The new contact's id, or 0 with *refusal the rule's text.
    virtual qint64 add(const Contact &contact, QString *refusal) = 0;
    // Overwrites contact.id's fields; false with *refusal when refused.
    virtual bool modify(const Contact &contact, QString *refusal) = 0;
    virtual bool remove(qint64 id) = 0;
};

} // namespace quennet::sync
