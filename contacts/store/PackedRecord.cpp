#include "contacts/store/PackedRecord.h"

#include "contacts/store/ContactStore.h"
#include "contacts/store/RecordArena.h"

#include <QtEndian>

#include <cstring>
#include <new>

namespace quennet::store::packed {

namespace {

quint32 endOffset(const char *record, int index)
{
    return qFromLittleEndian<quint32>(record + 4 * index);
}

// UTF-8 of value at out; nullptr when it holds a lone surrogate.
char *writeUtf8(QStringView value, char *out)
{
    const char16_t *at = value.utf16();
    const char16_t *const end = at + value.size();
    while (at != end) {
        const char32_t c = *at++;
        if (c < 0x80) {
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && at != end && QChar::isLowSurrogate(*at)) {
            const char32_t point = QChar::surrogateToUcs4(char16_t(c), *at++);
            *out++ = char(0xF0 | (point >> 18));
            *out++ = char(0x80 | ((point >> 12) & 0x3F));
            *out++ = char(0x80 | ((point >> 6) & 0x3F));
            *out++ = char(0x80 | (point & 0x3F));
        } else {
            return nullptr;
        }
    }
    return out;
}

} // namespace

bool packInto(const Contact &contact, RecordArena &arena, QByteArray *out, unsigned *lossy)
{
    const QString *values[kFieldCount] = {&contact.name, &contact.phone, &contact.mobile,
                                          &contact.qq,   &contact.email, &contact.address};
    // Three bytes of UTF-8 at most for each UTF-16 unit.
    qsizetype room = kHeaderBytes;
    for (const QString *value : values)
        room += 3 * value->size();
    char *const record = arena.allocate(room);
    if (!record)
        throw std::bad_alloc();
    char *const text = record + kHeaderBytes;
    char *at = text;
    *lossy = 0;
    bool fits = true;
    for (int i = 0; i < kFieldCount; ++i) {
        char *const begin = at;
        at = writeUtf8(*values[i], begin);
        if (!at) {
            const QByteArray utf8 = values[i]->toUtf8();
            memcpy(begin, utf8.constData(), size_t(utf8.size()));
            at = begin + utf8.size();
            *lossy |= 1u << i;
        }
        fits = fits && at - begin <= kMaxFieldBytes;
        qToLittleEndian<quint32>(quint32(at - text), record + 4 * i);
    }
    const qsizetype size = at - record;
    arena.giveBack(room - size);
    *out = QByteArray::fromRawData(record, size);
    return fits;
}

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

QString field(const QByteArray &record, int index)
{
    return QString::fromUtf8(fieldBytes(record, index));
}

} // namespace quennet::store::packed
