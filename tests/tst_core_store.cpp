// The contact store without a password: cursor rules, writes, persistence,
// failures that must leave file and memory alone, and files that are not
// stores.

#include "contacts/ContactRules.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "contacts/store/Sqlite.h"
#include "contacts/store/StoreFile.h"
#include "support/Person.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quennet;
using quennet::test::FileState;
using quennet::test::fileState;

namespace {

void verifyOffRecord(const ContactStore &store)
{
    QCOMPARE(store.current(), Contact());
    QVERIFY(!store.isMarkedDeleted());
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT

private:
    test::StoreDir m_stores;

    QString freshPath(const QString &stem = QStringLiteral("wab")) { return m_stores.freshPath(stem); }

    // A new store holding the given names (other fields derived from them).
    QString makeStore(const QStringList &names)
    {
        QList<QStringList> rows;
        for (const QString &name : names)
            rows << test::Person(name)
                        .phone(name + QStringLiteral("-电话"))
                        .email(name + QStringLiteral("@mail"))
                        .address(QStringLiteral("地址") + name);
        return m_stores.create(QString(), rows);
    }

    void openStore(ContactStore &store, const QStringList &names)
    {
        const QString path = makeStore(names);
        QVERIFY(!path.isEmpty());
        QVERIFY(store.open(path));
    }

private slots:
    void initTestCase() { QVERIFY(m_stores.isValid()); }

    // --- cursor -----------------------------------------------------------------

    void emptyStoreCursor()
    {
        ContactStore store;
        openStore(store, {});
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(store.isAfterLast());
        QVERIFY(!store.isBeforeFirst());
        QCOMPARE(store.recordNumber(), 1);
        verifyOffRecord(store);

        store.skip(-1);
        QVERIFY(store.isBeforeFirst());
        QCOMPARE(store.recordNumber(), 0);
        verifyOffRecord(store);
        store.skip(1);
        QVERIFY(store.isAfterLast());
        QCOMPARE(store.recordNumber(), 1);

        store.goLast();
        QVERIFY(store.isAfterLast());
        store.goTo(1);
        QVERIFY(store.isAfterLast());
        verifyOffRecord(store);
        QCOMPARE(store.findRecord(FieldName, QString()), 0);
        QVERIFY(!test::modifyCurrent(store, test::Person(QStringLiteral("甲"))));
        QVERIFY(!store.markDeleted());
        QVERIFY(store.purge());
        QCOMPARE(store.recordCount(), 0);
    }

    void oneRecordCursor()
    {
        ContactStore store;
        openStore(store, {QStringLiteral("张三")});
        QCOMPARE(store.recordNumber(), 1);
        QVERIFY(!store.isBeforeFirst());
        QVERIFY(!store.isAfterLast());
        QCOMPARE(store.current().name, QStringLiteral("张三"));

        store.skip(-1);
        QVERIFY(store.isBeforeFirst());
        QCOMPARE(store.recordNumber(), 0);
        verifyOffRecord(store);
        store.skip(-1);
        QVERIFY(store.isBeforeFirst());
        store.skip(1);
        QCOMPARE(store.recordNumber(), 1);
        store.skip(1);
        QVERIFY(store.isAfterLast());
        QCOMPARE(store.recordNumber(), 2);
        verifyOffRecord(store);
        store.skip(1);
        QCOMPARE(store.recordNumber(), 2);
        store.skip(-1);
        QCOMPARE(store.current().name, QStringLiteral("张三"));
        store.goLast();
        QCOMPARE(store.recordNumber(), 1);
    }

    void threeRecordCursor()
    {
        ContactStore store;
        openStore(store, {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        QCOMPARE(store.recordCount(), 3);
        QCOMPARE(store.current().name, QStringLiteral("甲"));
        store.skip();
        QCOMPARE(store.current().name, QStringLiteral("乙"));
        store.skip(2);
        QVERIFY(store.isAfterLast());
        QCOMPARE(store.recordNumber(), 4);
        store.skip(-1);
        QCOMPARE(store.current().name, QStringLiteral("丙"));
        store.goFirst();
        store.skip(-1);
        QVERIFY(store.isBeforeFirst());
        store.goLast();
        QCOMPARE(store.recordNumber(), 3);
        store.skip(-10);
        QVERIFY(store.isBeforeFirst());
        store.skip(std::numeric_limits<int>::max());
        QVERIFY(store.isAfterLast());
        store.skip(std::numeric_limits<int>::min());
        QVERIFY(store.isBeforeFirst());
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙", "丙"}));
    }

    void goToOutsideRangeLeavesCursorOnNoRecord()
    {
        ContactStore store;
        openStore(store, {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        store.goTo(2);
        QCOMPARE(store.current().name, QStringLiteral("乙"));
        store.goTo(0);
        QVERIFY(store.isBeforeFirst());
        verifyOffRecord(store);
        store.goTo(-7);
        QCOMPARE(store.recordNumber(), 0);
        store.goTo(4);
        QVERIFY(store.isAfterLast());
        verifyOffRecord(store);
        store.goTo(99);
        QCOMPARE(store.recordNumber(), 4);
        verifyOffRecord(store);
        QVERIFY(!test::modifyCurrent(store, test::Person(QStringLiteral("丁"))));
        QVERIFY(!store.markDeleted());
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙", "丙"}));
    }

    void fieldsByNameAndPosition()
    {
        ContactStore store;
        openStore(store, {});
        const QStringList values = {"王五", "010-1234", "13800138000", "12345", "w@x.cn", "北京"};
        QVERIFY(store.append(Contact::fromValues(values)));
        const QStringList names = {"姓名", "电话", "手机", "QQ", "Email", "地址"};
        QCOMPARE(store.fieldCount(), 6);
        for (int pos = 1; pos <= 6; ++pos) {
            QCOMPARE(store.fieldName(pos), names.at(pos - 1));
            QCOMPARE(store.fieldOf(1, pos), values.at(pos - 1));
        }
        QCOMPARE(store.fieldName(0), QString());
        QCOMPARE(store.fieldName(7), QString());
        QCOMPARE(store.fieldOf(1, 0), QString());
        QCOMPARE(store.current().qq, QStringLiteral("12345"));
    }

    void readsByNumberLeaveTheCursor()
    {
        ContactStore store;
        openStore(store, {"甲", "乙", "丙"});
        store.goTo(2);
        QCOMPARE(store.contactAt(3).values(), QStringList({"丙", "丙-电话", "", "", "丙@mail", "地址丙"}));
        QCOMPARE(store.contact(store.rowIdAt(3)), store.contactAt(3));
        QCOMPARE(store.fieldOf(1, FieldName), QStringLiteral("甲"));
        QCOMPARE(store.recordNumber(), 2);
        for (const int outside : {0, 4})
            QVERIFY(store.contactAt(outside) == Contact() && store.fieldOf(outside, FieldName).isEmpty());
        QCOMPARE(store.contact(store.rowIdAt(3) + 1), Contact());
        QCOMPARE(store.fieldOf(1, 7), QString());
        QCOMPARE(store.recordNumber(), 2);
    }

    void namesOfTheStore()
    {
        ContactStore store;
        const QString path = makeStore({});
        QVERIFY(store.open(path));
        QCOMPARE(store.storeName(), QStringLiteral("wab"));
        QCOMPARE(store.filePath(), path);
        store.close();
        QVERIFY(!store.isOpen());
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(!store.append(test::Person(QStringLiteral("甲"))));
    }

    // --- find ------------------------------------------------------------------------

    // Field position, text, the number to search from, the record found.
    void findRecord_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("found");
        QTest::newRow("the first record counts") << 1 << "甲" << 1 << 1;
        QTest::newRow("from a later number") << 1 << "甲" << 2 << 3;
        QTest::newRow("below 1: from record 1") << 1 << "乙" << 0 << 2;
        QTest::newRow("another field") << 5 << "丙@mail" << 1 << 4;
        QTest::newRow("only records from on") << 1 << "乙" << 3 << 0;
        QTest::newRow("exact: no trimming") << 1 << "乙 " << 1 << 0;
        QTest::newRow("case counts") << 1 << "AB" << 1 << 0;
        QTest::newRow("lower case") << 1 << "ab" << 1 << 5;
        QTest::newRow("after last") << 1 << "ab" << 6 << 0;
        QTest::newRow("no field 9") << 9 << "甲" << 1 << 0;
    }

    void findRecord()
    {
        QFETCH(int, pos);
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(int, found);
        ContactStore store;
        openStore(store, {"甲", "乙", "甲", "丙", "ab"});
        store.goTo(2);
        QCOMPARE(store.findRecord(pos, text, from), found);
        QCOMPARE(store.recordNumber(), 2);
    }

    // The one-pass search stops where the chain of finds stops, from every
    // place of the cursor; a failed search leaves the cursor where it was.
    void findFirstOfIsTheChainOfFinds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<int>("badPos"); // a position that is no field, first in the chain
        QTest::newRow("name wins over an earlier phone") << "丙"
                                                         << "1"
                                                         << "" << 0;
        QTest::newRow("phone, name absent") << "丁"
                                            << "2"
                                            << "139" << 0;
        QTest::newRow("mobile alone") << "丁"
                                      << "9"
                                      << "139" << 0;
        QTest::newRow("empty values match empty fields") << "丁"
                                                         << ""
                                                         << "" << 0;
        QTest::newRow("nothing") << "丁"
                                 << "9"
                                 << "138" << 0;
        QTest::newRow("no such field first") << "乙"
                                             << "1"
                                             << "" << 9;
    }

    void findFirstOfIsTheChainOfFinds()
    {
        QFETCH(QString, name);
        QFETCH(QString, phone);
        QFETCH(QString, mobile);
        QFETCH(int, badPos);
        const QList<QStringList> rows = {
            test::Person(QStringLiteral("甲")).phone(QStringLiteral("1")),
            test::Person(QStringLiteral("乙")).phone(QStringLiteral("2")).mobile(QStringLiteral("139")),
            test::Person(QStringLiteral("丙")).phone(QStringLiteral("1")),
            test::Person(QStringLiteral("乙")).mobile(QStringLiteral("139")),
            test::Person(QStringLiteral("丙")).phone(QStringLiteral("2")),
        };
        ContactStore store;
        QVERIFY(store.open(m_stores.create(QString(), rows)));
        for (int start = 0; start <= int(rows.size()) + 1; ++start) {
            store.goTo(start);
            const bool chained = rules::findFromCursor(store, badPos, name) ||
                                 rules::findFromCursor(store, FieldName, name) ||
                                 rules::findFromCursor(store, FieldPhone, phone) ||
                                 rules::findFromCursor(store, FieldMobile, mobile);
            const int chainedAt = store.recordNumber();
            store.goTo(start);
            QCOMPARE(store.findFirstOf(
                         {{badPos, name}, {FieldName, name}, {FieldPhone, phone}, {FieldMobile, mobile}}),
                     chained);
            QCOMPARE(store.recordNumber(), chainedAt);
        }
    }

    // --- writes ---------------------------------------------------------------------

    void appendMovesCursorToNewRecord()
    {
        ContactStore store;
        openStore(store, {"甲", "乙"});
        store.goFirst();
        QVERIFY(store.append(test::Person("丙").mobile("13800000000")));
        QCOMPARE(store.recordCount(), 3);
        QCOMPARE(store.recordNumber(), 3);
        QCOMPARE(store.current().mobile, QStringLiteral("13800000000"));
        QVERIFY(!store.isAfterLast());
    }

    void modifyReplacesAllSixFields()
    {
        ContactStore store;
        openStore(store, {"甲", "乙"});
        store.goTo(2);
        const QStringList values = {"乙二", "", "13900000000", "", "b@c", ""};
        QVERIFY(test::modifyCurrent(store, Contact::fromValues(values)));
        QCOMPARE(store.current().values(), values);
        QCOMPARE(store.recordNumber(), 2);
        store.goFirst();
        QCOMPARE(store.current().name, QStringLiteral("甲"));
    }

    void purgeRenumbersInPreviousOrder()
    {
        ContactStore store;
        const QString path = makeStore({"甲", "乙", "丙"});
        QVERIFY(store.open(path));
        store.goTo(2);
        QVERIFY(store.markDeleted());
        QVERIFY(store.isMarkedDeleted());
        QCOMPARE(store.recordCount(), 3); // marked, not yet removed
        QVERIFY(store.purge());
        QCOMPARE(store.recordCount(), 2);
        QCOMPARE(store.recordNumber(), 2);
        QCOMPARE(store.current().name, QStringLiteral("丙"));
        QCOMPARE(test::allNames(store), QStringList({"甲", "丙"}));
        QVERIFY(store.append(test::Person("丁")));
        QCOMPARE(store.recordNumber(), 3);
        store.close();
        QVERIFY(store.open(path));
        QCOMPARE(test::allNames(store), QStringList({"甲", "丙", "丁"}));
    }

    void purgeClampsCursor()
    {
        ContactStore store;
        openStore(store, {"甲", "乙", "丙"});
        for (int n = 1; n <= 3; ++n) {
            store.goTo(n);
            QVERIFY(store.markDeleted());
        }
        store.goTo(3);
        QVERIFY(store.purge());
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(store.isAfterLast());
        QCOMPARE(store.recordNumber(), 1);
    }

    // Deleting marks and purges in one transaction: a mark left in the file
    // is damage to the next open, and the store that made it still purges.
    void markLeftInTheFileIsDamage()
    {
        ContactStore store, other;
        const QString path = makeStore({"甲", "乙"});
        QVERIFY(store.open(path));
        QVERIFY(store.markDeleted());
        QVERIFY(!other.open(path));
        QCOMPARE(other.lastError(), StoreError::Damaged);
        QVERIFY(store.purge());
        QVERIFY(other.open(path));
        QCOMPARE(test::allNames(other), QStringList({"乙"}));
    }

    void clearRemovesEveryRecord()
    {
        ContactStore store;
        const QString path = makeStore({"甲", "乙", "丙"});
        QVERIFY(store.open(path));
        store.goTo(2);
        QVERIFY(store.clear());
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(store.isAfterLast());
        verifyOffRecord(store);
        QVERIFY(store.append(test::Person("丁")));
        store.close();
        QVERIFY(store.open(path));
        QCOMPARE(test::allNames(store), QStringList({"丁"}));
    }

    void rowIdsAreNeverReused()
    {
        ContactStore store;
        const QString path = makeStore({"甲", "乙", "丙"});
        QVERIFY(store.open(path));
        store.goLast();
        QVERIFY(store.markDeleted());
        QVERIFY(store.purge());
        QVERIFY(store.append(test::Person("丁")));
        store.close();
        test::RawDb raw(path);
        QCOMPARE(raw.rowIds(), QList<qint64>({1, 2, 4}));
    }

    void everythingPersistsAcrossReopen()
    {
        const QString path = makeStore({});
        const Contact tricky =
            Contact::fromValues({"李\t四\r\n", "  前后空格  ", QString(QChar(0)) + "零", "😀𠀀", "", "地址"});
        {
            ContactStore store;
            QVERIFY(store.open(path));
            QVERIFY(store.append(tricky));
            QVERIFY(store.append(test::Person("王五").phone("1")));
            store.goFirst();
            QVERIFY(test::modifyCurrent(store, tricky));
        } // destroyed without close(): nothing is pending
        ContactStore store;
        QVERIFY(store.open(path));
        QCOMPARE(store.recordCount(), 2);
        QCOMPARE(store.current().values(), tricky.values());
        store.skip();
        QCOMPARE(store.current().values(), test::Person("王五").phone("1"));
    }

    // --- refused values ---------------------------------------------------------------

    void overCapacityValueIsRefused()
    {
        ContactStore store;
        const QString path = makeStore({"甲"});
        QVERIFY(store.open(path));
        // kMaxFieldBytes counts UTF-8 bytes: a Chinese character is 3.
        const QString full(kMaxFieldBytes / 3, QChar(0x4E2D));
        const QString over = QString(kMaxFieldBytes / 3, QChar(0x4E2D)) + QStringLiteral("ab");
        QVERIFY(full.toUtf8().size() <= kMaxFieldBytes);
        QVERIFY(over.toUtf8().size() > kMaxFieldBytes);
        const FileState before = fileState(path);
        QVERIFY(!store.append(test::Person("乙").address(over)));
        QVERIFY(!test::modifyCurrent(store, test::Person(over)));
        // One bad row refuses the whole batch.
        QVERIFY(!store.appendMany({test::Person("丙"), test::Person("丁").phone(over)}));
        QVERIFY(fileState(path) == before);
        QCOMPARE(store.recordCount(), 1);
        QCOMPARE(store.current().name, QStringLiteral("甲"));
        QVERIFY(store.append(test::Person("乙").phone(full).mobile(full).qq(full).email(full).address(full)));
        store.close();
        QVERIFY(store.open(path));
        store.goLast();
        QCOMPARE(store.current().address, full);
    }

    // A store holds kMaxRecords records: at one less, one more fits; at the
    // cap, nothing does. The cap is lowered so that a test can reach it.
    void recordCountCap_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *op : {"append", "appendIf", "appendMany"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }

    void recordCountCap()
    {
        QFETCH(QString, operation);
        ContactStore store;
        QCOMPARE(kMaxRecords, qint64(10000000));
        QCOMPARE(ContactStoreTestAccess::recordCap(store), kMaxRecords);
        const QString path = makeStore({"甲", "乙"});
        QVERIFY(store.open(path));
        ContactStoreTestAccess::setRecordCap(store, 3);
        const auto add = [&](const QList<Contact> &rows) {
            if (operation == "appendMany")
                return store.appendMany(rows);
            if (operation == "appendIf")
                return store.appendIf(rows.first(), [](ContactStore &) { return true; });
            return store.append(rows.first());
        };
        if (operation == "appendMany") // two more would be one too many
            QVERIFY(!store.appendMany({test::Person("丙"), test::Person("丁")}));
        QVERIFY(add({test::Person("丙")}));
        const FileState full = fileState(path);
        QVERIFY(!add({test::Person("丁")}));
        QCOMPARE(store.lastError(), StoreError::OverCapacity);
        QVERIFY(fileState(path) == full);
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙", "丙"}));
    }

    void openRefusesMoreRecordsThanTheCap()
    {
        const QString path = makeStore({"甲", "乙", "丙"});
        ContactStore store;
        ContactStoreTestAccess::setRecordCap(store, 2);
        QVERIFY(!store.open(path));
        QCOMPARE(store.lastError(), StoreError::OverCapacity);
        ContactStoreTestAccess::setRecordCap(store, 3);
        QVERIFY(store.open(path));
        QCOMPARE(store.recordCount(), 3);
    }

    // --- failed writes leave file and memory unchanged ------------------------------------

    void failedCommitChangesNothing_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *op : {"append", "appendMany", "modify", "mark", "purge", "clear", "setPassword"})
            QTest::newRow(op) << QString::fromLatin1(op);
    }

    void failedCommitChangesNothing()
    {
        QFETCH(QString, operation);
        ContactStore store;
        const QString path = makeStore({"甲", "乙", "丙"});
        QVERIFY(store.open(path));
        store.goTo(2);
        QVERIFY(store.markDeleted());
        const FileState before = fileState(path);
        ContactStoreTestAccess::failNextCommit(store);
        bool result = true;
        if (operation == "append")
            result = store.append(test::Person("丁"));
        else if (operation == "appendMany")
            result = store.appendMany({test::Person("丁"), test::Person("己")});
        else if (operation == "modify")
            result = test::modifyCurrent(store, test::Person("乙二"));
        else if (operation == "mark")
            store.goTo(3), result = store.markDeleted();
        else if (operation == "purge")
            result = store.purge();
        else if (operation == "clear")
            result = store.clear();
        else
            result = store.setPassword(QStringLiteral("secret"));
        QVERIFY(!result);
        QVERIFY(fileState(path) == before);
        QVERIFY(!QFileInfo::exists(path + "-journal"));
        QCOMPARE(store.recordCount(), 3);
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙", "丙"}));
        store.goTo(2);
        QVERIFY(store.isMarkedDeleted());
        store.goTo(3);
        QVERIFY(!store.isMarkedDeleted());
        QVERIFY(!ContactStore::hasPassword(path));
        // The store keeps working after the failure.
        QVERIFY(store.append(test::Person("戊")));
        QVERIFY(store.purge());
        store.close();
        QVERIFY(store.open(path));
        QCOMPARE(test::allNames(store), QStringList({"甲", "丙", "戊"}));
    }

    // A directory squatting on the journal's name makes every transaction
    // fail for real, whoever runs the test (root ignores file modes).
    void unwritableJournalMakesWritesFail()
    {
        ContactStore store;
        const QString path = makeStore({"甲", "乙"});
        QVERIFY(store.open(path));
        QVERIFY(QDir().mkdir(path + "-journal"));
        const FileState before = fileState(path);
        QVERIFY(!store.append(test::Person("丙")));
        QVERIFY(!test::modifyCurrent(store, test::Person("甲二")));
        QVERIFY(!store.markDeleted());
        QVERIFY(!store.purge());
        QVERIFY(!store.clear());
        QVERIFY(!store.setPassword(QStringLiteral("pw")));
        QVERIFY(fileState(path) == before);
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙"}));
        store.goFirst();
        QVERIFY(!store.isMarkedDeleted());
        QVERIFY(QDir().rmdir(path + "-journal"));
        QVERIFY(store.append(test::Person("丙")));
        QCOMPARE(test::allNames(store), QStringList({"甲", "乙", "丙"}));
    }

    // The file-size limit applies to root too: growing the file fails the
    // way a full disk does.
    void fullDiskMakesAppendFail()
    {
        ContactStore store;
        const QString path = makeStore({"甲"});
        QVERIFY(store.open(path));
        const FileState before = fileState(path);
        struct rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved;
        limited.rlim_cur = rlim_t(before.bytes.size());
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QString big(20000, QLatin1Char('x'));
        const bool appended = store.append(test::Person("乙").phone(big).mobile(big).qq(big));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!appended);
        QCOMPARE(store.recordCount(), 1);
        store.close();
        QVERIFY(fileState(path).bytes == before.bytes);
        QVERIFY(store.open(path));
        QCOMPARE(test::allNames(store), QStringList({"甲"}));
        QVERIFY(store.append(test::Person("乙").phone(big)));
    }

