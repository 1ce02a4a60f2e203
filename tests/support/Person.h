#pragma once

// The one contact builder of the tests: fields by name, in any order,
// converted to the store's field order (name, phone, mobile, QQ, email,
// address).
//
//   store.append(test::Person("张三").mobile("13800000001").qq("10001"));

#include "contacts/store/Contact.h"

#include <QString>
#include <QStringList>
#include <QTestData>

namespace quennet::test {

class Person {
public:
    explicit Person(const QString &name = QString()) { m_fields[0] = name; }

    Person &name(const QString &v) { return set(0, v); }
    Person &phone(const QString &v) { return set(1, v); }
    Person &mobile(const QString &v) { return set(2, v); }
    Person &qq(const QString &v) { return set(3, v); }
    Person &email(const QString &v) { return set(4, v); }
    Person &address(const QString &v) { return set(5, v); }

    QStringList fields() const { return m_fields; }
    operator QStringList() const { return m_fields; }                  // NOLINT: meant to read as a record
    operator Contact() const { return Contact::fromValues(m_fields); } // NOLINT: as above

private:
    Person &set(int pos, const QString &value)
    {
        m_fields[pos] = value;
        return *this;
    }

    QStringList m_fields = QStringList(6);
};

// A row of a data-driven test takes a person as its six fields.
inline QTestData &operator<<(QTestData &row, const Person &person)
{
    return row << person.fields();
}

// Contact n of a numbered series: "联系人n" with mobile 139 and n in eight
// digits.
inline Person numberedPerson(int n)
{
    return Person(QStringLiteral("联系人%1").arg(n))
        .mobile(QStringLiteral("139%1").arg(n, 8, 10, QLatin1Char('0')));
}

// Contacts 1 to count of that series.
inline QList<QStringList> numberedContacts(int count)
{
    QList<QStringList> contacts;
    for (int i = 1; i <= count; ++i)
        contacts << numberedPerson(i);
    return contacts;
}

} // namespace quennet::test
