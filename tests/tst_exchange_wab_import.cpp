// "wab import" and the vCard and CSV formats of "wab export", run as a user
// runs them: the built binary on a scratch store.

#include "contacts/store/ContactStore.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;

class WabImportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    struct Run {
        int code = -1;
        QString out;
    };

    Run wab(const QStringList &args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab"), args);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void importsExportsAndReimports()
    {
        const QString store = m_dir.filePath(QStringLiteral("wab.vdb"));
        QVERIFY(ContactStore::create(store));
        const QString cards = file(QStringLiteral("in.vcf"),
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张三\r\nTEL;TYPE=CELL:139-0000-0001\r\n"
                                   "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:张三\r\nEND:VCARD\r\n"
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:李四\r\n"
                                   "TEL;TYPE=CELL:13900000002/13900000003\r\nNOTE:生日会\r\nEND:VCARD\r\n");
        Run run = wab({QStringLiteral("import"), cards, store});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QStringLiteral("已导入 2 个联系人，跳过 1 个。")), qPrintable(run.out));
        QVERIFY(run.out.contains(QStringLiteral("文件编码：UTF-8")));
        QVERIFY(run.out.contains(QStringLiteral("第 2 个 张三：已经存在相同姓名的联系人")));
        QVERIFY(run.out.contains(
            QStringLiteral("第 3 个 李四：已导入，未导入的内容：手机 13900000003、备注 生日会")));

        // Nothing skipped: what was left out is still listed.
        QVERIFY(ContactStore::create(m_dir.filePath(QStringLiteral("note.vdb"))));
        run = wab({QStringLiteral("import"),
                   file(QStringLiteral("note.vcf"), "BEGIN:VCARD\r\nFN:王五\r\nNOTE:老同学\r\nEND:VCARD\r\n"),
                   m_dir.filePath(QStringLiteral("note.vdb"))});
        QVERIFY2(run.out.contains(QStringLiteral("第 1 个 王五：已导入，未导入的内容：备注 老同学")),
                 qPrintable(run.out));

        // Everything already there: nothing needed importing, still done.
        QCOMPARE(wab({QStringLiteral("import"), cards, store}).code, 0);

        for (const QString &format :
             {QStringLiteral("vcard"), QStringLiteral("vcard21"), QStringLiteral("csv")}) {
            const QString out = m_dir.filePath(QStringLiteral("out.") + format);
            QCOMPARE(wab({QStringLiteral("export"), format, out, store}).code, 0);
            const QString again = m_dir.filePath(QStringLiteral("again-%1.vdb").arg(format));
            QVERIFY(ContactStore::create(again));
            run = wab({QStringLiteral("import"), out, again});
            QCOMPARE(run.code, 0);
            ContactStore reread;
            QVERIFY(reread.open(again));
            QCOMPARE(reread.contactAt(1).values(), QStringList({"张三", "", "13900000001", "", "", ""}));
            QCOMPARE(reread.contactAt(2).values(), QStringList({"李四", "", "13900000002", "", "", ""}));
            QVERIFY2(!run.out.contains(QStringLiteral("未导入")), qPrintable(run.out));
        }
    }

    void refusedFileExitsOne()
    {
        const QString store = m_dir.filePath(QStringLiteral("refused.vdb"));
        QVERIFY(ContactStore::create(store));
        const Run run = wab({QStringLiteral("import"), file(QStringLiteral("empty.vcf"), "hello\n"), store});
        QCOMPARE(run.code, 1);
        QVERIFY(run.out.contains(QStringLiteral("无法导入联系人")));
        QCOMPARE(wab({QStringLiteral("import")}).code, 2);
    }
};

QTEST_GUILESS_MAIN(WabImportTest)
#include "tst_exchange_wab_import.moc"