    void readOnlyFileOpensButRefusesWrites()
    {
        if (geteuid() == 0)
            QSKIP("root writes through file modes; covered by unwritableJournalMakesWritesFail");
        ContactStore store;
        const QString path = makeStore({"甲"});
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        const FileState before = fileState(path);
        QVERIFY(store.open(path));
        QVERIFY(!store.append(test::Person("乙")));
        QVERIFY(!test::modifyCurrent(store, test::Person("甲二")));
        QVERIFY(!store.markDeleted());
        QCOMPARE(test::allNames(store), QStringList({"甲"}));
        store.close();
        QVERIFY(fileState(path) == before);
    }

    // --- files -----------------------------------------------------------------------------

    void createMakesPrivateEmptyStore()
    {
        const QString path = freshPath();
        QVERIFY(ContactStore::create(path));
        QCOMPARE(test::permissionsOf(path), 0600u);
        QVERIFY(!ContactStore::hasPassword(path));
        ContactStore store;
        QVERIFY(store.open(path));
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(store.append(test::Person("甲")));
        QCOMPARE(test::permissionsOf(path), 0600u);
        QVERIFY(!QFileInfo::exists(path + "-journal"));
        QVERIFY(!QFileInfo::exists(path + "-wal"));
    }

    void createRefusesExistingFile()
    {
        const QString path = makeStore({"甲"});
        const FileState before = fileState(path);
        QVERIFY(!ContactStore::create(path));
        QVERIFY(fileState(path) == before);
        const QString empty = freshPath();
        QVERIFY(test::writeAll(empty, QByteArray()));
        QVERIFY(!ContactStore::create(empty));
        QCOMPARE(QFileInfo(empty).size(), 0);
        QVERIFY(!ContactStore::create(m_stores.filePath("no-such-dir/wab.vdb")));
    }

