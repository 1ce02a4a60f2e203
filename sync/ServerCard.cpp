#include "sync/ServerCard.h"

#include "exchange/ContactText.h"
#include "exchange/VCardSyntax.h"

#include <QHash>
#include <QSet>
#include <QUuid>

namespace quennet::sync {

using exchange::cleanValue;
using exchange::vcard::decodeQuotedPrintable;
using exchange::vcard::escaped;
using exchange::vcard::isVCardWord;
using exchange::vcard::Params;
using exchange::vcard::parseParams;
using exchange::vcard::unescaped;
using exchange::vcard::withoutScheme;

namespace {

// Parameters of a value we rewrite: its encoding and character set go (we
// write plain UTF-8), and so does a 4.0 LABEL beside an address.
QByteArray keptParams(const QByteArray &raw, bool dropLabel)
{
    QList<QByteArray> kept;
    for (const QByteArrayView view : exchange::vcard::splitUnquoted(raw, ';')) {
        const QByteArray param = view.toByteArray();
        const QByteArray key =
            param.left(param.indexOf('=') < 0 ? param.size() : param.indexOf('=')).trimmed().toUpper();
        if (key == "ENCODING" || key == "CHARSET" || key == "QUOTED-PRINTABLE" || key == "BASE64" ||
            key == "8BIT" || (dropLabel && key == "LABEL") || param.trimmed().isEmpty())
            continue;
        kept << param;
    }
    return kept.join(';');
}

// Structured values (N, ADR) split at the semicolons that are not escaped.
QList<QByteArray> rawComponents(const QByteArray &value)
{
    QList<QByteArray> parts;
    for (const QByteArrayView part : exchange::vcard::components(value))
        parts << part.toByteArray();
    return parts;
}

} // namespace

ServerCard ServerCard::parse(const QByteArray &bytes)
{
    ServerCard card;
    // Physical lines with their ends, then logical lines: a line starting
    // with a space or tab goes on the one before; a 2.1 quoted-printable
    // value ending in '=' goes on over the next line.
    QList<QByteArray> physical;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = at;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < bytes.size() && bytes[next] == '\r')
            ++next;
        if (next < bytes.size() && bytes[next] == '\n')
            ++next;
        physical << bytes.mid(at, next - at);
        at = next;
    }
    const auto content = [](const QByteArray &line) {
        qsizetype size = line.size();
        while (size > 0 && (line[size - 1] == '\n' || line[size - 1] == '\r'))
            --size;
        return line.left(size);
    };
    for (qsizetype i = 0; i < physical.size(); ++i) {
        Line line;
        line.original = physical[i];
        QByteArray logical = content(physical[i]);
        if (i == 0 && logical.startsWith("\xEF\xBB\xBF"))
            logical.remove(0, 3);
        for (;;) {
            const bool more = i + 1 < physical.size();
            if (more && (physical[i + 1].startsWith(' ') || physical[i + 1].startsWith('\t'))) {
                logical += content(physical[i + 1]).mid(1);
            } else if (more && logical.endsWith('=') &&
                       logical.left(logical.indexOf(':')).toUpper().contains("QUOTED-PRINTABLE")) {
                logical.chop(1);
                logical += content(physical[i + 1]);
            } else {
                break;
            }
            line.original += physical[++i];
        }
        const qsizetype nameEnd = [&] {
            qsizetype at = 0;
            while (at < logical.size() && logical[at] != ';' && logical[at] != ':')
                ++at;
            return at;
        }();
        qsizetype colon = nameEnd;
        for (bool quoted = false; colon < logical.size() && (logical[colon] != ':' || quoted); ++colon)
            if (logical[colon] == '"')
                quoted = !quoted;
        if (colon < logical.size() && nameEnd > 0) {
            line.head = logical.left(nameEnd).trimmed();
            const QByteArray name = line.head.toUpper();
            const qsizetype dot = name.lastIndexOf('.');
            line.group = dot < 0 ? QByteArray() : name.left(dot);
            line.name = dot < 0 ? name : name.mid(dot + 1);
            line.params = nameEnd < colon ? logical.mid(nameEnd + 1, colon - nameEnd - 1) : QByteArray();
            line.value = logical.mid(colon + 1);
            line.property = true;
        }
        const int index = int(card.m_lines.size());
        if (line.property && line.name == "BEGIN" && isVCardWord(line.value) && card.m_begin < 0)
            card.m_begin = index;
        else if (line.property && line.name == "END" && isVCardWord(line.value) && card.m_begin >= 0 &&
                 card.m_end < 0)
            card.m_end = index;
        card.m_lines << line;
    }
    // Nested cards (2.1 AGENT) end before ours: ours ends at the last END.
    for (int i = int(card.m_lines.size()) - 1; card.m_end >= 0 && i > card.m_end; --i)
        if (card.m_lines[i].property && card.m_lines[i].name == "END" && isVCardWord(card.m_lines[i].value)) {
            card.m_end = i;
            break;
        }
    return card;
}

