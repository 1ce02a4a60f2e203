// The styled web page: whole documents byte for byte under several option
// sets, the escaping of contact values, the space collapse, progress and a
// device that refuses bytes.

#include "contacts/Gbk.h"
#include "exchange/WebPage.h"

#include <QBuffer>
#include <QtTest>

using namespace quennet;
using namespace quennet::exchange;

namespace {

using Rows = QList<QStringList>;

WebRecords recordsOf(const Rows &rows)
{
    return {int(rows.size()), [rows](int number) { return rows.at(number - 1); }};
}

QByteArray pageOf(const QStringList &fields, const Rows &rows, const WebPageOptions &options,
                  QList<int> *positions = nullptr, int *maximum = nullptr)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const WebProgress progress = [&](int position, int max) {
        if (positions)
            positions->append(position);
        if (maximum)
            *maximum = max;
    };
    if (!writeWebPage(buffer, fields, recordsOf(rows), options, progress))
        return "write failed";
    return bytes;
}

const char *const kHead = "<html>\r\n\r\n<head>\r\n"
                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
                          "<meta name=\"GENERATOR\" content=\"66608\">\r\n"
                          "<meta name=\"ProgId\" content=\"Norvale\">\r\n";

const char *const kDefaultTable =
    "<table border=\"1\" width=\"100%\" bordercolorlight=\"#C0C0C0\" bordercolordark=\"#808080\"   >\r\n";

const char *const kTail = "\r\n</table>\r\n</body>\r\n\r\n</html>";

struct PageCase {
    const char *name;
    QStringList fields;
    Rows rows;
    std::function<void(WebPageOptions &)> set;
    QString expected; // after the head lines
};

