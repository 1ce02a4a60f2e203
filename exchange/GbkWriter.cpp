#include "exchange/GbkWriter.h"

#include <QIODevice>

namespace quennet::exchange {

namespace {
const qsizetype kChunkBytes = 256 * 1024;
}

GbkWriter::GbkWriter(QIODevice &out) : m_out(out), m_encoder("GB18030")
{
    m_buffer.reserve(kChunkBytes + 4096);
}

void GbkWriter::write(QStringView text)
{
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + text.size());
    char *bytes = m_buffer.data() + start;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            m_buffer.truncate(start);
            m_buffer += m_encoder.encode(text);
            flushIfFull();
            return;
        }
        *bytes++ = char(c.unicode());
    }
    flushIfFull();
}

void GbkWriter::write(QLatin1String ascii)
{
    m_buffer.append(ascii.data(), ascii.size());
    flushIfFull();
}

void GbkWriter::writeEncoded(const QByteArray &bytes)
{
    m_buffer += bytes;
    flushIfFull();
}

void GbkWriter::lineBreak()
{
    m_buffer.append("\r\n", 2);
}

void GbkWriter::line(QStringView text)
{
    write(text);
    lineBreak();
}

void GbkWriter::line(QLatin1String ascii)
{
    write(ascii);
    lineBreak();
}

void GbkWriter::flushIfFull()
{
    if (m_buffer.size() >= kChunkBytes)
        flush();
}

void GbkWriter::flush()
{
    if (m_buffer.isEmpty())
        return;
    if (m_ok && m_out.write(m_buffer) != m_buffer.size())
        m_ok = false;
    m_buffer.clear();
}

bool GbkWriter::finish()
{
    flush();
    return m_ok;
}

} // namespace quennet::exchange
