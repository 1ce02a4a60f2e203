#include "exchange/ContactText.h"

#include "contacts/Utf8.h"

#include <algorithm>

#include <QStringDecoder>
#include <QStringList>
#include <QVarLengthArray>

namespace quennet::exchange {

namespace {

// Two-character surnames that a split after the first character would break.
const QStringList &compoundSurnames()
{
    static const QStringList names =
        QStringLiteral("欧阳 司马 上官 诸葛 东方 皇甫 尉迟 公孙 慕容 长孙 宇文 司徒 夏侯 轩辕 令狐 端木 "
                       "独孤 南宫 西门 百里 呼延 万俟 闻人 赫连 澹台 公冶 太叔 申屠 钟离 拓跋")
            .split(QLatin1Char(' '));
    return names;
}

const QList<QByteArray> &compoundSurnamesUtf8()
{
    static const QList<QByteArray> names = [] {
        QList<QByteArray> utf8;
        for (const QString &surname : compoundSurnames())
            utf8.append(surname.toUtf8());
        return utf8;
    }();
    return names;
}

bool isHan(char32_t code)
{
    return code >= 0x2E80 && QChar::script(code) == QChar::Script_Han;
}

// hasChinese of UTF-8.
bool hasChineseUtf8(QByteArrayView utf8)
{
    for (qsizetype i = 0; i < utf8.size();)
        if (isHan(nextCodePoint(utf8, i)))
            return true;
    return false;
}

bool isTelephonePunctuation(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '-':
    case '(':
    case ')':
    case '.':
    case '\t':
    case 0x00A0:
    case 0x3000:
    case 0xFF08:
    case 0xFF09:
    case 0xFF0D:
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
        return true;
    default:
        return false;
    }
}

bool isMobileDigits(const QString &digits)
{
    if (digits.size() != 11 || digits.at(0) != QLatin1Char('1'))
        return false;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool isCjk(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x1100)
            continue;
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        switch (QChar::script(code)) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
            return true;
        default:
            break;
        }
    }
    return false;
}

// Appends part, with a space between them unless either side is CJK.
void appendTight(QString &out, const QString &part)
{
    if (part.isEmpty())
        return;
    if (out.isEmpty()) {
        out = part;
        return;
    }
    const QStringView last = QStringView(out).right(out.back().isLowSurrogate() ? 2 : 1);
    const QStringView first = QStringView(part).left(part.front().isHighSurrogate() ? 2 : 1);
    if (!isCjk(last) && !isCjk(first))
        out += QLatin1Char(' ');
    out += part;
}

void appendWith(QString &out, const QString &separator, const QString &part)
{
    if (part.isEmpty())
        return;
    if (!out.isEmpty())
        out += separator;
    out += part;
}

} // namespace

bool hasChinese(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x2E80)
            continue;
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        if (isHan(code))
            return true;
    }
    return false;
}

QString joinName(const QString &family, const QString &given)
{
    if (family.isEmpty() || given.isEmpty())
        return family + given;
    if (hasChinese(family) || hasChinese(given))
        return family + given;
    return given + QLatin1Char(' ') + family;
}

void splitName(const QString &name, QString *family, QString *given)
{
    family->clear();
    given->clear();
    if (hasChinese(name) && !name.contains(QLatin1Char(' '))) {
        // The first character, whole even beyond the BMP.
        qsizetype length =
            name.at(0).isHighSurrogate() && name.size() > 1 && name.at(1).isLowSurrogate() ? 2 : 1;
        for (const QString &surname : compoundSurnames())
            if (name.size() > 2 && name.startsWith(surname))
                length = 2;
        if (name.size() <= length) {
            *family = name;
            return;
        }
        *family = name.left(length);
        *given = name.mid(length);
        return;
    }
    const qsizetype space = name.lastIndexOf(QLatin1Char(' '));
    if (space <= 0) {
        *family = name;
        return;
    }
    *given = name.left(space).trimmed();
    *family = name.mid(space + 1);
}

bool splitNameUtf8(QByteArrayView name, QByteArrayView *family, QByteArrayView *given)
{
    const qsizetype space = name.lastIndexOf(' ');
    const bool ascii = isAscii(name);
    if (!ascii && space >= 0)
        return false;
    *family = name;
    *given = QByteArrayView();
    if (!ascii && hasChineseUtf8(name)) {
        qsizetype length = 0; // of the first character
        nextCodePoint(name, length);
        // Every compound surname is two characters of three bytes: its first
        // character, compared inline, rules out nearly all of them.
        for (const QByteArray &surname : compoundSurnamesUtf8())
            if (name.size() > surname.size() && std::memcmp(name.data(), surname.constData(), 3) == 0 &&
                name.startsWith(surname))
                length = surname.size();
        if (length < name.size()) {
            *family = name.first(length);
            *given = name.sliced(length);
        }
        return true;
    }
    if (space > 0) {
        *given = name.first(space).trimmed();
        *family = name.sliced(space + 1);
    }
    return true;
}

