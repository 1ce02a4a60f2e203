#pragma once

#include "exchange/ContactReader.h"

#include <QByteArray>

class QIODevice;

namespace quennet::exchange {

// Reads vCard 2.1, 3.0 and 4.0 cards one at a time from the device and
// hands each, mapped onto the six fields, to sink. The file is read in
// chunks, never whole. A file with no card at all is refused.
ReadSummary readVCards(QIODevice &in, const ContactSink &sink);
// The same over bytes in memory (tests, fuzzing).
ReadSummary readVCardBytes(const QByteArray &bytes, const ContactSink &sink);

// True when the bytes start like a vCard file (after a BOM and blank lines).
bool looksLikeVCard(const QByteArray &head);

} // namespace quennet::exchange
