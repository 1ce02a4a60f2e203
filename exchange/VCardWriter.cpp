#include "exchange/VCardWriter.h"

#include "exchange/ContactText.h"
#include "exchange/VCardSyntax.h"

#include <QIODevice>
#include <QUuid>

namespace quennet::exchange {

namespace {

using vcard::appendFolded;
using vcard::isUtf8Continuation;

constexpr qsizetype kFlushBytes = 64 * 1024; // small beside the records an export holds

// One 3.0 content line, head:before<value escaped>after, put together in
// line (kept from card to card) and folded onto out.
void property30(QByteArray &out, QByteArray &line, const char *head, QByteArrayView utf8,
                const char *before = "", const char *after = "")
{
    line.resize(0);
    line += head;
    line += ':';
    line += before;
    vcard::appendEscapedUtf8(line, utf8);
    line += after;
    appendFolded(out, line);
}

// --- 2.1 --------------------------------------------------------------------

bool needsQuotedPrintable(const QByteArray &utf8)
{
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || b < 0x20 || c == '=')
            return true;
    }
    // A plain value would lose white space at its ends to many readers.
    return utf8.size() > 60 || utf8.startsWith(' ') || utf8.endsWith(' ');
}

QByteArray escaped21(const QString &value)
{
    // 2.1 knows only the escaped semicolon inside structured values.
    QByteArray out = value.toUtf8();
    out.replace('\\', "\\\\");
    out.replace(';', "\\;");
    out.replace("\r\n", "\n");
    return out;
}

// Appends text quoted-printable, and where a soft line break may go before
// each character: never inside an "=XX", nor between the bytes of one UTF-8
// character (readers decode each line on its own). Spaces are encoded too,
// so that none ends a line.
void appendQuotedPrintable(QByteArray &out, QList<qsizetype> &breaks, const QByteArray &text)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (!isUtf8Continuation(c))
            breaks << out.size();
        if (b >= 0x21 && b <= 0x7E && c != '=') {
            out += c;
        } else if (c == '\n') {
            out += "=0D=0A";
        } else {
            out += '=';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
}

// Quoted-printable lines stay within 76 characters, with soft breaks ("="
// at the end of a line) only where breaks allows them.
void appendSoftBroken(QByteArray &out, const QByteArray &line, const QList<qsizetype> &breaks)
{
    constexpr int kQpLine = 75; // plus the "=" of the soft break
    qsizetype start = 0;
    qsizetype next = 0; // the first break after start
    while (line.size() - start > kQpLine + 1) {
        qsizetype cut = -1;
        while (next < breaks.size() && breaks.at(next) - start <= kQpLine) {
            if (breaks.at(next) > start)
                cut = breaks.at(next);
            ++next;
        }
        if (cut < 0)
            break; // no break fits: the line stays long rather than broken wrong
        out.append(line.constData() + start, cut - start);
        out.append("=\r\n");
        start = cut;
    }
    out.append(line.constData() + start, line.size() - start);
    out.append("\r\n");
}

// parts are already escaped; qp tells whether any needs encoding.
void property21(QByteArray &out, const char *head, const QList<QByteArray> &parts)
{
    bool qp = false;
    for (const QByteArray &part : parts)
        qp = qp || needsQuotedPrintable(part);
    if (!qp) {
        out += head;
        out += ':';
        out += parts.join(';');
        out += "\r\n";
        return;
    }
    QByteArray line = QByteArray(head) + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    QList<qsizetype> breaks;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            breaks << line.size();
            line += ';';
        }
        appendQuotedPrintable(line, breaks, parts.at(i));
    }
    appendSoftBroken(out, line, breaks);
}

// Address books that sync (khard, phones) tell cards apart by UID. The name
// is unique in the store, so a UID made from it stays the same from one
// export to the next.
QByteArray uidOf(QByteArrayView nameUtf8)
{
    static const QUuid space = QUuid::fromString(QLatin1String("{5b0e9d3c-2f4a-4c1e-9a57-3e8d6f0c7b21}"));
    return QUuid::createUuidV5(space, nameUtf8.toByteArray()).toByteArray(QUuid::WithoutBraces);
}

// The UTF-8 of a contact's values in store order (name, phone, mobile, QQ,
// email, address), and of the name's family and given parts.
struct Card30 {
    VCardWriter::Utf8Values values;
    QByteArrayView family;
    QByteArrayView given;
};

