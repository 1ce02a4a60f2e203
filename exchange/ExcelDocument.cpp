#include "exchange/ExcelDocument.h"

#include "contacts/store/ContactStore.h"
#include "exchange/AtomicFile.h"
#include "exchange/GbkWriter.h"
#include "exchange/HtmlEscape.h"

#include <QStringEncoder>

namespace quennet::exchange {

namespace {

const QLatin1String kRowStart("<tr height=19 style='mso-height-source:userset;height:14.25pt'>");
const QLatin1String kFirstCellStart("<td height=19 class=xl24 width=72 style='height:14.25pt;width:54pt'>");
const QLatin1String kLaterCellStart("<td class=xl24 width=72 style='border-left:none;width:54pt'>");
const QLatin1String kCellEnd("</td>");
const QLatin1String kRowEnd("</tr>");

QStringList documentStart()
{
    return {
        QStringLiteral("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\""),
        QStringLiteral("xmlns:x=\"urn:schemas-microsoft-com:office:excel\""),
        QStringLiteral("xmlns:u1=\"“urn:schemas-microsoft-com:office:office”\""),
        QStringLiteral("xmlns:u2=\"“urn:schemas-microsoft-com:office:excel”\""),
        QStringLiteral("xmlns=\"http://www.w3.org/TR/REC-html40\">"),
        QString(),
        QStringLiteral("<head>"),
        // The bytes are GB18030; a reader that takes GB2312 strictly would
        // garble names such as 朱镕基.
        QStringLiteral("<meta http-equiv=Content-Type content=\"text/html; charset=GB18030\">"),
        QStringLiteral("<meta name=ProgId content=Excel.Sheet>"),
        QStringLiteral("<meta name=Generator content=\"Microsoft Excel 9\">"),
        QStringLiteral("<link rel=File-List href=\"./4.files/filelist.xml\">"),
        QStringLiteral("<link rel=Edit-Time-Data href=\"./4.files/editdata.mso\">"),
        QStringLiteral("<link rel=OLE-Object-Data href=\"./4.files/oledata.mso\">"),
        QStringLiteral("<!--[if gte mso 9]><xml>"),
        QStringLiteral(" <o:DocumentProperties>"),
        QStringLiteral("  <o:LastAuthor>rn</o:LastAuthor>"),
        QStringLiteral("  <o:LastSaved>2002-09-15T15:52:28Z</o:LastSaved>"),
        QStringLiteral("  <o:Version>9.2812</o:Version>"),
        QStringLiteral(" </o:DocumentProperties>"),
        QStringLiteral("</xml><![endif]-->"),
    };
}

// A selector line followed by its property lines, one blank before each.
void addStyleGroup(QStringList &lines, const QString &selector, const QStringList &properties)
{
    lines << selector;
    for (const QString &property : properties)
        lines << QLatin1Char(' ') + property;
}

QStringList styleSheet()
{
    QStringList lines{QStringLiteral("<style>"), QStringLiteral("<!--")};
    addStyleGroup(lines, QStringLiteral("<!-table"),
                  {QStringLiteral("{mso-displayed-decimal-separator:“\\.”;"),
                   QStringLiteral("mso-displayed-thousand-separator:“\\,”;}")});
    addStyleGroup(lines, QStringLiteral("table"),
                  {QStringLiteral("{mso-displayed-decimal-separator:\"\\.\";"),
                   QStringLiteral("mso-displayed-thousand-separator:\"\\,\";}")});
    addStyleGroup(lines, QStringLiteral("@page"),
                  {QStringLiteral("{margin:1.0in .75in 1.0in .75in;"),
                   QStringLiteral("mso-header-margin:.5in;"), QStringLiteral("mso-footer-margin:.5in;}")});
    addStyleGroup(lines, QStringLiteral("tr"),
                  {QStringLiteral("{mso-height-source:auto;"), QStringLiteral("mso-ruby-visibility:none;}")});
    addStyleGroup(lines, QStringLiteral("col"),
                  {QStringLiteral("{mso-width-source:auto;"), QStringLiteral("mso-ruby-visibility:none;}")});
    addStyleGroup(lines, QStringLiteral("br"), {QStringLiteral("{mso-data-placement:same-cell;}")});
    addStyleGroup(lines, QStringLiteral(".style0"),
                  {QStringLiteral("{mso-number-format:General;"), QStringLiteral("text-align:general;"),
                   QStringLiteral("vertical-align:bottom;"), QStringLiteral("white-space:nowrap;"),
                   QStringLiteral("mso-rotate:0;"), QStringLiteral("mso-background-source:auto;"),
                   QStringLiteral("mso-pattern:auto;"), QStringLiteral("color:windowtext;"),
                   QStringLiteral("font-size:12.0pt;"), QStringLiteral("font-weight:400;"),
                   QStringLiteral("font-style:normal;"), QStringLiteral("text-decoration:none;"),
                   QStringLiteral("font-family:宋体;"), QStringLiteral("mso-generic-font-family:auto;"),
                   QStringLiteral("mso-font-charset:134;"), QStringLiteral("border:none;"),
                   QStringLiteral("mso-protection:locked visible;"), QStringLiteral("mso-style-name:常规;"),
                   QStringLiteral("mso-style-id:0;}")});
    addStyleGroup(lines, QStringLiteral("td"),
                  {QStringLiteral("{mso-style-parent:style0;"),
                   QStringLiteral("padding-top:1px;"),
                   QStringLiteral("padding-right:1px;"),
                   QStringLiteral("padding-left:1px;"),
                   QStringLiteral("mso-ignore:padding;"),
                   QStringLiteral("color:windowtext;"),
                   QStringLiteral("font-size:12.0pt;"),
                   QStringLiteral("font-weight:400;"),
                   QStringLiteral("font-style:normal;"),
                   QStringLiteral("text-decoration:none;"),
                   QStringLiteral("font-family:宋体;"),
                   QStringLiteral("mso-generic-font-family:auto;"),
                   QStringLiteral("mso-font-charset:134;"),
                   QStringLiteral("mso-number-format:General;"),
                   QStringLiteral("text-align:general;"),
                   QStringLiteral("vertical-align:bottom;"),
                   QStringLiteral("border:none;"),
                   QStringLiteral("mso-background-source:auto;"),
                   QStringLiteral("mso-pattern:auto;"),
                   QStringLiteral("mso-protection:locked visible;"),
                   QStringLiteral("white-space:nowrap;"),
                   QStringLiteral("mso-rotate:0;}")});
    addStyleGroup(lines, QStringLiteral("ruby"), {QStringLiteral("{ruby-align:left;}")});
    addStyleGroup(lines, QStringLiteral("rt"),
                  {QStringLiteral("{color:windowtext;"), QStringLiteral("font-size:9.0pt;"),
                   QStringLiteral("font-weight:400;"), QStringLiteral("font-style:normal;"),
                   QStringLiteral("text-decoration:none;"), QStringLiteral("font-family:宋体;"),
                   QStringLiteral("mso-generic-font-family:auto;"), QStringLiteral("mso-font-charset:134;"),
                   QStringLiteral("mso-char-type:none;"), QStringLiteral("display:none;}")});
    lines << QStringLiteral("-->") << QStringLiteral("</style>");
    return lines;
}

// How the two workbook blocks of the head differ.
struct WorkbookBlock {
    QString prefix;
    int firstRowHeight;
    bool thirdSheetPanes;
    int windowHeight;
    int windowTopY;
};

QString tag(const WorkbookBlock &block, int indent, const QString &name, const QString &value = QString())
{
    const QString open =
        QString(indent, QLatin1Char(' ')) + QLatin1Char('<') + block.prefix + QLatin1Char(':');
    if (value.isNull())
        return open + name + QLatin1Char('>');
    return open + name + QLatin1Char('>') + value + QStringLiteral("</") + block.prefix + QLatin1Char(':') +
           name + QLatin1Char('>');
}

QString closingTag(const WorkbookBlock &block, int indent, const QString &name)
{
    return QString(indent, QLatin1Char(' ')) + QStringLiteral("</") + block.prefix + QLatin1Char(':') + name +
           QLatin1Char('>');
}

void addSheet(QStringList &lines, const WorkbookBlock &block, int sheet)
{
    lines << tag(block, 3, QStringLiteral("ExcelWorksheet"))
          << tag(block, 4, QStringLiteral("Name"), QStringLiteral("Sheet%1").arg(sheet))
          << tag(block, 4, QStringLiteral("WorksheetOptions"))
          << tag(block, 5, QStringLiteral("DefaultRowHeight"),
                 QString::number(sheet == 1 ? block.firstRowHeight : 285));
    if (sheet == 3 && block.thirdSheetPanes)
        lines << tag(block, 5, QStringLiteral("Panes")) << tag(block, 6, QStringLiteral("Pane"))
              << tag(block, 7, QStringLiteral("Number"), QStringLiteral("3"))
              << tag(block, 7, QStringLiteral("ActiveRow"), QStringLiteral("26"))
              << tag(block, 7, QStringLiteral("ActiveCol"), QStringLiteral("2"))
              << closingTag(block, 6, QStringLiteral("Pane"))
              << closingTag(block, 5, QStringLiteral("Panes"));
    if (sheet == 1)
        lines << QStringLiteral("     <") + block.prefix + QStringLiteral(":Selected/>");
    for (const char *name : {"ProtectContents", "ProtectObjects", "ProtectScenarios"})
        lines << tag(block, 5, QLatin1String(name), QStringLiteral("False"));
    lines << closingTag(block, 4, QStringLiteral("WorksheetOptions"))
          << closingTag(block, 3, QStringLiteral("ExcelWorksheet"));
}

QStringList workbook(const WorkbookBlock &block)
{
    QStringList lines{tag(block, 1, QStringLiteral("ExcelWorkbook")),
                      tag(block, 2, QStringLiteral("ExcelWorksheets"))};
    for (int sheet = 1; sheet <= 3; ++sheet)
        addSheet(lines, block, sheet);
    lines << closingTag(block, 2, QStringLiteral("ExcelWorksheets"))
          << tag(block, 2, QStringLiteral("WindowHeight"), QString::number(block.windowHeight))
          << tag(block, 2, QStringLiteral("WindowWidth"), QStringLiteral("14985"))
          << tag(block, 2, QStringLiteral("WindowTopX"), QStringLiteral("120"))
          << tag(block, 2, QStringLiteral("WindowTopY"), QString::number(block.windowTopY))
          << tag(block, 2, QStringLiteral("ProtectStructure"), QStringLiteral("False"))
          << tag(block, 2, QStringLiteral("ProtectWindows"), QStringLiteral("False"))
          << closingTag(block, 1, QStringLiteral("ExcelWorkbook"));
    return lines;
}

QStringList workbookSettings()
{
    const QString between = QStringLiteral("</xml><![endif]--><!--[if gte mso 9]><xml>");
    QStringList lines{QStringLiteral("<!--[if gte mso 9]><xml>")};
    lines << workbook({QStringLiteral("x"), 285, false, 9030, 30});
    lines << between << QStringLiteral(" <u1:DocumentProperties>")
          << QStringLiteral("  <u1:Author>rn</u1:Author>")
          << QStringLiteral("  <u1:LastAuthor>rn</u1:LastAuthor>")
          << QStringLiteral("  <u1:Created>2002-09-15T13:04:16Z</u1:Created>")
          << QStringLiteral("  <u1:LastSaved>2002-09-15T13:17:58Z</u1:LastSaved>")
          << QStringLiteral("  <u1:Company>AAA</u1:Company>")
          << QStringLiteral("  <u1:Version>9.2812</u1:Version>")
          << QStringLiteral(" </u1:DocumentProperties>");
    lines << between << QStringLiteral(" <u1:OfficeDocumentSettings>")
          << QStringLiteral("  <u1:DownloadComponents/>")
          << QStringLiteral("  <u1:LocationOfComponents HRef=\"“file:///G:/msowc.cab”\"/>")
          << QStringLiteral(" </u1:OfficeDocumentSettings>");
    lines << between;
    lines << workbook({QStringLiteral("u2"), 345, true, 9255, 60});
    lines << QStringLiteral("</xml><![endif]-->");
    return lines;
}

QStringList bodyStart()
{
    return {
        QStringLiteral("</head>"),
        QString(),
        QStringLiteral("<body link=blue vlink=purple>"),
        QString(),
        QStringLiteral("<table x:str border=0 cellpadding=0 cellspacing=0 width=360 style='border-collapse:"),
        QStringLiteral(" collapse;table-layout:fixed;width:270pt' u2:str>"),
        QStringLiteral(" <col width=72 span=5 style='width:54pt'>")};
}

// beforeLaterCell runs before each cell from the second on.
void writeRow(GbkWriter &out, const QStringList &cells, const std::function<void()> &beforeLaterCell = {})
{
    out.line(kRowStart);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0 && beforeLaterCell)
            beforeLaterCell();
        out.write(i == 0 ? kFirstCellStart : kLaterCellStart);
        out.write(htmlEscaped(cells[i]));
        out.line(kCellEnd);
    }
    out.line(kRowEnd);
}

} // namespace

