#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace quennet::exchange {

// Physical lines of a device, read in large chunks: the file is never held
// whole. Line ends are LF, CR LF or a lone CR; the returned line has none.
class LineReader {
public:
    explicit LineReader(QIODevice &device);

    // The next line; valid until the next call to next() or peek().
    bool next(QByteArrayView *line);
    // The first byte of the line after the one returned last; -1 at the end.
    int peek();
    // Bytes consumed so far (for progress).
    qint64 consumed() const { return m_consumed; }

private:
    bool fill();

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0;
    bool m_end = false;
};

} // namespace quennet::exchange
