#include "exchange/CsvReader.h"

#include "contacts/store/Contact.h"
#include "exchange/ContactText.h"
#include "exchange/TextEncoding.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <utility>

namespace quennet::exchange {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
constexpr qsizetype kMaxLeftOutValue = 40;
constexpr qsizetype kMaxLeftOutAddress = 120;

// What a column of a heading row holds.
enum class Role {
    Dropped, // no field here: left out, by its heading
    Ignored, // says how another column is meant (types, labels)
    Name,    // the whole name as shown
    Given,
    Middle,
    Family,
    GivenOrName, // 名字: the given name beside a family name column, else the name
    Nickname,
    Organisation,
    Phone,
    PhoneType, // Google: the kind of the phone value of the same number
    PhoneValue,
    Email,
    QQ,
    ImService, // Google: the service of the IM value of the same number
    ImValue,
    Address,         // the whole address in one
    AddressPart,     // one part of an address
    StreetOrAddress, // the street when other parts of its address are there, else all of it
};

enum AddressPart { PoBox, Extended, Street, City, Region, Postcode, Country };

struct Column {
    Role role = Role::Dropped;
    int group = 0; // which address, phone or IM of the row
    int part = 0;  // AddressPart
    bool cell = false, fax = false;
};

constexpr int kHomeGroup = 1001, kWorkGroup = 1002, kOtherGroup = 1003;

// Lower case, without the spaces and punctuation that the programs put in
// their headings in different ways ("E-mail 1 - Value", "Home ZipCode").
QString normalisedHeading(const QString &heading)
{
    static const QString skipped = QStringLiteral(" -_.:：()（）'’\t");
    QString out;
    out.reserve(heading.size());
    for (const QChar c : heading)
        if (!skipped.contains(c))
            out += c.toLower();
    return out;
}

bool containsAny(const QString &text, std::initializer_list<const char *> words)
{
    for (const char *word : words)
        if (text.contains(QString::fromUtf8(word)))
            return true;
    return false;
}

bool startsWithAny(QString *text, std::initializer_list<const char *> words)
{
    for (const char *word : words) {
        const QString w = QString::fromUtf8(word);
        if (text->startsWith(w) && text->size() > w.size()) {
            text->remove(0, w.size());
            return true;
        }
    }
    return false;
}

// The part of an address that a heading names, without its address's kind
// ("Home", "住宅地址", "家庭所在"); -1 for none.
int addressPart(const QString &h)
{
    if (containsAny(h, {"pobox", "postofficebox", "邮政信箱"}))
        return PoBox;
    if (containsAny(h, {"postalcode", "postcode", "zip", "邮政编码", "邮编"}))
        return Postcode;
    if (containsAny(h, {"country", "国家"}))
        return Country;
    // Chinese words only as headings write them, never as in an address.
    if (containsAny(h, {"state", "region", "province", "省/", "/省", "州/", "省份"}) ||
        h == QStringLiteral("省"))
        return Region;
    if (containsAny(h, {"city", "town", "locality", "城市", "市/县"}) || h == QStringLiteral("市"))
        return City;
    if (containsAny(h, {"extendedaddress", "street2", "street3", "address2", "address3", "街道2", "街道3",
                        "地址2", "地址3", "住址2", "住址3"}))
        return Extended;
    if (containsAny(h, {"street", "街道"}))
        return Street;
    return -1;
}

Column googleColumn(const QString &kind, int number, const QString &what)
{
    Column c;
    c.group = number;
    if (what == QLatin1String("type") || what == QLatin1String("label")) {
        c.role = kind == QLatin1String("phone") ? Role::PhoneType : Role::Ignored;
        return c;
    }
    if (kind == QLatin1String("phone") && what == QLatin1String("value"))
        c.role = Role::PhoneValue;
    else if (kind == QLatin1String("email") &&
             (what == QLatin1String("value") || what == QLatin1String("address") || what.isEmpty()))
        c.role = Role::Email;
    else if (kind == QLatin1String("im") && what == QLatin1String("service"))
        c.role = Role::ImService;
    else if (kind == QLatin1String("im") && what == QLatin1String("value"))
        c.role = Role::ImValue;
    else if (kind == QLatin1String("organization") && what == QLatin1String("name"))
        c.role = Role::Organisation;
    else if (kind == QLatin1String("address") && what == QLatin1String("formatted"))
        c.role = Role::Address;
    else if (kind == QLatin1String("address")) {
        const int part = addressPart(what);
        if (part >= 0) {
            c.role = Role::AddressPart;
            c.part = part;
        }
    }
    return c;
}

// What a heading names, as Google, Outlook, Thunderbird, Apple and
// spreadsheets write them in English and Chinese.
Column classify(const QString &heading)
{
    static const QHash<QString, Role> exact = [] {
        QHash<QString, Role> t;
        auto add = [&t](Role role, const char *names) {
            for (const QString &name : QString::fromUtf8(names).split(QLatin1Char('|')))
                t.insert(name, role);
        };
        add(Role::Name, "name|fullname|displayname|姓名|显示名称|联系人|联系人姓名|名称|全名");
        add(Role::Given, "firstname|givenname|first|given|名");
        add(Role::GivenOrName, "名字");
        add(Role::Middle, "middlename|additionalname|middle|中间名");
        add(Role::Family, "lastname|familyname|surname|last|family|姓|姓氏");
        add(Role::Nickname, "nickname|昵称|别名");
        add(Role::Organisation, "company|organization|organisation|organizationname|单位|公司|工作单位|"
                                "公司名称|组织");
        add(Role::QQ, "qq|qq号|qq号码");
        // Outlook writes these on every row whatever the contact holds.
        add(Role::Ignored, "priority|private|sensitivity|优先级|私有|敏感度|序号|编号");
        add(Role::Ignored, "fileas|groupmembership|labels|emailtype|emaildisplayname|email2type|"
                           "email2displayname|email3type|"
                           "email3displayname|电子邮件类型|电子邮件显示名称|电子邮件2类型|电子邮件2显示名称|"
                           "电子邮件3类型|电子邮件3显示名称");
        return t;
    }();
    Column c;
    const QString h = normalisedHeading(heading);
    if (h.isEmpty())
        return c;
    const auto found = exact.constFind(h);
    if (found != exact.cend()) {
        c.role = *found;
        return c;
    }
    static const QRegularExpression google(
        QStringLiteral("^(phone|email|im|address|organization|website|relation|event|customfield|externalid)"
                       "(\\d+)(.*)$"));
    const QRegularExpressionMatch m = google.match(h);
    if (m.hasMatch())
        return googleColumn(m.captured(1), m.captured(2).toInt(), m.captured(3));
    if (containsAny(h, {"email", "电子邮件", "邮箱", "邮件"})) {
        c.role = containsAny(h, {"type", "label", "displayname", "类型", "显示名称"}) ? Role::Ignored
                                                                                      : Role::Email;
        return c;
    }
    if (h.startsWith(QLatin1String("qq"))) {
        c.role = Role::QQ;
        return c;
    }
    if (!containsAny(h, {"telex", "telegram", "hotel"}) &&
        containsAny(
            h, {"phone", "tel", "mobile", "cell", "fax", "pager", "电话", "手机", "传真", "寻呼", "移动"})) {
        c.role = containsAny(h, {"type", "label", "类型"}) ? Role::Ignored : Role::Phone;
        c.cell = containsAny(h, {"mobile", "cell", "iphone", "手机", "移动"});
        c.fax = containsAny(h, {"fax", "传真"});
        return c;
    }
    QString rest = h;
    if (startsWithAny(&rest, {"home", "住宅", "家庭", "私人"}))
        c.group = kHomeGroup;
    else if (startsWithAny(&rest, {"business", "work", "office", "商务", "工作", "单位", "公司"}))
        c.group = kWorkGroup;
    else if (startsWithAny(&rest, {"other", "其他", "其它"}))
        c.group = kOtherGroup;
    startsWithAny(&rest, {"所在"});
    const bool addressWord = containsAny(rest, {"address", "street", "地址", "住址", "街道"});
    const int part = addressPart(rest);
    if (part >= 0 && (c.group != 0 || addressWord || part != Extended)) {
        c.role = Role::AddressPart;
        c.part = part;
    } else if (addressWord || rest == QLatin1String("addr")) {
        c.role = Role::StreetOrAddress;
    }
    return c;
}

// Decodes the chunks of a file one after the other. The decoders do not
// always treat a broken sequence that two chunks share as they would the
// same bytes in one piece (Qt's UTF-8 decoder loses the byte after it, the
// GB18030 one resynchronises elsewhere). So a chunk is decoded up to its last
// byte that no multi-byte sequence can hold (below 0x80 in UTF-8, below 0x30
// in GB18030: line ends, separators, quotes, spaces) and the rest goes with
// the next chunk, while the rest is small.
class ChunkDecoder {
public:
    explicit ChunkDecoder(const QByteArray &encoding)
        : m_decoder(encoding.constData()), m_boundary(boundaryFor(encoding))
    {
    }

