#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The vCard syntax that the file reader and writer and the sync's server
// cards share (vCard 2.1, 3.0 and 4.0): parameters, structured values,
// escapes, quoted-printable and the folding of long content lines.
//
//   TEL;TYPE="cell,voice";CHARSET=UTF-8:+86 139 0000 0001
//   ^name ^parameters, split at unquoted ';' then ','   ^value
//
// Values are the bytes of a line as the file holds them.
namespace quennet::exchange::vcard {

struct Params {
    QList<QByteArray> types; // upper case, quotes removed
    QByteArray charset;
    QByteArray encoding; // QUOTED-PRINTABLE, BASE64, B, 8BIT ... (upper case)
    QByteArray serviceType;
    QByteArray label; // 4.0: the formatted address of an ADR

    bool isQuotedPrintable() const { return encoding == "QUOTED-PRINTABLE"; }
    bool hasType(const char *type) const;
};

// The parameters of a property; 2.1's bare words (TEL;CELL;QUOTED-PRINTABLE)
// are types or the encoding.
Params parseParams(QByteArrayView raw);
// Splits at separator outside double quotes.
QList<QByteArrayView> splitUnquoted(QByteArrayView text, char separator);
// Trimmed, without the double quotes around it.
QByteArray unquoted(QByteArrayView text);
// The components of a structured value (N, ADR), split at the semicolons
// that are not escaped; still escaped.
QList<QByteArrayView> components(QByteArrayView value);

QByteArray decodeQuotedPrintable(QByteArrayView text);
// \; \, \\ and (newlines: 3.0 and 4.0) \n undone.
QString unescaped(const QString &text, bool newlines);
// A 3.0 text value, escaped: \\ \, \; and \n for a line break.
QByteArray escaped(const QString &value);
// The same, appended to out.
void appendEscaped(QByteArray &out, const QString &value);
// The same of a value's UTF-8.
void appendEscapedUtf8(QByteArray &out, QByteArrayView utf8);
// Appends a content line and its CR LF, folded into lines of at most 75
// octets that go on after a space; a UTF-8 sequence is never cut.
void appendFolded(QByteArray &out, QByteArrayView line);
bool isUtf8Continuation(char c);

// A parameter value as text: its ^n, ^^ and ^' undone (RFC 6868).
QString paramText(const QByteArray &raw);
// "tel:+86…" without its scheme.
QString withoutScheme(const QString &value, const QString &scheme);
// The value of BEGIN and END of a card.
bool isVCardWord(QByteArrayView value);

} // namespace quennet::exchange::vcard
