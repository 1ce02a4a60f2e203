// Sync from the main window: the two items of the 设置 menu (their place is
// checked with the menus in tst_windows_app), the settings window driven through its controls against
// Radicale (test the connection, pick the book, sync, report, list refilled), the fake server for the errors
// and for 取消, the automatic sync that waits while the user is busy with a window of ours, and a sync of
// wab on the same store that the window waits for.

#include "app/ContactListModel.h"
#include "app/ContactSync.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "settings/SyncWindow.h"
#include "support/DavServers.h"
#include "support/FakeDavServer.h"
#include "support/MainWindowFixture.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/SyncStoreMemory.h"
#include "sync/CardDavClient.h"
#include "sync/SyncLock.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/PasswordPrompt.h"
#include "ui/Progress.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <signal.h>

using namespace quennet;
using test::FakeRequest;
using test::FakeResponse;

namespace {

const QString kReport = QStringLiteral("同步");

// Puts the window tests' sync store in place before the main window asks for
// one, and takes it away after.
struct SyncStoreInPlace {
    SyncStoreInPlace(const sync::SyncSettings &preset, bool canKeep)
    {
        setSyncStoreFactory([this, preset, canKeep](Session &session) {
            auto made = std::make_unique<test::MemorySyncStore>(session.store, preset, canKeep);
            syncStore = made.get();
            return std::unique_ptr<sync::SyncStore>(std::move(made));
        });
    }
    ~SyncStoreInPlace() { setSyncStoreFactory({}); }

    test::MemorySyncStore *syncStore = nullptr;
};

// The main window on a store holding 张三, syncing with the preset settings.
class Harness : public SyncStoreInPlace, public test::MainWindowFixture {
public:
    explicit Harness(const sync::SyncSettings &preset = {}, bool canKeep = true)
        : SyncStoreInPlace(preset, canKeep),
          MainWindowFixture({test::Person(QStringLiteral("张三")).mobile(QStringLiteral("13800000001"))},
                            false)
    {
        ui::clearTestScripts();
    }

