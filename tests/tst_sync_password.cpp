// The server password in the secret service: kept, read back, replaced and
// forgotten per account, and forgotten when the settings give its account
// up (saved by the window's core or by wab sync against Radicale), on a
// private bus with a keyring of the test's own.

#include "contacts/store/ContactStore.h"
#include "support/DavServers.h"
#include "support/Processes.h"
#include "support/SecretService.h"
#include "support/StoreFixture.h"
#include "support/SyncStoreMemory.h"
#include "sync/ServerPassword.h"
#include "sync/StoreSync.h"

#include <QTest>

#include <memory>

using namespace quennet;
using sync::ServerPassword;
using sync::SyncSettings;
using test::DavServer;

namespace {

// Settings in memory that a test lets fail to save.
class RefusingStore : public test::MemorySyncStore {
public:
    using MemorySyncStore::MemorySyncStore;
    bool refuse = false;

    bool saveSettings(const SyncSettings &settings, QString *why) override
    {
        if (refuse) {
            *why = QStringLiteral("磁盘已满");
            return false;
        }
        return MemorySyncStore::saveSettings(settings, why);
    }
};

// wab sync on the store with the private secret service (the bus of this
// process); the server password from standard input when given.
test::CommandResult wabSync(const QStringList &args, const QString &store, const QString &password)
{
    QStringList all{QStringLiteral("sync")};
    if (!password.isNull())
        all << QStringLiteral("--server-password-stdin");
    QProcess process;
    process.start(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab"),
                  all + args + QStringList{store});
    process.waitForStarted(10000);
    if (!password.isNull())
        process.write(password.toUtf8() + '\n');
    process.closeWriteChannel();
    return test::finishCommand(process, 120000);
}

} // namespace

class TestSyncPassword : public QObject {
    Q_OBJECT

    std::unique_ptr<test::PrivateSecretService> m_service;
    test::StoreDir m_stores;

private slots:
    void initTestCase()
    {
        QVERIFY(m_stores.isValid());
        QUENNET_START_SECRET_SERVICE(m_service);
    }

