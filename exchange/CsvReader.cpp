#include "exchange/CsvReader.h"

#include "exchange/ContactText.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <optional>

namespace quennet::exchange {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;

// Headings of family and given name columns, joined like a vCard N.
constexpr int kFamilyColumn = -1;
constexpr int kGivenColumn = -2;

const QHash<QString, int> &headings()
{
    static const QHash<QString, int> table = [] {
        QHash<QString, int> t;
        auto add = [&t](int field, const char *names) {
            for (const QString &name : QString::fromUtf8(names).split(QLatin1Char('|')))
                t.insert(name, field);
        };
        add(FieldName, "姓名|名字|name|full name|display name|联系人|联系人姓名");
        add(FieldPhone, "电话|固定电话|phone|tel|telephone|home phone|business phone|电话号码|座机|住宅电话");
        add(FieldMobile, "手机|移动电话|mobile|mobile phone|cell|cell phone|cellphone|手机号|手机号码");
        add(FieldQQ, "qq|qq号|qq号码");
        add(FieldEmail, "email|e-mail|邮箱|电子邮件|e-mail address|email address|电子邮箱|邮件");
        add(FieldAddress, "地址|住址|address|home address|联系地址|家庭地址");
        add(kFamilyColumn, "姓|last name|family name|surname");
        add(kGivenColumn, "名|first name|given name");
        return t;
    }();
    return table;
}

enum class Encoding { Utf8, Utf16LE, Utf16BE, Gb18030 };

// The first bytes, left unread. A read may give fewer bytes than asked, so
// a random-access device is read until it has them and then rewound; a
// stream gives what it holds.
QByteArray peekHead(QIODevice &in, qint64 size)
{
    if (in.isSequential())
        return in.peek(size);
    const qint64 start = in.pos();
    QByteArray head;
    while (head.size() < size) {
        const QByteArray more = in.read(size - head.size());
        if (more.isEmpty())
            break;
        head += more;
    }
    in.seek(start);
    return head;
}

// Skips a BOM and says what it announced.
std::optional<Encoding> readBom(QIODevice &in)
{
    const QByteArray head = peekHead(in, 3);
    if (head.startsWith("\xEF\xBB\xBF")) {
        in.skip(3);
        return Encoding::Utf8;
    }
    if (head.startsWith("\xFF\xFE")) {
        in.skip(2);
        return Encoding::Utf16LE;
    }
    if (head.startsWith("\xFE\xFF")) {
        in.skip(2);
        return Encoding::Utf16BE;
    }
    return std::nullopt;
}

// Without a BOM: UTF-8 when all of it is valid UTF-8. A file is scanned
// once in chunks and rewound; a stream is judged by its first chunk.
Encoding guessEncoding(QIODevice &in)
{
    if (in.isSequential()) {
        const QByteArray head = in.peek(kChunkBytes);
        int cutOff = 0;
        return isValidUtf8(head.constData(), head.size(), &cutOff) ? Encoding::Utf8 : Encoding::Gb18030;
    }
    const qint64 start = in.pos();
    QByteArray carry;
    bool valid = true;
    while (valid) {
        QByteArray chunk = carry + in.read(kChunkBytes);
        if (chunk.isEmpty())
            break;
        int pending = 0;
        const bool atEnd = in.atEnd();
        valid = isValidUtf8(chunk.constData(), chunk.size(), atEnd ? nullptr : &pending);
        carry = chunk.right(pending);
        if (atEnd)
            break;
    }
    in.seek(start);
    return valid ? Encoding::Utf8 : Encoding::Gb18030;
}

QStringDecoder decoderFor(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE);
    case Encoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE);
    case Encoding::Gb18030:
        return QStringDecoder("GB18030");
    case Encoding::Utf8:
        break;
    }
    return QStringDecoder(QStringDecoder::Utf8);
}

// Decodes the chunks of a file one after the other. The decoders do not
// always treat a broken sequence that two chunks share as they would the
// same bytes in one piece (Qt's UTF-8 decoder loses the byte after it, the
// GB18030 one resynchronises elsewhere). So a chunk is decoded up to its last
// byte that no multi-byte sequence can hold (below 0x80 in UTF-8, below 0x30
// in GB18030: line ends, separators, quotes, spaces) and the rest goes with
// the next chunk, while the rest is small.
class ChunkDecoder {
public:
    explicit ChunkDecoder(Encoding encoding)
        : m_decoder(decoderFor(encoding)), m_boundary(boundaryFor(encoding))
    {
    }

