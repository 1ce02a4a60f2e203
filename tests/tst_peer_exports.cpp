// Our exports opened by real programs: LibreOffice converts the Excel
// workbook to CSV, headless Chromium loads the simple and the styled web
// page; each must give back every contact.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "exchange/ExcelDocument.h"
#include "exchange/TextAndHtmlExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;

namespace {

const int kContacts = 1000;

// Names outside GB2312, markup characters, quotes, runs of blanks, digit
// strings with leading zeros and a character outside the BMP.
QList<QStringList> peerContacts()
{
    const QStringList names = {QStringLiteral("朱镕基"), QStringLiteral("王喆"),  QStringLiteral("陈堃"),
                               QStringLiteral("<b>李"),  QStringLiteral("A&B"),   QStringLiteral("\"引号\""),
                               QStringLiteral("𠮷野"),   QStringLiteral("O'Neil")};
    QList<QStringList> contacts;
    for (int i = 1; i <= kContacts; ++i)
        contacts << QStringList{names[i % names.size()] + QString::number(i),
                                QStringLiteral("0%1").arg(i * 7),
                                QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')),
                                i % 3 ? QString::number(10000 + i) : QString(),
                                QStringLiteral("u%1@x.cn").arg(i),
                                i % 2 ? QStringLiteral("北京  东城 <%1> & \"号\"").arg(i) : QString()};
    return contacts;
}

QString findProgram(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

// Runs a peer program; its output, or a null string when it failed.
QByteArray runPeer(const QString &program, const QStringList &args, int timeoutMs = 180000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return QByteArray();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QByteArray();
    }
    const QByteArray out = process.readAllStandardOutput();
    return process.exitCode() == 0 ? out : QByteArray();
}

// A spreadsheet reads a digit string as a number and HTML folds blanks.
QString asSpreadsheetReadsIt(const QString &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (digits.match(value).hasMatch())
        return QString::number(value.toLongLong());
    return value.simplified();
}

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << cell;
            cell.clear();
        } else if (c == QLatin1Char('\n')) {
            rows << (row << cell);
            row.clear();
            cell.clear();
        } else if (c != QLatin1Char('\r')) {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

QString unescapedDomText(QString text)
{
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&nbsp;"), QString(QChar(0xA0)));
    return text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

// The cell texts of every table row of a dumped DOM.
QList<QStringList> domRows(const QString &dom)
{
    static const QRegularExpression rowPattern(QStringLiteral("<tr>(.*?)</tr>"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cellPattern(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression fontTag(QStringLiteral("</?font[^>]*>"));
    QList<QStringList> rows;
    for (const QRegularExpressionMatch &row : rowPattern.globalMatch(dom)) {
        QStringList cells;
        for (const QRegularExpressionMatch &cell : cellPattern.globalMatch(row.captured(1)))
            cells << unescapedDomText(cell.captured(1).remove(fontTag));
        rows << cells;
    }
    return rows;
}

} // namespace

class PeerExportsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_store;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The DOM headless Chromium builds from page, serialized; null on failure.
    QByteArray dumpDom(const QString &chromium, const QString &page) const
    {
        return runPeer(chromium,
                       {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                        QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                        QStringLiteral("--disable-background-networking"),
                        QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                        QStringLiteral("--user-data-dir=") + path(QStringLiteral("chromium")),
                        QStringLiteral("--dump-dom"), QUrl::fromLocalFile(page).toString()});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_store = path(QStringLiteral("wab.vdb"));
        ContactStore store;
        QVERIFY(ContactStore::create(m_store) && store.open(m_store));
        QVERIFY(ContactStoreTestAccess::appendMany(store, peerContacts()));
    }

    void libreOfficeReadsTheWorkbook()
    {
        const QString soffice = findProgram(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed; scripts/setup-deps.sh installs it");
        const QString workbook = path(QStringLiteral("通讯录.xls"));
        QVERIFY(exchange::exportStoreToExcel(m_store, workbook));

        // Comma separated, quoted text, UTF-8 (76), in a profile of its own.
        const QString outDir = path(QStringLiteral("csv"));
        const QByteArray log = runPeer(
            soffice,
            {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(path("lo")).toString(),
             QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
             QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"), outDir,
             workbook});
        QVERIFY2(!log.isNull(), "soffice failed");
        QFile csv(outDir + QStringLiteral("/通讯录.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv.readAll()));

        QCOMPARE(rows.size(), kContacts + 1);
        QCOMPARE(rows.first(),
                 (QStringList{QStringLiteral("姓名"), QStringLiteral("电话"), QStringLiteral("手机"),
                              QStringLiteral("QQ"), QStringLiteral("Email"), QStringLiteral("地址")}));
        const QList<QStringList> contacts = peerContacts();
        for (int i = 0; i < kContacts; ++i) {
            QStringList expected;
            for (const QString &value : contacts[i])
                expected << asSpreadsheetReadsIt(value);
            QCOMPARE(rows[i + 1], expected);
        }
    }

    void chromiumLoadsTheSimplePage()
    {
        const QString chromium = findProgram(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            QSKIP("Chromium is not installed; scripts/setup-deps.sh installs it");
        const QString page = path(QStringLiteral("wab.htm"));
        ContactStore store;
        QVERIFY(store.open(m_store));
        QStringList names;
        QList<QStringList> records;
        for (int pos = 1; pos <= store.fieldCount(); ++pos)
            names << store.fieldName(pos);
        for (int number = 1; number <= store.recordCount(); ++number)
            records << store.contactAt(number).values();
        QSaveFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(exchange::writeHtmlExport(file, names, records, {store.storeName(), QDate::currentDate()}));
        QVERIFY(file.commit());

        const QByteArray dom = dumpDom(chromium, page);
        QVERIFY2(!dom.isEmpty(), "chromium --dump-dom failed");
        const QString text = QString::fromUtf8(dom);
        QVERIFY(text.contains(QStringLiteral("<title>数据导出页</title>")));
        QVERIFY(text.contains(QStringLiteral("输出记录:%1条").arg(kContacts)));

        const QList<QStringList> rows = domRows(text);
        QCOMPARE(rows.size(), kContacts + 1);
        QCOMPARE(rows.first(), QStringList{QStringLiteral("序号")} + names);
        for (int i = 0; i < kContacts; ++i)
            QCOMPARE(rows[i + 1], QStringList{QString::number(i + 1)} + records[i]);
    }

    void chromiumLoadsTheStyledPage()
    {
        const QString chromium = findProgram(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            QSKIP("Chromium is not installed; scripts/setup-deps.sh installs it");
        const QString page = path(QStringLiteral("样式.htm"));
        QProcess wab;
        wab.start(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab"),
                  {QStringLiteral("export"), QStringLiteral("web"), page, m_store, QStringLiteral("--title"),
                   QStringLiteral("我的通讯录"), QStringLiteral("--caption"), QStringLiteral("全部联系人")});
        QVERIFY(wab.waitForFinished(60000));
        QCOMPARE(wab.exitCode(), 0);

        const QByteArray dom = dumpDom(chromium, page);
        QVERIFY2(!dom.isEmpty(), "chromium --dump-dom failed");
        const QString text = QString::fromUtf8(dom);
        QVERIFY(text.contains(QStringLiteral("<title>我的通讯录</title>")));
        QVERIFY(text.contains(QStringLiteral(">全部联系人</font>")));

        // A cell holds its value between the blanks and bold tags of the
        // markup; the page halves runs of blanks and shows empty values as
        // a no-break space.
        static const QRegularExpression markup(QStringLiteral("^ *(<b> )?|( </b>)? *$"));
        const auto cellText = [](QString cell) { return cell.remove(markup); };
        const auto shown = [](QString value) {
            return value.isEmpty() ? QString(QChar(0xA0))
                                   : value.replace(QStringLiteral("  "), QStringLiteral(" "));
        };
        const QList<QStringList> rows = domRows(text);
        const QList<QStringList> contacts = peerContacts();
        QCOMPARE(rows.size(), kContacts + 1);
        QCOMPARE(rows.first().size(), 6);
        QCOMPARE(cellText(rows.first().first()), QStringLiteral("姓名"));
        for (int i = 0; i < kContacts; ++i) {
            QStringList cells, expected;
            for (const QString &cell : rows[i + 1])
                cells << cellText(cell);
            for (const QString &value : contacts[i])
                expected << shown(value);
            QCOMPARE(cells, expected);
        }
    }
};

QTEST_GUILESS_MAIN(PeerExportsTest)
#include "tst_peer_exports.moc"
