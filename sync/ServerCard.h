#pragma once

#include "contacts/store/Contact.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quennet::sync {

// One card as the server keeps it, and the six fields we show of it. The
// card is kept whole, line for line: photos, birthdays, notes and further
// numbers go back to the server as they came, and only the properties of
// the fields the user changed are rewritten.
//
// Fields: 姓名 from FN (else N), 手机 from the first TEL typed CELL (else
// the first that looks like a Chinese mobile number), 电话 from the first
// other TEL, Email from EMAIL, 地址 from ADR (else LABEL), QQ from X-QQ (else
// an IMPP for QQ). New cards are vCard 3.0.
class ServerCard {
public:
    ServerCard() = default;

    // The first card in bytes; an invalid card when there is none.
    static ServerCard parse(const QByteArray &bytes);
    // A new vCard 3.0 card holding the contact's fields.
    static ServerCard fromContact(const Contact &contact, const QString &uid);

    bool isValid() const { return m_begin >= 0 && m_end > m_begin; }
    QString uid() const;
    // The six fields (id 0).
    Contact contact() const;
    // The card with the fields that differ between was and now rewritten;
    // every other line stays byte for byte.
    ServerCard edited(const Contact &was, const Contact &now) const;
    QByteArray bytes() const;

private:
    struct Line {
        QByteArray original; // as read, with folding and line ends; empty for a line we wrote
        QByteArray head;     // [group.]name as written
        QByteArray group;    // upper case
        QByteArray name;     // upper case
        QByteArray params;   // raw, without the leading ';'
        QByteArray value;    // raw, unfolded
        bool property = false;
        bool removed = false;
    };
    // Where each field comes from: line indexes, -1 for none.
    struct Sources {
        int fn = -1, n = -1, mobile = -1, phone = -1, email = -1, adr = -1, label = -1, qq = -1;
    };

    Sources sources() const;
    QString text(int line) const;
    QStringList components(int line) const;
    // Gives the field's line the value (escaped already), drops the line
    // when value is empty, or adds head:value before END when there is none.
    void put(int line, const QByteArray &head, const QByteArray &value);
    int version() const; // 21, 30 or 40

    QList<Line> m_lines;
    int m_begin = -1, m_end = -1; // the BEGIN:VCARD and END:VCARD lines
};

} // namespace quennet::sync