ServerCard ServerCard::fromContact(const Contact &contact, const QString &uid)
{
    ServerCard card =
        parse("BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Quennet//Quennet//ZH\r\nUID:" + escaped(uid) +
              "\r\nEND:VCARD\r\n");
    return card.edited(Contact(), contact);
}

int ServerCard::version() const
{
    for (int i = m_begin + 1; i < m_end; ++i)
        if (m_lines[i].property && m_lines[i].name == "VERSION") {
            const QByteArray v = m_lines[i].value.trimmed();
            return v.startsWith('2') ? 21 : v.startsWith('4') ? 40 : 30;
        }
    return 30;
}

QString ServerCard::rawText(int line) const
{
    if (line < 0)
        return QString();
    const Line &l = m_lines[line];
    const Params params = parseParams(l.params);
    QByteArray bytes = l.value;
    if (params.encoding == "QUOTED-PRINTABLE")
        bytes = decodeQuotedPrintable(bytes);
    else if (params.encoding == "BASE64" || params.encoding == "B")
        bytes = QByteArray::fromBase64(bytes);
    return unescaped(exchange::decodeCharset(bytes, params.charset), version() != 21);
}

QString ServerCard::text(int line) const
{
    return cleanValue(rawText(line));
}

QStringList ServerCard::components(int line) const
{
    QStringList out;
    if (line < 0)
        return out;
    const Line &l = m_lines[line];
    const Params params = parseParams(l.params);
    for (QByteArray part : rawComponents(l.value)) {
        if (params.encoding == "QUOTED-PRINTABLE")
            part = decodeQuotedPrintable(part);
        out << cleanValue(unescaped(exchange::decodeCharset(part, params.charset), version() != 21));
    }
    return out;
}

QString ServerCard::uid() const
{
    for (int i = m_begin + 1; i < m_end; ++i)
        if (m_lines[i].property && !m_lines[i].removed && m_lines[i].name == "UID")
            return text(i);
    return QString();
}

ServerCard::Sources ServerCard::sources() const
{
    Sources s;
    QList<int> tels, adrs, labels;
    if (!isValid())
        return s;
    for (int i = m_begin + 1; i < m_end; ++i) {
        const Line &l = m_lines[i];
        if (!l.property || l.removed)
            continue;
        const QByteArray &name = l.name;
        if (name == "ADR")
            adrs << i;
        else if (name == "LABEL")
            labels << i;
        if (l.value.trimmed().isEmpty())
            continue;
        if (name == "FN" && s.fn < 0)
            s.fn = i;
        else if (name == "N" && s.n < 0)
            s.n = i;
        else if (name == "TEL")
            tels << i;
        else if (name == "EMAIL" && s.email < 0)
            s.email = i;
        else if (name == "X-QQ" && s.qq < 0)
            s.qq = i;
    }
    if (s.qq < 0)
        for (int i = m_begin + 1; i < m_end && s.qq < 0; ++i) {
            const Line &l = m_lines[i];
            if (!l.property || l.removed || (l.name != "IMPP" && l.name != "X-IMPP"))
                continue;
            if (text(i).startsWith(QLatin1String("qq:"), Qt::CaseInsensitive) ||
                parseParams(l.params).serviceType == "QQ")
                s.qq = i;
        }
    findTelephones(tels, &s);
    findAddress(adrs, labels, &s);
    return s;
}

