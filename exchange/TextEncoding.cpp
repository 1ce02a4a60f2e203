#include "exchange/TextEncoding.h"

#include "exchange/ContactText.h"

#include <QBuffer>
#include <QStringEncoder>

#include <unicode/ucsdet.h>

#include <cstring>

namespace quennet::exchange {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
constexpr qsizetype kSampleBytes = 64 * 1024;

// Valid multi-byte UTF-8 sequences and invalid bytes; a sequence cut at the
// end of a chunk is held over to the next.
struct Utf8Tally {
    qint64 valid = 0;
    qint64 invalid = 0;
    qint64 firstHigh = -1; // offset of the first byte above 0x7F
    qint64 offset = 0;
    QByteArray carry;

    void add(const QByteArray &chunk, bool atEnd)
    {
        const QByteArray bytes = carry + chunk;
        const qint64 base = offset - carry.size();
        carry.clear();
        const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
        const qsizetype size = bytes.size();
        qsizetype i = 0;
        while (i < size) {
            // Eight ASCII bytes at a time: most of a contact file.
            if (i + 8 <= size && eightAscii(b + i)) {
                i += 8;
                continue;
            }
            if (b[i] < 0x80) {
                ++i;
                continue;
            }
            if (firstHigh < 0)
                firstHigh = base + i;
            const int extra = (b[i] & 0xE0) == 0xC0   ? 1
                              : (b[i] & 0xF0) == 0xE0 ? 2
                              : (b[i] & 0xF8) == 0xF0 ? 3
                                                      : -1;
            if (extra < 0 || b[i] == 0xC0 || b[i] == 0xC1 || b[i] > 0xF4) {
                ++invalid;
                ++i;
                continue;
            }
            if (i + extra >= size && !atEnd) {
                carry = bytes.sliced(i);
                break;
            }
            int k = 1;
            while (k <= extra && i + k < size && (b[i + k] & 0xC0) == 0x80)
                ++k;
            if (k <= extra) {
                ++invalid;
                i += k;
            } else {
                ++valid;
                i += extra + 1;
            }
        }
        offset += chunk.size();
    }

    // Every byte valid, or a few broken ones among many good characters.
    bool isUtf8() const { return invalid == 0 || valid >= 8 * invalid; }
};

// UTF-16 text of contacts is mostly ASCII: every other byte is zero.
QByteArray utf16ByZeros(const QByteArray &head)
{
    const qsizetype pairs = qMin<qsizetype>(head.size(), 4096) / 2;
    if (pairs < 2)
        return {};
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        evenZeros += head.at(2 * i) == 0 ? 1 : 0;
        oddZeros += head.at(2 * i + 1) == 0 ? 1 : 0;
    }
    if (oddZeros * 4 >= pairs && evenZeros * 8 <= oddZeros)
        return "UTF-16LE";
    if (evenZeros * 4 >= pairs && oddZeros * 8 <= evenZeros)
        return "UTF-16BE";
    return {};
}

// Chinese in GB2312's rows as names and addresses use them: nearly all
// two-byte pairs are in the rows of characters and full-width signs, most
// of them in the rows of the common characters. Greek, Cyrillic or Latin
// letters of an 8-bit code page fall elsewhere, or mostly in the rare rows.
bool readsAsCommonChinese(const QByteArray &sample)
{
    const auto *b = reinterpret_cast<const unsigned char *>(sample.constData());
    const qsizetype size = sample.size();
    qsizetype common = 0, rare = 0, signs = 0, other = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (b[i] < 0x80)
            continue;
        if (i + 1 >= size) {
            ++other;
            break;
        }
        const unsigned lead = b[i], trail = b[++i];
        if (trail < 0xA1 || trail == 0xFF)
            ++other;
        else if (lead >= 0xB0 && lead <= 0xD7)
            ++common;
        else if (lead >= 0xD8 && lead <= 0xF7)
            ++rare;
        else if (lead >= 0xA1 && lead <= 0xA9)
            ++signs;
        else
            ++other;
    }
    const qsizetype gb = common + rare + signs;
    return gb > 0 && other * 10 <= gb && common * 4 >= (common + rare) * 3;
}

bool isCjkDetectorName(const QByteArray &name)
{
    return name == "GB18030" || name == "Big5" || name == "EUC-JP" || name == "EUC-KR" ||
           name == "Shift_JIS" || name.startsWith("ISO-2022");
}