    // An empty chunk (the end of the file) decodes what was held back.
    QString decode(const QByteArray &chunk)
    {
        QByteArray bytes = m_carry + chunk;
        m_carry.clear();
        if (m_boundary > 0 && !chunk.isEmpty()) {
            qsizetype cut = bytes.size();
            while (cut > 0 && bytes.size() - cut <= kMaxCarry &&
                   static_cast<unsigned char>(bytes.at(cut - 1)) >= m_boundary)
                --cut;
            if (bytes.size() - cut <= kMaxCarry) {
                m_carry = bytes.sliced(cut);
                bytes.truncate(cut);
            }
        }
        return bytes.isEmpty() ? QString() : m_decoder.decode(bytes);
    }

private:
    static constexpr qsizetype kMaxCarry = 64 * 1024;

    // Bytes below this value end every sequence; 0 for UTF-16, whose
    // decoder keeps a split pair of bytes itself.
    static unsigned char boundaryFor(Encoding encoding)
    {
        switch (encoding) {
        case Encoding::Utf8:
            return 0x80;
        case Encoding::Gb18030:
            return 0x30;
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            break;
        }
        return 0;
    }

    QStringDecoder m_decoder;
    unsigned char m_boundary;
    QByteArray m_carry;
};

// Where the first record ends: its first line end outside quotes; -1 when
// the text does not hold it yet.
qsizetype firstRecordEnd(QStringView text)
{
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            return i;
    }
    return -1;
}

// The separator that the first record (outside quotes) holds most of.
QChar detectSeparator(QStringView text)
{
    const qsizetype end = firstRecordEnd(text);
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : end < 0 ? text : text.left(end)) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char(','))
            ++commas;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char('\t'))
            ++tabs;
    }
    if (tabs > commas && tabs >= semicolons)
        return QLatin1Char('\t');
    if (semicolons > commas)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

// Our CSV writer puts an apostrophe before a value that a spreadsheet would
// run as a formula; reading takes it off again.
QString withoutFormulaGuard(const QString &value)
{
    if (value.size() >= 2 && value.at(0) == QLatin1Char('\'')) {
        const QChar next = value.at(1);
        if (next == QLatin1Char('=') || next == QLatin1Char('+') || next == QLatin1Char('-') ||
            next == QLatin1Char('@'))
            return value.mid(1);
    }
    return value;
}

// Splits decoded text into records, fed in pieces of any size. A field or a
// record longer than the reader keeps is cut, and the record says so.
class CsvSplitter {
public:
    explicit CsvSplitter(QChar separator) : m_separator(separator) {}

    template <typename OnRecord> bool feed(QStringView text, OnRecord &&onRecord)
    {
        for (const QChar c : text) {
            if (m_quoted) {
                if (m_quoteSeen) {
                    m_quoteSeen = false;
                    if (c == QLatin1Char('"')) {
                        add(c);
                        continue;
                    }
                    m_quoted = false; // the closing quote; c is handled below
                } else {
                    if (c == QLatin1Char('"'))
                        m_quoteSeen = true;
                    else
                        add(c);
                    continue;
                }
            }
            if (m_afterCr) {
                m_afterCr = false;
                if (c == QLatin1Char('\n'))
                    continue;
            }
            if (c == QLatin1Char('"') && m_field.isEmpty() && !m_fieldQuoted) {
                m_quoted = true;
                m_fieldQuoted = true;
            } else if (c == m_separator) {
                endField();
            } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                m_afterCr = c == QLatin1Char('\r');
                if (!endRecord(onRecord))
                    return false;
            } else {
                add(c);
            }
        }
        return true;
    }

    template <typename OnRecord> bool finish(OnRecord &&onRecord)
    {
        m_quoted = false;
        if (m_field.isEmpty() && m_record.isEmpty() && !m_fieldQuoted)
            return true;
        return endRecord(onRecord);
    }

private:
    // What a field costs besides its characters, counted in characters.
    static constexpr qsizetype kFieldCost = qsizetype(sizeof(QString) / sizeof(QChar));

    void add(QChar c)
    {
        if (m_field.size() < kMaxKeptLine)
            m_field += c;
        else
            m_cut = true;
    }

    void endField()
    {
        m_recordKept += m_field.size() + kFieldCost;
        if (m_recordKept <= kMaxKeptRecord)
            m_record << m_field;
        else
            m_cut = true;
        m_field.clear();
        m_fieldQuoted = false;
    }

    template <typename OnRecord> bool endRecord(OnRecord &&onRecord)
    {
        endField();
        QStringList record;
        record.swap(m_record);
        const bool cut = m_cut;
        m_cut = false;
        m_recordKept = 0;
        return onRecord(record, cut);
    }

    QChar m_separator;
    QString m_field;
    QStringList m_record;
    bool m_quoted = false;
    bool m_quoteSeen = false;
    bool m_fieldQuoted = false;
    bool m_afterCr = false;
    bool m_cut = false;
    qsizetype m_recordKept = 0;
};

