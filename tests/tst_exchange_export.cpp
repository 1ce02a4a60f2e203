// The Excel workbook, the text file and the simple web page: whole small
// documents byte for byte, the escaping of markup characters, the separators
// and the choice of records and fields.

#include "contacts/Gbk.h"
#include "contacts/store/ContactStore.h"
#include "exchange/AtomicFile.h"
#include "exchange/ExcelDocument.h"
#include "exchange/RecordSelection.h"
#include "exchange/TextAndHtmlExport.h"
#include "support/StoreFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;
using namespace quennet::exchange;

namespace {

const QStringList kNames = {QStringLiteral("姓名"), QStringLiteral("电话"),  QStringLiteral("手机"),
                            QStringLiteral("QQ"),   QStringLiteral("Email"), QStringLiteral("地址")};

QByteArray gbkBytes(const QString &text)
{
    return gbk::encode(text);
}

QByteArray crlfLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += gbkBytes(line) + "\r\n";
    return out;
}

template <typename Write> QByteArray written(Write write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!write(buffer))
        return "<write failed>";
    return buffer.data();
}

// A device that takes nothing, as a full disk would.
class FullDevice : public QIODevice {
protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override { return -1; }
};

QStringList excelRow(const QStringList &cells)
{
    QStringList lines{QStringLiteral("<tr height=19 style='mso-height-source:userset;height:14.25pt'>")};
    for (int i = 0; i < cells.size(); ++i)
        lines << (i == 0
                      ? QStringLiteral("<td height=19 class=xl24 width=72 style='height:14.25pt;width:54pt'>")
                      : QStringLiteral("<td class=xl24 width=72 style='border-left:none;width:54pt'>")) +
                     cells[i] + QStringLiteral("</td>");
    lines << QStringLiteral("</tr>");
    return lines;
}

} // namespace