QList<PageCase> pageCases()
{
    return {
        {"defaults, escaping and blanks",
         {QStringLiteral("姓名"), QStringLiteral("手机")},
         {{QStringLiteral("张三"), QStringLiteral("139")},
          {QStringLiteral("A&B <b>\"x\""), QStringLiteral("  ")}},
         [](WebPageOptions &) {},
         QStringLiteral("<title></title>\r\n</head>\r\n\r\n<body   >\r\n") + QLatin1String(kDefaultTable) +
             QStringLiteral("<tr>"
                            "\r\n<td nowrap bgcolor=\"#ECECEC\"  > <b> 姓名 </b> </td>"
                            "\r\n<td nowrap bgcolor=\"#ECECEC\"  > <b> 手机 </b> </td>"
                            "\r\n</tr><tr>"
                            "\r\n<td nowrap >  张三  </td>"
                            "\r\n<td nowrap >  139  </td>"
                            "\r\n</tr>\r\n<tr>"
                            "\r\n<td nowrap >  A&amp;B &lt;b&gt;&quot;x&quot;  </td>"
                            "\r\n<td nowrap >  &nbsp;  </td>"
                            "\r\n</tr>\r\n") +
             QLatin1String(kTail)},
        {"every option changed",
         {QStringLiteral("姓名")},
         {{QStringLiteral("甲")}, {QStringLiteral("乙")}},
         [](WebPageOptions &o) {
             o.title = QStringLiteral("我的  通讯录");
             o.caption = QStringLiteral("全部联系人");
             o.captionFont = {0x0000FF, 5, QString(), true, true};
             o.pageColour = 0x012345;
             o.pagePictureOn = true;
             o.pagePicture = QStringLiteral("file:///C:/pics/bg.gif");
             o.topMarginOn = true;
             o.topMargin = QStringLiteral("10");
             o.leftMarginOn = true;
             o.collapseBorders = true;
             o.alignment = WebAlignment::Center;
             o.headerBackground = 0xFF0000;
             o.headerFont = {kBlack, 3, QStringLiteral("宋体"), false, true};
             o.headerPictureOn = true;
             o.headerPicture = QStringLiteral("h.gif");
             o.dataBackground = kWhite;
             o.dataFont = {0x00FF00, 0, QString(), true, false};
             o.alternateRowsOn = true;
             o.cellPadding = QStringLiteral("5");
             o.cellSpacing.clear();
             o.border.clear();
             o.tablePictureOn = true;
         },
         QStringLiteral(
             "<title>我的 通讯录</title>\r\n</head>\r\n\r\n"
             "<body background=\"file:///C:/pics/bg.gif\" bgcolor=\"#452301\" topmargin=\"10\" "
             "leftmargin=\"\" >\r\n"
             "<p align=\"center\" > <b><i> <font color=\"#FF0000\" size=\"5\" >全部联系人</font> </i> </b> "
             "</p>\r\n"
             "<table border=\"0\" width=\"100%\" bordercolorlight=\"#C0C0C0\" bordercolordark=\"#808080\" "
             "cellpadding=\"5\" cellspacing=\"0\" background=\"\" style=\"border-collapse: collapse\" >\r\n"
             "<tr>"
             "\r\n<td nowrap bgcolor=\"#0000FF\" background=\"h.gif\" align=\"center\" > "
             "<font size=\"3\" face=\"宋体\" > <i>姓名</i> </font> </td>"
             "\r\n</tr><tr>"
             "\r\n<td bgcolor=\"#FFFFFF\" nowrap align=\"center\" > <font color=\"#00FF00\"  > <b> 甲 </b> "
             "</font> </td>"
             "\r\n</tr>\r\n<tr>"
             "\r\n<td bgcolor=\"#ECECEC\" nowrap align=\"center\" > <font color=\"#00FF00\"  > <b> 乙 </b> "
             "</font> </td>"
             "\r\n</tr>\r\n") +
             QLatin1String(kTail)},
        {"empty store with the default caption font",
         {QStringLiteral("姓名")},
         {},
         [](WebPageOptions &o) { o.caption = QStringLiteral("名单"); },
         QStringLiteral("<title></title>\r\n</head>\r\n\r\n<body   >\r\n"
                        "<p align=\"center\" > <b> <font size=\"5\" >名单</font> </b> </p>\r\n") +
             QLatin1String(kDefaultTable) +
             QStringLiteral("<tr>\r\n<td nowrap bgcolor=\"#ECECEC\"  > <b> 姓名 </b> </td>\r\n</tr>") +
             QLatin1String(kTail)},
        {"right alignment, alternate rows over a transparent background, spaces halved",
         {QStringLiteral("QQ")},
         {{QStringLiteral("1")}, {QStringLiteral("2")}, {QStringLiteral("   x")}},
         [](WebPageOptions &o) {
             o.alignment = WebAlignment::Right;
             o.alternateRowsOn = true;
             o.pagePictureOn = true; // with no picture: no background on the body
         },
         QStringLiteral("<title></title>\r\n</head>\r\n\r\n<body   >\r\n") + QLatin1String(kDefaultTable) +
             QStringLiteral("<tr>\r\n<td nowrap bgcolor=\"#ECECEC\" align=\"right\" > <b> QQ </b> </td>"
                            "\r\n</tr><tr>"
                            "\r\n<td nowrap align=\"right\" >  1  </td>"
                            "\r\n</tr>\r\n<tr>"
                            "\r\n<td bgcolor=\"#ECECEC\" nowrap align=\"right\" >  2  </td>"
                            "\r\n</tr>\r\n<tr>"
                            "\r\n<td nowrap align=\"right\" >   x  </td>"
                            "\r\n</tr>\r\n") +
             QLatin1String(kTail)},
    };
}

// A device that takes the first few bytes and then refuses.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 accepted) : m_left(accepted) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (m_left <= 0)
            return -1;
        const qint64 taken = qMin(size, m_left);
        m_left -= taken;
        return taken;
    }

private:
    qint64 m_left;
};

} // namespace

