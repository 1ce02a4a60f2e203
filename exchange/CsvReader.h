#pragma once

#include "exchange/ContactReader.h"

#include <QByteArray>

class QIODevice;

namespace quennet::exchange {

// Reads contacts from CSV (RFC 4180: quoted fields may hold separators,
// quotes and line breaks). The separator (comma, semicolon or TAB) is taken
// from the first line; the encoding is found for the whole file first
// (TextEncoding.h). A first row that names columns the way the common
// address books and spreadsheets do maps them, numbered groups of phones,
// e-mails and address parts included. A first row of names none of which we
// know is a heading, its columns left out, when the rows after it show that
// it is none of them: numbers or e-mails below its words, or words unlike
// their columns' values in script or length; else it is the first contact.
// Without a heading the columns are the six fields in order. Our own export
// (its six headings) comes back with every value as it was written.
ReadSummary readCsv(QIODevice &in, const ContactSink &sink);
ReadSummary readCsvBytes(const QByteArray &bytes, const ContactSink &sink);

} // namespace quennet::exchange
