#include "contacts/store/PackedRecord.h"

#include "contacts/store/ContactStore.h"

#include <QtEndian>

#include <cstring>

namespace quennet::store::packed {

namespace {

quint32 endOffset(const char *record, int index)
{
    return qFromLittleEndian<quint32>(record + 4 * index);
}

} // namespace

bool pack(const QStringList &values, QByteArray *out)
{
    if (values.size() != kFieldCount)
        return false;
    QByteArray utf8[kFieldCount];
    qsizetype total = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        utf8[i] = values.at(i).toUtf8();
        if (utf8[i].size() > kMaxFieldBytes)
            return false;
        total += utf8[i].size();
    }
    QByteArray record(kHeaderBytes + total, Qt::Uninitialized);
    char *header = record.data();
    char *text = header + kHeaderBytes;
    quint32 end = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        memcpy(text + end, utf8[i].constData(), size_t(utf8[i].size()));
        end += quint32(utf8[i].size());
        qToLittleEndian<quint32>(end, header + 4 * i);
    }
    *out = std::move(record);
    return true;
}

bool isWellFormed(QByteArrayView record)
{
    if (record.size() < kHeaderBytes)
        return false;
    quint32 previous = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const quint32 end = endOffset(record.data(), i);
        if (end < previous || end - previous > quint32(kMaxFieldBytes))
            return false;
        previous = end;
    }
    return qsizetype(previous) == record.size() - kHeaderBytes;
}

QByteArrayView fieldBytes(const QByteArray &record, int index)
{
    const char *data = record.constData();
    const quint32 begin = index == 0 ? 0 : endOffset(data, index - 1);
    const quint32 end = endOffset(data, index);
    return QByteArrayView(data + kHeaderBytes + begin, qsizetype(end - begin));
}

QString field(const QByteArray &record, int index)
{
    return QString::fromUtf8(fieldBytes(record, index));
}

} // namespace quennet::store::packed
