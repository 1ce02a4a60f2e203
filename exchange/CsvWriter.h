#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>

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
    CsvWriter(QIODevice &out, CsvEncoding encoding);
    bool write(const rules::ContactInput &contact);
    bool finish();

private:
    void addRow(const QStringList &values);
    bool flushIfFull();

    QIODevice &m_out;
    CsvEncoding m_encoding;
    QByteArray m_buffer;
    bool m_ok = true;
};

// One value as it goes into a row.
QString csvField(const QString &value);

} // namespace quennet::exchange