QString mobileDigits(const QString &number)
{
    // Most numbers are digits alone: they come back as they are.
    const bool digitsOnly = std::all_of(
        number.begin(), number.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (digitsOnly && !number.startsWith(QLatin1String("0086")) &&
        !(number.size() == 13 && number.startsWith(QLatin1String("861"))))
        return number;
    QString digits;
    digits.reserve(number.size());
    for (const QChar c : number) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) // full-width digits
            digits += QChar(c.unicode() - 0xFF10 + '0');
        else if (c.unicode() == 0xFF0B)
            digits += QLatin1Char('+');
        else if (!isTelephonePunctuation(c))
            digits += c;
    }
    if (digits.startsWith(QLatin1String("+86")))
        digits.remove(0, 3);
    else if (digits.startsWith(QLatin1String("0086")))
        digits.remove(0, 4);
    else if (digits.size() == 13 && digits.startsWith(QLatin1String("861")))
        digits.remove(0, 2);
    return digits;
}

namespace {

const QString &numberSeparators()
{
    static const QString separators = QStringLiteral("/,;、，；／|:");
    return separators;
}

bool hasSeparator(const QString &value)
{
    for (const QChar c : value)
        if (numberSeparators().contains(c))
            return true;
    return false;
}

// The pieces of a value between its separators; Google joins the values of
// one field with " ::: ".
QStringList piecesOf(const QString &value)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        const bool colons = i + 3 <= value.size() && QStringView(value).sliced(i, 3) == QLatin1String(":::");
        if (i < value.size() && !colons &&
            (value.at(i) == QLatin1Char(':') || !numberSeparators().contains(value.at(i))))
            continue;
        const QString piece = value.mid(start, i - start).trimmed();
        if (!piece.isEmpty())
            pieces << piece;
        start = i + (colons ? 3 : 1);
        if (colons)
            i += 2;
    }
    return pieces;
}

qsizetype digitCount(const QString &text)
{
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// A whole number has this many digits at least: "0123/579" is one number
// with its area code, "13900000001/13900000002" two.
constexpr qsizetype kWholeNumberDigits = 5;

} // namespace

bool holdsSeveralNumbers(const QString &value)
{
    if (!hasSeparator(value))
        return false;
    const QStringList pieces = piecesOf(value);
    if (pieces.size() < 2)
        return false;
    // Google's " ::: " always joins values.
    return value.contains(QLatin1String(":::")) ||
           std::all_of(pieces.begin(), pieces.end(),
                       [](const QString &piece) { return digitCount(piece) >= kWholeNumberDigits; });
}

QStringList splitNumbers(const QString &value)
{
    if (!holdsSeveralNumbers(value))
        return value.trimmed().isEmpty() ? QStringList() : QStringList{value.trimmed()};
    return piecesOf(value);
}

ChosenTelephones chooseTelephones(const QList<FoundTelephone> &found)
{
    ChosenTelephones chosen;
    QVarLengthArray<QString, 4> digits;
    QVarLengthArray<bool, 4> valid, dialable;
    for (const FoundTelephone &t : found) {
        digits.append(mobileDigits(t.number));
        valid.append(isMobileDigits(digits.back()));
        dialable.append(digitCount(t.number) > 0);
    }
    qsizetype mobile = -1, phone = -1;
    for (int pass = 0; pass < 2 && mobile < 0; ++pass)
        for (qsizetype i = 0; i < found.size() && mobile < 0; ++i)
            if ((pass == 1 || found.at(i).cell) && valid.at(i))
                mobile = i;
    // Words where a number belongs ("Tel privat") go to 电话 only when no
    // number can.
    for (int pass = 0; pass < 6 && phone < 0; ++pass)
        for (qsizetype i = 0; i < found.size() && phone < 0; ++i) {
            const FoundTelephone &t = found.at(i);
            // A second valid mobile is left out rather than taken for 电话.
            const int kind = pass % 3;
            const bool fits = kind == 0 ? !t.cell && !t.fax : kind == 1 ? t.cell && !valid.at(i) : t.fax;
            if (i != mobile && fits && dialable.at(i) == (pass < 3))
                phone = i;
        }
    chosen.mobileAt = mobile;
    chosen.phoneAt = phone;
    if (mobile >= 0)
        chosen.mobile = digits.at(mobile);
    if (phone >= 0)
        chosen.phone = found.at(phone).number;
    if (found.size() <= (mobile >= 0) + (phone >= 0))
        return chosen;
    QStringList seen{chosen.mobile, phone >= 0 ? digits.at(phone) : QString()};
    for (qsizetype i = 0; i < found.size(); ++i) {
        const FoundTelephone &t = found.at(i);
        if (i == mobile || i == phone || digits.at(i).isEmpty() || seen.contains(digits.at(i)))
            continue;
        seen << digits.at(i);
        const QString kind = t.fax    ? QStringLiteral("传真")
                             : t.cell ? QStringLiteral("手机")
                                      : QStringLiteral("电话");
        chosen.leftOut << kind + QLatin1Char(' ') + t.number;
    }
    return chosen;
}