    void badFilesFailWithoutBeingTouched_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing", "empty", "garbage", "short garbage", "truncated to pages",
                                 "truncated mid-page", "foreign sqlite", "foreign with our id",
                                 "newer format", "meta damaged", "record damaged", "directory"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void badFilesFailWithoutBeingTouched()
    {
        QFETCH(QString, kind);
        const QString path = badFile(kind);
        QVERIFY(!path.isEmpty());
        const FileState before = fileState(path);
        ContactStore store;
        QVERIFY(!store.open(path));
        QVERIFY(!store.isOpen());
        QCOMPARE(store.recordCount(), 0);
        QVERIFY(!store.open(path, QStringLiteral("pw")));
        QVERIFY(!ContactStore::hasPassword(path));
        const StoreCheck check = ContactStore::check(path);
        QVERIFY(!check.ok);
        QVERIFY(!check.problems.isEmpty());
        QVERIFY(fileState(path) == before);
        QVERIFY(!QFileInfo::exists(path + "-journal"));
        QVERIFY(!ContactStore::create(path) || kind == "missing");
    }

    void checkReportsHealthyStore()
    {
        const QString path = makeStore({"甲", "乙"});
        const FileState before = fileState(path);
        const StoreCheck check = ContactStore::check(path);
        QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
        QVERIFY(!check.hasPassword);
        QCOMPARE(check.recordCount, 2);
        QVERIFY(fileState(path) == before);
    }

