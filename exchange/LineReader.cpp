#include "exchange/LineReader.h"

#include <QIODevice>

#include <cstring>

namespace quennet::exchange {

namespace {
constexpr qint64 kChunkBytes = 256 * 1024;
}

LineReader::LineReader(QIODevice &device) : m_device(device) {}

bool LineReader::fill()
{
    if (m_end)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kChunkBytes);
    const qint64 got = m_device.read(m_buffer.data() + old, kChunkBytes);
    m_buffer.resize(old + qMax<qint64>(got, 0));
    if (got <= 0)
        m_end = true;
    return got > 0;
}

bool LineReader::next(QByteArrayView *line)
{
    for (;;) {
        const char *start = m_buffer.constData() + m_pos;
        const qsizetype left = m_buffer.size() - m_pos;
        const char *lf = static_cast<const char *>(memchr(start, '\n', size_t(left)));
        // Only the stretch before the LF can hold a lone CR that ends a line.
        const qsizetype before = lf ? lf - start : left;
        const char *cr = static_cast<const char *>(memchr(start, '\r', size_t(before)));
        const char *end = nullptr;
        if (cr && (cr + 1 < start + left || m_end))
            end = cr; // with more bytes to come, a CR at the end may begin CR LF
        else if (lf)
            end = lf;
        if (end) {
            const qsizetype length = end - start;
            qsizetype skip = length + 1;
            if (*end == '\r' && end + 1 < start + left && end[1] == '\n')
                ++skip;
            *line = QByteArrayView(start, length);
            m_pos += skip;
            m_consumed += skip;
            return true;
        }
        if (!fill()) {
            if (m_pos >= m_buffer.size())
                return false;
            QByteArrayView rest(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
            m_consumed += rest.size();
            m_pos = m_buffer.size();
            if (rest.endsWith('\r'))
                rest.chop(1);
            *line = rest;
            return true;
        }
    }
}

int LineReader::peek()
{
    if (m_pos >= m_buffer.size() && !fill())
        return -1;
    return static_cast<unsigned char>(m_buffer.at(m_pos));
}

} // namespace quennet::exchange
