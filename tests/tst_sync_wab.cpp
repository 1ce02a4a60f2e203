// wab sync against Radicale and Xandikos: two-way with vdirsyncer editing
// the book between syncs, the settings kept for the next sync, syncs that the
// book's mark and the local mark end at once and the changes of either side
// that still get through them, a server that
// no longer knows the sync token, the sources of the server password, and
// syncs killed at many moments that the next sync finishes, with nothing
// duplicated or lost.

#include "contacts/store/ContactStore.h"
#include "contacts/store/SyncRows.h"
#include "support/DavServers.h"
#include "support/Processes.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"
#include "support/Vdirsyncer.h"
#include "sync/CardDavClient.h"
#include "sync/ServerCard.h"
#include "sync/StoreSync.h"
#include "sync/SyncLock.h"

#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <signal.h>

using namespace quennet;
using namespace quennet::sync;
using test::DavServer;

Q_DECLARE_METATYPE(DavServer::Kind)

namespace {

using Result = quennet::test::CommandResult;

QString wabPath()
{
    return qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab");
}

// No desktop's secret service: the tests never reach a real keyring.
QProcessEnvironment wabEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    return env;
}

void startWab(QProcess &process, const QStringList &args, const QByteArray &input)
{
    process.setProcessEnvironment(wabEnvironment());
    process.start(wabPath(), args);
    process.waitForStarted(10000);
    process.write(input);
    process.closeWriteChannel();
}

Result wab(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess process;
    startWab(process, args, input);
    return test::finishCommand(process, 120000);
}

QByteArray cardOf(const QString &uid, const QString &name, const QString &mobile)
{
    return QStringLiteral(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nTEL;TYPE=CELL:%3\r\nNOTE:手机上的备注\r\n"
               "END:VCARD\r\n")
        .arg(uid, name, mobile)
        .toUtf8();
}

const QString kNothingDone =
    QStringLiteral("本机：新增 0，修改 0，删除 0。\n服务器：新增 0，修改 0，删除 0。\n");

} // namespace

class TestSyncWab : public QObject {
    Q_OBJECT

    std::unique_ptr<DavServer> m_server;
    test::StoreDir m_stores;
    QString m_store;

    QString startServer(DavServer::Kind kind, bool *missing)
    {
        QString why;
        m_server = DavServer::start(kind, &why, missing);
        m_store = m_stores.create();
        return m_server ? QString() : why;
    }

    // wab sync on the store, the first time with the book's URL; the server
    // password (when it has accounts) from standard input after input.
    Result sync(const QStringList &more = {}, const QByteArray &input = QByteArray())
    {
        QStringList args{QStringLiteral("sync")};
        QByteArray stdinText = input;
        if (m_server->hasAccounts()) {
            args << QStringLiteral("--server-password-stdin");
            stdinText += m_server->password().toUtf8() + '\n';
        }
        return wab(args + more + QStringList{m_store}, stdinText);
    }
    QStringList firstSyncArgs() const
    {
        QStringList args{QStringLiteral("--url"), m_server->bookUrl().toString()};
        if (m_server->hasAccounts())
            args << QStringLiteral("--user") << m_server->user();
        return args;
    }

    QStringList names()
    {
        QStringList out;
        for (const QStringList &row : test::storedRecords(m_store))
            out << row.value(0);
        out.sort();
        return out;
    }

    // The cards of the book, by 姓名.
    QMultiMap<QString, QByteArray> serverCards()
    {
        CardDavClient client({m_server->bookUrl(), m_server->user(), m_server->password()});
        QList<CardRef> refs;
        QMultiMap<QString, QByteArray> out;
        if (!client.listCards(m_server->bookPath(), &refs).ok())
            return out;
        QStringList hrefs;
        for (const CardRef &ref : refs)
            hrefs << ref.href;
        QList<ServerCardData> cards;
        client.fetchCards(m_server->bookPath(), hrefs, &cards);
        for (const ServerCardData &card : cards)
            out.insert(ServerCard::parse(card.vcard).contact().name, card.vcard);
        return out;
    }
    bool putOnServer(const QByteArray &card, const QString &uid)
    {
        CardDavClient client({m_server->bookUrl(), m_server->user(), m_server->password()});
        return client.putCard(CardDavClient::newCardHref(m_server->bookPath(), uid), card, QString(), nullptr)
            .ok();
    }