    void checkNamesTheProblem()
    {
        StoreCheck check = ContactStore::check(badFile("newer format"));
        QVERIFY(check.problems.join('\n').contains(QStringLiteral("版本")));
        check = ContactStore::check(badFile("record damaged"));
        QVERIFY(check.problems.join('\n').contains(QStringLiteral("第 2 条记录")));
        QCOMPARE(check.recordCount, 3);
        check = ContactStore::check(badFile("missing"));
        QVERIFY(check.problems.join('\n').contains(QStringLiteral("找不到文件")));
        QCOMPARE(check.recordCount, -1);
    }

    // --- reading a file page after page ----------------------------------------------------

    // What a read-only connection reads in runs of pages is what SQLite reads
    // page by page: forwards and backwards, in a file smaller than one run
    // and in one of many, after other connections' commits changed and grew
    // the file under the open connection, and with a page in the middle of a
    // large file damaged.
    void readOnlyConnectionReadsWhatTheFileHolds_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("within one run") << 200;
        QTest::newRow("many runs") << 3000;
    }

    void readOnlyConnectionReadsWhatTheFileHolds()
    {
        QFETCH(int, rows);
        const QString path = freshPath(QStringLiteral("plain"));
        test::RawDb writer(path);
        QVERIFY(writer.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, v BLOB NOT NULL)"));
        QVERIFY(writer.exec(
            QByteArray("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                       QByteArray::number(rows) +
                       ") INSERT INTO t SELECT i, randomblob(150 + i % 300) FROM n")
                .constData()));
        store::Connection reader;
        QVERIFY(reader.open(path, store::Connection::Mode::ReadOnly));
        const auto digestOf = [](const store::Connection &db, const char *sql) {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            store::Statement select = db.prepare(sql);
            while (select.step() == SQLITE_ROW)
                hash.addData(select.columnBlob(0));
            return hash.result();
        };
        store::Connection direct;
        for (const char *change : {"SELECT 1", "UPDATE t SET v = randomblob(length(v)) WHERE id % 3 = 0",
                                   "DELETE FROM t WHERE id % 7 = 0",
                                   "INSERT INTO t (v) SELECT randomblob(900) FROM t WHERE id % 2 = 0"}) {
            QVERIFY(writer.exec(change));
            QVERIFY(direct.open(path, store::Connection::Mode::ReadWrite));
            for (const char *sql : {"SELECT v FROM t ORDER BY id", "SELECT v FROM t ORDER BY id DESC",
                                    "PRAGMA integrity_check"})
                QCOMPARE(digestOf(reader, sql), digestOf(direct, sql));
        }
        direct.close();
        reader.close();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 2 / 4096 * 4096 + 8));
        QVERIFY(file.write(QByteArray(64, '\xff')) == 64);
        file.close();
        QVERIFY(reader.open(path, store::Connection::Mode::ReadOnly));
        store::Statement check = reader.prepare("PRAGMA integrity_check");
        QCOMPARE(check.step(), SQLITE_ROW);
        QVERIFY(check.columnBlob(0) != "ok");
    }

    // --- nothing lingers --------------------------------------------------------------------

    void removedTextLeavesNoTraceInFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("purge") << "purge";
        QTest::newRow("modify") << "modify";
        QTest::newRow("clear") << "clear";
    }

    void removedTextLeavesNoTraceInFile()
    {
        QFETCH(QString, how);
        const QByteArray marker = "UNIQUE-MARKER-7f3a91";
        const QString path = makeStore({"甲", "乙"});
        {
            ContactStore store;
            QVERIFY(store.open(path));
            QVERIFY(store.append(test::Person("丙")
                                     .phone(QString::fromLatin1(marker))
                                     .email(QStringLiteral("秘密") + QString::fromLatin1(marker))));
            QVERIFY(test::readAll(path).contains(marker));
            if (how == "purge")
                QVERIFY(store.markDeleted() && store.purge());
            else if (how == "modify")
                QVERIFY(test::modifyCurrent(store, test::Person("丙")));
            else
                QVERIFY(store.clear());
        }
        QVERIFY(!test::readAll(path).contains(marker));
        QVERIFY(!test::readAll(path).contains(QStringLiteral("秘密").toUtf8()));
        QVERIFY(!QFileInfo::exists(path + "-journal"));
        QVERIFY(!QFileInfo::exists(path + "-wal"));
    }

    void byteCopyIsAWholeStore()
    {
        const QString path = makeStore({"甲", "乙"});
        ContactStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.append(test::Person("丙")));
        const QString copy = QFileInfo(path).absolutePath() + "/wab.bak";
        QVERIFY(QFile::copy(path, copy)); // while the store is open
        ContactStore backup;
        QVERIFY(backup.open(copy));
        QCOMPARE(test::allNames(backup), QStringList({"甲", "乙", "丙"}));
        QCOMPARE(backup.storeName(), QStringLiteral("wab"));
    }