    // An empty chunk (the end of the file) decodes what was held back.
    QString decode(const QByteArray &chunk)
    {
        QByteArray bytes = m_carry + chunk;
        m_carry.clear();
        if (m_boundary > 0 && !chunk.isEmpty()) {
            qsizetype cut = bytes.size();
            while (cut > 0 && bytes.size() - cut <= kMaxCarry &&
                   static_cast<unsigned char>(bytes.at(cut - 1)) >= m_boundary)
                --cut;
            if (bytes.size() - cut <= kMaxCarry) {
                m_carry = bytes.sliced(cut);
                bytes.truncate(cut);
            }
        }
        return bytes.isEmpty() ? QString() : m_decoder.decode(bytes);
    }

private:
    static constexpr qsizetype kMaxCarry = 64 * 1024;

    // Bytes below this value end every sequence; 0 for UTF-16, whose
    // decoder keeps a split pair of bytes itself, and for 8-bit ones.
    static unsigned char boundaryFor(const QByteArray &encoding)
    {
        if (encoding == "UTF-8")
            return 0x80;
        if (encoding == "GB18030")
            return 0x30;
        if (isMultiByteLegacy(encoding) || encoding.startsWith("EUC"))
            return 0x40;
        return 0;
    }

    QStringDecoder m_decoder;
    unsigned char m_boundary;
    QByteArray m_carry;
};

// Where the first record ends: its first line end outside quotes; -1 when
// the text does not hold it yet.
qsizetype firstRecordEnd(QStringView text)
{
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            return i;
    }
    return -1;
}

