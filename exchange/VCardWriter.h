#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>

class QIODevice;

namespace quennet::exchange {

// The PRODID of the cards written here: reading them back keeps every value
// exactly as it was written.
constexpr char kOurProductId[] = "-//Quennet//Contacts//ZH";

enum class VCardVersion {
    V30, // UTF-8, backslash escapes, lines folded at 75 octets
    V21, // for old phones: quoted-printable UTF-8 where a value needs it
};

// Writes one card per contact; empty fields are left out. Output is
// buffered: call finish() at the end, and check both results.
class VCardWriter {
public:
    VCardWriter(QIODevice &out, VCardVersion version);
    bool write(const rules::ContactInput &contact);
    bool finish();

    // One card as bytes (tests).
    static QByteArray card(const rules::ContactInput &contact, VCardVersion version);

private:
    bool flushIfFull();

    QIODevice &m_out;
    VCardVersion m_version;
    QByteArray m_buffer;
    QByteArray m_line; // the content line being put together
    bool m_ok = true;
};

} // namespace quennet::exchange
