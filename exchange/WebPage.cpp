#include "exchange/WebPage.h"

#include "exchange/GbkWriter.h"
#include "exchange/HtmlEscape.h"

namespace quennet::exchange {

namespace {

const QString kSpace = QStringLiteral(" ");

// Takes the page piece by piece and halves runs of spaces on the way: a
// space waits until the next character tells whether it pairs.
class PageSink {
public:
    explicit PageSink(QIODevice &out) : m_out(out) { m_text.reserve(kBlockChars + 4096); }

    void add(QStringView piece)
    {
        for (const QChar c : piece)
            put(c);
    }

    // A contact value or field name: the four markup characters escaped.
    void addEscaped(QStringView value)
    {
        for (const QChar c : value) {
            switch (c.unicode()) {
            case '&':
                add(u"&amp;");
                break;
            case '<':
                add(u"&lt;");
                break;
            case '>':
                add(u"&gt;");
                break;
            case '"':
                add(u"&quot;");
                break;
            default:
                put(c);
            }
        }
    }

    // Passes the text on once enough has gathered.
    void pieceEnded()
    {
        if (m_text.size() >= kBlockChars) {
            m_out.write(m_text);
            m_text.clear();
        }
    }

    // Ends the page: the last lone space, then everything left.
    bool finish()
    {
        if (m_spacePending)
            m_text += QLatin1Char(' ');
        m_spacePending = false;
        m_out.write(m_text);
        return m_out.finish();
    }

private:
    static constexpr qsizetype kBlockChars = 64 * 1024;

    void put(QChar c)
    {
        if (c == QLatin1Char(' ')) {
            if (m_spacePending)
                m_text += c;
            m_spacePending = !m_spacePending;
            return;
        }
        if (m_spacePending) {
            m_text += QLatin1Char(' ');
            m_spacePending = false;
        }
        m_text += c;
    }