// The separator that the first record (outside quotes) holds most of.
QChar detectSeparator(QStringView text)
{
    const qsizetype end = firstRecordEnd(text);
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : end < 0 ? text : text.left(end)) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char(','))
            ++commas;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char('\t'))
            ++tabs;
    }
    if (tabs > commas && tabs >= semicolons)
        return QLatin1Char('\t');
    if (semicolons > commas)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

// Our CSV writer puts an apostrophe before a value that a spreadsheet would
// run as a formula; reading takes it off again.
QString withoutFormulaGuard(const QString &value)
{
    if (value.size() >= 2 && value.at(0) == QLatin1Char('\'')) {
        const QChar next = value.at(1);
        if (next == QLatin1Char('=') || next == QLatin1Char('+') || next == QLatin1Char('-') ||
            next == QLatin1Char('@'))
            return value.mid(1);
    }
    return value;
}

// Splits decoded text into records, fed in pieces of any size. A field or a
// record longer than the reader keeps is cut, and the record says so.
class CsvSplitter {
public:
    explicit CsvSplitter(QChar separator) : m_separator(separator) {}

    template <typename OnRecord> bool feed(QStringView text, OnRecord &&onRecord)
    {
        const QChar *at = text.begin();
        const QChar *const end = text.end();
        while (at != end) {
            const QChar c = *at;
            if (m_quoted) {
                if (m_quoteSeen) {
                    m_quoteSeen = false;
                    if (c == QLatin1Char('"')) {
                        add(at, at + 1);
                        ++at;
                        continue;
                    }
                    m_quoted = false; // the closing quote; c is handled below
                } else {
                    // Up to the next quote everything is the field's.
                    const QChar *quote = std::find(at, end, QLatin1Char('"'));
                    add(at, quote);
                    m_quoteSeen = quote != end;
                    at = quote == end ? end : quote + 1;
                    continue;
                }
            }
            if (m_afterCr) {
                m_afterCr = false;
                if (c == QLatin1Char('\n')) {
                    ++at;
                    continue;
                }
            }
            if (c == QLatin1Char('"') && m_field.isEmpty() && !m_fieldQuoted) {
                m_quoted = true;
                m_fieldQuoted = true;
                ++at;
            } else if (c == m_separator) {
                endField();
                ++at;
            } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                m_afterCr = c == QLatin1Char('\r');
                ++at;
                if (!endRecord(onRecord))
                    return false;
            } else {
                // The field goes on to the next separator or line end; a
                // quote inside it is one of its characters.
                const QChar *stop = std::find_if(at + 1, end, [this](QChar next) {
                    return next == m_separator || next == QLatin1Char('\r') || next == QLatin1Char('\n');
                });
                add(at, stop);
                at = stop;
            }
        }
        return true;
    }

    template <typename OnRecord> bool finish(OnRecord &&onRecord)
    {
        m_quoted = false;
        if (m_field.isEmpty() && m_record.isEmpty() && !m_fieldQuoted)
            return true;
        return endRecord(onRecord);
    }

