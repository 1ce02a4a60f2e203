#pragma once

// Reading contact files in the tests and the fuzz targets: everything a
// reader hands over, and a device that hands its bytes over a few at a time.

#include "exchange/ContactReader.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>

#include <cstring>

namespace quennet::test {

// A random-access device whose reads return at most `piece` bytes, as a
// slow device or a pipe may.
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

struct ReadAll {
    exchange::ReadSummary summary;
    QList<exchange::ReadContact> contacts;
};

// Runs read(sink) with a sink that keeps every contact.
template <typename Read> ReadAll readAll(Read &&read)
{
    ReadAll result;
    result.summary = read([&result](exchange::ReadContact &&contact) {
        result.contacts << std::move(contact);
        return true;
    });
    return result;
}

} // namespace quennet::test