    // 张三 on the server, 王五 here, and the first sync.
    Result firstSyncOfZhangThereAndWangHere()
    {
        if (!putOnServer(cardOf(QStringLiteral("p-1"), QStringLiteral("张三"), QStringLiteral("13800138000")),
                         QStringLiteral("p-1")))
            return {};
        const Result added = wab({QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("王五"),
                                  QStringLiteral("--mobile"), QStringLiteral("13700137000"), m_store});
        return added.code == 0 ? sync(firstSyncArgs()) : added;
    }

    void addServerRows()
    {
        QTest::addColumn<DavServer::Kind>("kind");
        QTest::newRow("radicale") << DavServer::Radicale;
        QTest::newRow("xandikos") << DavServer::Xandikos;
    }

#define START_SERVER(kind)                                                                                   \
    bool missing = false;                                                                                    \
    if (const QString why = startServer(kind, &missing); !why.isEmpty()) {                                   \
        if (missing)                                                                                         \
            QSKIP(qPrintable(why));                                                                          \
        QFAIL(qPrintable(why));                                                                              \
    }                                                                                                        \
    do {                                                                                                     \
    } while (false)

private slots:
    void initTestCase()
    {
        QVERIFY(m_stores.isValid());
    }

    void twoWayWithAPhoneBetweenSyncs_data()
    {
        addServerRows();
    }
    void twoWayWithAPhoneBetweenSyncs()
    {
        QFETCH(DavServer::Kind, kind);
        if (!test::VdirsyncerPhone::installed())
            QSKIP("vdirsyncer is not installed (scripts/setup-deps.sh)");
        START_SERVER(kind);
        Result r = firstSyncOfZhangThereAndWangHere();
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.startsWith(
                     QStringLiteral("本机：新增 1，修改 0，删除 0。\n服务器：新增 1，修改 0，删除 0。\n")),
                 qPrintable(r.out));

        test::VdirsyncerPhone phone(m_server->bookUrl(), m_server->user(), m_server->password());
        QString failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        // On the phone: 张三 gets an e-mail, 王五 goes, 周七 comes.
        for (const QString &file : phone.files()) {
            const ServerCard card = ServerCard::parse(phone.read(file));
            if (card.contact().name == QStringLiteral("王五")) {
                QVERIFY(phone.remove(file));
            } else {
                Contact now = card.contact();
                now.email = QStringLiteral("zs@example.cn");
                phone.write(file, card.edited(card.contact(), now).bytes());
            }
        }
        phone.write(QStringLiteral("p-7.vcf"),
                    cardOf(QStringLiteral("p-7"), QStringLiteral("周七"), QStringLiteral("13500135000")));
        failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        // Here, between the syncs: 张三's QQ, by the window's modifying rules.
        QCOMPARE(wab({QStringLiteral("modify"), QStringLiteral("2"), QStringLiteral("--qq"),
                      QStringLiteral("4444"), m_store})
                     .code,
                 0);