// The numbers as the importer chooses them (exchange::chooseTelephones):
// a valid mobile, a CELL one first, as 手机; the first other number that is
// no fax as 电话. Each TEL is one number, as the server keeps it.
void ServerCard::findTelephones(const QList<int> &tels, Sources *s) const
{
    // iPhone cards name a group's kind in an X-ABLabel of the same group.
    QHash<QByteArray, QString> labels;
    for (int i = m_begin + 1; i < m_end; ++i)
        if (m_lines[i].property && m_lines[i].name == "X-ABLABEL" && !m_lines[i].group.isEmpty())
            labels.insert(m_lines[i].group, text(i).toLower());
    QList<exchange::FoundTelephone> found;
    QList<int> lineOf;
    for (int i : tels) {
        const QString number = withoutScheme(text(i), QStringLiteral("tel"));
        if (number.isEmpty())
            continue;
        const Params p = parseParams(m_lines[i].params);
        const QString label = m_lines[i].group.isEmpty() ? QString() : labels.value(m_lines[i].group);
        const bool cell = p.hasType("CELL") || p.hasType("MOBILE") || p.hasType("IPHONE") ||
                          label.contains(QLatin1String("mobile")) || label.contains(QLatin1String("cell")) ||
                          label.contains(QStringLiteral("手机")) || label.contains(QStringLiteral("移动"));
        const bool fax = p.hasType("FAX") || label.contains(QLatin1String("fax")) ||
                         label.contains(QStringLiteral("传真"));
        found.append({number, cell, fax});
        lineOf << i;
    }
    const exchange::ChosenTelephones chosen = exchange::chooseTelephones(found);
    s->mobile = chosen.mobileAt >= 0 ? lineOf[chosen.mobileAt] : -1;
    s->phone = chosen.phoneAt >= 0 ? lineOf[chosen.phoneAt] : -1;
    s->mobileText = chosen.mobile;
    s->phoneText = chosen.phone;
}

// The address as the importer reads it: of the first ADR that gives one, its
// LABEL parameter, else the LABEL that formats it (one of its group, else one
// of its types, else the only one beside the only ADR), else its parts in the
// order of their script with the postcode; without an ADR, the first LABEL.
void ServerCard::findAddress(const QList<int> &adrs, const QList<int> &labels, Sources *s) const
{
    QSet<int> used;
    const auto labelOf = [&](int adr) {
        const QByteArray &group = m_lines[adr].group;
        const QList<QByteArray> types = parseParams(m_lines[adr].params).types;
        for (int l : labels)
            if (!group.isEmpty() && m_lines[l].group == group)
                return l;
        for (int l : labels)
            if (!used.contains(l) && group.isEmpty() && m_lines[l].group.isEmpty() && !types.isEmpty() &&
                parseParams(m_lines[l].params).types == types)
                return l;
        if (adrs.size() == 1 && labels.size() == 1 && !used.contains(labels.front()))
            return labels.front();
        return -1;
    };
    for (int adr : adrs) {
        QString line =
            exchange::cleanAddress(exchange::vcard::paramText(parseParams(m_lines[adr].params).label));
        const int label = labelOf(adr);
        if (label >= 0) {
            used.insert(label);
            if (line.isEmpty())
                line = exchange::cleanAddress(rawText(label));
        }
        if (line.isEmpty()) {
            // pobox; extended; street; locality; region; postal code; country
            const QStringList p = components(adr);
            line = exchange::joinAddress(
                {p.value(0), p.value(1), p.value(2), p.value(3), p.value(4), p.value(5), p.value(6)});
        }
        if (!line.isEmpty()) {
            s->adr = adr;
            s->label = label;
            s->addressText = line;
            return;
        }
    }
    for (int label : labels)
        if (!used.contains(label)) {
            const QString line = exchange::cleanAddress(rawText(label));
            if (!line.isEmpty()) {
                s->label = label;
                s->addressText = line;
                return;
            }
        }
}

