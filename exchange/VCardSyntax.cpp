#include "exchange/VCardSyntax.h"

#include "exchange/ContactText.h"

namespace quennet::exchange::vcard {

namespace {

constexpr int kLineOctets = 75;

// ASCII letters compared without case, in place.
bool sameWord(QByteArrayView text, QByteArrayView upper)
{
    if (text.size() != upper.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) != upper[i])
            return false;
    }
    return true;
}

bool isEncodingWord(QByteArrayView word)
{
    return sameWord(word, "QUOTED-PRINTABLE") || sameWord(word, "BASE64") || sameWord(word, "B") ||
           sameWord(word, "8BIT") || sameWord(word, "7BIT");
}

// Calls part for each piece of text between separators outside double quotes.
template <typename Part> void forEachUnquoted(QByteArrayView text, char separator, Part &&part)
{
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted) {
            part(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    part(text.sliced(start));
}

QByteArrayView unquotedView(QByteArrayView text)
{
    const QByteArrayView out = text.trimmed();
    if (out.size() >= 2 && out.startsWith('"') && out.endsWith('"'))
        return out.sliced(1, out.size() - 2);
    return out;
}

QByteArray upperCopy(QByteArrayView text)
{
    return text.toByteArray().toUpper();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool Params::hasType(const char *type) const
{
    for (const QByteArray &t : types)
        if (t == type)
            return true;
    return false;
}

QList<QByteArrayView> splitUnquoted(QByteArrayView text, char separator)
{
    QList<QByteArrayView> parts;
    parts.reserve(text.count(separator) + 1);
    forEachUnquoted(text, separator, [&parts](QByteArrayView part) { parts << part; });
    return parts;
}

QByteArray unquoted(QByteArrayView text)
{
    return unquotedView(text).toByteArray();
}

Params parseParams(QByteArrayView raw)
{
    Params params;
    if (raw.isEmpty())
        return params;
    forEachUnquoted(raw, ';', [&params](QByteArrayView param) {
        const qsizetype equals = param.indexOf('=');
        if (equals < 0) {
            const QByteArrayView word = param.trimmed();
            if (isEncodingWord(word))
                params.encoding = upperCopy(word);
            else if (!word.isEmpty())
                params.types << upperCopy(word);
            return;
        }
        const QByteArrayView key = param.first(equals).trimmed();
        const QByteArrayView value = param.sliced(equals + 1);
        if (sameWord(key, "TYPE")) {
            // TYPE=a,b and TYPE="a,b": a comma inside the quotes parts too.
            forEachUnquoted(value, ',', [&params](QByteArrayView type) {
                const QByteArrayView words = unquotedView(type);
                qsizetype start = 0;
                for (qsizetype i = 0; i <= words.size(); ++i)
                    if (i == words.size() || words[i] == ',') {
                        const QByteArrayView word = words.sliced(start, i - start).trimmed();
                        if (!word.isEmpty())
                            params.types << upperCopy(word);
                        start = i + 1;
                    }
            });
        } else if (sameWord(key, "CHARSET")) {
            params.charset = unquoted(value);
        } else if (sameWord(key, "ENCODING")) {
            params.encoding = upperCopy(unquotedView(value));
        } else if (sameWord(key, "X-SERVICE-TYPE")) {
            params.serviceType = upperCopy(unquotedView(value));
        } else if (sameWord(key, "LABEL")) {
            params.label = unquoted(value);
        }
    });
    return params;
}

QByteArray decodeQuotedPrintable(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        if (c == '=' && i + 1 >= text.size())
            break; // a soft break left at the very end
        out += c;
    }
    return out;
}

QList<QByteArrayView> components(QByteArrayView value)
{
    QList<QByteArrayView> parts;
    parts.reserve(value.count(';') + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\')
            ++i;
        else if (value[i] == ';') {
            parts << value.sliced(start, i - start);
            start = i + 1;
        }
    }
    parts << value.sliced(start);
    return parts;
}

QString paramText(const QByteArray &raw)
{
    QString text = QString::fromUtf8(raw);
    if (!text.contains(QLatin1Char('^')))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar n = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (text.at(i) == QLatin1Char('^') && (n == QLatin1Char('n') || n == QLatin1Char('N'))) {
            out += QLatin1Char('\n');
            ++i;
        } else if (text.at(i) == QLatin1Char('^') && (n == QLatin1Char('^') || n == QLatin1Char('\''))) {
            out += n == QLatin1Char('^') ? n : QLatin1Char('"');
            ++i;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

QString withoutScheme(const QString &value, const QString &scheme)
{
    if (value.size() > scheme.size() && value.at(scheme.size()) == QLatin1Char(':') &&
        value.startsWith(scheme, Qt::CaseInsensitive))
        return value.mid(scheme.size() + 1).trimmed();
    return value;
}

bool isVCardWord(QByteArrayView value)
{
    return value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

QString unescaped(const QString &text, bool newlines)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text.at(i + 1);
        if (n == QLatin1Char(';') || n == QLatin1Char(',') || n == QLatin1Char('\\')) {
            out += n;
            ++i;
        } else if ((n == QLatin1Char('n') || n == QLatin1Char('N')) && newlines) {
            out += QLatin1Char('\n');
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

QByteArray escaped(const QString &value)
{
    QByteArray out;
    appendEscaped(out, value);
    return out;
}

void appendEscaped(QByteArray &out, const QString &value)
{
    appendEscapedUtf8(out, value.toUtf8());
}

void appendEscapedUtf8(QByteArray &out, QByteArrayView utf8)
{
    appendEscapedRuns(out, utf8, [](char c) {
        return c == '\\'   ? "\\\\"
               : c == ','  ? "\\,"
               : c == ';'  ? "\\;"
               : c == '\n' ? "\\n"
               : c == '\r' ? ""
                           : nullptr;
    });
}

void appendFolded(QByteArray &out, QByteArrayView line)
{
    qsizetype start = 0;
    int limit = kLineOctets;
    while (line.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && isUtf8Continuation(line.at(cut)))
            --cut;
        if (cut == start) // bytes kept from a card that are no UTF-8: cut anyway
            cut = start + limit;
        out.append(line.constData() + start, cut - start);
        out.append("\r\n ");
        start = cut;
        limit = kLineOctets - 1;
    }
    out.append(line.constData() + start, line.size() - start);
    out.append("\r\n");
}

} // namespace quennet::exchange::vcard
