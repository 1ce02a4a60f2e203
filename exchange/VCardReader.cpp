#include "exchange/VCardReader.h"

#include "exchange/ContactText.h"
#include "exchange/LineReader.h"
#include "exchange/TextEncoding.h"
#include "exchange/VCardSyntax.h"
#include "exchange/VCardWriter.h"

#include <QBuffer>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quennet::exchange {

namespace {

using namespace std::string_view_literals;
using vcard::components;
using vcard::decodeQuotedPrintable;
using vcard::isVCardWord;
using vcard::Params;
using vcard::paramText;
using vcard::parseParams;
using vcard::withoutScheme;

enum class Version { V21, V30, V40 };

// The properties the mapping looks for, told apart once when a line is split.
enum class Kind : quint8 {
    Other,
    Structural, // carries no contact data (see isStructural)
    Begin,
    End,
    Version,
    ProdId,
    AbLabel,
    Agent,
    Fn,
    N,
    Tel,
    Email,
    Adr,
    Label,
    Qq,
    Impp,
    Org,
    Nickname,
};

// Lines that carry no contact data and are never counted as dropped: the
// card's own frame, and what phones and programs keep for syncing and sorting.
constexpr std::pair<std::string_view, Kind> kKinds[] = {
    {"BEGIN", Kind::Begin},
    {"END", Kind::End},
    {"VERSION", Kind::Version},
    {"PRODID", Kind::ProdId},
    {"REV", Kind::Structural},
    {"UID", Kind::Structural},
    {"X-ABLABEL", Kind::AbLabel},
    {"X-ABADR", Kind::Structural},
    {"X-ABUID", Kind::Structural},
    {"X-ABSHOWAS", Kind::Structural},
    {"X-IRMC-LUID", Kind::Structural},
    {"CLASS", Kind::Structural},
    {"X-CLASS", Kind::Structural},
    {"SORT-STRING", Kind::Structural},
    {"KIND", Kind::Structural},
    {"X-ADDRESSBOOKSERVER-KIND", Kind::Structural},
    {"X-MOZILLA-HTML", Kind::Structural},
    {"X-EVOLUTION-FILE-AS", Kind::Structural},
    {"MAILER", Kind::Structural},
    {"SOURCE", Kind::Structural},
    {"NAME", Kind::Structural},
    {"AGENT", Kind::Agent},
    {"FN", Kind::Fn},
    {"N", Kind::N},
    {"TEL", Kind::Tel},
    {"EMAIL", Kind::Email},
    {"ADR", Kind::Adr},
    {"LABEL", Kind::Label},
    {"X-QQ", Kind::Qq},
    {"IMPP", Kind::Impp},
    {"X-IMPP", Kind::Impp},
    {"ORG", Kind::Org},
    {"NICKNAME", Kind::Nickname},
};

Kind kindOf(std::string_view name)
{
    for (const auto &[known, kind] : kKinds)
        if (name == known)
            return kind;
    return Kind::Other;
}

bool isStructural(Kind kind)
{
    switch (kind) {
    case Kind::Structural:
    case Kind::Begin:
    case Kind::End:
    case Kind::Version:
    case Kind::ProdId:
    case Kind::AbLabel:
        return true;
    default:
        return false;
    }
}

// One content line: [group.]NAME[;params]:value. Group and name (upper
// case), parameters and value are places in the text of the card; the
// parameters and the value are still raw bytes.
struct Property {
    size_t groupAt = 0, groupSize = 0;
    size_t nameAt = 0, nameSize = 0;
    size_t paramsAt = 0, paramsSize = 0;
    size_t valueAt = 0, valueSize = 0;
    Kind kind = Kind::Other;
    bool cut = false; // the line was longer than the reader keeps
};

// The logical lines of one card back to back, and the properties in them.
struct Card {
    std::string text;
    std::vector<Property> properties;
    bool cut = false; // properties past what the reader keeps were left out

    void clear()
    {
        text.clear();
        properties.clear();
        cut = false;
    }

    // What the card takes, with what each property costs besides its text.
    size_t kept() const { return text.size() + properties.size() * sizeof(Property); }