private:
    // What a field costs besides its characters, counted in characters.
    static constexpr qsizetype kFieldCost = qsizetype(sizeof(QString) / sizeof(QChar));

    void add(const QChar *from, const QChar *to)
    {
        qsizetype count = to - from;
        if (m_field.size() + count > kMaxKeptLine) {
            count = std::max<qsizetype>(kMaxKeptLine - m_field.size(), 0);
            m_cut = true;
        }
        m_field.append(from, count);
    }

    void endField()
    {
        m_recordKept += m_field.size() + kFieldCost;
        if (m_recordKept <= kMaxKeptRecord)
            m_record << m_field;
        else
            m_cut = true;
        m_field.clear();
        m_fieldQuoted = false;
    }

    template <typename OnRecord> bool endRecord(OnRecord &&onRecord)
    {
        endField();
        const bool cut = m_cut;
        m_cut = false;
        m_recordKept = 0;
        const bool goOn = onRecord(std::as_const(m_record), cut);
        m_record.clear(); // keeps its room for the next record
        return goOn;
    }

    QChar m_separator;
    QString m_field;
    QStringList m_record;
    bool m_quoted = false;
    bool m_quoteSeen = false;
    bool m_fieldQuoted = false;
    bool m_afterCr = false;
    bool m_cut = false;
    qsizetype m_recordKept = 0;
};

bool looksLikeData(const QString &value)
{
    int digits = 0;
    for (const QChar c : value)
        digits += c.isDigit() ? 1 : 0;
    return digits >= 5 || value.contains(QLatin1Char('@'));
}

// One e-mail address and nothing else ("john@example.com").
bool looksLikeEmail(const QString &value)
{
    const qsizetype at = value.indexOf(QLatin1Char('@'));
    if (at <= 0 || value.indexOf(QLatin1Char('@'), at + 1) >= 0 ||
        value.indexOf(QLatin1Char('.'), at + 2) < 0)
        return false;
    return std::none_of(value.begin(), value.end(),
                        [](QChar c) { return c.isSpace() || c == QLatin1Char(','); });
}