Contact ServerCard::contact() const
{
    const Sources s = sources();
    Contact c;
    c.name = text(s.fn);
    if (c.name.isEmpty() && s.n >= 0) {
        const QStringList n = components(s.n);
        c.name = exchange::joinName(n.value(0), n.value(1));
    }
    c.mobile = s.mobileText;
    c.phone = s.phoneText;
    c.email = withoutScheme(text(s.email), QStringLiteral("mailto"));
    c.address = s.addressText;
    if (s.qq >= 0) {
        const QString value = text(s.qq);
        c.qq = m_lines[s.qq].name == "X-QQ" ? value
                                            : value.mid(value.lastIndexOf(QLatin1Char(':')) + 1).trimmed();
    }
    return c;
}

void ServerCard::put(int line, const QByteArray &head, const QByteArray &value)
{
    if (value.isEmpty()) {
        if (line >= 0)
            m_lines[line].removed = true;
        return;
    }
    if (line >= 0) {
        Line &l = m_lines[line];
        l.params = keptParams(l.params, l.name == "ADR");
        // A 4.0 number or address written as a URI stays one.
        QByteArray scheme;
        for (const char *known : {"tel:", "mailto:"})
            if (l.value.trimmed().toLower().startsWith(known))
                scheme = l.value.trimmed().left(qsizetype(qstrlen(known)));
        l.value = scheme + value;
        l.original.clear();
        return;
    }
    Line added;
    const qsizetype semicolon = head.indexOf(';');
    added.name = semicolon < 0 ? head : head.left(semicolon);
    added.head = added.name;
    added.params = semicolon < 0 ? QByteArray() : head.mid(semicolon + 1);
    added.value = value;
    added.property = true;
    m_lines.insert(m_end, added);
    ++m_end;
}

ServerCard ServerCard::edited(const Contact &was, const Contact &now) const
{
    ServerCard card = *this;
    if (!card.isValid())
        return card;
    if (was.name != now.name) {
        const Sources s = card.sources();
        QString family, given;
        exchange::splitName(now.name, &family, &given);
        card.put(s.fn, "FN", escaped(now.name));
        // The other parts of N (middle names, titles) stay as they were.
        QList<QByteArray> n = s.n >= 0 ? rawComponents(card.m_lines[s.n].value) : QList<QByteArray>();
        while (n.size() < 5)
            n << QByteArray();
        n[0] = escaped(family);
        n[1] = escaped(given);
        card.put(card.sources().n, "N", now.name.isEmpty() ? QByteArray() : n.join(';'));
    }
    if (was.mobile != now.mobile)
        card.put(card.sources().mobile, "TEL;TYPE=CELL", escaped(now.mobile));
    if (was.phone != now.phone)
        card.put(card.sources().phone, "TEL;TYPE=VOICE", escaped(now.phone));
    if (was.email != now.email)
        card.put(card.sources().email, "EMAIL;TYPE=INTERNET", escaped(now.email));
    if (was.address != now.address) {
        const Sources s = card.sources();
        // The 地址 shown was every part of the address: the new one takes
        // their place whole, in the street, which every client shows as it
        // is. The ADR's types and group stay; its formatted LABEL goes.
        const QByteArray adr = ";;" + escaped(now.address) + ";;;;";
        card.put(s.adr, "ADR", now.address.isEmpty() ? QByteArray() : adr);
        card.put(s.label, "LABEL", QByteArray());
    }
    if (was.qq != now.qq) {
        const int line = card.sources().qq;
        QByteArray value = escaped(now.qq);
        if (line >= 0 && card.m_lines[line].name != "X-QQ" && !value.isEmpty()) {
            const QByteArray &old = card.m_lines[line].value;
            value = old.left(old.lastIndexOf(':') + 1) + value;
        }
        card.put(line, "X-QQ", value);
    }
    return card;
}

QByteArray ServerCard::bytes() const
{
    QByteArray out;
    for (const Line &line : m_lines) {
        if (line.removed)
            continue;
        // A kept line that ended the text without a line end gets one only
        // when something follows it.
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += "\r\n";
        if (!line.original.isEmpty()) {
            out += line.original;
            continue;
        }
        QByteArray text = line.head;
        if (!line.params.isEmpty())
            text += ';' + line.params;
        exchange::vcard::appendFolded(out, text + ':' + line.value);
    }
    return out;
}

} // namespace quennet::sync