QString joinAddress(const AddressParts &p)
{
    QString out;
    if (isCjk(p.country) || isCjk(p.region) || isCjk(p.city) || isCjk(p.street) || isCjk(p.extended)) {
        for (const QString *part : {&p.country, &p.region, &p.city, &p.street, &p.extended, &p.poBox})
            appendTight(out, *part);
        appendWith(out, QStringLiteral(" "), p.postcode);
        return out;
    }
    QString street, town;
    for (const QString *part : {&p.street, &p.extended, &p.poBox})
        appendWith(street, QStringLiteral(" "), *part);
    for (const QString *part : {&p.city, &p.region, &p.postcode})
        appendWith(town, QStringLiteral(" "), *part);
    for (const QString &part : {street, town, p.country})
        appendWith(out, QStringLiteral(", "), part);
    return out;
}

bool looksLikeChineseMobile(const QString &number)
{
    return isMobileDigits(mobileDigits(number));
}

QString cleanValue(const QString &value)
{
    if (!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value.trimmed();
    QString out;
    out.reserve(value.size());
    bool inBreak = false;
    for (const QChar c : value) {
        const bool isBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (isBreak && !inBreak)
            out += QLatin1Char(' ');
        else if (!isBreak)
            out += c;
        inBreak = isBreak;
    }
    return out.trimmed();
}

QString cleanAddress(const QString &value)
{
    if (!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value.trimmed();
    QStringList lines;
    for (const QString &line :
         QString(value).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    return lines.join(isCjk(value) ? QStringLiteral(" ") : QStringLiteral(", "));
}

QString keptValue(const QString &value)
{
    if (!value.contains(QLatin1Char('\r')))
        return value;
    QString out = value;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return out;
}

QString shortened(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return text.left(length) + QStringLiteral("…");
}

bool isValidUtf8(const char *data, qsizetype size, int *pendingBytes)
{
    // Multi-byte sequences may be cut at the end of a chunk; the cut-off
    // bytes are reported instead of being counted as an error.
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while (i < size) {
        // Eight ASCII bytes at a time: most values.
        if (i + 8 <= size && eightAscii(bytes + i)) {
            i += 8;
            continue;
        }
        const unsigned char b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned min = 0;
        if ((b & 0xE0) == 0xC0)
            extra = 1, min = 0x80;
        else if ((b & 0xF0) == 0xE0)
            extra = 2, min = 0x800;
        else if ((b & 0xF8) == 0xF0)
            extra = 3, min = 0x10000;
        else
            return false;
        if (i + extra >= size) { // the sequence runs past the end
            for (qsizetype k = i + 1; k < size; ++k)
                if ((bytes[k] & 0xC0) != 0x80)
                    return false;
            if (pendingBytes) {
                *pendingBytes = int(size - i);
                return true;
            }
            return false;
        }
        unsigned code = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    if (pendingBytes)
        *pendingBytes = 0;
    return true;
}

QByteArrayView textUtf8(QByteArrayView bytes, QByteArray *converted)
{
    const bool mark = bytes.size() >= 3 && bytes[0] == '\xEF' && bytes[1] == '\xBB' && bytes[2] == '\xBF';
    if (!mark && isValidUtf8(bytes.data(), bytes.size()))
        return bytes;
    *converted = QString::fromUtf8(bytes).toUtf8();
    return *converted;
}

QString decodeCharset(const QByteArray &bytes, const QByteArray &charset, const QByteArray &unlabelled)
{
    QByteArray name = charset.trimmed().toUpper();
    if (name.isEmpty()) {
        if (isValidUtf8(bytes.constData(), bytes.size()))
            return QString::fromUtf8(bytes);
        name = unlabelled.toUpper();
    }
    if (name == "UTF-8" || name == "UTF8")
        return QString::fromUtf8(bytes);
    if (name == "GB2312" || name == "GBK" || name == "GB18030" || name == "CP936" || name == "EUC-CN")
        return QStringDecoder("GB18030").decode(bytes);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}

} // namespace quennet::exchange