class CsvMapper {
public:
    CsvMapper(const ContactSink &sink, ReadSummary &summary, const QByteArray &encoding)
        : m_sink(sink), m_summary(summary), m_encoding(encoding)
    {
    }

    bool take(const QStringList &record, bool cut)
    {
        if (!cut && isBlank(record))
            return true;
        if (!m_started && isSeparatorLine(record))
            return true;
        if (!m_held.isEmpty()) {
            m_held.append({record, cut});
            return m_held.size() <= kRowsJudgedBy || takeHeld();
        }
        if (!m_started) {
            m_started = true;
            switch (readHeading(record)) {
            case FirstRow::Heading:
                return true;
            case FirstRow::Unsure:
                m_held.append({record, cut});
                return true;
            case FirstRow::Data:
                readByPosition();
                break;
            }
        }
        return add(record, cut);
    }

    // The end of the file: a first row still held is judged on the rows
    // that came after it.
    bool finish() { return m_held.isEmpty() || takeHeld(); }

    bool sawHeading() const { return !m_headings.isEmpty(); }

private:
    enum class FirstRow { Heading, Data, Unsure };
    struct HeldRow {
        QStringList record;
        bool cut;
    };
    // A first row of names none of which we know is judged on this many rows
    // after it at most.
    static constexpr qsizetype kRowsJudgedBy = 20;

    void readByPosition()
    {
        for (Role role : {Role::Name, Role::Phone, Role::Phone, Role::QQ, Role::Email, Role::Address})
            m_columns << Column{role, 0, 0, false, false};
        m_columns[2].cell = true;
        m_byPosition = true;
    }

    bool takeHeld()
    {
        const QList<HeldRow> held = std::exchange(m_held, {});
        QList<QStringList> below;
        for (qsizetype k = 1; k < held.size(); ++k)
            below << held.at(k).record;
        qsizetype from = 1;
        if (headsColumns(held.first().record, below)) {
            useHeading(held.first().record, QList<Column>(held.first().record.size()));
        } else {
            readByPosition();
            from = 0;
        }
        for (qsizetype k = from; k < held.size(); ++k) {
            if (!add(held.at(k).record, held.at(k).cut))
                return false;
        }
        return true;
    }

    bool add(const QStringList &record, bool cut)
    {
        ReadContact contact;
        contact.number = ++m_rowNumber;
        contact.fields = m_ours ? ours(record) : map(record, &contact.leftOut);
        contact.cut = cut;
        ++m_summary.contacts;
        if (!m_sink(std::move(contact))) {
            m_summary.stopped = true;
            return false;
        }
        return true;
    }

    // Excel's "sep=;" line before the heading names the separator, which
    // was taken from it already.
    static bool isSeparatorLine(const QStringList &record)
    {
        const QString first = record.value(0).trimmed();
        return record.size() <= 2 && first.size() <= 5 &&
               first.startsWith(QLatin1String("sep="), Qt::CaseInsensitive) && record.value(1).isEmpty();
    }

    static bool isBlank(const QStringList &record)
    {
        for (const QString &value : record)
            if (!value.trimmed().isEmpty())
                return false;
        return true;
    }

    // A first row is a heading when it names a column we know (two when it
    // holds something that looks like a contact's data: a number, an
    // e-mail). A row of two names or more, none of which we know and none
    // like data, is judged on the rows after it (headsColumns).
    FirstRow readHeading(const QStringList &record)
    {
        if (record == contactFieldNames()) {
            m_ours = true;
            m_headings = record;
            return FirstRow::Heading;
        }
        QList<Column> columns;
        bool data = false;
        int known = 0, filled = 0;
        for (const QString &heading : record) {
            // A telephone number or an e-mail is no heading, whatever its words.
            const bool value = looksLikeData(heading);
            const Column column = value ? Column{} : classify(heading);
            known += column.role != Role::Dropped ? 1 : 0;
            data = data || value;
            filled += heading.trimmed().isEmpty() ? 0 : 1;
            columns << column;
        }
        // A row of data may hold a word that a heading holds too.
        if (data ? known < 2 : known == 0 && filled < 2)
            return FirstRow::Data;
        if (known == 0)
            return FirstRow::Unsure;
        useHeading(record, columns);
        return FirstRow::Heading;
    }