private:
    QString badFile(const QString &kind)
    {
        const QString path = freshPath(QStringLiteral("bad"));
        QByteArray garbage(8192, Qt::Uninitialized);
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 7919 + 13) & 0xFF);
        if (kind == "missing")
            return path;
        if (kind == "empty")
            return test::writeAll(path, QByteArray()) ? path : QString();
        if (kind == "garbage")
            return test::writeAll(path, garbage) ? path : QString();
        if (kind == "short garbage")
            return test::writeAll(path, "SQLite format 3") ? path : QString();
        if (kind == "directory")
            return QDir().mkpath(path) ? path : QString();
        if (kind.startsWith("foreign")) {
            test::RawDb raw(path);
            if (!raw.exec("CREATE TABLE people (name TEXT); INSERT INTO people VALUES ('x')"))
                return {};
            const QByteArray ourId = "PRAGMA application_id = " + QByteArray::number(store::kApplicationId);
            if (kind == "foreign with our id" && !raw.exec(ourId.constData()))
                return {};
            return path;
        }
        // The rest start from a real store with enough records for many pages.
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names << QStringLiteral("联系人%1-%2").arg(i).arg(QString(200, QLatin1Char('z')));
        const QString store = makeStore(kind == "record damaged" ? names.mid(0, 3) : names);
        if (store.isEmpty() || !QFile::rename(store, path))
            return {};
        test::RawDb raw(path);
        if (kind == "newer format")
            return raw.exec("UPDATE meta SET value = 2 WHERE key = 'format'") ? path : QString();
        if (kind == "meta damaged")
            return raw.exec("DELETE FROM meta WHERE key = 'store_id'") ? path : QString();
        if (kind == "record damaged")
            return raw.setBlob("UPDATE records SET fields = ? WHERE id = ?", "short", 2) ? path : QString();
        const QByteArray bytes = test::readAll(path);
        const qsizetype keep =
            kind == "truncated to pages" ? (bytes.size() / 4096 / 2) * 4096 : bytes.size() - 100;
        return test::writeAll(path, bytes.left(keep)) ? path : QString();
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_core_store.moc"
