#pragma once

#include "exchange/ContactReader.h"

#include <QByteArray>

class QIODevice;

namespace quennet::exchange {

// Reads contacts from CSV (RFC 4180: quoted fields may hold separators,
// quotes and line breaks). The separator (comma, semicolon or TAB) is taken
// from the first line; the encoding from a BOM, else UTF-8 when every byte
// is valid UTF-8, else GB18030. A first row of known column names maps the
// columns; without one the columns are the six fields in order.
ReadSummary readCsv(QIODevice &in, const ContactSink &sink);
ReadSummary readCsvBytes(const QByteArray &bytes, const ContactSink &sink);

} // namespace quennet::exchange