    // Whether a first row of words none of which we know names the columns
    // of the rows below it, or is a row of data like them. Words over
    // numbers or e-mails are a heading. Otherwise each word is set against
    // the values below it: like them when they are all in its script (Han
    // or not) and it is at most twice as long or short as they are; unlike
    // them, a vote for a heading. The row is a heading when more words are
    // unlike than like their values; alone in its file it is a contact.
    static bool headsColumns(const QStringList &first, const QList<QStringList> &below)
    {
        int votes = 0;
        for (qsizetype c = 0; c < first.size(); ++c) {
            const QString word = first.at(c).trimmed();
            if (word.isEmpty())
                continue;
            bool sameScript = true;
            qsizetype shortest = -1, longest = 0;
            for (const QStringList &row : below) {
                const QString value = row.value(c).trimmed();
                if (value.isEmpty())
                    continue;
                if (looksLikeData(value))
                    return true;
                sameScript = sameScript && hasChinese(value) == hasChinese(word);
                shortest = shortest < 0 ? value.size() : std::min(shortest, value.size());
                longest = std::max(longest, value.size());
            }
            if (shortest < 0)
                continue;
            const bool like = sameScript && 2 * word.size() >= shortest && word.size() <= 2 * longest;
            votes += like ? -1 : 1;
        }
        return votes > 0;
    }

    void useHeading(const QStringList &record, QList<Column> columns)
    {
        bool family = false;
        for (const Column &c : columns)
            family = family || c.role == Role::Family;
        // A street column is the whole address unless other parts of it are there.
        for (Column &c : columns) {
            if (c.role == Role::GivenOrName)
                c.role = family ? Role::Given : Role::Name;
            if (c.role != Role::StreetOrAddress)
                continue;
            bool parts = false;
            for (const Column &other : columns)
                parts = parts || (other.role == Role::AddressPart && other.group == c.group);
            c.role = parts ? Role::AddressPart : Role::Address;
            c.part = Street;
        }
        m_columns = columns;
        for (const QString &heading : record)
            m_headings << heading.trimmed();
    }

    // Our own export: the six fields in order, every value as written.
    rules::ContactInput ours(const QStringList &record) const
    {
        const auto at = [&record](int i) { return keptValue(withoutFormulaGuard(record.value(i))); };
        rules::ContactInput fields{0, at(0), at(1), at(2), at(3), at(4), at(5)};
        if (looksLikeChineseMobile(fields.mobile))
            fields.mobile = mobileDigits(fields.mobile);
        return fields;
    }

    struct Address {
        int group;
        QString whole;
        AddressParts parts;
    };

    static QString *partOf(AddressParts &parts, int part)
    {
        switch (part) {
        case PoBox:
            return &parts.poBox;
        case Extended:
            return &parts.extended;
        case City:
            return &parts.city;
        case Region:
            return &parts.region;
        case Postcode:
            return &parts.postcode;
        case Country:
            return &parts.country;
        default:
            return &parts.street;
        }
    }

    static Address &addressOf(QList<Address> &addresses, int group)
    {
        for (Address &a : addresses)
            if (a.group == group)
                return a;
        addresses.append({group, {}, {}});
        return addresses.last();
    }

    static void appendPart(QString *to, const QString &value)
    {
        if (!to->isEmpty())
            *to += QLatin1Char(' ');
        *to += value;
    }

