// The contact store under a password: who can open it, what the file shows
// of the contacts, tampering, and a password change cut short by a crash.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "contacts/store/KdfCostTesting.h"
#include "contacts/store/Sealing.h"
#include "support/Person.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <functional>

#include "contacts/Gbk.h"
#include "contacts/Session.h"

#include <csignal>
#include <unistd.h>

using namespace quennet;
using quennet::test::allRecords;
using quennet::test::FileState;
using quennet::test::fileState;

namespace {

// The windows keep no password for the run, only the credential: no member
// of the shared state can hold the login text.
template <typename T, typename = void> struct HasLoginPassword : std::false_type {
};
template <typename T>
struct HasLoginPassword<T, std::void_t<decltype(std::declval<T &>().loginPassword)>> : std::true_type {
};
static_assert(!HasLoginPassword<Session>::value);
static_assert(std::is_same_v<decltype(Session::loginCredential), StoreCredential>);
static_assert(!std::is_constructible_v<StoreCredential, QString>);

const char kChildFlag[] = "--set-password-child";

// Child side of the crash test: open with the old password, say so, then
// change it; the parent kills this process at some moment of the change.
int runSetPasswordChild(const char *path, const char *oldPassword, const char *newPassword)
{
    ContactStore store;
    if (!store.open(QString::fromUtf8(path), QString::fromUtf8(oldPassword)))
        return 3;
    const char ready[] = "ready\n";
    if (::write(STDOUT_FILENO, ready, sizeof ready - 1) < 0)
        return 5;
    return store.setPassword(QString::fromUtf8(newPassword)) ? 0 : 4;
}

QList<QStringList> sampleRows(int count, const QString &tag)
{
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i)
        rows << test::Person(QStringLiteral("%1联系人%2").arg(tag).arg(i))
                    .phone(QStringLiteral("010-%1").arg(i, 8, 10, QChar('0')))
                    .mobile(QStringLiteral("138%1").arg(i, 8, 10, QChar('0')))
                    .qq(QString::number(100000 + i))
                    .email(QStringLiteral("user%1@example.cn").arg(i))
                    .address(QStringLiteral("北京市海淀区%1号").arg(i));
    return rows;
}

// True when the file is in the state "protected by password" (empty: none)
// and holds exactly the expected records.
bool opensAsExpected(const QString &path, const QString &password, const QList<QStringList> &expected)
{
    return ContactStore::hasPassword(path).ok == !password.isEmpty() &&
           test::storedRecords(path, password) == expected;
}

bool containsAnyForm(const QByteArray &bytes, const QString &text)
{
    return bytes.contains(text.toUtf8()) || bytes.contains(gbk::encode(text)) ||
           bytes.contains(QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
}

} // namespace

class SealingTest : public QObject {
    Q_OBJECT

private:
    test::StoreDir m_stores;

    QString freshPath() { return m_stores.freshPath(); }
    QString makeStore(const QString &password, const QList<QStringList> &rows)
    {
        return m_stores.create(password, rows);
    }

private slots:
    void initTestCase() { QVERIFY(m_stores.isValid()); }

    void opensOnlyWithItsPassword()
    {
        const QList<QStringList> rows = sampleRows(3, QStringLiteral("甲"));
        const QString path = makeStore(QStringLiteral("Secret"), rows);
        QVERIFY(!path.isEmpty());
        QVERIFY(ContactStore::hasPassword(path));
        const FileState before = fileState(path);
        ContactStore store;
        QVERIFY(!store.open(path));
        QVERIFY(!store.open(path, QStringLiteral("secret"))); // case matters
        QVERIFY(!store.open(path, QStringLiteral("Secret ")));
        QVERIFY(!store.isOpen());
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(fileState(path) == before);
        QVERIFY(store.open(path, QStringLiteral("Secret")));
        QCOMPARE(allRecords(store), rows);
        store.close();
        QVERIFY(fileState(path) == before);
    }

    void storeWithoutPasswordIgnoresOne()
    {
        const QString path = makeStore(QString(), sampleRows(2, QStringLiteral("乙")));
        QVERIFY(!ContactStore::hasPassword(path));
        ContactStore store;
        QVERIFY(store.open(path));
        store.close();
        QVERIFY(store.open(path, QStringLiteral("anything")));
        QCOMPARE(store.recordCount(), 2);
    }