    std::string_view group(const Property &p) const { return {text.data() + p.groupAt, p.groupSize}; }
    std::string_view name(const Property &p) const { return {text.data() + p.nameAt, p.nameSize}; }
    QByteArrayView params(const Property &p) const
    {
        return {text.data() + p.paramsAt, qsizetype(p.paramsSize)};
    }
    QByteArrayView value(const Property &p) const
    {
        return {text.data() + p.valueAt, qsizetype(p.valueSize)};
    }
};

// The components of a structured value (N, ADR) up to the first `wanted`,
// still escaped, without a list: component k is parts[k] for k < count.
struct Components {
    static constexpr qsizetype kMost = 7;
    QByteArrayView parts[kMost];
    qsizetype count = 0;

    Components(QByteArrayView value, qsizetype wanted)
    {
        qsizetype start = 0;
        for (qsizetype i = 0; i < value.size() && count + 1 < wanted; ++i) {
            if (value[i] == '\\')
                ++i;
            else if (value[i] == ';') {
                parts[count++] = value.sliced(start, i - start);
                start = i + 1;
            }
        }
        if (count < wanted) {
            // The rest, up to the next unescaped ';' (the last one wanted).
            qsizetype end = start;
            while (end < value.size() && value[end] != ';')
                end += value[end] == '\\' ? 2 : 1;
            parts[count++] = value.sliced(start, std::min(end, value.size()) - start);
        }
    }
};

// unlabelled: the encoding of a value without CHARSET that is not UTF-8.
// asciiSafe: every ASCII byte stays itself (e-mail addresses).
QString decodeText(QByteArrayView raw, const Params &params, Version version, const QByteArray &unlabelled,
                   bool asciiSafe = false)
{
    if (raw.isEmpty())
        return QString();
    const bool plain = !params.isQuotedPrintable() && params.encoding != "BASE64" && params.encoding != "B";
    // Nearly every value: plain UTF-8 without a CHARSET.
    if (plain && params.charset.isEmpty() && isValidUtf8(raw.data(), raw.size())) {
        QString text = QString::fromUtf8(raw);
        return raw.contains('\\') ? vcard::unescaped(text, version != Version::V21) : text;
    }
    QByteArray decoded;
    if (params.isQuotedPrintable())
        decoded = decodeQuotedPrintable(raw);
    else if (!plain)
        decoded = QByteArray::fromBase64(raw.toByteArray());
    // A plain value is read where it stands.
    const QByteArray bytes = plain ? QByteArray::fromRawData(raw.data(), raw.size()) : decoded;
    if (asciiSafe && !isValidUtf8(bytes.constData(), bytes.size())) {
        const QByteArray charset = params.charset.isEmpty() ? unlabelled : params.charset.trimmed();
        if (isMultiByteLegacy(charset))
            return vcard::unescaped(decodeKeepingAscii(bytes, charset), version != Version::V21);
    }
    return vcard::unescaped(decodeCharset(bytes, params.charset, unlabelled), version != Version::V21);
}

// How the report names a property left out; binary ones are named only.
QString propertyLabel(std::string_view name, bool *binary)
{
    static const QHash<QByteArray, QString> labels = {
        {"EMAIL", QStringLiteral("Email")},        {"ADR", QStringLiteral("地址")},
        {"LABEL", QStringLiteral("地址")},         {"BDAY", QStringLiteral("生日")},
        {"ANNIVERSARY", QStringLiteral("纪念日")}, {"NOTE", QStringLiteral("备注")},
        {"ORG", QStringLiteral("单位")},           {"TITLE", QStringLiteral("职务")},
        {"ROLE", QStringLiteral("角色")},          {"URL", QStringLiteral("网址")},
        {"NICKNAME", QStringLiteral("昵称")},      {"CATEGORIES", QStringLiteral("分组")},
        {"IMPP", QStringLiteral("即时通讯")},      {"X-QQ", QStringLiteral("QQ")},
        {"GEO", QStringLiteral("位置")},           {"TZ", QStringLiteral("时区")},
        {"PHOTO", QStringLiteral("照片")},         {"LOGO", QStringLiteral("标志")},
        {"SOUND", QStringLiteral("声音")},         {"KEY", QStringLiteral("密钥")},
    };
    *binary = name == "PHOTO"sv || name == "LOGO"sv || name == "SOUND"sv || name == "KEY"sv;
    const QByteArray key(name.data(), qsizetype(name.size()));
    return labels.value(key, QString::fromLatin1(key));
}

constexpr qsizetype kMaxLeftOutValue = 40;
constexpr qsizetype kMaxLeftOutAddress = 120;

// What the mapping of one card keeps beside it, kept from card to card so
// that a card costs no allocations of its own.
struct MapperScratch {
    std::vector<char> used;
    std::vector<char> parsed;
    std::vector<Params> params;
    std::vector<size_t> adrs, labels;

