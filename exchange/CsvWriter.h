#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

class QIODevice;

namespace quennet::exchange {

enum class CsvEncoding {
    Utf8Bom, // what Excel and WPS open correctly
    Gb18030, // for programs that expect the Chinese ANSI code page
};

// A header row of the six field names, then one row per contact, CR LF
// line ends. A value that a spreadsheet would run as a formula gets an
// apostrophe in front (the reader takes it off).
class CsvWriter {
public:
    // The six values of a contact in store order as UTF-8 bytes, such as
    // ContactStore::fieldBytesOf gives them.
    using Utf8Values = std::array<QByteArrayView, 6>;

    CsvWriter(QIODevice &out, CsvEncoding encoding);
    bool write(const rules::ContactInput &contact);
    // The same row as write() of the values' text, put together from the
    // bytes themselves where they are valid UTF-8 (no string per value).
    bool write(const Utf8Values &values);
    bool finish();

private:
    void addRow(const QStringList &values);
    void appendRow(const Utf8Values &utf8); // the UTF-8 of the values' text
    bool flushIfFull();

    QIODevice &m_out;
    CsvEncoding m_encoding;
    QByteArray m_buffer;
    QByteArray m_line; // a GB18030 row before its encoding, kept from row to row
    bool m_ok = true;
};

// One value as it goes into a row.
QString csvField(const QString &value);

} // namespace quennet::exchange