class WebPageTest : public QObject {
    Q_OBJECT

private slots:
    void wholePages_data()
    {
        QTest::addColumn<int>("index");
        const QList<PageCase> cases = pageCases();
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases.at(i).name) << i;
    }

    void wholePages()
    {
        QFETCH(int, index);
        const PageCase c = pageCases().at(index);
        WebPageOptions options;
        c.set(options);
        const QByteArray expected = QByteArray(kHead) + gbk::encode(c.expected);
        const QByteArray page = pageOf(c.fields, c.rows, options);
        if (page != expected)
            qWarning().noquote() << "written:\n" << gbk::decode(page);
        QCOMPARE(page, expected);
    }

    void spaceRunsAreHalvedOnceAcrossPieces_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("cell");
        // Three spaces stand before and after every value in a default cell.
        QTest::newRow("one inner") << QStringLiteral("a b") << QStringLiteral("  a b  ");
        QTest::newRow("two inner") << QStringLiteral("a  b") << QStringLiteral("  a b  ");
        QTest::newRow("three inner") << QStringLiteral("a   b") << QStringLiteral("  a  b  ");
        QTest::newRow("four inner") << QStringLiteral("a    b") << QStringLiteral("  a  b  ");
        QTest::newRow("one leading") << QStringLiteral(" a") << QStringLiteral("  a  ");
        QTest::newRow("two leading") << QStringLiteral("  a") << QStringLiteral("   a  ");
        QTest::newRow("one trailing") << QStringLiteral("a ") << QStringLiteral("  a  ");
        QTest::newRow("three trailing") << QStringLiteral("a   ") << QStringLiteral("  a   ");
        QTest::newRow("tab is no space") << QStringLiteral("a\t\tb") << QStringLiteral("  a\t\tb  ");
    }

    void spaceRunsAreHalvedOnceAcrossPieces()
    {
        QFETCH(QString, value);
        QFETCH(QString, cell);
        const QString page = gbk::decode(pageOf({QStringLiteral("F")}, {{value}}, WebPageOptions()));
        const QString row =
            page.section(QStringLiteral("<td nowrap >"), 1).section(QStringLiteral("</td>"), 0, 0);
        QCOMPARE(row, cell);
    }

    void textOutsideGbkIsWrittenAsGb18030()
    {
        const QString names = QStringLiteral("朱镕基 王喆 陈堃 😀");
        const QByteArray page = pageOf({QStringLiteral("姓名")}, {{names}}, WebPageOptions());
        QVERIFY(page.contains(gbk::encode(names)));
        QVERIFY(!page.contains('?'));
    }

    void progressRunsToCountPlusThree()
    {
        QList<int> positions;
        int maximum = 0;
        pageOf({QStringLiteral("姓名")}, {{QStringLiteral("a")}, {QStringLiteral("b")}}, WebPageOptions(),
               &positions, &maximum);
        QCOMPARE(maximum, 5);
        QCOMPARE(positions, (QList<int>{1, 2, 3, 4, 5}));

        positions.clear();
        pageOf({QStringLiteral("姓名")}, {}, WebPageOptions(), &positions, &maximum);
        QCOMPARE(maximum, 3);
        QCOMPARE(positions, (QList<int>{1, 2, 3}));
    }

    void colourTexts_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("red") << 0x0000FFu << QStringLiteral("#FF0000");
        QTest::newRow("blue") << 0xFF0000u << QStringLiteral("#0000FF");
        QTest::newRow("black") << 0u << QStringLiteral("#000000");
        QTest::newRow("leading zeros") << 0x012345u << QStringLiteral("#452301");
    }

    void colourTexts()
    {
        QFETCH(uint, value);
        QFETCH(QString, text);
        QCOMPARE(colourText(value), text);
    }

    void aRefusingDeviceIsReported()
    {
        Rows rows;
        for (int i = 0; i < 20000; ++i)
            rows.append({QStringLiteral("联系人%1").arg(i)});
        for (const qint64 accepted : {qint64(0), qint64(100), qint64(300000)}) {
            FailingDevice device(accepted);
            QVERIFY(!writeWebPage(device, {QStringLiteral("姓名")}, recordsOf(rows), WebPageOptions()));
        }
    }
};

QTEST_GUILESS_MAIN(WebPageTest)
#include "tst_exchange_webpage.moc"
