// Password change, backup, clearing and deletion as the core does them:
// the password rule's branches, and writes that fail half way leaving
// nothing lost.

#include "contacts/ContactRules.h"
#include "contacts/Maintenance.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "support/Person.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <unistd.h>

using namespace quennet;
using namespace quennet::maintenance;
using quennet::test::allNames;
using quennet::test::fileState;
using quennet::test::permissionsOf;
using quennet::test::readAll;

Q_DECLARE_METATYPE(quennet::maintenance::PasswordOutcome)

namespace {

bool anyMarked(ContactStore &store)
{
    for (int number = 1; number <= store.recordCount(); ++number) {
        store.goTo(number);
        if (store.isMarkedDeleted())
            return true;
    }
    return false;
}

} // namespace

class MaintenanceTest : public QObject {
    Q_OBJECT

    test::StoreDir m_stores;

    QString makeStore(const QStringList &names, const QString &password = QString())
    {
        QList<QStringList> rows;
        for (const QString &name : names)
            rows << test::Person(name).phone(QStringLiteral("010-") + name);
        return m_stores.create(password, rows);
    }

private slots:
    void passwordRule_data()
    {
        QTest::addColumn<bool>("hasPassword");
        QTest::addColumn<QString>("typedOld");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("repeated");
        QTest::addColumn<PasswordOutcome>("outcome");
        using O = PasswordOutcome;
        const auto row = [](const char *name, bool hasPassword, const char *typedOld, const char *login,
                            const char *newPassword, const char *repeated, O outcome) {
            QTest::newRow(name) << hasPassword << typedOld << login << newPassword << repeated << outcome;
        };
        // The old password is checked first, so a wrong one hides a mismatch.
        row("wrong old and mismatch", true, "x", "pw", "a", "b", O::WrongOldPassword);
        row("old differs in case", true, "PW", "pw", "a", "a", O::WrongOldPassword);
        row("old with a blank", true, "pw ", "pw", "a", "a", O::WrongOldPassword);
        row("mismatch", true, "pw", "pw", "a", "A", O::Mismatch);
        row("change", true, "pw", "pw", "新", "新", O::Changed);
        row("removal", true, "pw", "pw", "", "", O::Changed);
        // Without a password on the file the old box is never consulted.
        row("none: old ignored", false, "原始密码为空！", "", "a", "a", O::Changed);
        row("none: mismatch", false, "", "", "a", "", O::Mismatch);
        row("none: empty again", false, "", "", "", "", O::Changed);
    }

    void passwordRule()
    {
        QFETCH(bool, hasPassword);
        QFETCH(QString, typedOld);
        QFETCH(QString, login);
        QFETCH(QString, newPassword);
        QFETCH(QString, repeated);
        QFETCH(PasswordOutcome, outcome);
        // What the login leaves: the credential of a store with that password.
        const StoreCredential credential =
            login.isEmpty() ? StoreCredential()
                            : ContactStore::credentialFor(makeStore({}, login), login).credential;
        QCOMPARE(checkPasswordChange({hasPassword, typedOld, credential, newPassword, repeated}), outcome);
    }

    void passwordMessages()
    {
        const QList<std::tuple<PasswordOutcome, bool, QString, MessageLook>> table = {
            {PasswordOutcome::WrongOldPassword, true, "原始密码错误！", MessageLook::Stop},
            {PasswordOutcome::Mismatch, true, "新密码与重复密码不匹配！", MessageLook::Stop},
            {PasswordOutcome::Mismatch, false, "新密码与重复密码不匹配！", MessageLook::Stop},
            {PasswordOutcome::Changed, true, "密码修改成功！", MessageLook::Information},
            {PasswordOutcome::ChangeFailed, true, "密码修改失败！", MessageLook::Stop},
            {PasswordOutcome::ChangeFailed, false, "密码修改失败！", MessageLook::Exclamation},
        };
        for (const auto &[outcome, hadPassword, text, look] : table) {
            const Message message = passwordMessage(outcome, hadPassword);
            QCOMPARE(message.text, text);
            QCOMPARE(message.title, QStringLiteral("温馨提示"));
            QCOMPARE(message.look, look);
        }
    }

