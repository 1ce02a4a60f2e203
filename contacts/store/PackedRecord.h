#pragma once

#include "contacts/store/Contact.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtEndian>

namespace quennet::store {

class RecordArena;

// The six fields of one record in a single buffer: six 32-bit little-endian
// end offsets followed by the UTF-8 text of the fields back to back. One
// allocation per record keeps a large store small in memory, and the same
// bytes are what the file holds (sealed or not).
namespace packed {

constexpr int kHeaderBytes = 6 * 4;
// Largest well-formed record: every field at its capacity.
constexpr qsizetype kMaxBytes = kHeaderBytes + qsizetype(6) * (64 * 1024);

// False when values is not six texts or one of them is over capacity.
bool pack(const QStringList &values, QByteArray *out);
// The same bytes as pack, written into arena (out views them there) without
// a buffer per field; values over capacity too. False when one is. Bit i of
// *lossy is set when value i held a lone surrogate, which UTF-8 cannot
// carry.
bool packInto(const Contact &contact, RecordArena &arena, QByteArray *out, unsigned *lossy);
// True when the buffer has the layout above (read from a file, so checked).
bool isWellFormed(QByteArrayView record);
// index is 0-based; the buffer must be well formed. Inline: the finds call
// it for every record.
inline QByteArrayView fieldBytes(const char *data, int index)
{
    const quint32 begin = index == 0 ? 0 : qFromLittleEndian<quint32>(data + 4 * (index - 1));
    const quint32 end = qFromLittleEndian<quint32>(data + 4 * index);
    return QByteArrayView(data + kHeaderBytes + begin, qsizetype(end - begin));
}
inline QByteArrayView fieldBytes(const QByteArray &record, int index)
{
    return fieldBytes(record.constData(), index);
}
// The size of a well-formed record, read off its last field end.
inline qsizetype sizeOf(const char *data)
{
    return kHeaderBytes + qsizetype(qFromLittleEndian<quint32>(data + 4 * 5));
}
QString field(const QByteArray &record, int index);

} // namespace packed
} // namespace quennet::store
