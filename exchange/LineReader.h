#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace quennet::exchange {

// Physical lines of a device, read in large chunks: the file is never held
// whole. Line ends are LF, CR LF or a lone CR; the returned line has none.
// A line longer than maxLine comes back as its first maxLine bytes, the rest
// of it is skipped, and lineWasCut() says so: one line cannot take the memory.
class LineReader {
public:
    explicit LineReader(QIODevice &device, qsizetype maxLine);

    // The next line; valid until the next call to next() or peek().
    bool next(QByteArrayView *line);
    bool lineWasCut() const { return m_cut; }
    // The first byte of the line after the one returned last; -1 at the end.
    int peek();
    // Bytes consumed so far (for progress).
    qint64 consumed() const { return m_consumed; }

private:
    bool fill();
    qsizetype findLineEnd(const char *start, qsizetype size);
    static qsizetype withLineEnd(const char *start, qsizetype end, qsizetype left);
    void advance(qsizetype bytes);
    void take(QByteArrayView *line, qsizetype length, qsizetype skip);
    void skipRestOfCutLine();

    QIODevice &m_device;
    const qsizetype m_maxLine;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_scanned = 0; // bytes after m_pos known to hold no line end
    qint64 m_consumed = 0;
    bool m_end = false;
    bool m_cut = false;
    bool m_skipping = false; // the rest of a cut line is still to be skipped
};

} // namespace quennet::exchange
