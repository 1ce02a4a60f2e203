#include "exchange/GbkWriter.h"

#include <QIODevice>

namespace quennet::exchange {

namespace {
const qsizetype kChunkChars = 64 * 1024;
}

GbkWriter::GbkWriter(QIODevice &out) : m_out(out), m_encoder("GB18030")
{
    m_buffer.reserve(kChunkChars + 1024);
}

void GbkWriter::write(const QString &text)
{
    m_buffer += text;
    if (m_buffer.size() >= kChunkChars)
        flush();
}

void GbkWriter::line(const QString &text)
{
    m_buffer += text;
    m_buffer += QLatin1String("\r\n");
    if (m_buffer.size() >= kChunkChars)
        flush();
}

void GbkWriter::flush()
{
    if (m_buffer.isEmpty())
        return;
    const QByteArray bytes = m_encoder.encode(m_buffer);
    m_buffer.clear();
    if (m_ok && m_out.write(bytes) != bytes.size())
        m_ok = false;
}

bool GbkWriter::finish()
{
    flush();
    return m_ok;
}

} // namespace quennet::exchange
