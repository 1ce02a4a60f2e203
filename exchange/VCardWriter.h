#pragma once

#include "contacts/ContactRules.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

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
    // The six values of a contact in store order as UTF-8 bytes, such as
    // ContactStore::fieldBytesOf gives them.
    using Utf8Values = std::array<QByteArrayView, 6>;

    VCardWriter(QIODevice &out, VCardVersion version);
    bool write(const rules::ContactInput &contact);
    // The same card as write() of the values' text, put together from the
    // bytes themselves where they are valid UTF-8 (3.0; 2.1 goes by the text).
    bool write(const Utf8Values &values);
    bool finish();

    // One card as bytes (tests).
    static QByteArray card(const rules::ContactInput &contact, VCardVersion version);
    static QByteArray card(const Utf8Values &values, VCardVersion version);

private:
    bool flushIfFull();

    QIODevice &m_out;
    VCardVersion m_version;
    QByteArray m_buffer;
    QByteArray m_line; // the content line being put together
    bool m_ok = true;
};

} // namespace quennet::exchange