class ExchangeExportTest : public QObject {
    Q_OBJECT

private slots:
    void excelHeadLines_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1
                           << QStringLiteral("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"");
        QTest::newRow("3") << 3 << QStringLiteral("xmlns:u1=\"“urn:schemas-microsoft-com:office:office”\"");
        QTest::newRow("5") << 5 << QStringLiteral("xmlns=\"http://www.w3.org/TR/REC-html40\">");
        QTest::newRow("6") << 6 << QString();
        QTest::newRow("8 charset") << 8
                                   << QStringLiteral("<meta http-equiv=Content-Type content=\"text/html; "
                                                     "charset=GB18030\">");
        QTest::newRow("16") << 16 << QStringLiteral("  <o:LastAuthor>rn</o:LastAuthor>");
        QTest::newRow("23") << 23 << QStringLiteral("<!-table");
        QTest::newRow("24") << 24 << QStringLiteral(" {mso-displayed-decimal-separator:“\\.”;");
        QTest::newRow("28") << 28 << QStringLiteral(" mso-displayed-thousand-separator:\"\\,\";}");
        QTest::newRow("41") << 41 << QStringLiteral(".style0");
        QTest::newRow("59") << 59 << QStringLiteral(" mso-style-name:常规;");
        QTest::newRow("61") << 61 << QStringLiteral("td");
        QTest::newRow("83") << 83 << QStringLiteral(" mso-rotate:0;}");
        QTest::newRow("96") << 96 << QStringLiteral(" display:none;}");
        QTest::newRow("98") << 98 << QStringLiteral("</style>");
        QTest::newRow("99") << 99 << QStringLiteral("<!--[if gte mso 9]><xml>");
        QTest::newRow("100") << 100 << QStringLiteral(" <x:ExcelWorkbook>");
        QTest::newRow("105") << 105 << QStringLiteral("     <x:DefaultRowHeight>285</x:DefaultRowHeight>");
        QTest::newRow("106") << 106 << QStringLiteral("     <x:Selected/>");
        QTest::newRow("113") << 113 << QStringLiteral("    <x:Name>Sheet2</x:Name>");
        QTest::newRow("120") << 120 << QStringLiteral("   </x:ExcelWorksheet>");
        QTest::newRow("131") << 131 << QStringLiteral("  <x:WindowHeight>9030</x:WindowHeight>");
        QTest::newRow("134") << 134 << QStringLiteral("  <x:WindowTopY>30</x:WindowTopY>");
        QTest::newRow("137") << 137 << QStringLiteral(" </x:ExcelWorkbook>");
        QTest::newRow("138") << 138 << QStringLiteral("</xml><![endif]--><!--[if gte mso 9]><xml>");
        QTest::newRow("146") << 146 << QStringLiteral(" </u1:DocumentProperties>");
        QTest::newRow("147") << 147 << QStringLiteral("</xml><![endif]--><!--[if gte mso 9]><xml>");
        QTest::newRow("150") << 150
                             << QStringLiteral(
                                    "  <u1:LocationOfComponents HRef=\"“file:///G:/msowc.cab”\"/>");
        QTest::newRow("152") << 152 << QStringLiteral("</xml><![endif]--><!--[if gte mso 9]><xml>");
        QTest::newRow("156") << 156 << QStringLiteral("    <u2:Name>Sheet1</u2:Name>");
        QTest::newRow("158") << 158 << QStringLiteral("     <u2:DefaultRowHeight>345</u2:DefaultRowHeight>");
        QTest::newRow("178 panes") << 178 << QStringLiteral("     <u2:Panes>");
        QTest::newRow("181") << 181 << QStringLiteral("       <u2:ActiveRow>26</u2:ActiveRow>");
        QTest::newRow("184") << 184 << QStringLiteral("     </u2:Panes>");
        QTest::newRow("191") << 191 << QStringLiteral("  <u2:WindowHeight>9255</u2:WindowHeight>");
        QTest::newRow("194") << 194 << QStringLiteral("  <u2:WindowTopY>60</u2:WindowTopY>");
        QTest::newRow("197") << 197 << QStringLiteral(" </u2:ExcelWorkbook>");
        QTest::newRow("198") << 198 << QStringLiteral("</xml><![endif]-->");
        QTest::newRow("199") << 199 << QStringLiteral("</head>");
        QTest::newRow("204") << 204 << QStringLiteral(" collapse;table-layout:fixed;width:270pt' u2:str>");
        QTest::newRow("205") << 205 << QStringLiteral(" <col width=72 span=5 style='width:54pt'>");
    }

