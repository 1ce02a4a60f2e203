// Importing into a store: every contact under the adding rules (the indexed
// batch gives the rule chain's verdicts), one transaction, the report, and
// export followed by import giving the same contacts.

#include "contacts/BatchAdding.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "exchange/ContactReader.h"
#include "support/DataRows.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;
using namespace quennet::exchange;

namespace {

QByteArray card(const QString &name, const QString &mobile = {}, const QString &qq = {},
                const QString &tel = {})
{
    QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:%1\r\n").arg(name);
    if (!mobile.isEmpty())
        text += QStringLiteral("TEL;TYPE=CELL:%1\r\n").arg(mobile);
    if (!tel.isEmpty())
        text += QStringLiteral("TEL;TYPE=HOME:%1\r\n").arg(tel);
    if (!qq.isEmpty())
        text += QStringLiteral("X-QQ:%1\r\n").arg(qq);
    return (text + QStringLiteral("NOTE:x\r\nEND:VCARD\r\n")).toUtf8();
}

ImportReport importBytes(ContactStore &store, const QByteArray &bytes, ContactFileKind kind,
                         const ImportProgress &progress = {})
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return importContacts(store, buffer, kind, progress);
}

} // namespace

class ExchangeImportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_stores = 0;

    QString newStore(const QList<QStringList> &rows = {}, const QString &password = QString())
    {
        const QString path = m_dir.filePath(QStringLiteral("s%1.vdb").arg(++m_stores));
        return test::writeStore(path, password, rows) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The indexed batch against the rule chain on a real store, contact for
    // contact, over values drawn from small sets so that every kind of
    // collision (empty fields included) happens often; the larger rounds
    // grow the indexes past their first size, with duplicates of stored
    // contacts and of ones accepted long before. Names with a lone
    // surrogate are stored alike (UTF-8 cannot carry it) but are not the
    // same text.
    void batchGivesTheRuleChainsVerdicts_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("distinctNames");
        QTest::addColumn<int>("rounds");
        QTest::newRow("few") << 3 << 30 << 4 << 20;
        QTest::newRow("indexes grow") << 100 << 300 << 200 << 2;
    }

    void batchGivesTheRuleChainsVerdicts()
    {
        QFETCH(int, stored);
        QFETCH(int, offered);
        QFETCH(int, distinctNames);
        QFETCH(int, rounds);
        QStringList names = {"", QString(QChar(0xD800)) + "甲", QString(QChar(0xDC00)) + "甲"};
        for (int i = 0; i < distinctNames; ++i)
            names << QStringLiteral("人%1").arg(i);
        const QStringList phones = {"", "1", "2"};
        const QStringList mobiles = {"", "13900000001", "13900000002", "139"};
        const QStringList qqs = {"", "1", "2", "1234567890"};
        auto pick = [](const QStringList &from) {
            return from.at(QRandomGenerator::global()->bounded(int(from.size())));
        };
        for (int round = 0; round < rounds; ++round) {
            ContactStore chain, batched;
            QList<QStringList> start;
            for (int i = 0; i < stored; ++i)
                start << QStringList{pick(names.mid(1)), pick(phones), pick(mobiles), pick(qqs), {}, {}};
            QVERIFY(chain.open(newStore(start)));
            QVERIFY(batched.open(newStore(start)));
            rules::BatchAdding batch(batched);
            for (int i = 0; i < offered; ++i) {
                const rules::ContactInput input{0,  pick(names), pick(phones), pick(mobiles), pick(qqs),
                                                {}, {}};
                const rules::Check expected = rules::checkAdding(chain, input);
                if (expected == rules::Check::Ok)
                    QVERIFY(rules::appendContact(chain, input));
                QCOMPARE(int(batch.offer(input)), int(expected));
            }
            QVERIFY(batch.commit(batched));
            QCOMPARE(test::allRecords(batched), test::allRecords(chain));
        }
    }

    // A number that the store cannot hold never drops its contact: a short
    // mobile goes to 电话, a long QQ is left out, and the details say so.
    void reportsAddedSkippedAndLeftOut()
    {
        ContactStore store;
        QVERIFY(store.open(newStore({{"老王", "", "13900000009", "", "", ""}})));
        const QByteArray file = card("张三", "139-0000-0001") + card("张三", "13900000002") +
                                card("李四", "139 0000 0009") + card("王五", "1390000") +
                                card("", "13900000003") + card("赵六", {}, "1234567890") +
                                card("钱七", "+86 139 0000 0004", "12345");
        const ImportReport report = importBytes(store, file, ContactFileKind::VCard);
        QVERIFY(report.succeeded());
        QCOMPARE(report.read, 7);
        QCOMPARE(report.added, 4);
        QCOMPARE(report.skipped.size(), 3);
        QCOMPARE(report.skippedByReason.value(QStringLiteral("已经存在相同姓名的联系人")), 1);
        QCOMPARE(report.skippedByReason.value(QStringLiteral("已经存在相同手机的联系人")), 1);
        QCOMPARE(report.skippedByReason.value(QStringLiteral("没有姓名")), 1);
        QCOMPARE(report.dropped.value(QStringLiteral("NOTE")), 7);
        QCOMPARE(report.dropped.value(QStringLiteral("QQ")), 1);
        QCOMPARE(test::allRecords(store), QList<QStringList>({{"老王", "", "13900000009", "", "", ""},
                                                              {"张三", "", "13900000001", "", "", ""},
                                                              {"王五", "1390000", "", "", "", ""},
                                                              {"赵六", "", "", "", "", ""},
                                                              {"钱七", "", "13900000004", "12345", "", ""}}));
        QCOMPARE(report.skipped.at(0).number, 2);
        QCOMPARE(report.partlyCount, 4);
        QVERIFY(importSummaryText(report).startsWith(QStringLiteral("已导入 4 个联系人，跳过 3 个。")));
        QVERIFY(importSummaryText(report).endsWith(QStringLiteral("文件编码：UTF-8")));
        const QString details = importDetailsText(report);
        QVERIFY(details.contains(QStringLiteral("第 3 个 李四：已经存在相同手机的联系人")));
        QVERIFY2(
            details.contains(QStringLiteral("第 6 个 赵六：已导入，未导入的内容：QQ 1234567890、备注 x")),
            qPrintable(details));
    }

    // Cut by the reader, a contact is too long even when what is left of it
    // would fit once cleaned.
    void skipsContactsTheReaderCut()
    {
        ContactStore store;
        QVERIFY(store.open(newStore()));
        const QByteArray file =
            "BEGIN:VCARD\r\nFN:甲" + QByteArray(kMaxKeptLine, ' ') + "\r\nEND:VCARD\r\n" + card("乙");
        const ImportReport report = importBytes(store, file, ContactFileKind::VCard);
        QCOMPARE(report.added, 1);
        QCOMPARE(report.skippedByReason.value(QStringLiteral("内容过长")), 1);
        QCOMPARE(store.contactAt(1).values().first(), QStringLiteral("乙"));
    }

    // A file of many refused rows lists the first of them, names shortened,
    // and counts the rest.
    void listsAFewSkippedContacts()
    {
        ContactStore store;
        QVERIFY(store.open(newStore()));
        const QByteArray longName(kMaxListedNameLength + 10, 'n');
        const QByteArray file = "姓名,手机\n" + longName + ",13900000002\n" + longName + ",13900000003\n" +
                                QByteArray(",13900000001\n").repeated(kMaxListedSkipped + 99);
        const ImportReport report = importBytes(store, file, ContactFileKind::Csv);
        QCOMPARE(report.skippedCount, kMaxListedSkipped + 100);
        QCOMPARE(report.skipped.size(), kMaxListedSkipped);
        QCOMPARE(report.skipped.first().name,
                 QString(kMaxListedNameLength, QLatin1Char('n')) + QStringLiteral("…"));
        QVERIFY(
            importSummaryText(report).contains(QStringLiteral("跳过 %1 个").arg(kMaxListedSkipped + 100)));
        QVERIFY(importDetailsText(report).endsWith(QStringLiteral("……另有 100 个跳过的联系人没有列出。")));
    }

    // A card of very many properties lists a few of them and counts them all.
    void listsAFewLeftOutItemsOfAContact()
    {
        ContactStore store;
        QVERIFY(store.open(newStore()));
        const QByteArray file =
            "BEGIN:VCARD\r\nFN:甲\r\n" + QByteArray("NOTE:n\r\n").repeated(500) + "END:VCARD\r\n";
        const ImportReport report = importBytes(store, file, ContactFileKind::VCard);
        QCOMPARE(report.partly.value(0).leftOut.size(), 21);
        QCOMPARE(report.partly.value(0).leftOut.last(), QStringLiteral("等 500 项"));
    }

    void failedOrCancelledImportWritesNothing_data()
    {
        test::addFlagRows("cancel", "cancelled", "commit fails");
    }

    void failedOrCancelledImportWritesNothing()
    {
        QFETCH(bool, cancel);
        const QString path = newStore({{"甲", "", "", "", "", ""}});
        ContactStore store;
        QVERIFY(store.open(path));
        QByteArray file;
        for (int i = 0; i < 2000; ++i)
            file += card(QStringLiteral("人%1").arg(i));
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        if (!cancel)
            ContactStoreTestAccess::failNextCommit(store);
        const ImportReport report =
            importBytes(store, file, ContactFileKind::VCard, [cancel](qint64, qint64) { return !cancel; });
        QVERIFY(!report.succeeded());
        QCOMPARE(report.cancelled, cancel);
        QCOMPARE(report.writeFailed, !cancel);
        QCOMPARE(report.added, 0);
        QCOMPARE(store.recordCount(), 1);
        store.close();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void refusesWhatIsNoContactFile()
    {
        ContactStore store;
        QVERIFY(store.open(newStore()));
        const QString png = m_dir.filePath(QStringLiteral("x.png"));
        QFile f(png);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\n");
        f.close();
        for (const QString &path : {png, m_dir.filePath(QStringLiteral("missing.vcf")), m_dir.path()}) {
            const ImportReport report = importContactFile(store, path);
            QVERIFY2(report.refused, qPrintable(path));
            QVERIFY(!report.succeeded());
        }
    }

    void exportThenImportGivesTheSameContacts_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("vcard 3.0") << int(ContactFormat::VCard30);
        QTest::newRow("vcard 2.1") << int(ContactFormat::VCard21);
        QTest::newRow("csv") << int(ContactFormat::CsvUtf8);
        QTest::newRow("csv gb18030") << int(ContactFormat::CsvGb18030);
    }

    void exportThenImportGivesTheSameContacts()
    {
        QFETCH(int, format);
        const QList<QStringList> rows = {
            {"张三", "010-6666 8888", "13900000001", "12345", "z@x.cn", "北京市; 海淀区, 1号"},
            {"诸葛亮", "", "13900000002", "", "", ""},
            {"Mary Ann O'Neil", "+1 (415) 555-0100", "", "", "m@x.com", "\\home"},
            {" 王 五 ", "", "", "", "", "上海市\n浦东新区 "}};
        ContactStore from, into;
        QVERIFY(from.open(newStore(rows)));
        QVERIFY(into.open(newStore()));
        const QString out =
            m_dir.filePath(QStringLiteral("round%1.%2").arg(format).arg(format < 2 ? "vcf" : "csv"));
        QVERIFY(exportContacts(out, from, ContactFormat(format)));
        const ImportReport report = importContactFile(into, out);
        QVERIFY(report.succeeded());
        QCOMPARE(report.added, rows.size());
        QCOMPARE(test::allRecords(into), rows);
        QVERIFY(report.dropped.isEmpty());
    }

    void exportFailureKeepsTheOldFile()
    {
        ContactStore store;
        QVERIFY(store.open(newStore({{"甲", "", "", "", "", ""}})));
        QString why;
        QVERIFY(!exportContacts(m_dir.filePath(QStringLiteral("no/such/dir/x.vcf")), store,
                                ContactFormat::VCard30, &why));
        QCOMPARE(why, QStringLiteral("文件夹不存在"));
    }

    void exportsOfAProtectedStoreArePrivate_data()
    {
        test::addFlagRows("protectedStore", "password", "no password");
    }

    // Under umask 000: 0600 with a password, 0666 without.
    void exportsOfAProtectedStoreArePrivate()
    {
        QFETCH(bool, protectedStore);
        const test::UmaskScope scope(0);
        const QString password = protectedStore ? QStringLiteral("pw") : QString();
        ContactStore store;
        QVERIFY(store.open(newStore({{"甲", "", "", "", "", ""}}, password), password));
        const QString out = m_dir.filePath(QStringLiteral("mode%1.csv").arg(protectedStore));
        QVERIFY(exportContacts(out, store, ContactFormat::CsvUtf8));
        QCOMPARE(test::permissionsOf(out), protectedStore ? 0600u : 0666u);
    }
};

QTEST_GUILESS_MAIN(ExchangeImportTest)
#include "tst_exchange_import.moc"