        r = sync(); // the saved settings
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.startsWith(
                     QStringLiteral("本机：新增 1，修改 1，删除 1。\n服务器：新增 0，修改 1，删除 0。\n")),
                 qPrintable(r.out));
        QCOMPARE(names(), (QStringList{QStringLiteral("周七"), QStringLiteral("张三")}));
        const QStringList zhang = test::storedRecords(m_store).value(0);
        QCOMPARE(zhang.value(3), QStringLiteral("4444"));
        QCOMPARE(zhang.value(4), QStringLiteral("zs@example.cn"));
        failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QByteArray onPhone = serverCards().value(QStringLiteral("张三"));
        QVERIFY2(onPhone.contains("X-QQ:4444") && onPhone.contains("NOTE:手机上的备注"), onPhone.constData());

        r = sync();
        QCOMPARE(r.out, kNothingDone);
        const Result check = wab({QStringLiteral("check"), m_store});
        QVERIFY2(check.out.contains(QStringLiteral("已同步 2 张名片，待服务器删除 0 张。")),
                 qPrintable(check.out));
        QVERIFY(check.out.contains(m_server->bookPath()));
    }

    void theBooksMarkAloneTellsNothingChanged_data()
    {
        addServerRows();
    }
    void theBooksMarkAloneTellsNothingChanged()
    {
        QFETCH(DavServer::Kind, kind);
        if (!test::VdirsyncerPhone::installed())
            QSKIP("vdirsyncer is not installed (scripts/setup-deps.sh)");
        START_SERVER(kind);
        Result r = firstSyncOfZhangThereAndWangHere();
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        const auto marks = [this] {
            ContactStore store;
            store.open(m_store);
            StoreSync sync(store);
            return QStringList{sync.state().ctag(), sync.state().localMark()};
        };
        // Nothing changed: from now on the book's getctag and the local mark tell so.
        for (int i = 0; i < 2; ++i)
            QCOMPARE(sync().out, kNothingDone);
        QVERIFY2(!marks().contains(QString()), qPrintable(marks().join(',')));

        // Each change on the phone alone (the contacts here as they were) gets through.
        test::VdirsyncerPhone phone(m_server->bookUrl(), m_server->user(), m_server->password());
        QString failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const auto fileOf = [&](const QString &name) {
            for (const QString &file : phone.files())
                if (ServerCard::parse(phone.read(file)).contact().name == name)
                    return file;
            return QString();
        };
        const ServerCard zhang = ServerCard::parse(phone.read(fileOf(QStringLiteral("张三"))));
        Contact edited = zhang.contact();
        edited.qq = QStringLiteral("5555");
        phone.write(fileOf(QStringLiteral("张三")), zhang.edited(zhang.contact(), edited).bytes());
        const struct {
            std::function<void()> onPhone;
            QString report;
        } steps[] = {
            {[] {}, QStringLiteral("本机：新增 0，修改 1，删除 0。")},
            {[&] { phone.remove(fileOf(QStringLiteral("王五"))); },
             QStringLiteral("本机：新增 0，修改 0，删除 1。")},
            {[&] {
                 phone.write(QStringLiteral("p-7.vcf"), cardOf(QStringLiteral("p-7"), QStringLiteral("周七"),
                                                               QStringLiteral("13500135000")));
             },
             QStringLiteral("本机：新增 1，修改 0，删除 0。")},
        };
        for (const auto &step : steps) {
            step.onPhone();
            failed = phone.sync();
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
            r = sync();
            QVERIFY2(r.code == 0 && r.out.startsWith(step.report), qPrintable(r.out + r.err));
            QCOMPARE(sync().out, kNothingDone);
        }
        QCOMPARE(names(), (QStringList{QStringLiteral("周七"), QStringLiteral("张三")}));
        QCOMPARE(test::storedRecords(m_store).value(0).value(3), QStringLiteral("5555"));

        // An edit here alone goes up, and the marks come back after it.
        QCOMPARE(wab({QStringLiteral("modify"), QStringLiteral("1"), QStringLiteral("--email"),
                      QStringLiteral("zs@example.cn"), m_store})
                     .code,
                 0);
        r = sync();
        QVERIFY2(r.out.startsWith(kNothingDone.section(QLatin1Char('\n'), 0, 0) +
                                  QStringLiteral("\n服务器：新增 0，修改 1，删除 0。")),
                 qPrintable(r.out + r.err));
        QCOMPARE(sync().out, kNothingDone);
        QVERIFY(serverCards().value(QStringLiteral("张三")).contains("zs@example.cn"));
        QVERIFY(!marks().contains(QString()));
    }

    void aDroppedSyncTokenResyncsWithoutDuplicates()
    {
        START_SERVER(DavServer::Radicale);
        for (int i = 1; i <= 3; ++i)
            QVERIFY(putOnServer(cardOf(QStringLiteral("p-%1").arg(i), QStringLiteral("人%1").arg(i),
                                       QStringLiteral("1390000000%1").arg(i)),
                                QStringLiteral("p-%1").arg(i)));
        QCOMPARE(sync(firstSyncArgs()).code, 0);
        {
            ContactStore store;
            QVERIFY(store.open(m_store));
            QVERIFY(SyncRows(store).setValue(SyncRows::Value::SyncToken,
                                             QStringLiteral("http://radicale.org/ns/sync/0000")));
            // Without a getctag to compare, the token is what the sync asks.
            QVERIFY(SyncRows(store).setValue(SyncRows::Value::Ctag, QString()));
        }
        const Result r = sync();
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(r.out, kNothingDone);
        QCOMPARE(names().size(), 3);
        QCOMPARE(serverCards().size(), 3);
    }

    void theServerPasswordComesFromStdinOrTheProtectedStore()
    {
        START_SERVER(DavServer::Radicale);
        QFile::remove(m_store);
        QCOMPARE(wab({QStringLiteral("init"), QStringLiteral("--password-stdin"), m_store}, "pw\n").code, 0);
        const QStringList first = firstSyncArgs() + QStringList{QStringLiteral("--password-stdin"), m_store};
        // Neither given, nor in a secret service, nor kept: said so, nothing synced.
        Result r = wab(QStringList{QStringLiteral("sync")} + first, "pw\n");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("--server-password-stdin")), qPrintable(r.err));
        // Both from standard input: the store's first, then the server's; kept sealed.
        r = wab(QStringList{QStringLiteral("sync"), QStringLiteral("--server-password-stdin")} + first,
                "pw\n" + m_server->password().toUtf8() + "\n");
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("服务器密码已加密保存在通讯录中。")));
        r = wab({QStringLiteral("sync"), QStringLiteral("--password-stdin"), m_store}, "pw\n");
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        // A wrong one is refused by the server and not kept.
        r = wab({QStringLiteral("sync"), QStringLiteral("--password-stdin"),
                 QStringLiteral("--server-password-stdin"), m_store},
                "pw\nwrong\n");
        QCOMPARE(r.code, 1);
        QVERIFY(!r.out.contains(QStringLiteral("已加密保存")));
        QCOMPARE(wab({QStringLiteral("sync"), QStringLiteral("--password-stdin"), m_store}, "pw\n").code, 0);
        QVERIFY(!test::readAll(m_store).contains(m_server->password().toUtf8()));
    }

    void severalBooksAskForOne()
    {
        START_SERVER(DavServer::Radicale);
        const QString work = m_server->addBook(QStringLiteral("work"), QStringLiteral("工作"));
        const QStringList root{QStringLiteral("--url"), m_server->root().toString(), QStringLiteral("--user"),
                               m_server->user()};
        Result r = sync(root);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("请用 --book 选出一个")) && r.err.contains(work) &&
                     r.err.contains(m_server->bookPath()),
                 qPrintable(r.err));
        r = sync({QStringLiteral("--book"), work});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(wab({QStringLiteral("check"), m_store}).out.contains(work));
    }

    // wab hands the command to wab-sync beside it; alone, it says where that
    // program belongs and leaves the store as it was.
    void withoutItsSyncProgramWabSaysWhereItBelongs()
    {
        const QString store = m_stores.create();
        const QByteArray before = test::readAll(store);
        QTemporaryDir alone;
        const QString lonely = alone.filePath(QStringLiteral("wab"));
        QVERIFY(QFile::copy(wabPath(), lonely));
        QProcess process;
        process.setProcessEnvironment(wabEnvironment());
        process.start(lonely, {QStringLiteral("sync"), QStringLiteral("--url"),
                               QStringLiteral("http://127.0.0.1:9/"), store});
        const Result r = test::finishCommand(process, 60000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("找不到同步程序 wab-sync")) && r.err.contains(alone.path()),
                 qPrintable(r.err));
        QCOMPARE(test::readAll(store), before);
        // Its usage needs no other program.
        QProcess help;
        help.start(lonely, {QStringLiteral("sync"), QStringLiteral("--help")});
        QCOMPARE(test::finishCommand(help, 60000).code, 0);
    }

    // Killed at many moments of a first sync of 150 cards each way; the
    // syncs after it converge on every contact once, here and there.
    // A phone's card with a structured address and several numbers comes in
    // as the importer reads it; an edited 地址 goes back whole in the street
    // of the ADR, and the rest of the card stays.
    void addressesAndNumbersAsTheImporterReadsThem()
    {
        START_SERVER(DavServer::Radicale);
        QVERIFY(putOnServer("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:p-a\r\nFN:赵六\r\nTEL;TYPE=CELL:12345\r\n"
                            "TEL;TYPE=CELL:+86 139-0000-1111\r\nTEL;TYPE=FAX:0571-88880000\r\n"
                            "ADR;TYPE=WORK:;;文三路90号;杭州市;浙江省;310000;中国\r\nBDAY:1985-02-03\r\n"
                            "END:VCARD\r\n",
                            QStringLiteral("p-a")));
        Result r = sync(firstSyncArgs());
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(test::storedRecords(m_store).value(0),
                 (QStringList{QStringLiteral("赵六"), QStringLiteral("12345"), QStringLiteral("13900001111"),
                              QString(), QString(), QStringLiteral("中国浙江省杭州市文三路90号 310000")}));
        QCOMPARE(wab({QStringLiteral("modify"), QStringLiteral("1"), QStringLiteral("--address"),
                      QStringLiteral("浙江省杭州市西湖区文一路1号"), m_store})
                     .code,
                 0);
        r = sync();
        QVERIFY2(r.out.startsWith(
                     QStringLiteral("本机：新增 0，修改 0，删除 0。\n服务器：新增 0，修改 1，删除 0。\n")),
                 qPrintable(r.out + r.err));
        const QByteArray card = serverCards().value(QStringLiteral("赵六"));
        QVERIFY2(card.contains("ADR;TYPE=WORK:;;浙江省杭州市西湖区文一路1号;;;;\r\n") &&
                     card.contains("BDAY:1985-02-03") && card.contains("TEL;TYPE=FAX:0571-88880000"),
                 card.constData());
        QCOMPARE(ServerCard::parse(card).contact().address, QStringLiteral("浙江省杭州市西湖区文一路1号"));
    }

    // One sync of a store at a time: while the window's lock is held, or
    // another wab sync waits on a server that never answers, wab sync says so
    // on standard error, ends with 1 and changes nothing; a sync killed with
    // kill -9 leaves a lock the next one takes over.
    void oneSyncOfAStoreAtATime()
    {
        START_SERVER(DavServer::Radicale);
        QVERIFY(
            putOnServer(cardOf(QStringLiteral("p-1"), QStringLiteral("张三"), QStringLiteral("13800138000")),
                        QStringLiteral("p-1")));
        const auto bytes = [this] {
            QFile file(m_store);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = bytes();
        const QString busy = SyncLock::busyText() + QLatin1Char('\n');
        {
            SyncLock window(m_store);
            QString why;
            QVERIFY(window.tryLock(&why));
            const Result r = sync(firstSyncArgs());
            QCOMPARE(r.code, 1);
            QCOMPARE(r.err, busy);
            QCOMPARE(bytes(), before);
        }
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QProcess first;
        startWab(first,
                 {QStringLiteral("sync"), QStringLiteral("--url"),
                  QStringLiteral("http://127.0.0.1:%1/book/").arg(silent.serverPort()), m_store},
                 QByteArray());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SyncLock::lockPathFor(m_store)), 20000);
        Result r = sync(firstSyncArgs());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, busy);
        QCOMPARE(bytes(), before);

        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFile::exists(SyncLock::lockPathFor(m_store)));
        r = sync(firstSyncArgs());
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(names(), QStringList{QStringLiteral("张三")});
    }

    void killedSyncsConverge()
    {
        START_SERVER(DavServer::Radicale);
        constexpr int kEach = 150;
        QList<QStringList> rows;
        for (int i = 1; i <= kEach; ++i)
            rows << QStringList{QStringLiteral("本机%1").arg(i), QString(),
                                QStringLiteral("137%1").arg(i, 8, 10, QLatin1Char('0'))};
        QFile::remove(m_store);
        QVERIFY(test::writeStore(m_store, QString(), rows));
        for (int i = 1; i <= kEach; ++i)
            QVERIFY(putOnServer(cardOf(QStringLiteral("s-%1").arg(i), QStringLiteral("手机%1").arg(i),
                                       QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'))),
                                QStringLiteral("s-%1").arg(i)));
        QStringList args = QStringList{QStringLiteral("sync"), QStringLiteral("--server-password-stdin")} +
                           firstSyncArgs() + QStringList{m_store};
        const QByteArray input = m_server->password().toUtf8() + '\n';
        int killed = 0;
        for (const int afterMs : {60, 150, 300, 500, 800, 1200, 1800, 2600, 3600}) {
            QProcess process;
            startWab(process, args, input);
            if (process.waitForFinished(afterMs))
                break; // done before this moment
            ::kill(pid_t(process.processId()), SIGKILL);
            process.waitForFinished();
            ++killed;
            args = QStringList{QStringLiteral("sync"), QStringLiteral("--server-password-stdin"), m_store};
        }
        QVERIFY(killed > 0);
        Result r;
        for (int attempt = 0; attempt < 3 && r.out != kNothingDone; ++attempt) {
            r = wab({QStringLiteral("sync"), QStringLiteral("--server-password-stdin"),
                     QStringLiteral("--url"), m_server->bookUrl().toString(), QStringLiteral("--user"),
                     m_server->user(), m_store},
                    input);
            QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        }
        QCOMPARE(r.out, kNothingDone);
        const QStringList here = names();
        QCOMPARE(here.size(), 2 * kEach);
        QCOMPARE(QSet<QString>(here.cbegin(), here.cend()).size(), 2 * kEach);
        const QMultiMap<QString, QByteArray> there = serverCards();
        QCOMPARE(there.size(), 2 * kEach);
        QCOMPARE(QStringList(there.uniqueKeys()), here);
        const StoreCheck check = ContactStore::check(m_store);
        QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
        QCOMPARE(check.sync.cards, 2 * kEach);
        QCOMPARE(check.sync.pendingDeletes, 0);
    }
};

QTEST_GUILESS_MAIN(TestSyncWab)
#include "tst_sync_wab.moc"