    void reset(size_t properties)
    {
        used.assign(properties, 0);
        parsed.assign(properties, 0);
        if (params.size() < properties)
            params.resize(properties);
        adrs.clear();
        labels.clear();
    }
};

// Everything of one card, turned into the six fields when the card ends.
class CardMapper {
public:
    CardMapper(const Card &card, ReadSummary &summary, const QByteArray &unlabelled, MapperScratch &scratch)
        : m_card(card), m_props(card.properties), m_summary(summary), m_unlabelled(unlabelled),
          m_scratch(scratch), m_used(scratch.used)
    {
        scratch.reset(m_props.size());
        findVersion();
        findGroupLabels();
    }

    rules::ContactInput map()
    {
        rules::ContactInput fields;
        fields.name = name();
        mapTelephones(&fields);
        fields.qq = qq();
        fields.email = first(Kind::Email);
        fields.address = address();
        // Without a name a card goes by its nickname, else by its company.
        if (fields.name.isEmpty())
            fields.name = first(Kind::Nickname);
        if (fields.name.isEmpty() || isOrganisation(fields.name))
            fields.name = organisation();
        countDropped();
        return fields;
    }

    QStringList leftOut() const { return m_leftOut; }

    // True when a field came from a cut line, or lines were left out.
    bool cut() const
    {
        for (size_t i = 0; i < m_props.size(); ++i)
            if (m_used[i] && m_props[i].cut)
                return true;
        return m_card.cut;
    }

private:
    void findVersion()
    {
        for (const Property &p : m_props)
            if (p.kind == Kind::Version) {
                const QByteArrayView v = m_card.value(p).trimmed();
                m_version = v.startsWith("2")   ? Version::V21
                            : v.startsWith("4") ? Version::V40
                                                : Version::V30;
            } else if (p.kind == Kind::ProdId) {
                // Cards this program wrote keep every value as it was.
                m_ours = m_card.value(p).trimmed() == kOurProductId;
            }
    }

    // iPhone cards name a group's kind in an X-ABLabel of the same group.
    void findGroupLabels()
    {
        for (size_t i = 0; i < m_props.size(); ++i)
            if (m_props[i].kind == Kind::AbLabel && m_props[i].groupSize > 0)
                m_labels.insert(group(i), QString::fromUtf8(raw(i)).toLower());
    }

    // Parsed once per property, when first asked for: the mapping asks for
    // them again and again, and not at all for most.
    const Params &params(size_t i) const
    {
        if (!m_scratch.parsed[i]) {
            m_scratch.params[i] = parseParams(m_card.params(m_props[i]));
            m_scratch.parsed[i] = 1;
        }
        return m_scratch.params[i];
    }
    QByteArrayView raw(size_t i) const { return m_card.value(m_props[i]); }
    Kind kind(size_t i) const { return m_props[i].kind; }
    QString kept(const QString &text) const { return m_ours ? keptValue(text) : cleanValue(text); }
    QString value(size_t i, const Params &p, bool asciiSafe = false) const
    {
        return kept(decodeText(raw(i), p, m_version, m_unlabelled, asciiSafe));
    }
    QString value(size_t i) const { return value(i, params(i)); }
    QString decoded(QByteArrayView part, const Params &p) const
    {
        return kept(decodeText(part, p, m_version, m_unlabelled));
    }
    // The first `wanted` components of property i, decoded.
    QStringList parts(size_t i, qsizetype wanted = Components::kMost) const
    {
        const Params &p = params(i);
        const Components pieces(raw(i), wanted);
        QStringList out;
        out.reserve(pieces.count);
        for (qsizetype k = 0; k < pieces.count; ++k)
            out << decoded(pieces.parts[k], p);
        return out;
    }
    // Every component, decoded.
    QStringList allParts(size_t i) const
    {
        const Params &p = params(i);
        const QList<QByteArrayView> pieces = components(raw(i));
        QStringList out;
        out.reserve(pieces.size());
        for (QByteArrayView part : pieces)
            out << decoded(part, p);
        return out;
    }
    // Up to a NUL byte, as the report and the labels have always named it.
    static QString latin1(std::string_view text)
    {
        const std::string_view named = text.substr(0, text.find('\0'));
        return QString::fromLatin1(named.data(), qsizetype(named.size()));
    }
    QString group(size_t i) const { return latin1(m_card.group(m_props[i])); }