    GbkWriter m_out;
    QString m_text;
    bool m_spacePending = false;
};

QString attribute(const QString &name, const QString &value)
{
    return name + QStringLiteral("=\"") + value + QLatin1Char('"');
}

struct FontMarkup {
    QString fontOpen, boldOpen, italicOpen, italicClose, boldClose, fontClose;
};

FontMarkup fontMarkup(const WebFont &font)
{
    const QString color =
        font.colour != kBlack ? attribute(QStringLiteral("color"), colourText(font.colour)) : QString();
    const QString size =
        font.sizeIndex != 0 ? attribute(QStringLiteral("size"), QString::number(font.sizeIndex)) : QString();
    const QString face = !font.face.isEmpty() ? attribute(QStringLiteral("face"), font.face) : QString();
    FontMarkup markup;
    if (!color.isEmpty() || !size.isEmpty() || !face.isEmpty()) {
        markup.fontOpen =
            QStringLiteral("<font ") + color + kSpace + size + kSpace + face + QStringLiteral(" >");
        markup.fontClose = QStringLiteral("</font>");
    }
    if (font.bold) {
        markup.boldOpen = QStringLiteral("<b>");
        markup.boldClose = QStringLiteral("</b>");
    }
    if (font.italic) {
        markup.italicOpen = QStringLiteral("<i>");
        markup.italicClose = QStringLiteral("</i>");
    }
    return markup;
}

// The text before and after a cell's content.
QString cellContentOpen(const FontMarkup &font)
{
    return font.fontOpen + kSpace + font.boldOpen + kSpace + font.italicOpen;
}

QString cellContentClose(const FontMarkup &font)
{
    return font.italicClose + kSpace + font.boldClose + kSpace + font.fontClose + QStringLiteral(" </td>");
}

QString alignment(WebAlignment value)
{
    switch (value) {
    case WebAlignment::Center:
        return attribute(QStringLiteral("align"), QStringLiteral("center"));
    case WebAlignment::Right:
        return attribute(QStringLiteral("align"), QStringLiteral("right"));
    case WebAlignment::Left:
        break;
    }
    return QString();
}

// An integer box's attribute: none at the browser's own default, 0 when empty.
QString spacingAttribute(const QString &name, const QString &text, const QString &browserDefault)
{
    if (text == browserDefault)
        return QString();
    return attribute(name, text.isEmpty() ? QStringLiteral("0") : text);
}

QString tableStartTag(const WebPageOptions &o)
{
    const QString border =
        attribute(QStringLiteral("border"), o.border.isEmpty() ? QStringLiteral("0") : o.border);
    const QString collapse =
        o.collapseBorders ? attribute(QStringLiteral("style"), QStringLiteral("border-collapse: collapse"))
                          : QString();
    const QString padding =
        spacingAttribute(QStringLiteral("cellpadding"), o.cellPadding, QStringLiteral("1"));
    const QString spacing =
        spacingAttribute(QStringLiteral("cellspacing"), o.cellSpacing, QStringLiteral("2"));
    const QString picture =
        o.tablePictureOn ? attribute(QStringLiteral("background"), o.tablePicture) : QString();
    return QStringLiteral("<table ") + border + QStringLiteral(" width=\"100%\" bordercolorlight=\"") +
           colourText(o.lightBorder) + QStringLiteral("\" bordercolordark=\"") + colourText(o.darkBorder) +
           QStringLiteral("\" ") + padding + kSpace + spacing + kSpace + picture + kSpace + collapse +
           QStringLiteral(" >\r\n");
}

QString headerRow(const WebPageOptions &o, const QStringList &fieldNames)
{
    const FontMarkup font = fontMarkup(o.headerFont);
    const QString picture =
        o.headerPictureOn ? attribute(QStringLiteral("background"), o.headerPicture) : QString();
    const QString open = QStringLiteral("\r\n<td nowrap bgcolor=\"") + colourText(o.headerBackground) +
                         QStringLiteral("\" ") + picture + kSpace + alignment(o.alignment) +
                         QStringLiteral(" > ") + cellContentOpen(font);
    const QString close = cellContentClose(font);
    QString row = QStringLiteral("<tr>");
    for (const QString &name : fieldNames)
        row += open + htmlEscaped(name) + close;
    return row + QStringLiteral("\r\n</tr>");
}

QString caption(const WebPageOptions &o)
{
    if (o.caption.isEmpty())
        return QString();
    const FontMarkup font = fontMarkup(o.captionFont);
    return QStringLiteral("<p align=\"center\" > ") + font.boldOpen + font.italicOpen + kSpace +
           font.fontOpen + o.caption + font.fontClose + kSpace + font.italicClose + kSpace + font.boldClose +
           QStringLiteral(" </p>\r\n");
}

QString bodyStartTag(const WebPageOptions &o)
{
    const QString picture = o.pagePictureOn && !o.pagePicture.isEmpty()
                                ? attribute(QStringLiteral("background"), o.pagePicture)
                                : QString();
    const QString colour =
        o.pageColour != kWhite ? attribute(QStringLiteral("bgcolor"), colourText(o.pageColour)) : QString();
    const QString top = o.topMarginOn ? attribute(QStringLiteral("topmargin"), o.topMargin) : QString();
    const QString left = o.leftMarginOn ? attribute(QStringLiteral("leftmargin"), o.leftMargin) : QString();
    return QStringLiteral("<body ") + picture + kSpace + colour + kSpace + top + kSpace + left +
           QStringLiteral(" >\r\n");
}

QString pageHead(const WebPageOptions &o)
{
    return QStringLiteral("<html>\r\n\r\n<head>\r\n"
                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
                          "<meta name=\"GENERATOR\" content=\"66608\">\r\n"
                          "<meta name=\"ProgId\" content=\"Norvale\">\r\n<title>") +
           o.title + QStringLiteral("</title>\r\n</head>\r\n\r\n");
}

bool isBlank(const QString &value)
{
    for (const QChar c : value)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

// The data rows, each "<tr>" + cells + "\r\n</tr>\r\n".
void writeRows(PageSink &sink, int fieldCount, const WebRecords &records, const WebPageOptions &o,
               const std::function<void()> &recordDone)
{
    const FontMarkup font = fontMarkup(o.dataFont);
    const QString align = alignment(o.alignment);
    const QString normal = o.dataBackground != kTransparentColour
                               ? attribute(QStringLiteral("bgcolor"), colourText(o.dataBackground))
                               : QString();
    const QString alternate = o.alternateRowsOn
                                  ? attribute(QStringLiteral("bgcolor"), colourText(o.alternateBackground))
                                  : QString();
    const QString tail = QStringLiteral(" nowrap ") + align + QStringLiteral(" > ") + cellContentOpen(font);
    const QString normalOpen = QStringLiteral("\r\n<td ") + normal + tail;
    const QString alternateOpen = QStringLiteral("\r\n<td ") + alternate + tail;
    const QString close = cellContentClose(font);
    const QString blank = QStringLiteral("&nbsp;");

    for (int r = 1; r <= records.count; ++r) {
        const QString &open = (o.alternateRowsOn && r % 2 == 0) ? alternateOpen : normalOpen;
        sink.add(u"<tr>");
        const QStringList values = records.row(r);
        for (int p = 0; p < fieldCount; ++p) {
            const QString &value = values.at(p);
            sink.add(open);
            if (isBlank(value))
                sink.add(blank);
            else
                sink.addEscaped(value);
            sink.add(close);
        }
        sink.add(u"\r\n</tr>\r\n");
        sink.pieceEnded();
        recordDone();
    }
}

} // namespace

QString colourText(quint32 value)
{
    const auto channel = [value](int shift) {
        return QStringLiteral("%1").arg((value >> shift) & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
    };
    return QLatin1Char('#') + channel(0) + channel(8) + channel(16);
}

bool writeWebPage(QIODevice &out, const QStringList &fieldNames, const WebRecords &records,
                  const WebPageOptions &options, const WebProgress &progress)
{
    const int maximum = records.count + 3;
    int position = 0;
    const auto advance = [&] {
        ++position;
        if (progress)
            progress(position, maximum);
    };

    // The header row and the rows come first in the build, the caption and
    // the body tag after them; the page puts those two in front.
    const QString header = headerRow(options, fieldNames);
    advance();

    PageSink sink(out);
    sink.add(pageHead(options));
    sink.add(bodyStartTag(options));
    sink.add(caption(options));
    sink.add(tableStartTag(options));
    sink.add(header);
    sink.pieceEnded();
    writeRows(sink, int(fieldNames.size()), records, options, advance);
    sink.add(u"\r\n</table>\r\n</body>\r\n\r\n</html>");
    advance();
    const bool written = sink.finish();
    advance();
    return written;
}

} // namespace quennet::exchange