QByteArray legacyEncoding(const QByteArray &sample)
{
    UErrorCode error = U_ZERO_ERROR;
    UCharsetDetector *detector = ucsdet_open(&error);
    QByteArray top;
    int confidence = 0;
    if (U_SUCCESS(error)) {
        ucsdet_setText(detector, sample.constData(), int32_t(sample.size()), &error);
        const UCharsetMatch *match = ucsdet_detect(detector, &error);
        if (U_SUCCESS(error) && match) {
            top = ucsdet_getName(match, &error);
            confidence = ucsdet_getConfidence(match, &error);
        }
        ucsdet_close(detector);
    }
    if (U_FAILURE(error))
        top.clear();
    // Korean and Japanese in EUC also fill GB2312's rows; Big5 does not, but
    // the detector takes GB18030 text for Big5 when few characters repeat.
    const bool sure = isCjkDetectorName(top) && confidence >= 50 && QStringDecoder(top.constData()).isValid();
    if (sure && top != "Big5" && top != "GB18030")
        return top;
    if (readsAsCommonChinese(sample))
        return "GB18030";
    if (sure)
        return top;
    if (!top.isEmpty() && confidence >= 20 && !top.startsWith("UTF") &&
        QStringDecoder(top.constData()).isValid())
        return top == "ISO-8859-1" ? QByteArray("windows-1252") : top;
    return "GB18030";
}

} // namespace

FileEncoding detectEncoding(QIODevice &in)
{
    FileEncoding found;
    const bool sequential = in.isSequential();
    const qint64 start = in.pos();
    QByteArray head;
    if (sequential) {
        head = in.peek(kChunkBytes);
    } else {
        while (head.size() < kChunkBytes) {
            const QByteArray more = in.read(kChunkBytes - head.size());
            if (more.isEmpty())
                break;
            head += more;
        }
    }
    if (head.startsWith("\xEF\xBB\xBF")) {
        found.bom = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        found = {"UTF-16LE", 2};
    } else if (head.startsWith("\xFE\xFF")) {
        found = {"UTF-16BE", 2};
    } else if (const QByteArray utf16 = utf16ByZeros(head); !utf16.isEmpty()) {
        found.name = utf16;
    } else {
        Utf8Tally tally;
        tally.add(head, sequential || in.atEnd());
        while (!sequential && !in.atEnd()) {
            const QByteArray chunk = in.read(kChunkBytes);
            tally.add(chunk, chunk.isEmpty() || in.atEnd());
            if (chunk.isEmpty())
                break;
        }
        if (!tally.isUtf8()) {
            // Text to judge, from just before the first byte above 0x7F.
            QByteArray sample = head.left(kSampleBytes);
            if (!sequential && tally.firstHigh > kSampleBytes - 1024 &&
                in.seek(start + tally.firstHigh - 1024))
                sample = in.read(kSampleBytes);
            found.name = legacyEncoding(sample);
        }
    }
    if (!sequential)
        in.seek(start);
    return found;
}

FileEncoding detectEncoding(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return detectEncoding(buffer);
}

bool isMultiByteLegacy(const QByteArray &name)
{
    const QByteArray upper = name.toUpper();
    return upper == "GB18030" || upper == "GBK" || upper == "GB2312" || upper == "CP936" || upper == "BIG5" ||
           upper == "BIG5-HKSCS" || upper == "SHIFT_JIS" || upper == "SJIS" || upper == "WINDOWS-31J" ||
           upper == "CP932";
}

QString decodeKeepingAscii(const QByteArray &bytes, const QByteArray &name)
{
    QString out;
    qsizetype i = 0;
    while (i < bytes.size()) {
        qsizetype j = i;
        const bool high = static_cast<unsigned char>(bytes.at(i)) >= 0x80;
        while (j < bytes.size() && (static_cast<unsigned char>(bytes.at(j)) >= 0x80) == high)
            ++j;
        if (high)
            out += QStringDecoder(name.constData()).decode(bytes.sliced(i, j - i));
        else
            out += QLatin1String(bytes.constData() + i, j - i);
        i = j;
    }
    return out;
}

QString keepingAscii(const QString &text, const QByteArray &name)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii || !isMultiByteLegacy(name))
        return text;
    QStringEncoder encoder(name.constData());
    const QByteArray bytes = encoder.encode(text);
    return encoder.hasError() ? text : decodeKeepingAscii(bytes, name);
}

Utf16AsUtf8::Utf16AsUtf8(QIODevice &source, const QByteArray &name)
    : m_source(source), m_decoder(name == "UTF-16BE" ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 Utf16AsUtf8::bytesAvailable() const
{
    return m_buffer.size() - m_pos + QIODevice::bytesAvailable();
}

bool Utf16AsUtf8::fill()
{
    if (m_end)
        return false;
    const QByteArray chunk = m_source.read(kChunkBytes);
    m_end = chunk.isEmpty();
    m_buffer = QString(m_decoder.decode(chunk)).toUtf8();
    m_pos = 0;
    return !m_buffer.isEmpty() || !m_end;
}

qint64 Utf16AsUtf8::readData(char *data, qint64 maxSize)
{
    while (m_pos >= m_buffer.size())
        if (!fill())
            return 0;
    const qint64 n = qMin<qint64>(maxSize, m_buffer.size() - m_pos);
    std::memcpy(data, m_buffer.constData() + m_pos, size_t(n));
    m_pos += n;
    return n;
}

} // namespace quennet::exchange