    void keptPerAccount()
    {
        const QString alice = ServerPassword::keyFor(QStringLiteral("https://dav.example.cn/alice/contacts/"),
                                                     QStringLiteral("alice"));
        const QString bob = ServerPassword::keyFor(QStringLiteral("https://dav.example.cn/alice/contacts/"),
                                                   QStringLiteral("bob"));
        QCOMPARE(alice, QStringLiteral("alice@https://dav.example.cn/alice/contacts/"));
        QString why, password;
        QCOMPARE(ServerPassword::read(alice, &password, &why), ServerPassword::NotFound);
        QCOMPARE(ServerPassword::store(alice, QStringLiteral("密码 one"), &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::store(bob, QStringLiteral("two"), &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(alice, &password, &why), ServerPassword::Ok);
        QCOMPARE(password, QStringLiteral("密码 one"));

        QCOMPARE(ServerPassword::store(alice, QStringLiteral("three"), &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(alice, &password, &why), ServerPassword::Ok);
        QCOMPARE(password, QStringLiteral("three"));
        QCOMPARE(ServerPassword::forget(alice, &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::forget(alice, &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(alice, &password, &why), ServerPassword::NotFound);
        QCOMPARE(ServerPassword::read(bob, &password, &why), ServerPassword::Ok);
        QCOMPARE(password, QStringLiteral("two"));
    }

    // Another server address or user in the settings: the old account's
    // entry goes; the same account (another book of it) keeps it.
    void anAccountGivenUpIsForgotten_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("forgotten");
        QTest::newRow("same account")
            << QStringLiteral("https://dav.example.cn/c/") << QStringLiteral("carol") << false;
        QTest::newRow("another server")
            << QStringLiteral("https://cloud.example.org/c/") << QStringLiteral("carol") << true;
        QTest::newRow("another user")
            << QStringLiteral("https://dav.example.cn/c/") << QStringLiteral("dave") << true;
        QTest::newRow("no server any more") << QString() << QString() << true;
    }
    void anAccountGivenUpIsForgotten()
    {
        QFETCH(QString, url);
        QFETCH(QString, user);
        QFETCH(bool, forgotten);
        const QString was = QStringLiteral("https://dav.example.cn/c/");
        const QString carol = ServerPassword::keyFor(was, QStringLiteral("carol"));
        const QString other =
            ServerPassword::keyFor(QStringLiteral("https://other.example.cn/"), QStringLiteral("carol"));
        QString why, password;
        QCOMPARE(ServerPassword::store(carol, QStringLiteral("c"), &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::store(other, QStringLiteral("o"), &why), ServerPassword::Ok);
        QCOMPARE(ServerPassword::forgetReplaced(was, QStringLiteral("carol"), url, user, &why),
                 ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(carol, &password, &why),
                 forgotten ? ServerPassword::NotFound : ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(other, &password, &why), ServerPassword::Ok);
        // An account without a user kept no password: nothing to forget.
        QCOMPARE(ServerPassword::forgetReplaced(was, QString(), url, user, &why), ServerPassword::Ok);
    }

    // The window and wab save the settings through one core: the entry of
    // the account given up goes only once the new account is saved.
    void savingAnotherAccountForgetsTheOld_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("forgotten");
        QTest::newRow("another user saved") << QStringLiteral("dave") << false << true;
        QTest::newRow("another user not saved") << QStringLiteral("dave") << true << false;
        QTest::newRow("same account, another book") << QStringLiteral("carol") << false << false;
    }
    void savingAnotherAccountForgetsTheOld()
    {
        QFETCH(QString, user);
        QFETCH(bool, refused);
        QFETCH(bool, forgotten);
        const QString url = QStringLiteral("https://dav.example.cn/saved/");
        const QString carol = ServerPassword::keyFor(url, QStringLiteral("carol"));
        QString why, notForgotten, password;
        QCOMPARE(ServerPassword::store(carol, QStringLiteral("c"), &why), ServerPassword::Ok);
        ContactStore file;
        RefusingStore store(file, {url, QStringLiteral("carol"), QStringLiteral("/carol/a/")}, false);
        store.refuse = refused;
        const SyncSettings now{url, user, QStringLiteral("/carol/b/")};
        QCOMPARE(ServerPassword::saveSettings(store, now, &why, &notForgotten), !refused);
        QCOMPARE(store.settings() == now, !refused);
        QCOMPARE(why, refused ? QStringLiteral("磁盘已满") : QString());
        QCOMPARE(notForgotten, QString());
        QCOMPARE(ServerPassword::read(carol, &password, &why),
                 forgotten ? ServerPassword::NotFound : ServerPassword::Ok);
    }

    // wab sync naming another account (server address or user) than the one
    // saved: once the new one is saved, the old account's password leaves the
    // secret service, and the new one's is kept there once the server took it.
    // Without a password for the new account nothing is saved or forgotten.
    void wabSyncWithAnotherAccountForgetsTheOld_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("atTheRoot"); // the server's address, not the book's
        QTest::addColumn<bool>("given");     // the password on standard input
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("forgotten");
        QTest::newRow("same account, from the service")
            << QStringLiteral("alice") << false << false << 0 << false;
        QTest::newRow("another address") << QStringLiteral("alice") << true << true << 0 << true;
        QTest::newRow("another user") << QStringLiteral("bob") << false << true << 0 << true;
        QTest::newRow("another user, no password") << QStringLiteral("bob") << false << false << 1 << false;
    }
    void wabSyncWithAnotherAccountForgetsTheOld()
    {
        QFETCH(QString, user);
        QFETCH(bool, atTheRoot);
        QFETCH(bool, given);
        QFETCH(int, code);
        QFETCH(bool, forgotten);
        QString why, password;
        bool missing = false;
        const std::unique_ptr<DavServer> server = DavServer::start(DavServer::Radicale, &why, &missing);
        if (!server) {
            if (missing)
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        const QString bobBook = server->addUser(QStringLiteral("bob"), QStringLiteral("bob-pw-7"));
        const QString store = m_stores.create();
        const QString bookUrl = server->bookUrl().toString();
        test::CommandResult r =
            wabSync({QStringLiteral("--url"), bookUrl, QStringLiteral("--user"), QStringLiteral("alice")},
                    store, server->password());
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("服务器密码已保存在桌面的密码保管服务中。")),
                 qPrintable(r.out + r.err));
        const QString alice = ServerPassword::keyFor(bookUrl, QStringLiteral("alice"));
        QCOMPARE(ServerPassword::read(alice, &password, &why), ServerPassword::Ok);

        const bool bob = user == QStringLiteral("bob");
        const QString url = bob         ? server->root().resolved(QUrl(bobBook)).toString()
                            : atTheRoot ? server->root().toString()
                                        : bookUrl;
        const QString serverPassword = bob ? QStringLiteral("bob-pw-7") : server->password();
        r = wabSync({QStringLiteral("--url"), url, QStringLiteral("--user"), user}, store,
                    given ? serverPassword : QString());
        QVERIFY2(r.code == code, qPrintable(r.out + r.err));
        if (code != 0)
            QVERIFY2(r.err.contains(QStringLiteral("--server-password-stdin")), qPrintable(r.err));
        QCOMPARE(ServerPassword::read(alice, &password, &why),
                 forgotten ? ServerPassword::NotFound : ServerPassword::Ok);
        QCOMPARE(ServerPassword::read(ServerPassword::keyFor(url, user), &password, &why),
                 code == 0 ? ServerPassword::Ok : ServerPassword::NotFound);
        if (code == 0)
            QCOMPARE(password, serverPassword);
        ContactStore file;
        QVERIFY(file.open(store));
        QCOMPARE(sync::StoreSync(file).settings().user, code == 0 ? user : QStringLiteral("alice"));
    }

    void userInTheUrlIsNoPartOfTheKey()
    {
        QCOMPARE(
            ServerPassword::keyFor(QStringLiteral("https://x:y@dav.example.cn/b/?q#f"), QStringLiteral("u")),
            QStringLiteral("u@https://dav.example.cn/b/"));
    }
};

QTEST_GUILESS_MAIN(TestSyncPassword)
#include "tst_sync_password.moc"
