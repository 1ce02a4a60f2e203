#pragma once

#include <QString>
#include <QStringList>

namespace quennet {

// The six field names in store order; exports and file headers use them.
inline const QStringList &contactFieldNames()
{
    static const QStringList names = {QStringLiteral("姓名"), QStringLiteral("电话"),  QStringLiteral("手机"),
                                      QStringLiteral("QQ"),   QStringLiteral("Email"), QStringLiteral("地址")};
    return names;
}

// One contact: the six fields by name, and the row of the store it lives in.
// A record keeps its row id for life (ids are never used twice), while its
// record number moves whenever a record before it goes.
struct Contact {
    qint64 id = 0; // 0: not stored (typed, read from a file, or no record)
    QString name;
    QString phone;
    QString mobile;
    QString qq;
    QString email;
    QString address;

    // The six fields in store order.
    QStringList values() const { return {name, phone, mobile, qq, email, address}; }
    static Contact fromValues(const QStringList &values, qint64 id = 0)
    {
        return {id,
                values.value(0),
                values.value(1),
                values.value(2),
                values.value(3),
                values.value(4),
                values.value(5)};
    }
    bool sameFields(const Contact &other) const { return values() == other.values(); }

    friend bool operator==(const Contact &a, const Contact &b) { return a.id == b.id && a.sameFields(b); }
    friend bool operator!=(const Contact &a, const Contact &b) { return !(a == b); }
};

} // namespace quennet