    QString first(Kind wanted)
    {
        const bool email = wanted == Kind::Email;
        for (size_t i = 0; i < m_props.size(); ++i)
            if (kind(i) == wanted) {
                const QString text = value(i, params(i), email);
                if (text.isEmpty())
                    continue;
                m_used[i] = true;
                return text;
            }
        return QString();
    }

    QString name()
    {
        QString fromFn, fromN;
        size_t lastN = m_props.size();
        for (size_t i = 0; i < m_props.size(); ++i) {
            if (kind(i) == Kind::Fn && fromFn.isEmpty()) {
                fromFn = value(i);
                m_used[i] = true;
            } else if (kind(i) == Kind::N) {
                lastN = i;
            }
        }
        // Each N is taken until one gives a name; the last one need not be
        // read when FN gave the name.
        for (size_t i = 0; i < m_props.size() && i <= lastN && fromN.isEmpty(); ++i) {
            if (kind(i) != Kind::N)
                continue;
            m_used[i] = true;
            if (i == lastN && !fromFn.isEmpty())
                break;
            const QStringList name = parts(i, 2);
            fromN = joinName(name.value(0), name.value(1));
        }
        return fromFn.isEmpty() ? fromN : fromFn;
    }

    // A company's card names it in FN too (iPhone's X-ABShowAs:COMPANY).
    bool isOrganisation(const QString &name)
    {
        for (size_t i = 0; i < m_props.size(); ++i)
            if (kind(i) == Kind::Org)
                return parts(i, 1).value(0) == name;
        return false;
    }

    // A card of a company alone (ORG and no name) is named after it.
    QString organisation()
    {
        for (size_t i = 0; i < m_props.size(); ++i)
            if (kind(i) == Kind::Org) {
                for (const QString &part : allParts(i))
                    if (!part.isEmpty()) {
                        m_used[i] = true;
                        return part;
                    }
            }
        return QString();
    }

    QString groupLabel(size_t i) const
    {
        if (m_labels.isEmpty() || m_props[i].groupSize == 0)
            return QString();
        return m_labels.value(group(i));
    }

    bool isCell(size_t i, const Params &p) const
    {
        if (p.hasType("CELL") || p.hasType("MOBILE") || p.hasType("IPHONE"))
            return true;
        const QString label = groupLabel(i);
        return label.contains(QLatin1String("mobile")) || label.contains(QLatin1String("cell")) ||
               label.contains(QStringLiteral("手机")) || label.contains(QStringLiteral("移动"));
    }

    bool isFax(size_t i, const Params &p) const
    {
        const QString label = groupLabel(i);
        return p.hasType("FAX") || label.contains(QLatin1String("fax")) ||
               label.contains(QStringLiteral("传真"));
    }

    void mapTelephones(rules::ContactInput *fields)
    {
        QList<FoundTelephone> found;
        for (size_t i = 0; i < m_props.size(); ++i) {
            if (kind(i) != Kind::Tel)
                continue;
            const Params &p = params(i);
            const QString value = withoutScheme(this->value(i, p), QStringLiteral("tel"));
            m_used[i] = true;
            const bool cell = isCell(i, p), fax = isFax(i, p);
            if (m_ours || !holdsSeveralNumbers(value)) {
                if (!value.isEmpty())
                    found.append({value, cell, fax});
                continue;
            }
            for (const QString &number : splitNumbers(value))
                found.append({number, cell, fax});
        }
        if (found.isEmpty())
            return;
        ChosenTelephones chosen = chooseTelephones(found);
        fields->mobile = chosen.mobile;
        fields->phone = chosen.phone;
        for (const QString &number : chosen.leftOut) {
            m_summary.drop(QStringLiteral("TEL"));
            m_leftOut << number;
        }
    }

    QString qq()
    {
        for (size_t i = 0; i < m_props.size(); ++i) {
            QString number;
            if (kind(i) == Kind::Qq) {
                number = value(i);
            } else if (kind(i) == Kind::Impp) {
                const Params &p = params(i);
                const QString text = value(i);
                if (text.startsWith(QLatin1String("qq:"), Qt::CaseInsensitive))
                    number = withoutScheme(text, QStringLiteral("qq"));
                else if (p.serviceType == "QQ")
                    number = text.mid(text.lastIndexOf(QLatin1Char(':')) + 1).trimmed();
            }
            if (!number.isEmpty()) {
                m_used[i] = true;
                return number;
            }
        }
        return QString();
    }

