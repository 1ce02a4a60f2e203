#include "exchange/LineReader.h"

#include <QIODevice>

#include <cstring>

namespace quennet::exchange {

namespace {
constexpr qint64 kChunkBytes = 256 * 1024;
}

LineReader::LineReader(QIODevice &device, qsizetype maxLine) : m_device(device), m_maxLine(maxLine) {}

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

// Where the line that starts at start ends (its CR or LF), or -1 when the
// bytes held do not tell yet. Only the stretch not scanned before is read.
qsizetype LineReader::findLineEnd(const char *start, qsizetype size)
{
    const char *from = start + m_scanned;
    const qsizetype left = size - m_scanned;
    const char *lf = static_cast<const char *>(memchr(from, '\n', size_t(left)));
    // Only the stretch before the LF can hold a lone CR that ends a line.
    const qsizetype before = lf ? lf - from : left;
    const char *cr = static_cast<const char *>(memchr(from, '\r', size_t(before)));
    if (cr && (cr + 1 < start + size || m_end))
        return cr - start; // with more bytes to come, a CR at the end may begin CR LF
    if (lf)
        return lf - start;
    m_scanned = cr ? cr - start : size;
    return -1;
}

// Length of the line that ends at `end` together with its line end.
qsizetype LineReader::withLineEnd(const char *start, qsizetype end, qsizetype left)
{
    const bool crlf = start[end] == '\r' && end + 1 < left && start[end + 1] == '\n';
    return end + (crlf ? 2 : 1);
}

void LineReader::advance(qsizetype bytes)
{
    m_pos += bytes;
    m_consumed += bytes;
    m_scanned = 0;
}

void LineReader::take(QByteArrayView *line, qsizetype length, qsizetype skip)
{
    m_cut = length > m_maxLine;
    *line = QByteArrayView(m_buffer.constData() + m_pos, qMin(length, m_maxLine));
    advance(skip);
}

bool LineReader::next(QByteArrayView *line)
{
    if (m_skipping)
        skipRestOfCutLine();
    for (;;) {
        const char *start = m_buffer.constData() + m_pos;
        const qsizetype left = m_buffer.size() - m_pos;
        const qsizetype end = findLineEnd(start, left);
        if (end >= 0) {
            take(line, end, withLineEnd(start, end, left));
            return true;
        }
        if (left > m_maxLine) {
            take(line, left, m_maxLine);
            m_skipping = true;
            return true;
        }
        if (m_end) {
            if (left == 0)
                return false;
            take(line, left, left); // the last line, without a line end
            return true;
        }
        fill();
    }
}

// Drops what is left of a cut line, up to and with its line end.
void LineReader::skipRestOfCutLine()
{
    m_skipping = false;
    for (;;) {
        const char *start = m_buffer.constData() + m_pos;
        const qsizetype left = m_buffer.size() - m_pos;
        const qsizetype end = findLineEnd(start, left);
        if (end >= 0) {
            advance(withLineEnd(start, end, left));
            return;
        }
        advance(m_scanned); // all but a CR at the end, which may begin a CR LF
        if (m_end)
            return;
        fill();
    }
}

int LineReader::peek()
{
    if (m_skipping)
        skipRestOfCutLine();
    if (m_pos >= m_buffer.size() && !fill())
        return -1;
    return static_cast<unsigned char>(m_buffer.at(m_pos));
}

} // namespace quennet::exchange
