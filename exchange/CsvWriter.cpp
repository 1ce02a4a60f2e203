#include "exchange/CsvWriter.h"

#include "contacts/Gbk.h"

#include <QIODevice>

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

// "=", "@" and, unless the value is only a telephone number, "+" and "-"
// start a formula in a spreadsheet.
bool startsFormula(const QString &value)
{
    if (value.isEmpty())
        return false;
    const QChar c = value.at(0);
    if (c == QLatin1Char('=') || c == QLatin1Char('@'))
        return true;
    return (c == QLatin1Char('+') || c == QLatin1Char('-')) && !isPhoneLike(value);
}

} // namespace

QString csvField(const QString &value)
{
    QString text = startsFormula(value) ? QLatin1Char('\'') + value : value;
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('\t')) ||
                       text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    if (!quote)
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
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
    QString line;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        line += csvField(values.at(i));
    }
    line += QLatin1String("\r\n");
    m_buffer += m_encoding == CsvEncoding::Utf8Bom ? line.toUtf8() : gbk::encode(line);
}

bool CsvWriter::write(const rules::ContactInput &contact)
{
    addRow(contact.values());
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
