// The server password in the secret service: kept, read back, replaced and
// forgotten per account, and forgotten when the settings give its account
// up, on a private bus with a keyring of the test's own.

#include "support/SecretService.h"
#include "sync/ServerPassword.h"

#include <QTest>

#include <memory>

using namespace quennet;
using sync::ServerPassword;

class TestSyncPassword : public QObject {
    Q_OBJECT

    std::unique_ptr<test::PrivateSecretService> m_service;

private slots:
    void initTestCase() { QUENNET_START_SECRET_SERVICE(m_service); }

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

    void userInTheUrlIsNoPartOfTheKey()
    {
        QCOMPARE(
            ServerPassword::keyFor(QStringLiteral("https://x:y@dav.example.cn/b/?q#f"), QStringLiteral("u")),
            QStringLiteral("u@https://dav.example.cn/b/"));
    }
};

QTEST_GUILESS_MAIN(TestSyncPassword)
#include "tst_sync_password.moc"