    QString labelText(size_t i) const
    {
        const QString text = decodeText(raw(i), params(i), m_version, m_unlabelled);
        return m_ours ? keptValue(text) : cleanAddress(text);
    }

    QString composedAddress(size_t i) const
    {
        // pobox; extended; street; locality; region; postal code; country
        const QStringList p = parts(i, 7);
        return joinAddress(
            {p.value(0), p.value(1), p.value(2), p.value(3), p.value(4), p.value(5), p.value(6)});
    }

    bool sameGroup(size_t a, size_t b) const { return m_card.group(m_props[a]) == m_card.group(m_props[b]); }

    // The LABEL property that formats ADR i: one of its group, else one of
    // its types, else the only one beside the only ADR.
    std::optional<size_t> labelOf(size_t adr, const std::vector<size_t> &adrs,
                                  const std::vector<size_t> &labels) const
    {
        const bool grouped = m_props[adr].groupSize > 0;
        for (size_t l : labels)
            if (grouped && sameGroup(l, adr))
                return l;
        if (!grouped && !params(adr).types.isEmpty()) {
            const QList<QByteArray> types = params(adr).types;
            for (size_t l : labels)
                if (!m_used[l] && m_props[l].groupSize == 0 && params(l).types == types)
                    return l;
        }
        if (adrs.size() == 1 && labels.size() == 1 && !m_used[labels.front()])
            return labels.front();
        return std::nullopt;
    }

    // Each address as one line, a formatted label first; the first is the
    // contact's, the others are left out.
    QString address()
    {
        std::vector<size_t> &adrs = m_scratch.adrs, &labels = m_scratch.labels;
        for (size_t i = 0; i < m_props.size(); ++i) {
            if (kind(i) == Kind::Adr)
                adrs.push_back(i);
            else if (kind(i) == Kind::Label)
                labels.push_back(i);
        }
        if (adrs.empty() && labels.empty())
            return QString();
        QStringList lines;
        for (size_t i : adrs) {
            m_used[i] = true;
            const Params &p = params(i);
            QString line = m_ours ? QString() : cleanAddress(paramText(p.label));
            if (const std::optional<size_t> l = labelOf(i, adrs, labels)) {
                m_used[*l] = true;
                if (line.isEmpty() && !m_ours)
                    line = labelText(*l);
            }
            if (line.isEmpty())
                line = composedAddress(i);
            if (!line.isEmpty())
                lines << line;
        }
        for (size_t l : labels)
            if (!m_used[l]) {
                m_used[l] = true;
                const QString line = labelText(l);
                if (!line.isEmpty())
                    lines << line;
            }
        for (qsizetype k = 1; k < lines.size(); ++k) {
            m_summary.drop(QStringLiteral("ADR"));
            m_leftOut << QStringLiteral("地址 ") + shortened(lines.at(k), kMaxLeftOutAddress);
        }
        return lines.value(0);
    }

    void countDropped()
    {
        for (size_t i = 0; i < m_props.size(); ++i) {
            if (m_used[i] || isStructural(kind(i)) || raw(i).trimmed().isEmpty())
                continue;
            const std::string_view name = m_card.name(m_props[i]);
            m_summary.drop(latin1(name));
            bool binary = false;
            const QString label = propertyLabel(name, &binary);
            const QString text = binary ? QString() : allParts(i).join(QLatin1Char(' ')).trimmed();
            m_leftOut << (text.isEmpty() ? label
                                         : label + QLatin1Char(' ') + shortened(text, kMaxLeftOutValue));
        }
    }

