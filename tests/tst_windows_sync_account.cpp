// 同步设置 with a secret service (a private bus with a keyring of the test's
// own): when the settings saved name another account (another server
// address or user), the old account's password goes from the service; the
// same account keeps it.

#include "app/ContactSync.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "settings/SyncWindow.h"
#include "support/MainWindowFixture.h"
#include "support/Person.h"
#include "support/SecretService.h"
#include "support/SyncStoreMemory.h"
#include "sync/ServerPassword.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

using namespace quennet;
using sync::ServerPassword;

class WindowsSyncAccountTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::PrivateSecretService> m_service;

private slots:
    void initTestCase()
    {
        QUENNET_START_SECRET_SERVICE(m_service);
        test::initWindowTests();
    }

    void aChangedAccountForgetsTheOldPassword_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("forgotten");
        QTest::newRow("same account, another interval")
            << QStringLiteral("https://dav.example.cn/carol/") << QStringLiteral("carol") << false;
        QTest::newRow("another server address")
            << QStringLiteral("https://cloud.example.org/carol/") << QStringLiteral("carol") << true;
        QTest::newRow("another user")
            << QStringLiteral("https://dav.example.cn/carol/") << QStringLiteral("dave") << true;
    }

    void aChangedAccountForgetsTheOldPassword()
    {
        QFETCH(QString, url);
        QFETCH(QString, user);
        QFETCH(bool, forgotten);
        const sync::SyncSettings saved{QStringLiteral("https://dav.example.cn/carol/"),
                                       QStringLiteral("carol"), QStringLiteral("/carol/book/"), 0};
        const QString oldKey = ServerPassword::keyFor(saved.url, saved.user);
        QString why, password;
        QCOMPARE(ServerPassword::store(oldKey, QStringLiteral("old secret"), &why), ServerPassword::Ok);

        test::MemorySyncStore *store = nullptr;
        setSyncStoreFactory([&](Session &session) {
            auto made = std::make_unique<test::MemorySyncStore>(session.store, saved, false);
            store = made.get();
            return std::unique_ptr<sync::SyncStore>(std::move(made));
        });
        test::MainWindowFixture f({test::Person(QStringLiteral("张三"))}, false);
        QVERIFY(f.ready());
        ui::clearTestScripts();
        ui::ModalScript::setNextHandler([&](QDialog *shown) {
            auto *w = qobject_cast<SyncWindow *>(shown);
            w->服务器编辑框->setText(url);
            w->用户名编辑框->setText(user);
            w->间隔调节框->setValue(30);
            w->保存按钮->click();
        });
        f->findChild<ContactSync *>()->同步设置->trigger();
        setSyncStoreFactory({});

        QCOMPARE(ui::ModalScript::shownNames(), QStringList{QStringLiteral("同步设置窗口")});
        QVERIFY2(ui::MessageBoxScript::shown().isEmpty(), qPrintable(ui::MessageBoxScript::last().text));
        QVERIFY(store);
        QCOMPARE(store->settings().url, url);
        QCOMPARE(store->settings().user, user);
        QCOMPARE(ServerPassword::read(oldKey, &password, &why),
                 forgotten ? ServerPassword::NotFound : ServerPassword::Ok);
        ServerPassword::forget(oldKey, &why);
    }
};

QTEST_MAIN(WindowsSyncAccountTest)
#include "tst_windows_sync_account.moc"