    rules::ContactInput map(const QStringList &record, QStringList *leftOut)
    {
        QString name, given, middle, family, nickname, organisation;
        qsizetype organisationColumn = -1, nicknameColumn = -1;
        QStringList emails, qqs;
        QList<FoundTelephone> telephones;
        QList<Address> addresses;
        QHash<int, QString> phoneTypes, imServices;
        for (qsizetype i = 0; i < record.size() && i < m_columns.size(); ++i) {
            const Column &c = m_columns.at(i);
            if (c.role == Role::PhoneType)
                phoneTypes.insert(c.group, record.at(i).toLower());
            else if (c.role == Role::ImService)
                imServices.insert(c.group, record.at(i).toLower());
        }
        QStringList dropped;
        for (qsizetype i = 0; i < record.size(); ++i) {
            const QString value = cleanValue(withoutFormulaGuard(record.at(i)));
            if (value.isEmpty())
                continue;
            Column c = i < m_columns.size() ? m_columns.at(i) : Column{};
            // Read by position, an e-mail address is one wherever it stands
            // (name, first, last, e-mail in a headerless export).
            if (m_byPosition && c.role != Role::Email && i > 0 && looksLikeEmail(value))
                c.role = Role::Email;
            switch (c.role) {
            case Role::Dropped:
                // Outlook's gender of every contact that has none.
                if (value == QLatin1String("Unspecified") || value == QStringLiteral("未指定"))
                    break;
                m_summary.drop(columnName(i));
                dropped << columnName(i) + QLatin1Char(' ') + shortened(value, kMaxLeftOutValue);
                break;
            case Role::Ignored:
            case Role::PhoneType:
            case Role::ImService:
                break;
            case Role::Name:
            case Role::GivenOrName:
                if (name.isEmpty())
                    name = value;
                break;
            case Role::Given:
                given = given.isEmpty() ? value : given;
                break;
            case Role::Middle:
                middle = middle.isEmpty() ? value : middle;
                break;
            case Role::Family:
                family = family.isEmpty() ? value : family;
                break;
            case Role::Nickname:
                nickname = value;
                nicknameColumn = i;
                break;
            case Role::Organisation:
                if (organisation.isEmpty()) {
                    organisation = value;
                    organisationColumn = i;
                } else {
                    m_summary.drop(columnName(i));
                    dropped << columnName(i) + QLatin1Char(' ') + shortened(value, kMaxLeftOutValue);
                }
                break;
            case Role::Phone:
            case Role::PhoneValue: {
                const QString type = phoneTypes.value(c.group);
                const bool cell = c.cell || containsAny(type, {"mobile", "cell", "手机", "移动"});
                const bool fax = c.fax || type.contains(QLatin1String("fax"));
                for (const QString &number : splitNumbers(value))
                    telephones.append({number, cell, fax});
                break;
            }
            case Role::Email:
                for (const QString &email : value.split(QStringLiteral(":::"), Qt::SkipEmptyParts))
                    if (!email.trimmed().isEmpty())
                        emails << keepingAscii(email.trimmed(), m_encoding);
                break;
            case Role::QQ:
                qqs << value;
                break;
            case Role::ImValue:
                if (imServices.value(c.group).contains(QLatin1String("qq")))
                    qqs << value;
                else
                    dropped << QStringLiteral("即时通讯 ") + shortened(value, kMaxLeftOutValue);
                break;
            case Role::Address:
                addressOf(addresses, c.group).whole = cleanAddress(withoutFormulaGuard(record.at(i)));
                break;
            case Role::AddressPart:
            case Role::StreetOrAddress:
                appendPart(partOf(addressOf(addresses, c.group).parts, c.part), value);
                break;
            }
        }
        rules::ContactInput fields;
        if (given.isEmpty() || middle.isEmpty())
            given += middle;
        else
            given += (hasChinese(given) ? QString() : QStringLiteral(" ")) + middle;
        fields.name = !name.isEmpty()                         ? name
                      : !given.isEmpty() || !family.isEmpty() ? joinName(family, given)
                      : !nickname.isEmpty()                   ? nickname
                                                              : organisation;
        if (fields.name != nickname && !nickname.isEmpty()) {
            m_summary.drop(columnName(nicknameColumn));
            dropped.prepend(columnName(nicknameColumn) + QLatin1Char(' ') +
                            shortened(nickname, kMaxLeftOutValue));
        }
        if (fields.name != organisation && !organisation.isEmpty()) {
            m_summary.drop(columnName(organisationColumn));
            dropped.prepend(QStringLiteral("单位 ") + shortened(organisation, kMaxLeftOutValue));
        }
        ChosenTelephones chosen = chooseTelephones(telephones);
        fields.mobile = chosen.mobile;
        fields.phone = chosen.phone;
        *leftOut << chosen.leftOut;
        fields.email = emails.value(0);
        for (qsizetype k = 1; k < emails.size(); ++k)
            *leftOut << QStringLiteral("Email ") + emails.at(k);
        fields.qq = qqs.value(0);
        for (qsizetype k = 1; k < qqs.size(); ++k)
            *leftOut << QStringLiteral("QQ ") + qqs.at(k);
        // A home address before the others.
        std::stable_sort(addresses.begin(), addresses.end(), [](const Address &a, const Address &b) {
            return (a.group == kHomeGroup) > (b.group == kHomeGroup);
        });
        QStringList lines;
        for (const Address &a : addresses) {
            const QString line = a.whole.isEmpty() ? joinAddress(a.parts) : a.whole;
            if (!line.isEmpty())
                lines << line;
        }
        fields.address = lines.value(0);
        for (qsizetype k = 1; k < lines.size(); ++k)
            *leftOut << QStringLiteral("地址 ") + shortened(lines.at(k), kMaxLeftOutAddress);
        // The second numbers and addresses count under what they are.
        for (const QString &entry : std::as_const(*leftOut))
            m_summary.drop(entry.section(QLatin1Char(' '), 0, 0));
        *leftOut << dropped;
        return fields;
    }