    ContactSync &sync() const { return *window->findChild<ContactSync *>(); }
    int listed() const { return window->listModel()->rowCount(); }
};

sync::SyncSettings bookAt(const QUrl &url, const QString &book, int minutes = 0)
{
    return {url.toString(), QString(), book, minutes};
}

QByteArray card(const QString &uid, const QString &name, const QString &mobile)
{
    return QStringLiteral(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nTEL;TYPE=CELL:%3\r\nEND:VCARD\r\n")
        .arg(uid, name, mobile)
        .toUtf8();
}

// The server's side of the error and cancel tests: two cards of the phone.
test::EtagOnlyBook phoneBook()
{
    test::EtagOnlyBook book;
    book.put(QStringLiteral("/book/a.vcf"), card(QStringLiteral("a"), QStringLiteral("李四"), "13900000002"));
    book.put(QStringLiteral("/book/b.vcf"), card(QStringLiteral("b"), QStringLiteral("王五"), "13900000003"));
    return book;
}

} // namespace

Q_DECLARE_METATYPE(FakeResponse)

class WindowsSyncTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No secret service: the password is sealed in the store or asked.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quennet-test-bus");
        test::initWindowTests();
    }

    void withoutASyncStoreTheItemsSaySo()
    {
        setSyncStoreFactory([](Session &) { return std::unique_ptr<sync::SyncStore>(); });
        test::MainWindowFixture f({test::Person(QStringLiteral("张三"))}, false);
        ui::clearTestScripts();
        f->findChild<ContactSync *>()->立即同步->trigger();
        setSyncStoreFactory({});
        QCOMPARE(test::shownMessages(), QStringList{test::messageLine(QStringLiteral("同步功能暂不可用。"),
                                                                      kReport, ui::Style::OkInformation)});
        QCOMPARE(ui::ModalScript::shownCount(), 0);
    }

    // Set up against Radicale through the window's controls, then sync again
    // from the menu: the password was sealed in the store, or is asked.
    void setUpTestPickSyncAndRefill_data()
    {
        QTest::addColumn<bool>("canKeep");
        QTest::addColumn<int>("prompts");
        QTest::newRow("sealed in the store") << true << 0;
        QTest::newRow("asked at each sync") << false << 1;
    }

    void setUpTestPickSyncAndRefill()
    {
        QFETCH(bool, canKeep);
        QFETCH(int, prompts);
        QString why;
        bool missing = false;
        const auto server = test::DavServer::start(test::DavServer::Radicale, &why, &missing);
        if (!server) {
            if (missing)
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        sync::CardDavClient phone({server->bookUrl(), server->user(), server->password()});
        QVERIFY(phone
                    .putCard(sync::CardDavClient::newCardHref(server->bookPath(), QStringLiteral("p1")),
                             card(QStringLiteral("p1"), QStringLiteral("李四"), "13900000002"), QString(),
                             nullptr)
                    .ok());

        Harness h({}, canKeep);
        QVERIFY(h.ready());
        QStringList books;
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *w = qobject_cast<SyncWindow *>(shown);
            QTest::keyClicks(w->服务器编辑框, server->root().toString());
            QTest::keyClicks(w->用户名编辑框, server->user());
            QTest::keyClicks(w->密码编辑框, server->password());
            w->间隔调节框->setValue(15);
            w->测试连接按钮->click();
            for (int i = 0; i < w->通讯簿选择框->count(); ++i)
                books << w->通讯簿选择框->itemData(i).toString();
            w->立即同步按钮->click();
        });
        h.sync().同步设置->trigger();
        QCOMPARE(books, QStringList{server->bookPath()});
        QCOMPARE(ui::ModalScript::shownNames(), QStringList{QStringLiteral("同步设置窗口")});
        QCOMPARE(ui::Progress::shownTitles(), QStringList({"测试连接", "同步"}));
        QCOMPARE(test::lastMessage(),
                 test::messageLine(
                     QStringLiteral("本机：新增 1，修改 0，删除 0。\r\n服务器：新增 1，修改 0，删除 0。"),
                     kReport, ui::Style::OkInformation));
        QCOMPARE(h.syncStore->settings(),
                 (sync::SyncSettings{server->root().toString(), server->user(), server->bookPath(), 15}));
        QCOMPARE(h.syncStore->keptPassword(), canKeep ? server->password() : QString());
        QCOMPARE(h.sync().syncTimer->interval(), 15 * 60 * 1000);
        QCOMPARE(h.listed(), 2);
        QCOMPARE(h.counter(), QStringLiteral("共2条记录"));

        ui::clearTestScripts();
        if (!canKeep)
            ui::PasswordPromptScript::setNextAnswer(server->password());
        h.sync().立即同步->trigger();
        QCOMPARE(ui::PasswordPromptScript::asked().size(), prompts);
        QCOMPARE(test::shownMessages(),
                 QStringList{test::messageLine(
                     QStringLiteral("本机：新增 0，修改 0，删除 0。\r\n服务器：新增 0，修改 0，删除 0。"),
                     kReport, ui::Style::OkInformation)});
    }

    void wrongAddressIsRefusedInTheWindow()
    {
        Harness h;
        QVERIFY(h.ready());
        ui::ModalScript::setNextHandler([](QDialog *shown) {
            auto *w = qobject_cast<SyncWindow *>(shown);
            QTest::keyClicks(w->服务器编辑框, QStringLiteral("http://dav.example.com/"));
            w->测试连接按钮->click();
            w->关闭按钮->click();
        });
        h.sync().同步设置->trigger();
        QCOMPARE(ui::MessageBoxScript::shown().size(), 1);
        QCOMPARE(ui::MessageBoxScript::last().style, ui::Style::OkStop);
        QVERIFY(ui::MessageBoxScript::last().text.contains(QStringLiteral("https://")));
        QVERIFY(!h.syncStore->settings().isSet());
    }

    // Each failure ends the sync with its reason and changes nothing.
    void errorsChangeNothing_data()
    {
        QTest::addColumn<FakeResponse>("response");
        QTest::addColumn<QString>("reason");
        QTest::newRow("401") << FakeResponse::plain(401) << QStringLiteral("拒绝了用户名或密码（401）");
        QTest::newRow("403") << FakeResponse::plain(403) << QStringLiteral("不允许访问");
        QTest::newRow("404") << FakeResponse::plain(404) << QStringLiteral("找不到");
        QTest::newRow("503") << FakeResponse::plain(503) << QStringLiteral("服务器出错（503）");
        QTest::newRow("malformed xml")
            << FakeResponse::xml(207, "<d:multistatus xmlns:d=\"DAV:\"><d:response>")
            << QStringLiteral("应答无法读取");
        QTest::newRow("oversized") << FakeResponse::plain(207, "<").with("Content-Length", "900000000")
                                   << QStringLiteral("应答超过 64 MB");
        QTest::newRow("hang up") << FakeResponse::of(FakeResponse::Hangup)
                                 << QStringLiteral("无法连接到服务器");
        QTest::newRow("offline") << FakeResponse() << QStringLiteral("无法连接到服务器");
    }

    void errorsChangeNothing()
    {
        QFETCH(FakeResponse, response);
        QFETCH(QString, reason);
        test::FakeDavServer fake([&](const FakeRequest &) { return response; });
        const bool offline = QByteArray(QTest::currentDataTag()) == "offline";
        const QUrl url = offline
                             ? QUrl(QStringLiteral("http://127.0.0.1:%1/book/").arg(test::freeLocalPort()))
                             : fake.url(QStringLiteral("/book/"));
        Harness h(bookAt(url, QStringLiteral("/book/")));
        QVERIFY(h.ready());
        h.sync().立即同步->trigger();
        const ui::ShownMessage shown = ui::MessageBoxScript::last();
        QCOMPARE(shown.title, kReport);
        QCOMPARE(shown.style, ui::Style::OkStop);
        QVERIFY2(shown.text.startsWith(QStringLiteral("同步失败：")) && shown.text.contains(reason) &&
                     shown.text.endsWith(QStringLiteral("通讯录没有改动。")),
                 qPrintable(shown.text));
        QCOMPARE(h.store().recordCount(), 1);
        QVERIFY(h.syncStore->memoryState().cards().isEmpty());
        QVERIFY(h.syncStore->memoryState().syncToken().isEmpty());
    }

    // 取消 between two steps, or while a request waits for the server: the
    // sync ends with a message, and the next one converges from what was done.
    void cancelledSyncConvergesNextTime_data()
    {
        QTest::addColumn<bool>("duringRequest");
        QTest::newRow("between steps") << false;
        QTest::newRow("during a request") << true;
    }

    void cancelledSyncConvergesNextTime()
    {
        QFETCH(bool, duringRequest);
        test::EtagOnlyBook book = phoneBook();
        bool cancelNextPut = duringRequest;
        test::FakeDavServer fake([&](const FakeRequest &r) {
            if (r.method == "PUT" && cancelNextPut) {
                // The card arrives, the answer never does.
                cancelNextPut = false;
                book(r);
                ui::Progress::cancelRunning();
                return FakeResponse::of(FakeResponse::Silent);
            }
            return book(r);
        });
        Harness h(bookAt(fake.url(QStringLiteral("/book/")), book.path));
        QVERIFY(h.ready());
        if (!duringRequest)
            ui::Progress::setCancelAt(1);
        h.sync().立即同步->trigger();
        const ui::ShownMessage cancelled = ui::MessageBoxScript::last();
        QCOMPARE(cancelled.style, ui::Style::OkExclamation);
        QVERIFY2(cancelled.text.startsWith(QStringLiteral("同步未完成：同步已取消。")),
                 qPrintable(cancelled.text));

        ui::clearTestScripts();
        h.sync().立即同步->trigger();
        QCOMPARE(ui::MessageBoxScript::last().style, ui::Style::OkInformation);
        h.sync().立即同步->trigger();
        QVERIFY2(
            ui::MessageBoxScript::last().text.startsWith(QStringLiteral("本机：新增 0，修改 0，删除 0。")),
            qPrintable(ui::MessageBoxScript::last().text));
        QCOMPARE(h.store().recordCount(), 3);
        QCOMPARE(book.cards.size(), 3);
        QCOMPARE(h.listed(), 3);
    }

    // While wab sync holds the store (waiting on a server that never
    // answers), 立即同步 in the window and in 同步设置 says so and changes
    // nothing; once that sync was killed (kill -9), 立即同步 syncs.
    void aSyncElsewhereIsWaitedFor()
    {
        test::EtagOnlyBook book = phoneBook();
        int requests = 0;
        test::FakeDavServer fake([&](const FakeRequest &r) {
            ++requests;
            return book(r);
        });
        Harness h(bookAt(fake.url(QStringLiteral("/book/")), book.path));
        QVERIFY(h.ready());
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QProcess wab;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
        wab.setProcessEnvironment(env);
        wab.start(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab"),
                  {QStringLiteral("sync"), QStringLiteral("--url"),
                   QStringLiteral("http://127.0.0.1:%1/book/").arg(silent.serverPort()),
                   h.store().filePath()});
        QVERIFY(wab.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sync::SyncLock::lockPathFor(h.store().filePath())), 20000);

        const QString busy = test::messageLine(sync::SyncLock::busyText(), kReport, ui::Style::OkExclamation);
        h.sync().立即同步->trigger();
        QCOMPARE(test::shownMessages(), QStringList{busy});
        ui::clearTestScripts();
        ui::ModalScript::setNextHandler([](QDialog *shown) {
            auto *w = qobject_cast<SyncWindow *>(shown);
            w->间隔调节框->setValue(5);
            w->立即同步按钮->click();
            w->关闭按钮->click();
        });
        h.sync().同步设置->trigger();
        QCOMPARE(test::shownMessages(), QStringList{busy});
        QVERIFY(ui::Progress::shownTitles().isEmpty());
        QCOMPARE(requests, 0);
        QCOMPARE(h.syncStore->settings().intervalMinutes, 0);
        QCOMPARE(h.store().recordCount(), 1);
        QVERIFY(h.syncStore->memoryState().cards().isEmpty());

        ::kill(pid_t(wab.processId()), SIGKILL);
        QVERIFY(wab.waitForFinished(10000));
        QVERIFY(QFile::exists(sync::SyncLock::lockPathFor(h.store().filePath())));
        ui::clearTestScripts();
        h.sync().立即同步->trigger();
        QVERIFY2(ui::MessageBoxScript::last().text.startsWith(QStringLiteral("本机：新增 2，")),
                 qPrintable(ui::MessageBoxScript::last().text));
        QCOMPARE(h.store().recordCount(), 3);
    }

    // The timer syncs unless a window of ours is open or a record is being
    // typed; a sync with nothing to tell stays silent.
    void automaticSyncWaitsForTheUser_data()
    {
        QTest::addColumn<QString>("busy");
        QTest::addColumn<bool>("runs");
        QTest::newRow("idle") << QString() << true;
        QTest::newRow("a window open") << QStringLiteral("window") << false;
        QTest::newRow("a progress open") << QStringLiteral("progress") << false;
        QTest::newRow("adding a contact") << QStringLiteral("adding") << false;
    }

    void automaticSyncWaitsForTheUser()
    {
        QFETCH(QString, busy);
        QFETCH(bool, runs);
        test::EtagOnlyBook book = phoneBook();
        test::FakeDavServer fake([&](const FakeRequest &r) { return book(r); });
        Harness h(bookAt(fake.url(QStringLiteral("/book/")), book.path, 5));
        QVERIFY(h.ready());
        QVERIFY(h.sync().syncTimer->isActive());
        QCOMPARE(h.sync().syncTimer->interval(), 5 * 60 * 1000);
        if (busy == QLatin1String("window")) {
            ui::ModalScript::setNextHandler([&h](QDialog *shown) {
                h.sync().syncTimer_fired();
                shown->reject();
            });
            h->about();
        } else if (busy == QLatin1String("progress")) {
            const ui::Progress importing(&h.w(), QStringLiteral("导入联系人"), QString());
            h.sync().syncTimer_fired();
        } else {
            if (busy == QLatin1String("adding"))
                h->startAdding();
            h.sync().syncTimer_fired();
        }
        QCOMPARE(!fake.requests().isEmpty(), runs);
        QCOMPARE(h.store().recordCount(), runs ? 3 : 1);
        QVERIFY(test::shownMessages().isEmpty());
        if (runs)
            QCOMPARE(h.listed(), 3);
    }
};

QTEST_MAIN(WindowsSyncTest)
#include "tst_windows_sync.moc"