    void passwordChangeReseals()
    {
        const QString path = makeStore({"甲", "乙"}, QStringLiteral("old"));
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("old")));
        QCOMPARE(changePassword(store, {true, "old", store.credential(), "new", "new"}),
                 PasswordOutcome::Changed);
        store.close();
        QVERIFY(!store.open(path, QStringLiteral("old")));
        QVERIFY(store.open(path, QStringLiteral("new")));
        QCOMPARE(allNames(store), QStringList({"甲", "乙"}));
        // A refused change writes nothing.
        const auto before = fileState(path);
        QCOMPARE(changePassword(store, {true, "old", store.credential(), "x", "x"}),
                 PasswordOutcome::WrongOldPassword);
        QVERIFY(fileState(path) == before);
    }

    void failedPasswordChangeLosesNothing()
    {
        const QString path = makeStore({"甲", "乙"}, QStringLiteral("old"));
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("old")));
        const QByteArray before = readAll(path);
        ContactStoreTestAccess::failNextCommit(store);
        QCOMPARE(changePassword(store, {true, "old", store.credential(), "new", "new"}),
                 PasswordOutcome::ChangeFailed);
        QCOMPARE(readAll(path), before);
        // The open store still writes under the old password.
        QVERIFY(store.append(test::Person("丙")));
        store.close();
        QVERIFY(store.open(path, QStringLiteral("old")));
        QCOMPARE(allNames(store), QStringList({"甲", "乙", "丙"}));
    }

    void backupIsAByteCopyWithThePassword()
    {
        const QString path = makeStore({"甲", "乙"}, QStringLiteral("密码"));
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("密码")));
        const QString backup = m_stores.filePath(QStringLiteral("copy.bak"));
        QVERIFY(backUp(store, backup));
        QCOMPARE(readAll(backup), readAll(path));
        QCOMPARE(permissionsOf(backup), 0600u);
        // Taken while the store is open, and the store still works.
        QVERIFY(store.append(test::Person("丙")));
        ContactStore restored;
        QVERIFY(!restored.open(backup, QString()));
        QVERIFY(restored.open(backup, QStringLiteral("密码")));
        QCOMPARE(allNames(restored), QStringList({"甲", "乙"}));
        restored.close();
        // A second backup replaces the first.
        QVERIFY(backUp(store, backup));
        QCOMPARE(readAll(backup), readAll(path));
        QCOMPARE(ContactStore::check(backup, QStringLiteral("密码")).recordCount, 3);
    }

    void backupRefusals_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"store itself", "relative name of the store", "symbolic link to the store",
                                 "hard link to the store", "journal", "missing directory", "a directory",
                                 "fails half way", "empty name"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    // The store and any earlier backup stay whole, and no partial file is left.
    void backupRefusals()
    {
        QFETCH(QString, kind);
        const QString path = makeStore({"甲", "乙", "丙"});
        const QDir dir = QFileInfo(path).dir(); // the store's folder, holding it alone
        ContactStore store;
        QVERIFY(store.open(path));
        const QString goodBackup = dir.filePath(QStringLiteral("good.bak"));
        QVERIFY(backUp(store, goodBackup));
        QVERIFY(store.append(test::Person("丁"))); // the store now differs from the backup
        const QByteArray oldBackup = readAll(goodBackup);
        const QByteArray storeBytes = readAll(path);

        QString destination;
        if (kind == "store itself") {
            destination = path;
        } else if (kind == "relative name of the store") {
            QVERIFY(QDir::setCurrent(dir.path()));
            destination = QStringLiteral("./sub/../") + QFileInfo(path).fileName();
            dir.mkpath(QStringLiteral("sub"));
        } else if (kind == "symbolic link to the store") {
            destination = dir.filePath(QStringLiteral("link.bak"));
            QVERIFY(QFile::link(path, destination));
        } else if (kind == "hard link to the store") {
            destination = dir.filePath(QStringLiteral("hard.bak"));
            QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(destination).constData()),
                     0);
        } else if (kind == "journal") {
            destination = path + QStringLiteral("-journal");
        } else if (kind == "missing directory") {
            destination = dir.filePath(QStringLiteral("nowhere/wab.bak"));
        } else if (kind == "a directory") {
            destination = dir.filePath(QStringLiteral("dir"));
            QVERIFY(QDir().mkpath(destination));
        } else if (kind == "fails half way") {
            destination = goodBackup;
            ContactStoreTestAccess::failCopyAfter(store, storeBytes.size() / 2);
        }
        const QStringList filesBefore = dir.entryList(QDir::Files);
        QVERIFY(!backUp(store, destination));
        QCOMPARE(readAll(path), storeBytes);
        QCOMPARE(readAll(goodBackup), oldBackup);
        QCOMPARE(dir.entryList(QDir::Files), filesBefore);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
        QCOMPARE(store.recordCount(), 4);
        QVERIFY(store.append(test::Person("戊")));
    }

    void clearingIsOneTransactionAndScrubsTheText()
    {
        const QString path = makeStore({"清除甲", "清除乙", "清除丙"});
        ContactStore store;
        QVERIFY(store.open(path));
        QVERIFY(readAll(path).contains(QStringLiteral("清除乙").toUtf8()));

        const QByteArray before = readAll(path);
        ContactStoreTestAccess::failNextCommit(store);
        QVERIFY(!clearAll(store));
        QCOMPARE(readAll(path), before);
        QCOMPARE(allNames(store), QStringList({"清除甲", "清除乙", "清除丙"}));

        QVERIFY(clearAll(store));
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(store.isAfterLast());
        const QByteArray after = readAll(path);
        for (const char *text : {"清除甲", "清除乙", "清除丙", "010-"})
            QVERIFY2(!after.contains(QByteArray(text)), text);
        store.close();
        QVERIFY(store.open(path));
        QCOMPARE(store.recordCount(), 0);
        // An empty store clears too.
        QVERIFY(clearAll(store));
    }

    void clearingMessages()
    {
        const QList<std::tuple<Message, QString, QString, MessageLook>> table = {
            {clearFirstConfirmation(), "此选项将删除您通讯录中所有的联系人哦！是否要继续？", "温馨提示",
             MessageLook::YesNoDefaultNo},
            {clearSecondConfirmation(), "不好意思！您真的确定要清空所有联系人吗？", "温馨提示",
             MessageLook::OkCancelExclamationDefaultCancel},
            {clearSucceeded(), "清空所有记录成功！", "温馨提示", MessageLook::Information},
            {clearFailed(), "清空所有记录失败！", "温馨提示", MessageLook::Information},
            {backupSucceeded(), "备份成功！", "温馨提示！", MessageLook::Information},
            {backupFailed(), "备份失败！", "温馨提示！", MessageLook::Stop},
        };
        for (const auto &[message, text, title, look] : table) {
            QCOMPARE(message.text, text);
            QCOMPARE(message.title, title);
            QCOMPARE(message.look, look);
        }
    }

    void deletionCommitsMarkAndPurgeTogether_data()
    {
        QTest::addColumn<int>("commitsBeforeFailure");
        QTest::addColumn<QString>("password");
        for (const char *password : {"", "密码"}) {
            QTest::addRow("first commit fails, password '%s'", password) << 0 << QString::fromUtf8(password);
            QTest::addRow("second commit fails, password '%s'", password) << 1 << QString::fromUtf8(password);
        }
    }

    // A delete either removes the record or leaves it unmarked; it must never
    // stay marked for the next delete to take away silently.
    void deletionCommitsMarkAndPurgeTogether()
    {
        QFETCH(int, commitsBeforeFailure);
        QFETCH(QString, password);
        const QString path = makeStore({"一", "二", "三", "四"}, password);
        ContactStore store;
        QVERIFY(store.open(path, password));
        // A mark left by an earlier, separate delete step goes with the next delete.
        store.goTo(4);
        QVERIFY(store.markDeleted());
        store.goTo(2);
        ContactStoreTestAccess::failCommitAfter(store, commitsBeforeFailure);
        const bool deleted = store.remove(store.rowIdAt(2));
        ContactStoreTestAccess::failCommitAfter(store, -1);
        const QStringList expected = deleted ? QStringList{"一", "三"} : QStringList{"一", "二", "三", "四"};
        QCOMPARE(allNames(store), expected);
        QCOMPARE(anyMarked(store), !deleted);
        store.goTo(2); // 二 when the delete failed: it must not stay marked
        QVERIFY(!store.isMarkedDeleted());
        store.goTo(4);
        QCOMPARE(store.isMarkedDeleted(), !deleted);

        QVERIFY(store.remove(store.rowIdAt(deleted ? 2 : 3)));
        const int left = deleted ? 1 : 2; // the earlier mark went with it
        QCOMPARE(store.recordCount(), left);
        store.close();
        QVERIFY(store.open(path, password)); // the record set still matches its digest
        QCOMPARE(store.recordCount(), left);
        QCOMPARE(allNames(store).contains(QStringLiteral("二")), !deleted);
        QVERIFY(!anyMarked(store));
    }
};

QTEST_GUILESS_MAIN(MaintenanceTest)
#include "tst_core_maintenance.moc"