    const Card &m_card;
    const std::vector<Property> &m_props;
    ReadSummary &m_summary;
    const QByteArray &m_unlabelled;
    MapperScratch &m_scratch;
    std::vector<char> &m_used;
    Version m_version = Version::V30;
    bool m_ours = false;
    QHash<QString, QString> m_labels;
    QStringList m_leftOut;
};

// Splits a logical line that starts at offset `at` of text. The name ends at
// the first ';' or ':'; the value follows the first ':' outside a quoted
// parameter value.
bool splitLine(std::string &text, size_t at, Property *property)
{
    const size_t size = text.size();
    size_t nameEnd = at;
    while (nameEnd < size && text[nameEnd] != ';' && text[nameEnd] != ':')
        ++nameEnd;
    if (nameEnd == size)
        return false;
    size_t colon = nameEnd;
    bool quoted = false;
    while (colon < size && (text[colon] != ':' || quoted)) {
        if (text[colon] == '"')
            quoted = !quoted;
        ++colon;
    }
    if (colon == size)
        return false;
    size_t nameStart = at;
    while (nameStart < nameEnd && (text[nameStart] == ' ' || text[nameStart] == '\t'))
        ++nameStart;
    size_t nameStop = nameEnd;
    while (nameStop > nameStart && (text[nameStop - 1] == ' ' || text[nameStop - 1] == '\t'))
        --nameStop;
    // The name is upper-cased where it stands; nothing reads it as written.
    size_t dot = std::string::npos;
    for (size_t i = nameStart; i < nameStop; ++i) {
        char &c = text[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c == '.')
            dot = i;
    }
    property->groupAt = nameStart;
    property->groupSize = dot == std::string::npos ? 0 : dot - nameStart;
    property->nameAt = dot == std::string::npos ? nameStart : dot + 1;
    property->nameSize = nameStop - property->nameAt;
    property->kind = kindOf({text.data() + property->nameAt, property->nameSize});
    property->paramsAt = nameEnd < colon ? nameEnd + 1 : colon;
    property->paramsSize = nameEnd < colon ? colon - nameEnd - 1 : 0;
    property->valueAt = colon + 1;
    property->valueSize = size - colon - 1;
    return true;
}

// In 2.1 a quoted-printable value goes on over the next line when the line
// ends in '=' (a soft break). lastByte is the last byte of the logical line
// so far, -1 once it was cut.
bool endsInSoftBreak(const std::string &line, int lastByte)
{
    if (lastByte != '=')
        return false;
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    QByteArray head = QByteArray(line.data(), qsizetype(colon)).toUpper();
    return head.contains("QUOTED-PRINTABLE");
}

bool isEndOfCard(QByteArrayView line)
{
    return line.trimmed().compare("END:VCARD", Qt::CaseInsensitive) == 0;
}

class VCardParser {
public:
    VCardParser(QIODevice &in, const ContactSink &sink, const QByteArray &unlabelled)
        : m_lines(in, kMaxKeptLine), m_sink(sink), m_unlabelled(unlabelled)
    {
    }

    ReadSummary run()
    {
        bool first = true;
        while (nextLogicalLine()) {
            if (first && m_line.size() >= 3 && m_line.compare(0, 3, "\xEF\xBB\xBF") == 0)
                m_line.erase(0, 3);
            first = false;
            if (!handle())
                break;
        }
        if (m_inCard && !m_summary.stopped)
            finishCard();
        if (!m_sawCard) {
            m_summary.refused = true;
            m_summary.refusal = QStringLiteral("文件中没有 vCard 名片（BEGIN:VCARD）。");
        }
        return m_summary;
    }

private:
    bool nextLogicalLine()
    {
        QByteArrayView physical;
        if (!m_lines.next(&physical))
            return false;
        m_line.clear();
        m_lineCut = false;
        int lastByte = append(physical);
        for (;;) {
            const int following = m_lines.peek();
            // A soft break takes the next line as it is: Outlook breaks
            // "Land Firma" as "Land=" and " Firma", the space its own.
            const bool softBreak = following >= 0 && endsInSoftBreak(m_line, lastByte);
            if (!softBreak && (following == ' ' || following == '\t')) {
                m_lines.next(&physical);
                lastByte = append(physical.sliced(1));
            } else if (softBreak) {
                m_lines.next(&physical);
                if (isEndOfCard(physical)) {
                    m_pendingEnd = true;
                    return true;
                }
                if (!m_lineCut)
                    m_line.pop_back(); // the '=' of the soft break
                lastByte = append(physical);
            } else {
                return true;
            }
        }
    }

    // Adds a physical line to the logical one, as far as it is kept; gives
    // the last byte of the logical line, or -1 once it was cut (its end is
    // not known).
    int append(QByteArrayView physical)
    {
        const size_t room = size_t(kMaxKeptLine) - std::min(m_line.size(), size_t(kMaxKeptLine));
        const size_t size = size_t(physical.size());
        m_line.append(physical.data(), std::min(size, room));
        if (size > room || m_lines.lineWasCut())
            m_lineCut = true;
        if (m_lineCut || m_line.empty())
            return -1;
        return static_cast<unsigned char>(m_line.back());
    }