    QString columnName(qsizetype i) const
    {
        const QString heading = m_headings.value(i);
        return heading.isEmpty() ? QStringLiteral("第%1列").arg(i + 1) : heading;
    }

    const ContactSink &m_sink;
    ReadSummary &m_summary;
    const QByteArray m_encoding;
    QList<Column> m_columns;
    QStringList m_headings;
    QList<HeldRow> m_held;
    bool m_started = false;
    bool m_ours = false;
    bool m_byPosition = false;
    int m_rowNumber = 0;
};

} // namespace

ReadSummary readCsv(QIODevice &in, const ContactSink &sink)
{
    ReadSummary summary;
    const FileEncoding encoding = detectEncoding(in);
    in.skip(encoding.bom);
    summary.encoding = QString::fromLatin1(encoding.name);
    ChunkDecoder decoder(encoding.name);
    CsvMapper mapper(sink, summary, encoding.name);
    auto onRecord = [&mapper](const QStringList &record, bool cut) { return mapper.take(record, cut); };
    std::optional<CsvSplitter> splitter;
    QString head; // decoded text held until the first line is complete
    for (;;) {
        const QByteArray chunk = in.read(kChunkBytes);
        const bool atEnd = chunk.isEmpty();
        const QString text = decoder.decode(chunk);
        if (!splitter) {
            head += text;
            // The separator is judged on the first record, or on as much of
            // a long one as is kept: the same text however the file is read.
            if (firstRecordEnd(head) < 0 && !atEnd && head.size() < kMaxKeptLine)
                continue;
            splitter.emplace(detectSeparator(QStringView(head).left(kMaxKeptLine)));
            const bool goOn = splitter->feed(head, onRecord);
            head.clear();
            if (!goOn)
                break;
        } else if (!splitter->feed(text, onRecord)) {
            break;
        }
        if (atEnd) {
            if (splitter->finish(onRecord))
                mapper.finish();
            break;
        }
    }
    if (summary.contacts == 0 && !mapper.sawHeading()) {
        summary.refused = true;
        summary.refusal = QStringLiteral("文件中没有可以读入的联系人。");
    }
    return summary;
}

ReadSummary readCsvBytes(const QByteArray &bytes, const ContactSink &sink)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readCsv(buffer, sink);
}

} // namespace quennet::exchange