    void hasPasswordOnlyReads()
    {
        const QString sealed = makeStore(QStringLiteral("pw"), sampleRows(1, QStringLiteral("丙")));
        const FileState before = fileState(sealed);
        QVERIFY(ContactStore::hasPassword(sealed));
        QVERIFY(fileState(sealed) == before);
        QVERIFY(!ContactStore::hasPassword(freshPath()));
        QVERIFY(!QFileInfo::exists(sealed + "-journal"));
    }

    void writesUnderPasswordPersist()
    {
        const QString path = makeStore(QStringLiteral("pw"), {});
        {
            ContactStore store;
            QVERIFY(store.open(path, QStringLiteral("pw")));
            QVERIFY(store.append(test::Person("甲").phone("1")));
            QVERIFY(store.append(test::Person("乙").phone("2")));
            QVERIFY(store.append(test::Person("丙").phone("3")));
            store.goTo(2);
            QVERIFY(test::modifyCurrent(store, test::Person("乙二").phone("22")));
            store.goTo(1);
            QVERIFY(store.markDeleted());
            QVERIFY(store.purge());
        }
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("pw")));
        QCOMPARE(allRecords(store),
                 QList<QStringList>({test::Person("乙二").phone("22"), test::Person("丙").phone("3")}));
    }

    void setPasswordChangesWhoCanOpen()
    {
        QList<QStringList> rows = sampleRows(5, QStringLiteral("丁"));
        const QString path = makeStore(QString(), rows);
        ContactStore store;
        QVERIFY(store.open(path));
        store.goTo(3);
        QVERIFY(store.markDeleted());
        QVERIFY(store.setPassword(QStringLiteral("one")));
        QCOMPARE(store.recordNumber(), 3); // cursor, mark and records stay as they were
        QVERIFY(store.isMarkedDeleted());
        QCOMPARE(allRecords(store), rows);
        QVERIFY(store.purge()); // the mark was re-sealed into the digest too
        rows.removeAt(2);
        QVERIFY(ContactStore::hasPassword(path));
        store.close();
        QVERIFY(!store.open(path));
        QVERIFY(store.open(path, QStringLiteral("one")));
        QCOMPARE(allRecords(store), rows);
        QVERIFY(store.setPassword(QStringLiteral("two")));
        QVERIFY(store.append(test::Person("戊"))); // written under the new key
        store.close();
        QVERIFY(!store.open(path, QStringLiteral("one")));
        QVERIFY(store.open(path, QStringLiteral("two")));
        QCOMPARE(store.recordCount(), 5);
        QVERIFY(store.setPassword(QString()));
        store.close();
        QVERIFY(!ContactStore::hasPassword(path));
        QVERIFY(store.open(path));
        QCOMPARE(allRecords(store).mid(0, 4), rows);
        QVERIFY(store.setPassword(QString())); // none to none: nothing to do, still fine
        QVERIFY(!ContactStore::hasPassword(path));
        QVERIFY(!QFileInfo::exists(path + "-journal"));
    }

    void writesRefusedAfterPasswordChangedElsewhere()
    {
        const QString path = makeStore(QStringLiteral("old"), sampleRows(2, QStringLiteral("寅")));
        ContactStore gui;
        QVERIFY(gui.open(path, QStringLiteral("old")));
        {
            ContactStore tool; // a second program changes the password meanwhile
            QVERIFY(tool.open(path, QStringLiteral("old")));
            QVERIFY(tool.setPassword(QStringLiteral("new")));
        }
        QVERIFY(!gui.append(test::Person("卯")));
        QVERIFY(!test::modifyCurrent(gui, test::Person("卯")));
        QVERIFY(!gui.setPassword(QStringLiteral("third")));
        gui.close();
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("new")));
        QCOMPARE(store.recordCount(), 2);
    }

    // What the windows keep instead of the login password: it opens the
    // store until the password is set again, by any handle, even to the
    // same text; a store without a password opens with any credential.
    void credentialOpensUntilPasswordSetAgain()
    {
        const QString pw = QStringLiteral("pw");
        const QString path = makeStore(pw, sampleRows(3, QStringLiteral("午")));
        const CredentialResult wrong = ContactStore::credentialFor(path, QStringLiteral("pW"));
        QVERIFY(!wrong.ok && !wrong.credential.holdsKey());
        QCOMPARE(wrong.error, StoreError::WrongPassword);
        const CredentialResult right = ContactStore::credentialFor(path, pw);
        QVERIFY(right.ok);
        QCOMPARE(right.error, StoreError::None);
        const StoreCredential login = right.credential;
        QVERIFY(login.matches(pw));
        for (const QString &typed : {QStringLiteral("pW"), QStringLiteral("pw "), QString()})
            QVERIFY(!login.matches(typed));
        ContactStore store, other;
        QVERIFY(store.open(path, login));
        QCOMPARE(store.recordCount(), 3);
        QVERIFY(store.credential().matches(pw));
        QVERIFY(!other.open(path, StoreCredential()));
        QCOMPARE(other.lastError(), StoreError::WrongPassword);
        const StoreCredential own = store.credential();
        QVERIFY(other.open(path, own) && other.setPassword(pw));
        for (const StoreCredential &stale : {login, own}) {
            QVERIFY(!store.open(path, stale));
            QCOMPARE(store.lastError(), StoreError::WrongPassword);
            QVERIFY(stale.matches(pw)); // the old password, as the login typed it
        }
        QVERIFY(store.open(path, other.credential()));
        QVERIFY(other.setPassword(QString()));
        QVERIFY(!other.credential().holdsKey());
        QVERIFY(store.open(path, login));
        const CredentialResult none = ContactStore::credentialFor(path, pw);
        QVERIFY(none.ok && !none.credential.holdsKey());
        QCOMPARE(none.error, StoreError::None);
    }

    void fileShowsNoContactTextUnderPassword()
    {
        const QString marker = QStringLiteral("MARKER-plain-9d21");
        const QString chinese = QStringLiteral("绝密联系人");
        const QString path = makeStore(
            QString(), {test::Person(marker).phone(chinese), test::Person("甲").phone(marker + "-2")});
        QVERIFY(containsAnyForm(test::readAll(path), marker));
        ContactStore store;
        QVERIFY(store.open(path));
        // Long enough that random ciphertext cannot contain it by chance.
        const QString password = QStringLiteral("pw-never-stored-5c1e");
        QVERIFY(store.setPassword(password));
        store.close();
        QByteArray bytes = test::readAll(path);
        QVERIFY(!containsAnyForm(bytes, marker));
        QVERIFY(!containsAnyForm(bytes, chinese));
        QVERIFY(!containsAnyForm(bytes, password));

        QVERIFY(store.open(path, password));
        QVERIFY(store.append(test::Person(QStringLiteral("新") + marker).phone("13800000000")));
        store.goFirst();
        QVERIFY(test::modifyCurrent(store, test::Person(chinese + "2")));
        store.skip();
        QVERIFY(store.markDeleted() && store.purge());
        QVERIFY(store.setPassword(QStringLiteral("pw2")));
        store.close();
        bytes = test::readAll(path);
        QVERIFY(!containsAnyForm(bytes, marker));
        QVERIFY(!containsAnyForm(bytes, chinese));
        QVERIFY(!bytes.contains("13800000000"));
        QVERIFY(!QFileInfo::exists(path + "-journal"));
    }

    void tamperedRecordFailsOpen()
    {
        const QString path = makeStore(QStringLiteral("pw"), sampleRows(3, QStringLiteral("己")));
        {
            test::RawDb raw(path);
            QByteArray blob = raw.blob("SELECT fields FROM records WHERE id = ?", 2);
            QVERIFY(blob.size() > 40);
            blob[blob.size() / 2] = char(blob[blob.size() / 2] ^ 0x01);
            QVERIFY(raw.setBlob("UPDATE records SET fields = ? WHERE id = ?", blob, 2));
        }
        const FileState before = fileState(path);
        ContactStore store;
        QVERIFY(!store.open(path, QStringLiteral("pw")));
        QVERIFY(fileState(path) == before);
        const StoreCheck check = ContactStore::check(path, QStringLiteral("pw"));
        QVERIFY(!check.ok);
        QVERIFY(check.problems.join('\n').contains(QStringLiteral("第 2 条记录")));
        QVERIFY(ContactStore::hasPassword(path));
    }

    // Changes to the set of records made without the password: each is
    // damage, except a whole store put back from an older copy.
    void recordSetTampering_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("seenWithoutPassword"); // by wab check
        QTest::newRow("row deleted") << QStringLiteral("delete") << false << false;
        QTest::newRow("all rows deleted") << QStringLiteral("delete all") << false << false;
        QTest::newRow("row flagged as deleted") << QStringLiteral("flag") << false << true;
        // The digest matches, but a delete never leaves a mark behind.
        QTest::newRow("mark left with the key") << QStringLiteral("mark") << false << true;
        QTest::newRow("row replayed from older copy") << QStringLiteral("replay row") << false << false;
        QTest::newRow("digest replayed from older copy") << QStringLiteral("replay digest") << false << false;
        QTest::newRow("row added from older copy") << QStringLiteral("replay purged row") << false << false;
        QTest::newRow("whole older copy") << QStringLiteral("replay file") << true << false;
    }

    void recordSetTampering()
    {
        QFETCH(QString, change);
        QFETCH(bool, opens);
        QFETCH(bool, seenWithoutPassword);
        const QString pw = QStringLiteral("pw");
        const QString path = makeStore(pw, sampleRows(5, QStringLiteral("庚")));
        const QByteArray older = test::readAll(path);
        {
            ContactStore store;
            QVERIFY(store.open(path, pw));
            store.goTo(2);
            QVERIFY(test::modifyCurrent(store, test::Person(QStringLiteral("改过的"))));
            store.goTo(4);
            QVERIFY(store.markDeleted());
            QVERIFY(store.purge());
        }
        const QString olderPath = path + QStringLiteral(".older");
        QVERIFY(test::writeAll(olderPath, older));
        test::RawDb old(olderPath);
        test::RawDb raw(path);
        const char *setFields = "UPDATE records SET fields = ? WHERE id = ?";
        if (change == QLatin1String("delete"))
            QVERIFY(raw.exec("DELETE FROM records WHERE id = 3"));
        else if (change == QLatin1String("delete all"))
            QVERIFY(raw.exec("DELETE FROM records"));
        else if (change == QLatin1String("flag"))
            QVERIFY(raw.exec("UPDATE records SET deleted = 1 WHERE id = 1"));
        else if (change == QLatin1String("replay row"))
            QVERIFY(raw.setBlob(setFields, old.blob("SELECT fields FROM records WHERE id = ?", 2), 2));
        else if (change == QLatin1String("replay digest"))
            QVERIFY(raw.setBlob("UPDATE meta SET value = ? WHERE key = 'record_digest' AND ? > 0",
                                old.blob("SELECT value FROM meta WHERE key = 'record_digest' AND ? > 0", 1),
                                1));
        else if (change == QLatin1String("replay purged row"))
            QVERIFY(raw.setBlob("INSERT INTO records (fields, id) VALUES (?, ?)",
                                old.blob("SELECT fields FROM records WHERE id = ?", 4), 4));
        else if (change == QLatin1String("replay file"))
            QVERIFY(test::writeAll(path, older));
        ContactStore store;
        if (change == QLatin1String("mark")) {
            QVERIFY(store.open(path, pw));
            QVERIFY(store.markDeleted());
        }
        QCOMPARE(store.open(path, pw), opens);
        if (!opens) {
            QCOMPARE(store.lastError(), StoreError::Damaged);
            QCOMPARE(ContactStore::check(path, pw).error, StoreError::Damaged);
        }
        QCOMPARE(ContactStore::check(path).ok, !seenWithoutPassword);
    }

    void everyWriteKeepsTheDigest()
    {
        const QString pw = QStringLiteral("pw");
        const QString path = makeStore(pw, sampleRows(4, QStringLiteral("辰")));
        const QList<std::function<bool(ContactStore &)>> writes = {
            [](ContactStore &s) { return s.append(test::Person(QStringLiteral("新"))); },
            [](ContactStore &s) {
                s.goTo(1);
                return test::modifyCurrent(s, test::Person(QStringLiteral("改")));
            },
            [](ContactStore &s) {
                s.goTo(2);
                return s.markDeleted() && s.purge();
            },
            [](ContactStore &s) {
                s.goTo(2);
                return test::removeCurrent(s);
            },
            [](ContactStore &s) {
                return ContactStoreTestAccess::appendMany(s, sampleRows(3, QStringLiteral("巳")));
            },
            [](ContactStore &s) { return s.setPassword(QStringLiteral("pw")); },
            [](ContactStore &s) { return s.clear(); },
        };
        for (int i = 0; i < writes.size(); ++i) {
            ContactStore store;
            QVERIFY(store.open(path, pw));
            QVERIFY2(writes[i](store), qPrintable(QString::number(i)));
            store.close();
            QVERIFY2(store.open(path, pw), qPrintable(QString::number(i)));
            QVERIFY2(ContactStore::check(path, pw).ok, qPrintable(QString::number(i)));
        }
    }

    void recordsCannotChangeRows()
    {
        const QString path = makeStore(QStringLiteral("pw"), sampleRows(3, QStringLiteral("庚")));
        {
            test::RawDb raw(path);
            const QByteArray first = raw.blob("SELECT fields FROM records WHERE id = ?", 1);
            const QByteArray second = raw.blob("SELECT fields FROM records WHERE id = ?", 2);
            QVERIFY(raw.setBlob("UPDATE records SET fields = ? WHERE id = ?", second, 1));
            QVERIFY(raw.setBlob("UPDATE records SET fields = ? WHERE id = ?", first, 2));
        }
        ContactStore store;
        QVERIFY(!store.open(path, QStringLiteral("pw")));
    }

    void recordsCannotMoveBetweenStores()
    {
        const QString a = makeStore(QStringLiteral("pw"), sampleRows(2, QStringLiteral("辛")));
        const QString b = makeStore(QStringLiteral("pw"), sampleRows(2, QStringLiteral("壬")));
        {
            test::RawDb rawA(a);
            test::RawDb rawB(b);
            QVERIFY(rawB.setBlob("UPDATE records SET fields = ? WHERE id = ?",
                                 rawA.blob("SELECT fields FROM records WHERE id = ?", 1), 1));
        }
        ContactStore store;
        QVERIFY(!store.open(b, QStringLiteral("pw")));
        QVERIFY(store.open(a, QStringLiteral("pw")));
    }

    void damagedKeyMaterialFailsOpen_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::newRow("salt") << QByteArray("UPDATE meta SET value = zeroblob(16) WHERE key = 'kdf_salt'");
        QTest::newRow("key check") << QByteArray(
            "UPDATE meta SET value = zeroblob(64) WHERE key = 'key_check'");
        QTest::newRow("absurd memory")
            << QByteArray("UPDATE meta SET value = 1099511627776 WHERE key = 'kdf_memlimit'");
        QTest::newRow("1 GiB") << QByteArray("UPDATE meta SET value = 1073741824 WHERE key = 'kdf_memlimit'");
        QTest::newRow("64 passes") << QByteArray("UPDATE meta SET value = 64 WHERE key = 'kdf_opslimit'");
        QTest::newRow("text cost") << QByteArray("UPDATE meta SET value = '3' WHERE key = 'kdf_opslimit'");
        QTest::newRow("store id") << QByteArray(
            "UPDATE meta SET value = zeroblob(16) WHERE key = 'store_id'");
    }

    void damagedKeyMaterialFailsOpen()
    {
        QFETCH(QByteArray, sql);
        const QString path = makeStore(QStringLiteral("pw"), sampleRows(2, QStringLiteral("癸")));
        {
            test::RawDb raw(path);
            QVERIFY(raw.exec(sql.constData()));
        }
        const FileState before = fileState(path);
        ContactStore store;
        QVERIFY(!store.open(path, QStringLiteral("pw")));
        QVERIFY(!ContactStore::check(path, QStringLiteral("pw")).ok);
        QVERIFY(fileState(path) == before);
    }

    void onlyWrittenKdfCostsAccepted_data()
    {
        QTest::addColumn<qint64>("ops");
        QTest::addColumn<qint64>("mem");
        QTest::addColumn<bool>("testBuild");
        QTest::addColumn<bool>("accepted");
        const store::KdfCost release = store::kReleaseKdfCost, cheap = store::kTestKdfCost;
        for (const bool testBuild : {false, true}) {
            const char *build = testBuild ? "test build: " : "release: ";
            auto row = [&](const char *name, qint64 ops, qint64 mem, bool accepted) {
                QTest::newRow(qPrintable(build + QString::fromLatin1(name)))
                    << ops << mem << testBuild << accepted;
            };
            row("release cost", release.opsLimit, release.memLimit, true);
            row("test cost", cheap.opsLimit, cheap.memLimit, testBuild);
            row("more passes", release.opsLimit + 1, release.memLimit, false);
            row("more memory", release.opsLimit, release.memLimit * 2, false);
            row("less memory", release.opsLimit, cheap.memLimit, false);
            row("zero", 0, 0, false);
        }
    }

    void onlyWrittenKdfCostsAccepted()
    {
        QFETCH(qint64, ops);
        QFETCH(qint64, mem);
        QFETCH(bool, testBuild);
        QFETCH(bool, accepted);
        QCOMPARE(store::isAcceptedKdfCost(ops, mem, testBuild ? store::kTestKdfCost : store::kReleaseKdfCost),
                 accepted);
    }

    void storesOfTestBuildsUseTheCheapCost()
    {
        const QString path = makeStore(QStringLiteral("pw"), {});
        test::RawDb raw(path);
        QCOMPARE(raw.integer("SELECT value FROM meta WHERE key = 'kdf_opslimit'"),
                 store::kTestKdfCost.opsLimit);
        QCOMPARE(raw.integer("SELECT value FROM meta WHERE key = 'kdf_memlimit'"),
                 store::kTestKdfCost.memLimit);
    }

    void checkUnderPassword()
    {
        const QString path = makeStore(QStringLiteral("pw"), sampleRows(4, QStringLiteral("子")));
        StoreCheck check = ContactStore::check(path, QStringLiteral("pw"));
        QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
        QVERIFY(check.hasPassword);
        QCOMPARE(check.recordCount, 4);
        check = ContactStore::check(path, QStringLiteral("wrong"));
        QVERIFY(!check.ok);
        QVERIFY(check.problems.contains(QStringLiteral("密码错误")));
        check = ContactStore::check(path); // without the password only the file is checked
        QVERIFY(check.ok);
        QVERIFY(check.hasPassword);
        QCOMPARE(check.recordCount, 4);
    }

    void createWithPasswordIsPrivate()
    {
        const QString path = freshPath();
        QVERIFY(ContactStore::create(path, QStringLiteral("pw")));
        QCOMPARE(test::permissionsOf(path), 0600u);
        QVERIFY(ContactStore::hasPassword(path));
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("pw")));
        QCOMPARE(store.recordCount(), 0);
    }

    // A child process changes the password of a large store and is killed
    // at moments spread over the change. Afterwards exactly one of the two
    // passwords opens the store, and every record is whole.
    void crashDuringSetPasswordLeavesOnePassword()
    {
        const QList<QStringList> rows = sampleRows(12000, QStringLiteral("丑"));
        const QString path = makeStore(QString(), rows);
        QVERIFY(!path.isEmpty());
        const QStringList passwords = {"alpha", "beta",    "",     "gamma", "delta",
                                       "",      "epsilon", "zeta", "eta",   "theta"};
        QString current;
        qint64 fullRunNs = 0;
        int interrupted = 0, hotJournals = 0;
        for (int round = 0; round < passwords.size(); ++round) {
            const QString next = passwords.at(round);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kChildFlag, path, current, next});
            QVERIFY(child.waitForStarted());
            QVERIFY2(child.waitForReadyRead(60000), "child did not open the store");
            QVERIFY(child.readAll().startsWith("ready"));
            QElapsedTimer timer;
            timer.start();
            if (round > 0) {
                // Spread the kills over the run measured in round 0, with jitter.
                const double fraction = 0.05 + 0.95 * double(round - 1) / double(passwords.size() - 2);
                const qint64 jitter = QRandomGenerator::global()->bounded(qint64(fullRunNs / 20 + 1));
                const qint64 delayNs = qint64(double(fullRunNs) * fraction) + jitter - fullRunNs / 40;
                QThread::usleep(qMax<qint64>(0, delayNs / 1000));
                ::kill(pid_t(child.processId()), SIGKILL);
            }
            QVERIFY(child.waitForFinished(60000));
            if (round == 0) {
                fullRunNs = timer.nsecsElapsed();
                QCOMPARE(child.exitStatus(), QProcess::NormalExit);
                QCOMPARE(child.exitCode(), 0);
            }
            const bool killed = child.exitStatus() == QProcess::CrashExit;
            const bool hot = QFileInfo::exists(path + "-journal");
            interrupted += killed ? 1 : 0;
            hotJournals += hot ? 1 : 0;
            const bool oldOpens = opensAsExpected(path, current, rows);
            const bool newOpens = opensAsExpected(path, next, rows);
            QVERIFY2(
                oldOpens != newOpens || (current == next),
                qPrintable(QStringLiteral("round %1: old opens %2, new opens %3, killed %4, hot journal %5")
                               .arg(round)
                               .arg(oldOpens)
                               .arg(newOpens)
                               .arg(killed)
                               .arg(hot)));
            QVERIFY(!QFileInfo::exists(path + "-journal"));
            if (newOpens)
                current = next;
        }
        const StoreCheck check = ContactStore::check(path, current);
        QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
        QCOMPARE(check.recordCount, rows.size());
        qInfo("full password change %.0f ms; %d of %d runs killed, %d left a hot journal",
              double(fullRunNs) / 1e6, interrupted, int(passwords.size()) - 1, hotJournals);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], kChildFlag) == 0)
        return runSetPasswordChild(argv[2], argv[3], argv[4]);
    QCoreApplication app(argc, argv);
    SealingTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_core_store_sealing.moc"