    // False when the sink asked to stop.
    bool handle()
    {
        bool keepGoing = handleLine();
        if (m_pendingEnd) {
            m_pendingEnd = false;
            m_line = "END:VCARD";
            m_lineCut = false;
            keepGoing = keepGoing && handleLine();
        }
        return keepGoing;
    }

    bool handleLine()
    {
        // The line goes onto the end of the card's text; it stays there only
        // when it is a property of the card.
        const size_t at = m_card.text.size();
        m_card.text += m_line;
        Property property;
        if (!splitLine(m_card.text, at, &property)) {
            m_card.text.resize(at);
            return true;
        }
        const QByteArrayView value = m_card.value(property);
        if (property.kind == Kind::Begin && isVCardWord(value)) {
            m_card.text.resize(at);
            if (m_nested > 0 || (m_inCard && followsAgent())) {
                ++m_nested;
                return true;
            }
            // A card that begins before the last one ended: that one ended
            // without its END line.
            if (m_inCard && !finishCard())
                return false;
            startCard();
            return true;
        }
        if (property.kind == Kind::End && isVCardWord(value) && m_inCard) {
            m_card.text.resize(at);
            if (m_nested > 0) {
                --m_nested;
                return true;
            }
            return finishCard();
        }
        if (!m_inCard || m_nested > 0) {
            m_card.text.resize(at);
            return true;
        }
        if (m_card.kept() + sizeof(Property) > size_t(kMaxKeptRecord)) {
            m_card.text.resize(at);
            m_card.cut = true;
            return true;
        }
        property.cut = m_lineCut;
        m_card.properties.push_back(std::move(property));
        return true;
    }

    // 2.1 nests the card of an AGENT right after its empty value.
    bool followsAgent() const
    {
        if (m_card.properties.empty())
            return false;
        const Property &last = m_card.properties.back();
        return last.kind == Kind::Agent && m_card.value(last).trimmed().isEmpty();
    }

    void startCard()
    {
        m_inCard = true;
        m_sawCard = true;
        m_nested = 0;
        m_card.clear();
    }

    bool finishCard()
    {
        m_inCard = false;
        ReadContact contact;
        CardMapper mapper(m_card, m_summary, m_unlabelled, m_scratch);
        contact.fields = mapper.map();
        contact.cut = mapper.cut();
        contact.leftOut = mapper.leftOut();
        contact.number = ++m_cardNumber;
        m_card.clear();
        ++m_summary.contacts;
        if (!m_sink(std::move(contact))) {
            m_summary.stopped = true;
            return false;
        }
        return true;
    }

    LineReader m_lines;
    const ContactSink &m_sink;
    const QByteArray m_unlabelled;
    ReadSummary m_summary;
    std::string m_line;
    bool m_lineCut = false;
    Card m_card;
    MapperScratch m_scratch;
    bool m_inCard = false;
    bool m_sawCard = false;
    bool m_pendingEnd = false;
    int m_nested = 0;
    int m_cardNumber = 0;
};

} // namespace

ReadSummary readVCards(QIODevice &in, const ContactSink &sink)
{
    const FileEncoding encoding = detectEncoding(in);
    ReadSummary summary;
    if (encoding.isUtf16()) {
        in.skip(encoding.bom);
        Utf16AsUtf8 utf8(in, encoding.name);
        summary = VCardParser(utf8, sink, "UTF-8").run();
    } else {
        summary = VCardParser(in, sink, encoding.isUtf8() ? QByteArray("GB18030") : encoding.name).run();
    }
    summary.encoding = QString::fromLatin1(encoding.name);
    return summary;
}

ReadSummary readVCardBytes(const QByteArray &bytes, const ContactSink &sink)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readVCards(buffer, sink);
}

bool looksLikeVCard(const QByteArray &head)
{
    QByteArray text = head.startsWith("\xEF\xBB\xBF") ? head.mid(3) : head;
    const FileEncoding encoding = detectEncoding(head);
    if (encoding.isUtf16())
        text = QString(QStringDecoder(encoding.name.constData()).decode(head.sliced(encoding.bom))).toUtf8();
    return text.trimmed().left(11).toUpper() == "BEGIN:VCARD";
}

} // namespace quennet::exchange