QStringList excelHeadLines()
{
    static const QStringList lines = documentStart() + styleSheet() + workbookSettings() + bodyStart();
    return lines;
}

namespace {

QByteArray encodedHead()
{
    QByteArray bytes;
    QStringEncoder encoder("GB18030");
    for (const QString &line : excelHeadLines())
        bytes += encoder.encode(line) + "\r\n";
    return bytes;
}

} // namespace

bool writeExcelDocument(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                        const ExcelPace &pace)
{
    static const QByteArray head = encodedHead();
    GbkWriter writer(out);
    writer.writeEncoded(head);
    writeRow(writer, fieldNames);
    const int count = int(records.size());
    for (int number = 1; number <= count; ++number) {
        if (!pace) {
            writeRow(writer, records.at(number - 1));
            continue;
        }
        pace(number, count);
        writeRow(writer, records.at(number - 1), [&] { pace(number, count); });
    }
    for (const char *line : {"</table>", "", "</body>", "", "</html>"})
        writer.line(QLatin1String(line));
    return writer.finish();
}

bool exportStoreToExcel(const QString &storePath, const QString &destination,
                        const RecordSelection &selection, const ExcelPace &pace)
{
    ContactStore store;
    if (isSameFile(destination, storePath) || ContactStore::hasPassword(storePath) || !store.open(storePath))
        return false;
    const QStringList names = selectedFieldNames(store, selection);
    const RecordRows records(store, selection);
    return writeFileAtomically(destination,
                               [&](QIODevice &out) { return writeExcelDocument(out, names, records, pace); });
}

} // namespace quennet::exchange
