#pragma once

// What the vCard and CSV targets share: the bytes are read twice, once from
// memory in one go and once from a device that hands them over a few bytes
// per read, so that every line end, quote, BOM and multi-byte character
// falls on a chunk boundary somewhere. Both readings must agree.

#include "exchange/ContactReader.h"
#include "tests/support/ContactReading.h"

#include <QByteArray>
#include <QList>

#include <cstdlib>

namespace fuzzing {

using quennet::exchange::ContactSink;
using quennet::exchange::ReadContact;
using quennet::exchange::ReadSummary;

using quennet::test::ReadAll;
using quennet::test::readAll;
using quennet::test::TrickleDevice;

inline bool sameContacts(const QList<ReadContact> &a, const QList<ReadContact> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].number != b[i].number || a[i].cut != b[i].cut ||
            a[i].fields.values() != b[i].fields.values() || a[i].leftOut != b[i].leftOut)
            return false;
    return true;
}

inline bool same(const ReadAll &a, const ReadAll &b)
{
    return a.summary.refused == b.summary.refused && a.summary.refusal == b.summary.refusal &&
           a.summary.contacts == b.summary.contacts && a.summary.dropped == b.summary.dropped &&
           a.summary.encoding == b.summary.encoding &&
           sameContacts(a.contacts, b.contacts);
}

// Reads the bytes whole and in pieces with the two readers of one format;
// a difference between the two readings ends the run like a crash.
template <typename ReadBytes, typename ReadDevice>
void checkReader(const uint8_t *data, size_t size, ReadBytes readBytes, ReadDevice readDevice)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ReadAll whole = readAll([&](const ContactSink &sink) { return readBytes(bytes, sink); });
    TrickleDevice device(bytes, qint64(1 + size % 13));
    const ReadAll pieces = readAll([&](const ContactSink &sink) { return readDevice(device, sink); });
    if (!same(whole, pieces))
        std::abort();
    // A sink that stops after the first contact.
    int seen = 0;
    const ReadSummary stopped = readBytes(bytes, [&seen](ReadContact &&) { return ++seen < 1; });
    if (whole.summary.contacts > 0 && (!stopped.stopped || seen != 1))
        std::abort();
}

} // namespace fuzzing
