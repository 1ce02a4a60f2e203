#include "exchange/TextAndHtmlExport.h"

#include "exchange/GbkWriter.h"
#include "exchange/HtmlEscape.h"

namespace quennet::exchange {

namespace {

const QString kPageHead =
    QStringLiteral("<html>\r\n"
                   "<meta http-equiv=Content-Language content=zh-cn>\r\n"
                   "<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n"
                   " <style>\r\n"
                   "p, td{ font-size:9pt;}  \r\n"
                   "</style> \r\n"
                   "<title>数据导出页</title>\r\n"
                   "</head>\r\n"
                   "<body>");

void writeHeaderCell(GbkWriter &out, const QString &text)
{
    out.write(QLatin1String("<td bgcolor=#A8B5FD height=18 align=center><font color=#0000FFF>"));
    out.write(htmlEscaped(text));
    out.write(QLatin1String("</font></td>\r\n"));
}

void writeDataCell(GbkWriter &out, const QString &text)
{
    out.write(QLatin1String("<td bgcolor=#FFFFFF align=center>"));
    out.write(htmlEscaped(text));
    out.write(QLatin1String("</td>\r\n"));
}

QString informationLine(const HtmlExportOptions &options, qsizetype written)
{
    return QStringLiteral("<p>&nbsp; 数据库名:") + options.storeName +
           QStringLiteral(".vdb&nbsp; &nbsp; &nbsp; 输出记录:") + QString::number(written) +
           QStringLiteral("条&nbsp; &nbsp; &nbsp; 生成日期:") + htmlExportDate(options.date);
}

} // namespace

QString htmlExportDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString textSeparator(const QString &typed, const QString &tab)
{
    if (typed.isEmpty())
        return QStringLiteral(" ");
    if (typed == QStringLiteral("制表符"))
        return tab;
    return typed;
}

bool writeTextExport(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                     const TextExportOptions &options)
{
    GbkWriter writer(out);
    if (options.fieldNameLine)
        writer.line(fieldNames.join(options.separator));
    for (qsizetype i = 0; i < records.size(); ++i)
        writer.line(records.at(i).join(options.separator));
    return writer.finish();
}

bool writeHtmlExport(QIODevice &out, const QStringList &fieldNames, const RecordRows &records,
                     const HtmlExportOptions &options)
{
    GbkWriter writer(out);
    writer.line(kPageHead);
    writer.line(informationLine(options, records.size()));
    writer.line(QStringLiteral("<table border=0 width=100% cellspacing=1 cellpadding=0 bgcolor=#000000>"));

    writer.write(QLatin1String("<tr>"));
    writeHeaderCell(writer, QStringLiteral("序号"));
    for (const QString &name : fieldNames)
        writeHeaderCell(writer, name);
    writer.line(QLatin1String("</tr>"));

    for (qsizetype i = 0; i < records.size(); ++i) {
        writer.write(QLatin1String("<tr><td bgcolor=#A8B5FD align=center>"));
        writer.write(QString::number(i + 1));
        writer.write(QLatin1String("</td>\r\n"));
        for (const QString &value : records.at(i))
            writeDataCell(writer, value);
        writer.line(QLatin1String("</tr>"));
    }

    writer.line(QStringLiteral("</table><p>&nbsp; 此网页文件是由软件自动生成。</p>"));
    writer.line(QStringLiteral("</body></html>"));
    return writer.finish();
}

} // namespace quennet::exchange
