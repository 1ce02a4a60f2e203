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
// Fields: 姓名 from FN (else N); 手机 and 电话 chosen among the TELs as the
// importer chooses them (a valid mobile, a CELL one first; the first other
// number that is no fax); Email from EMAIL; 地址 as the importer reads it
// (the formatted LABEL of the first ADR, else all its parts in the order of
// their script, the postcode kept; a LABEL alone without an ADR); QQ from
// X-QQ (else an IMPP for QQ). New cards are vCard 3.0.
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
    // The address may come from a LABEL alone (adr -1), or from an ADR
    // with the LABEL that formats it.
    struct Sources {
        int fn = -1, n = -1, mobile = -1, phone = -1, email = -1, adr = -1, label = -1, qq = -1;
        QString mobileText, phoneText, addressText;
    };

    Sources sources() const;
    void findTelephones(const QList<int> &tels, Sources *s) const;
    void findAddress(const QList<int> &adrs, const QList<int> &labels, Sources *s) const;
    QString rawText(int line) const; // decoded and unescaped
    QString text(int line) const;    // rawText, one line, trimmed
    QStringList components(int line) const;
    // Gives the field's line the value (escaped already), drops the line
    // when value is empty, or adds head:value before END when there is none.
    void put(int line, const QByteArray &head, const QByteArray &value);
    int version() const; // 21, 30 or 40

    QList<Line> m_lines;
    int m_begin = -1, m_end = -1; // the BEGIN:VCARD and END:VCARD lines
};

} // namespace quennet::sync