    void excelHeadLines()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        const QStringList head = exchange::excelHeadLines();
        QCOMPARE(head.size(), 205);
        QCOMPARE(head.at(number - 1), text);
    }

    void excelDocument_data()
    {
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<QList<QStringList>>("cells");
        QTest::newRow("empty store") << QList<QStringList>{} << QList<QStringList>{};
        QTest::newRow("plain and markup values")
            << QList<QStringList>{{QStringLiteral("朱镕基"), QStringLiteral("007"), QString(),
                                   QStringLiteral("1"), QStringLiteral("a@b.c"),
                                   QStringLiteral("北京  东城")},
                                  {QStringLiteral("<b>王"), QStringLiteral("A&B"), QStringLiteral("\"x\""),
                                   QStringLiteral("1>0"), QString(), QStringLiteral("'陈堃'")}}
            << QList<QStringList>{
                   {QStringLiteral("朱镕基"), QStringLiteral("007"), QString(), QStringLiteral("1"),
                    QStringLiteral("a@b.c"), QStringLiteral("北京  东城")},
                   {QStringLiteral("&lt;b&gt;王"), QStringLiteral("A&amp;B"), QStringLiteral("&quot;x&quot;"),
                    QStringLiteral("1&gt;0"), QString(), QStringLiteral("'陈堃'")}};
    }

    void excelDocument()
    {
        QFETCH(QList<QStringList>, records);
        QFETCH(QList<QStringList>, cells);
        QStringList lines = exchange::excelHeadLines() + excelRow(kNames);
        for (const QStringList &row : cells)
            lines += excelRow(row);
        lines << QStringLiteral("</table>") << QString() << QStringLiteral("</body>") << QString()
              << QStringLiteral("</html>");
        const QByteArray bytes =
            written([&](QIODevice &out) { return writeExcelDocument(out, kNames, records); });
        QCOMPARE(bytes, crlfLines(lines));
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        // The full-width marks of line 3 are the GBK bytes A1 B0 and A1 B1.
        QVERIFY(bytes.contains("xmlns:u1=\"\xA1\xB0urn:schemas-microsoft-com:office:office\xA1\xB1\""));

        // Paced: once before each record and once before each later cell,
        // and the same bytes.
        QList<QPair<int, int>> paced;
        const auto pace = [&paced](int record, int count) { paced.append({record, count}); };
        QCOMPARE(written([&](QIODevice &out) { return writeExcelDocument(out, kNames, records, pace); }),
                 bytes);
        QList<QPair<int, int>> expected;
        for (int record = 1; record <= records.size(); ++record)
            for (int cell = 0; cell < records.at(record - 1).size(); ++cell)
                expected.append({record, int(records.size())});
        QCOMPARE(paced, expected);
    }

    void textExport_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("nameLine");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("tab, no names")
            << QStringLiteral("\t") << false
            << QStringList{QStringLiteral("王喆\t007\t<b>&"), QStringLiteral(" 陈 \t\ta|b")};
        QTest::newRow("space, names")
            << QStringLiteral(" ") << true
            << QStringList{QStringLiteral("姓名 手机 地址"), QStringLiteral("王喆 007 <b>&"),
                           QStringLiteral(" 陈   a|b")};
        QTest::newRow("typed, several characters")
            << QStringLiteral("|◇|") << true
            << QStringList{QStringLiteral("姓名|◇|手机|◇|地址"), QStringLiteral("王喆|◇|007|◇|<b>&"),
                           QStringLiteral(" 陈 |◇||◇|a|b")};
    }

    void textExport()
    {
        QFETCH(QString, separator);
        QFETCH(bool, nameLine);
        QFETCH(QStringList, lines);
        const QStringList names{QStringLiteral("姓名"), QStringLiteral("手机"), QStringLiteral("地址")};
        const QList<QStringList> records{
            {QStringLiteral("王喆"), QStringLiteral("007"), QStringLiteral("<b>&")},
            {QStringLiteral(" 陈 "), QString(), QStringLiteral("a|b")}};
        const QByteArray bytes = written([&](QIODevice &out) {
            return writeTextExport(out, names, records, {separator, nameLine});
        });
        QCOMPARE(bytes, crlfLines(lines));
    }

    void htmlExport()
    {
        const QStringList names{QStringLiteral("姓名"), QStringLiteral("Email")};
        const QList<QStringList> records{{QStringLiteral("<b>王"), QStringLiteral("A&B")},
                                         {QStringLiteral("朱镕基"), QString()}};
        const QByteArray bytes = written([&](QIODevice &out) {
            return writeHtmlExport(out, names, records, {QStringLiteral("wab"), QDate(2026, 3, 7)});
        });
        const QString expected = QStringLiteral(
            "<html>\r\n<meta http-equiv=Content-Language content=zh-cn>\r\n"
            "<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n <style>\r\n"
            "p, td{ font-size:9pt;}  \r\n</style> \r\n<title>数据导出页</title>\r\n</head>\r\n<body>\r\n"
            "<p>&nbsp; 数据库名:wab.vdb&nbsp; &nbsp; &nbsp; 输出记录:2条&nbsp; &nbsp; &nbsp; "
            "生成日期:2026-03-07\r\n"
            "<table border=0 width=100% cellspacing=1 cellpadding=0 bgcolor=#000000>\r\n"
            "<tr><td bgcolor=#A8B5FD height=18 align=center><font color=#0000FFF>序号</font></td>\r\n"
            "<td bgcolor=#A8B5FD height=18 align=center><font color=#0000FFF>姓名</font></td>\r\n"
            "<td bgcolor=#A8B5FD height=18 align=center><font color=#0000FFF>Email</font></td>\r\n</tr>\r\n"
            "<tr><td bgcolor=#A8B5FD align=center>1</td>\r\n"
            "<td bgcolor=#FFFFFF align=center>&lt;b&gt;王</td>\r\n"
            "<td bgcolor=#FFFFFF align=center>A&amp;B</td>\r\n</tr>\r\n"
            "<tr><td bgcolor=#A8B5FD align=center>2</td>\r\n"
            "<td bgcolor=#FFFFFF align=center>朱镕基</td>\r\n"
            "<td bgcolor=#FFFFFF align=center></td>\r\n</tr>\r\n"
            "</table><p>&nbsp; 此网页文件是由软件自动生成。</p>\r\n</body></html>\r\n");
        QCOMPARE(bytes, gbkBytes(expected));
    }

    void writersReportAFailedWrite()
    {
        FullDevice device;
        device.open(QIODevice::WriteOnly);
        const QList<QStringList> records{{QStringLiteral("王")}};
        QVERIFY(!writeExcelDocument(device, kNames, records));
        QVERIFY(!writeTextExport(device, kNames, records, {}));
        QVERIFY(!writeHtmlExport(device, kNames, records, {}));
    }

    void atomicReplacement_data()
    {
        QTest::addColumn<bool>("writeSucceeds");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("written") << true << QByteArray("new");
        QTest::newRow("write fails half way") << false << QByteArray("old contents, longer");
    }

    void atomicReplacement()
    {
        QFETCH(bool, writeSucceeds);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        QVERIFY(test::writeAll(path, "old contents, longer"));
        const bool ok = writeFileAtomically(path, [&](QIODevice &out) {
            out.write("new");
            return writeSucceeds;
        });
        QCOMPARE(ok, writeSucceeds);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), after);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("out.txt")});
        QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("out.txt/x")),
                                     [](QIODevice &) { return true; }));
    }

    void recordSelection_data()
    {
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("includeMarked");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("firstColumn");
        QTest::newRow("everything, marked left out")
            << QList<int>{} << 1 << -1 << false << kNames
            << QStringList{QStringLiteral("c1"), QStringLiteral("c2"), QStringLiteral("c4"),
                           QStringLiteral("c5")};
        QTest::newRow("marked included")
            << QList<int>{} << 1 << -1 << true << kNames
            << QStringList{QStringLiteral("c1"), QStringLiteral("c2"), QStringLiteral("c3"),
                           QStringLiteral("c4"), QStringLiteral("c5")};
        QTest::newRow("range backwards, fields reordered")
            << QList<int>{FieldMobile, FieldName} << 4 << 2 << false
            << QStringList{QStringLiteral("手机"), QStringLiteral("姓名")}
            << QStringList{QStringLiteral("m2"), QStringLiteral("m4")};
        QTest::newRow("range past the end")
            << QList<int>{FieldName} << 4 << 9 << true << QStringList{QStringLiteral("姓名")}
            << QStringList{QStringLiteral("c4"), QStringLiteral("c5")};
    }

    void recordSelection()
    {
        QFETCH(QList<int>, fields);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(bool, includeMarked);
        QFETCH(QStringList, names);
        QFETCH(QStringList, firstColumn);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("wab.vdb"));
        ContactStore store;
        QVERIFY(ContactStore::create(path) && store.open(path));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(store.append(Contact::fromValues(
                {QStringLiteral("c%1").arg(i), QString(), QStringLiteral("m%1").arg(i)})));
        store.goTo(3);
        QVERIFY(store.markDeleted());
        store.goTo(5);

        const RecordSelection selection{fields, first, last, includeMarked};
        QCOMPARE(selectedFieldNames(store, selection), names);
        const QList<QStringList> records = selectedRecords(store, selection);
        QStringList column;
        for (const QStringList &record : records) {
            QCOMPARE(record.size(), names.size());
            column << record.first();
        }
        QCOMPARE(column, firstColumn);
        QCOMPARE(store.recordNumber(), 5);
    }
};

QTEST_GUILESS_MAIN(ExchangeExportTest)
#include "tst_exchange_export.moc"
