// "wab export" as a user runs it: the built binary on a scratch store; the
// files it writes are the writers' documents byte for byte.

#include "contacts/store/ContactStore.h"
#include "exchange/ExcelDocument.h"
#include "exchange/TextAndHtmlExport.h"
#include "exchange/WebPage.h"
#include "support/StoreFiles.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quennet;
using namespace quennet::exchange;

namespace {

struct Run {
    int code = -1;
    QString err;
};

const QList<QStringList> kRecords = {{QStringLiteral("朱镕基"), QStringLiteral("010"),
                                      QStringLiteral("13900000001"), QString(), QString(),
                                      QStringLiteral("北京")},
                                     {QStringLiteral("<b>王喆"), QString(), QStringLiteral("13900000002"),
                                      QStringLiteral("007"), QStringLiteral("a&b@x.cn"), QString()},
                                     {QStringLiteral("陈堃"), QString(), QStringLiteral("13900000003"),
                                      QString(), QString(), QStringLiteral("\"东城\"")}};

const QStringList kNames = {QStringLiteral("姓名"), QStringLiteral("电话"),  QStringLiteral("手机"),
                            QStringLiteral("QQ"),   QStringLiteral("Email"), QStringLiteral("地址")};

QByteArray excel(const QStringList &names, const QList<QStringList> &records)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeExcelDocument(buffer, names, records);
    return buffer.data();
}

QByteArray text(const QStringList &names, const QList<QStringList> &records, const TextExportOptions &options)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeTextExport(buffer, names, records, options);
    return buffer.data();
}

QByteArray html(const QStringList &names, const QList<QStringList> &records)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeHtmlExport(buffer, names, records, {QStringLiteral("wab"), QDate::currentDate()});
    return buffer.data();
}

QByteArray web(const QStringList &names, const QList<QStringList> &records, const QString &title,
               const QString &caption)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WebPageOptions options;
    options.title = title;
    options.caption = caption;
    const WebRecords rows{int(records.size()), [&records](int n) { return records[n - 1]; }};
    writeWebPage(buffer, names, rows, options);
    return buffer.data();
}

QList<QStringList> columns(const QList<int> &rows, const QList<int> &fields)
{
    QList<QStringList> out;
    for (const int row : rows) {
        QStringList values;
        for (const int field : fields)
            values << kRecords[row - 1][field - 1];
        out << values;
    }
    return out;
}

} // namespace

class WabExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString store(const QString &password)
    {
        const QString name =
            m_dir.filePath(password.isEmpty() ? QStringLiteral("wab.vdb") : QStringLiteral("pw.vdb"));
        if (QFile::exists(name))
            return name;
        ContactStore contacts;
        if (!ContactStore::create(name, password) || !contacts.open(name, password))
            return QString();
        for (const QStringList &record : kRecords)
            if (!contacts.append(Contact::fromValues(record)))
                return QString();
        return name;
    }

    Run wab(const QStringList &args, const QByteArray &input = QByteArray())
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab"), args);
        Run run;
        if (!process.waitForStarted(10000))
            return run;
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000))
            return run;
        run.code = process.exitCode();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private slots:
    void exports_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("protectedStore");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("expected"); // empty: no file written
        QTest::addColumn<QString>("message");     // part of stderr
        const QList<int> all{1, 2, 3};
        QTest::newRow("excel") << QStringList{QStringLiteral("excel")} << false << 0
                               << excel(kNames, kRecords) << QString();
        QTest::newRow("excel, fields and range")
            << QStringList{QStringLiteral("excel"), QStringLiteral("--fields"), QStringLiteral("手机,姓名"),
                           QStringLiteral("--range=3-2")}
            << false << 0 << excel({QStringLiteral("手机"), QStringLiteral("姓名")}, columns({2, 3}, {3, 1}))
            << QString();
        QTest::newRow("excel refuses a password") << QStringList{QStringLiteral("excel")} << true << 1
                                                  << QByteArray() << QStringLiteral("请先将密码设置为空");
        QTest::newRow("text, separator and header")
            << QStringList{QStringLiteral("text"),     QStringLiteral("--separator"),
                           QStringLiteral("◇"),        QStringLiteral("--header"),
                           QStringLiteral("--fields"), QStringLiteral("QQ,姓名")}
            << false << 0
            << text({QStringLiteral("QQ"), QStringLiteral("姓名")}, columns(all, {4, 1}),
                    {QStringLiteral("◇"), true})
            << QString();
        QTest::newRow("text, 制表符 is a TAB")
            << QStringList{QStringLiteral("text"), QStringLiteral("--separator=制表符")} << false << 0
            << text(kNames, kRecords, {QStringLiteral("\t"), false}) << QString();
        QTest::newRow("text with a password")
            << QStringList{QStringLiteral("text"), QStringLiteral("--password-stdin")} << true << 0
            << text(kNames, kRecords, {}) << QString();
        QTest::newRow("html") << QStringList{QStringLiteral("html")} << false << 0 << html(kNames, kRecords)
                              << QString();
        QTest::newRow("web with a password, title and caption")
            << QStringList{QStringLiteral("web"), QStringLiteral("--password-stdin"),
                           QStringLiteral("--title"), QStringLiteral("通讯录  2"),
                           QStringLiteral("--caption=<b>名单</b>")}
            << true << 0 << web(kNames, kRecords, QStringLiteral("通讯录  2"), QStringLiteral("<b>名单</b>"))
            << QString();
        QTest::newRow("web, fields") << QStringList{QStringLiteral("web"), QStringLiteral("--fields"),
                                                    QStringLiteral("地址,姓名")}
                                     << false << 0
                                     << web({QStringLiteral("地址"), QStringLiteral("姓名")},
                                            columns(all, {6, 1}), QString(), QString())
                                     << QString();
        QTest::newRow("web option elsewhere")
            << QStringList{QStringLiteral("text"), QStringLiteral("--caption"), QStringLiteral("x")} << false
            << 2 << QByteArray() << QStringLiteral("不适用于");
        QTest::newRow("unknown format") << QStringList{QStringLiteral("pdf")} << false << 2 << QByteArray()
                                        << QStringLiteral("未知的导出格式");
        QTest::newRow("option of another format")
            << QStringList{QStringLiteral("excel"), QStringLiteral("--header")} << false << 2 << QByteArray()
            << QStringLiteral("不适用于");
        QTest::newRow("unknown field")
            << QStringList{QStringLiteral("text"), QStringLiteral("--fields"), QStringLiteral("姓名,生日")}
            << false << 2 << QByteArray()
            << QStringLiteral("没有这个字段：生日（可用：姓名,电话,手机,QQ,Email,地址）");
        QTest::newRow("range past the end")
            << QStringList{QStringLiteral("html"), QStringLiteral("--range"), QStringLiteral("1-4")} << false
            << 1 << QByteArray() << QStringLiteral("1-3");
    }

    void exports()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, protectedStore);
        QFETCH(int, code);
        QFETCH(QByteArray, expected);
        QFETCH(QString, message);
        const QString storePath = store(protectedStore ? QStringLiteral("pw") : QString());
        QVERIFY(!storePath.isEmpty());
        const QString out = m_dir.filePath(QStringLiteral("out.file"));
        QFile::remove(out);
        QStringList full = args;
        full.insert(0, QStringLiteral("export"));
        full.insert(2, out);
        full.insert(3, storePath);
        const Run run = wab(full, "pw\n");
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (expected.isEmpty()) {
            QVERIFY(!QFile::exists(out));
            return;
        }
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
    }

    void exportsOfAProtectedStoreArePrivate_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<unsigned>("umask");
        for (const char *format : {"text", "html", "web", "vcard", "vcard21", "csv"})
            for (const unsigned mask : {0u, 022u})
                QTest::addRow("%s, umask %03o", format, mask) << QString::fromLatin1(format) << mask;
    }

    // What a password protects only its owner may read, whatever the umask and
    // the mode of a file replaced; without a password the umask decides.
    void exportsOfAProtectedStoreArePrivate()
    {
        QFETCH(QString, format);
        QFETCH(unsigned, umask);
        const test::UmaskScope scope(umask);
        const QString out = m_dir.filePath(QStringLiteral("mode.out"));
        const auto exportFrom = [&](const QString &password) {
            const QStringList args{QStringLiteral("export"), format, out, store(password),
                                   QStringLiteral("--password-stdin")};
            return wab(args, "pw\n").code == 0;
        };
        QFile::remove(out);
        QVERIFY(exportFrom(QStringLiteral("pw")));
        QCOMPARE(test::permissionsOf(out), 0600u);
        QVERIFY(::chmod(QFile::encodeName(out).constData(), 0644) == 0);
        QVERIFY(exportFrom(QStringLiteral("pw")));
        QCOMPARE(test::permissionsOf(out), 0600u);
        QFile::remove(out);
        QVERIFY(exportFrom(QString()));
        QCOMPARE(test::permissionsOf(out), 0666u & ~umask);
    }

    void neverReplacesTheStoreItself()
    {
        const QString storePath = store(QString());
        const Run run = wab({QStringLiteral("export"), QStringLiteral("text"), storePath, storePath});
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains(QStringLiteral("通讯录文件本身")));
        ContactStore contacts;
        QVERIFY(contacts.open(storePath));
        QCOMPARE(contacts.recordCount(), kRecords.size());
    }

    void emptyStoreIsRefusedForTextButNotForExcel()
    {
        const QString empty = m_dir.filePath(QStringLiteral("empty.vdb"));
        QVERIFY(ContactStore::create(empty));
        const QString out = m_dir.filePath(QStringLiteral("empty.out"));
        Run run = wab({QStringLiteral("export"), QStringLiteral("text"), out, empty});
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains(QStringLiteral("当前库无记录可导出")));
        QVERIFY(!QFile::exists(out));
        run = wab({QStringLiteral("export"), QStringLiteral("excel"), out, empty});
        QCOMPARE(run.code, 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), excel(kNames, {}));
    }
};

QTEST_GUILESS_MAIN(WabExportTest)
#include "tst_exchange_wab_export.moc"
