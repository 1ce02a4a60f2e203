#include "exchange/CsvWriter.h"

#include "contacts/Gbk.h"
#include "exchange/ContactText.h"

#include <QIODevice>

#include <algorithm>

namespace quennet::exchange {

namespace {

// Written out in pieces of this size: the buffer is kept from piece to
// piece, and small enough to add little to the peak of a large export.
constexpr qsizetype kFlushBytes = 64 * 1024;

bool isPhoneLike(const QString &value)
{
    for (const QChar c : value)
        if (!c.isDigit() && !QStringLiteral("+-() ").contains(c))
            return false;
    return true;
}

// The same of a value as UTF-8; digits of other scripts count too, so text
// beyond ASCII is asked as text.
bool isPhoneLike(QByteArrayView utf8)
{
    for (const char c : utf8) {
        if (uchar(c) >= 0x80)
            return isPhoneLike(QString::fromUtf8(utf8));
        if (!(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '(' && c != ')' && c != ' ')
            return false;
    }
    return true;
}

// "=", "@" and, unless the value is only a telephone number, "+" and "-"
// start a formula in a spreadsheet.
bool startsFormula(QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return false;
    const char c = utf8.front();
    if (c == '=' || c == '@')
        return true;
    return (c == '+' || c == '-') && !isPhoneLike(utf8);
}

bool forcesQuotes(char c)
{
    return c == ',' || c == '"' || c == '\n' || c == '\r' || c == ';' || c == '\t';
}

// One value as it goes into a row, appended to out: the UTF-8 of its text.
void appendField(QByteArray &out, QByteArrayView utf8)
{
    const bool formula = startsFormula(utf8);
    // The apostrophe of a formula comes first, so only a value without one
    // can start with a space.
    const bool quote = std::any_of(utf8.begin(), utf8.end(), forcesQuotes) ||
                       (!formula && utf8.startsWith(' ')) || utf8.endsWith(' ');
    if (quote)
        out += '"';
    if (formula)
        out += '\'';
    if (quote) {
        appendEscapedRuns(out, utf8, [](char c) { return c == '"' ? "\"\"" : nullptr; });
        out += '"';
    } else {
        out.append(utf8);
    }
}

} // namespace

QString csvField(const QString &value)
{
    QByteArray field;
    appendField(field, value.toUtf8());
    return QString::fromUtf8(field);
}

CsvWriter::CsvWriter(QIODevice &out, CsvEncoding encoding) : m_out(out), m_encoding(encoding)
{
    m_buffer.reserve(kFlushBytes + 4096);
    if (encoding == CsvEncoding::Utf8Bom)
        m_buffer.append("\xEF\xBB\xBF");
    addRow(contactFieldNames());
}

void CsvWriter::addRow(const QStringList &values)
{
    QByteArray utf8[6];
    Utf8Values views;
    for (qsizetype i = 0; i < qsizetype(views.size()); ++i) {
        utf8[i] = values.value(i).toUtf8();
        views[size_t(i)] = utf8[i];
    }
    appendRow(views);
}

// Rows go straight into the buffer as UTF-8; a GB18030 row is put together
// first and encoded whole unless it is ASCII, which the two share.
void CsvWriter::appendRow(const Utf8Values &utf8)
{
    const bool gb = m_encoding == CsvEncoding::Gb18030;
    QByteArray &row = gb ? m_line : m_buffer;
    if (gb)
        m_line.resize(0); // keeps its room
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (i > 0)
            row += ',';
        appendField(row, utf8[i]);
    }
    row += "\r\n";
    if (gb)
        m_buffer += isAscii(m_line) ? m_line : gbk::encode(QString::fromUtf8(m_line));
}

bool CsvWriter::write(const rules::ContactInput &contact)
{
    addRow(contact.values());
    return flushIfFull();
}

bool CsvWriter::write(const Utf8Values &values)
{
    QByteArray converted[6];
    Utf8Values utf8;
    for (size_t i = 0; i < utf8.size(); ++i)
        utf8[i] = textUtf8(values[i], &converted[i]);
    appendRow(utf8);
    return flushIfFull();
}

bool CsvWriter::flushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return m_ok;
    return finish();
}

bool CsvWriter::finish()
{
    m_ok = m_ok && m_out.write(m_buffer) == m_buffer.size();
    m_buffer.resize(0); // keeps its room
    return m_ok;
}

} // namespace quennet::exchange