class CsvMapper {
public:
    CsvMapper(const ContactSink &sink, ReadSummary &summary) : m_sink(sink), m_summary(summary) {}

    bool take(const QStringList &record, bool cut)
    {
        if (!cut && isBlank(record))
            return true;
        if (!m_started) {
            m_started = true;
            if (readHeading(record))
                return true;
            m_columns = {FieldName, FieldPhone, FieldMobile, FieldQQ, FieldEmail, FieldAddress};
        }
        ReadContact contact;
        contact.number = ++m_rowNumber;
        contact.fields = map(record);
        contact.cut = cut;
        ++m_summary.contacts;
        if (!m_sink(std::move(contact))) {
            m_summary.stopped = true;
            return false;
        }
        return true;
    }

    bool sawHeading() const { return !m_headings.isEmpty(); }

private:
    static bool isBlank(const QStringList &record)
    {
        for (const QString &value : record)
            if (!value.trimmed().isEmpty())
                return false;
        return true;
    }

    bool readHeading(const QStringList &record)
    {
        QList<int> columns;
        QList<int> seen;
        bool known = false;
        for (const QString &heading : record) {
            int field = headings().value(heading.trimmed().toLower(), 0);
            if (field != 0 && seen.contains(field))
                field = 0; // the first column of a kind wins
            if (field != 0) {
                seen << field;
                known = true;
            }
            columns << field;
            m_headings << heading.trimmed();
        }
        if (!known) {
            m_headings.clear();
            return false;
        }
        m_columns = columns;
        return true;
    }

    rules::ContactInput map(const QStringList &record)
    {
        QString values[kFieldCount + 1];
        QString family, given;
        for (qsizetype i = 0; i < record.size(); ++i) {
            const QString value = cleanValue(withoutFormulaGuard(record.at(i)));
            if (value.isEmpty())
                continue;
            const int field = i < m_columns.size() ? m_columns.at(i) : 0;
            if (field == kFamilyColumn)
                family = value;
            else if (field == kGivenColumn)
                given = value;
            else if (field > 0)
                values[field] = value;
            else
                m_summary.drop(columnName(i));
        }
        if (values[FieldName].isEmpty())
            values[FieldName] = joinName(family, given);
        rules::ContactInput fields;
        fields.name = values[FieldName];
        fields.phone = values[FieldPhone];
        fields.mobile = values[FieldMobile].isEmpty() ? QString() : mobileDigits(values[FieldMobile]);
        fields.qq = values[FieldQQ];
        fields.email = values[FieldEmail];
        fields.address = values[FieldAddress];
        return fields;
    }

    QString columnName(qsizetype i) const
    {
        const QString heading = m_headings.value(i);
        return heading.isEmpty() ? QStringLiteral("第%1列").arg(i + 1) : heading;
    }

    const ContactSink &m_sink;
    ReadSummary &m_summary;
    QList<int> m_columns;
    QStringList m_headings;
    bool m_started = false;
    int m_rowNumber = 0;
};

} // namespace

int csvColumnField(const QString &heading)
{
    return qMax(0, headings().value(heading.trimmed().toLower(), 0));
}

ReadSummary readCsv(QIODevice &in, const ContactSink &sink)
{
    ReadSummary summary;
    const std::optional<Encoding> bom = readBom(in);
    ChunkDecoder decoder(bom ? *bom : guessEncoding(in));
    CsvMapper mapper(sink, summary);
    auto onRecord = [&mapper](const QStringList &record, bool cut) { return mapper.take(record, cut); };
    std::optional<CsvSplitter> splitter;
    QString head; // decoded text held until the first line is complete
    for (;;) {
        const QByteArray chunk = in.read(kChunkBytes);
        const bool atEnd = chunk.isEmpty();
        const QString text = decoder.decode(chunk);
        if (!splitter) {
            head += text;
            // The separator is judged on the first record, or on as much of
            // a long one as is kept: the same text however the file is read.
            if (firstRecordEnd(head) < 0 && !atEnd && head.size() < kMaxKeptLine)
                continue;
            splitter.emplace(detectSeparator(QStringView(head).left(kMaxKeptLine)));
            const bool goOn = splitter->feed(head, onRecord);
            head.clear();
            if (!goOn)
                break;
        } else if (!splitter->feed(text, onRecord)) {
            break;
        }
        if (atEnd) {
            splitter->finish(onRecord);
            break;
        }
    }
    if (summary.contacts == 0 && !mapper.sawHeading()) {
        summary.refused = true;
        summary.refusal = QStringLiteral("文件中没有可以读入的联系人。");
    }
    return summary;
}

ReadSummary readCsvBytes(const QByteArray &bytes, const ContactSink &sink)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readCsv(buffer, sink);
}

} // namespace quennet::exchange