void card30(QByteArray &out, QByteArray &line, const Card30 &c)
{
    const auto &[name, phone, mobile, qq, email, address] = c.values;
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:";
    out += kOurProductId;
    out += "\r\n";
    line.resize(0);
    line += "N:";
    vcard::appendEscapedUtf8(line, c.family);
    line += ';';
    vcard::appendEscapedUtf8(line, c.given);
    line += ";;;";
    appendFolded(out, line);
    property30(out, line, "FN", name);
    out += "UID:";
    out += uidOf(name);
    out += "\r\n";
    if (!mobile.isEmpty())
        property30(out, line, "TEL;TYPE=CELL", mobile);
    if (!phone.isEmpty())
        property30(out, line, "TEL;TYPE=HOME", phone);
    if (!email.isEmpty())
        property30(out, line, "EMAIL", email);
    if (!address.isEmpty())
        property30(out, line, "ADR;TYPE=HOME", address, ";;", ";;;;");
    if (!qq.isEmpty())
        property30(out, line, "X-QQ", qq);
    out += "END:VCARD\r\n";
}

void card30(QByteArray &out, QByteArray &line, const rules::ContactInput &c)
{
    QString family, given;
    splitName(c.name, &family, &given);
    const QByteArray utf8[] = {c.name.toUtf8(),  c.phone.toUtf8(),   c.mobile.toUtf8(), c.qq.toUtf8(),
                               c.email.toUtf8(), c.address.toUtf8(), family.toUtf8(),   given.toUtf8()};
    card30(out, line, {{utf8[0], utf8[1], utf8[2], utf8[3], utf8[4], utf8[5]}, utf8[6], utf8[7]});
}

// The card of the values' text from their bytes; values the text would not
// give back as they are (textUtf8) go through it, and so does a name whose
// split needs its text.
void card30(QByteArray &out, QByteArray &line, const VCardWriter::Utf8Values &stored)
{
    std::array<QByteArray, 8> converted;
    Card30 c;
    for (size_t i = 0; i < stored.size(); ++i)
        c.values[i] = textUtf8(stored[i], &converted[i]);
    if (!splitNameUtf8(c.values[0], &c.family, &c.given)) {
        QString family, given;
        splitName(QString::fromUtf8(c.values[0]), &family, &given);
        converted[6] = family.toUtf8();
        converted[7] = given.toUtf8();
        c.family = converted[6];
        c.given = converted[7];
    }
    card30(out, line, c);
}

rules::ContactInput contactOf(const VCardWriter::Utf8Values &stored)
{
    rules::ContactInput c;
    QString *targets[] = {&c.name, &c.phone, &c.mobile, &c.qq, &c.email, &c.address};
    for (size_t i = 0; i < stored.size(); ++i)
        *targets[i] = QString::fromUtf8(stored[i]);
    return c;
}

void card21(QByteArray &out, const rules::ContactInput &c)
{
    QString family, given;
    splitName(c.name, &family, &given);
    out += "BEGIN:VCARD\r\nVERSION:2.1\r\nPRODID:";
    out += kOurProductId;
    out += "\r\n";
    property21(out, "N", {escaped21(family), escaped21(given), {}, {}, {}});
    property21(out, "FN", {escaped21(c.name)});
    if (!c.mobile.isEmpty())
        property21(out, "TEL;CELL", {escaped21(c.mobile)});
    if (!c.phone.isEmpty())
        property21(out, "TEL;HOME", {escaped21(c.phone)});
    if (!c.email.isEmpty())
        property21(out, "EMAIL;INTERNET", {escaped21(c.email)});
    if (!c.address.isEmpty())
        property21(out, "ADR;HOME", {{}, {}, escaped21(c.address), {}, {}, {}, {}});
    if (!c.qq.isEmpty())
        property21(out, "X-QQ", {escaped21(c.qq)});
    out += "END:VCARD\r\n";
}

} // namespace

VCardWriter::VCardWriter(QIODevice &out, VCardVersion version) : m_out(out), m_version(version)
{
    m_buffer.reserve(kFlushBytes + 4096);
}

QByteArray VCardWriter::card(const rules::ContactInput &contact, VCardVersion version)
{
    QByteArray out, line;
    if (version == VCardVersion::V21)
        card21(out, contact);
    else
        card30(out, line, contact);
    return out;
}

bool VCardWriter::write(const rules::ContactInput &contact)
{
    if (m_version == VCardVersion::V21)
        card21(m_buffer, contact);
    else
        card30(m_buffer, m_line, contact);
    return flushIfFull();
}

QByteArray VCardWriter::card(const Utf8Values &values, VCardVersion version)
{
    if (version == VCardVersion::V21)
        return card(contactOf(values), version);
    QByteArray out, line;
    card30(out, line, values);
    return out;
}

bool VCardWriter::write(const Utf8Values &values)
{
    if (m_version == VCardVersion::V21)
        card21(m_buffer, contactOf(values));
    else
        card30(m_buffer, m_line, values);
    return flushIfFull();
}

bool VCardWriter::flushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return m_ok;
    m_ok = m_ok && m_out.write(m_buffer) == m_buffer.size();
    m_buffer.clear();
    m_buffer.reserve(kFlushBytes + 4096);
    return m_ok;
}

bool VCardWriter::finish()
{
    m_ok = m_ok && m_out.write(m_buffer) == m_buffer.size();
    m_buffer.clear();
    return m_ok;
}

} // namespace quennet::exchange
