#pragma once

// What the vCard and CSV targets share: the bytes are read twice, once from
// memory in one go and once from a device that hands them over a few bytes
// per read, so that every line end, quote, BOM and multi-byte character
// falls on a chunk boundary somewhere. Both readings must agree.

#include "exchange/ContactText.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>

#include <cstdlib>
#include <cstring>

namespace fuzzing {

using quennet::exchange::ContactSink;
using quennet::exchange::ReadContact;
using quennet::exchange::ReadSummary;

// A random-access device whose reads return at most `piece` bytes.
class TrickleDevice : public QIODevice {
public:
    TrickleDevice(const QByteArray &bytes, qint64 piece) : m_bytes(bytes), m_piece(piece)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(qMin(maxSize, m_piece), qint64(m_bytes.size()) - pos());
        if (n <= 0)
            return 0;
        std::memcpy(data, m_bytes.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_piece;
};

struct Reading {
    ReadSummary summary;
    QList<ReadContact> contacts;
};

template <typename Read> Reading readAll(Read &&read)
{
    Reading result;
    result.summary = read([&result](ReadContact &&contact) {
        result.contacts << std::move(contact);
        return true;
    });
    return result;
}

inline bool sameContacts(const QList<ReadContact> &a, const QList<ReadContact> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].number != b[i].number || a[i].cut != b[i].cut ||
            a[i].fields.values() != b[i].fields.values())
            return false;
    return true;
}

inline bool same(const Reading &a, const Reading &b)
{
    return a.summary.refused == b.summary.refused && a.summary.refusal == b.summary.refusal &&
           a.summary.contacts == b.summary.contacts && a.summary.dropped == b.summary.dropped &&
           sameContacts(a.contacts, b.contacts);
}

// Reads the bytes whole and in pieces with the two readers of one format;
// a difference between the two readings ends the run like a crash.
template <typename ReadBytes, typename ReadDevice>
void checkReader(const uint8_t *data, size_t size, ReadBytes readBytes, ReadDevice readDevice)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Reading whole = readAll([&](const ContactSink &sink) { return readBytes(bytes, sink); });
    TrickleDevice device(bytes, qint64(1 + size % 13));
    const Reading pieces = readAll([&](const ContactSink &sink) { return readDevice(device, sink); });
    if (!same(whole, pieces))
        std::abort();
    // A sink that stops after the first contact.
    int seen = 0;
    const ReadSummary stopped = readBytes(bytes, [&seen](ReadContact &&) { return ++seen < 1; });
    if (whole.summary.contacts > 0 && (!stopped.stopped || seen != 1))
        std::abort();
}

} // namespace fuzzing
