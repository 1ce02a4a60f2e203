// Why a store does not open or a write fails: each kind of file or damage
// gives its reason, a damaged store never opens, and nothing is written.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "support/Person.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quennet;
using quennet::test::RawDb;

Q_DECLARE_METATYPE(quennet::StoreError)

namespace {

QList<QStringList> rows(int count)
{
    QList<QStringList> out;
    for (int i = 0; i < count; ++i)
        out << test::Person(QStringLiteral("联系人%1").arg(i))
                   .phone(QStringLiteral("010-%1").arg(i, 8, 10, QChar('0')))
                   .mobile(QStringLiteral("139%1").arg(i, 8, 10, QChar('0')))
                   .email(QStringLiteral("地址很长的一段文字%1").arg(QString(200, QChar(u'路'))));
    return out;
}

// Damage done by one SQL statement run on the file directly.
std::function<bool(const QString &)> bySql(const char *statement)
{
    return [statement](const QString &p) { return RawDb(p).exec(statement); };
}

// Exchanges two pages of the file byte for byte.
bool swapPages(const QString &path, int a, int b)
{
    QByteArray bytes = test::readAll(path);
    const int page = 4096;
    if (bytes.size() < (std::max(a, b)) * page)
        return false;
    const QByteArray pageA = bytes.mid((a - 1) * page, page);
    bytes.replace((a - 1) * page, page, bytes.mid((b - 1) * page, page));
    bytes.replace((b - 1) * page, page, pageA);
    return test::writeAll(path, bytes);
}

struct FileCase {
    const char *name;
    StoreError expected;
    std::function<bool(const QString &path)> damage; // applied to a store of 38 contacts
};

const QList<FileCase> &fileCases()
{
    static const QList<FileCase> cases = {
        {"missing", StoreError::Missing, [](const QString &p) { return QFile::remove(p); }},
        {"directory", StoreError::NotAFile,
         [](const QString &p) { return QFile::remove(p) && QDir().mkdir(p); }},
        {"fifo", StoreError::NotAFile,
         [](const QString &p) { return QFile::remove(p) && ::mkfifo(QFile::encodeName(p), 0600) == 0; }},
        {"empty file", StoreError::NotAStore, [](const QString &p) { return test::writeAll(p, {}); }},
        {"text file", StoreError::NotAStore,
         [](const QString &p) { return test::writeAll(p, QByteArray(8192, 'x')); }},
        {"truncated", StoreError::Damaged,
         [](const QString &p) { return test::writeAll(p, test::readAll(p).left(8192)); }},
        {"longer than its header says", StoreError::Damaged,
         [](const QString &p) { return test::writeAll(p, test::readAll(p) + QByteArray(4096, '\0')); }},
        {"two pages swapped", StoreError::Damaged, [](const QString &p) { return swapPages(p, 3, 4); }},
        // The meta keys' index and the (empty) index of marks trade places:
        // every page is sound, only the indexes no longer match their tables.
        {"two index pages swapped", StoreError::Damaged, [](const QString &p) { return swapPages(p, 3, 6); }},
        {"trigger", StoreError::Damaged,
         bySql("CREATE TRIGGER wipe AFTER INSERT ON records BEGIN DELETE FROM records; END")},
        {"view", StoreError::Damaged, bySql("CREATE VIEW v AS SELECT id FROM records")},
        {"extra index", StoreError::Damaged, bySql("CREATE INDEX extra ON records (fields)")},
        {"extra table", StoreError::Damaged, bySql("CREATE TABLE t (x)")},
        {"index dropped", StoreError::Damaged, bySql("DROP INDEX records_marked")},
        {"unknown meta key", StoreError::Damaged, bySql("INSERT INTO meta VALUES ('colour', 'red')")},
        {"format as text", StoreError::Damaged, bySql("UPDATE meta SET value = '1' WHERE key = 'format'")},
        {"newer format", StoreError::NewerFormat, bySql("UPDATE meta SET value = 99 WHERE key = 'format'")},
        {"fields as text", StoreError::Damaged,
         bySql("UPDATE records SET fields = CAST(fields AS TEXT) WHERE id = 3")},
        {"empty fields blob", StoreError::Damaged,
         bySql("UPDATE records SET fields = zeroblob(0) WHERE id = 2")},
        {"oversized blob", StoreError::Damaged,
         bySql("UPDATE records SET fields = zeroblob(500000) WHERE id = 2")},
        {"blob beyond any value the store writes", StoreError::Damaged,
         bySql("UPDATE records SET fields = zeroblob(600000) WHERE id = 2")},
        {"meta value beyond any value the store writes", StoreError::Damaged,
         bySql("UPDATE meta SET value = zeroblob(600000) WHERE key = 'store_id'")},
        {"mark outside 0 and 1", StoreError::Damaged,
         bySql("PRAGMA ignore_check_constraints = ON; UPDATE records SET deleted = 7 WHERE id = 1")},
        {"record left marked deleted", StoreError::Damaged,
         bySql("UPDATE records SET deleted = 1 WHERE id = 5")},
        {"row id zero", StoreError::Damaged, bySql("UPDATE records SET id = 0 WHERE id = 1")},
        {"sequence below highest id", StoreError::Damaged, bySql("UPDATE sqlite_sequence SET seq = 5")},
        {"sequence at INT64_MAX", StoreError::Damaged,
         bySql("UPDATE sqlite_sequence SET seq = 9223372036854775807")},
        {"sequence of another table", StoreError::Damaged,
         bySql("INSERT INTO sqlite_sequence VALUES ('other', 1)")},
    };
    return cases;
}

} // namespace

class ReasonsTest : public QObject {
    Q_OBJECT

private:
    test::StoreDir m_stores;

    QString makeStore(int count, const QString &password = QString())
    {
        return m_stores.create(password, rows(count));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_stores.isValid());
        ContactStoreTestAccess::setBusyTimeout(300);
    }

    void fileGivesReason_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < fileCases().size(); ++i)
            QTest::newRow(fileCases()[i].name) << i;
    }

    void fileGivesReason()
    {
        QFETCH(int, index);
        const FileCase &c = fileCases()[index];
        const QString path = makeStore(38);
        QVERIFY(c.damage(path));
        const test::FileState before = test::fileState(path);
        ContactStore store;
        QVERIFY(!store.open(path));
        QCOMPARE(store.lastError(), c.expected);
        QVERIFY(!store.isOpen());
        QVERIFY(!store.append(test::Person(QStringLiteral("新人"))));
        const StoreCheck check = ContactStore::check(path);
        QVERIFY(!check.ok);
        QCOMPARE(check.error, c.expected);
        QVERIFY(test::fileState(path) == before);
    }

    void passwordReasons_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<StoreError>("expected");
        QTest::newRow("right") << QStringLiteral("pw") << StoreError::None;
        QTest::newRow("wrong") << QStringLiteral("pW") << StoreError::WrongPassword;
        QTest::newRow("none") << QString() << StoreError::WrongPassword;
    }

    void passwordReasons()
    {
        QFETCH(QString, given);
        QFETCH(StoreError, expected);
        const QString path = makeStore(3, QStringLiteral("pw"));
        const FileResult protectedStore = ContactStore::hasPassword(path);
        QVERIFY(protectedStore.ok);
        QCOMPARE(protectedStore.error, StoreError::None);
        ContactStore store;
        QCOMPARE(store.open(path, given), expected == StoreError::None);
        QCOMPARE(store.lastError(), expected);
    }

    void hasPasswordSaysWhyItCannotTell()
    {
        const FileResult missing =
            ContactStore::hasPassword(m_stores.filePath(QStringLiteral("nothing.vdb")));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.error, StoreError::Missing);
        const FileResult plain = ContactStore::hasPassword(makeStore(2));
        QVERIFY(!plain.ok);
        QCOMPARE(plain.error, StoreError::None);
    }

    void largeSequenceReservesNothing()
    {
        // A sequence far beyond the rows in use is legal and costs nothing.
        const QString path = makeStore(2);
        QVERIFY(RawDb(path).exec("UPDATE sqlite_sequence SET seq = 10000000"));
        ContactStore store;
        QVERIFY(store.open(path));
        QCOMPARE(store.recordCount(), 2);
        QVERIFY(store.append(test::Person(QStringLiteral("新人"))));
        RawDb raw(path);
        QCOMPARE(raw.integer("SELECT max(id) FROM records"), qint64(10000001));
    }

    void writeGivesReason_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<StoreError>("expected");
        QTest::newRow("locked by another program") << QStringLiteral("locked") << StoreError::Busy;
        QTest::newRow("field over capacity") << QStringLiteral("huge") << StoreError::OverCapacity;
        QTest::newRow("commit fails") << QStringLiteral("commit") << StoreError::Failed;
        QTest::newRow("closed") << QStringLiteral("closed") << StoreError::NotOpen;
    }

    void writeGivesReason()
    {
        QFETCH(QString, situation);
        QFETCH(StoreError, expected);
        const QString path = makeStore(3);
        ContactStore store;
        QVERIFY(store.open(path));
        RawDb other(path);
        Contact values = test::Person(QStringLiteral("新人"));
        if (situation == QLatin1String("locked"))
            QVERIFY(other.exec("BEGIN IMMEDIATE"));
        else if (situation == QLatin1String("huge"))
            values.address = QString(kMaxFieldBytes + 1, QLatin1Char('a'));
        else if (situation == QLatin1String("commit"))
            ContactStoreTestAccess::failNextCommit(store);
        else if (situation == QLatin1String("closed"))
            store.close();
        QVERIFY(!store.append(values));
        QCOMPARE(store.lastError(), expected);
        other.exec("ROLLBACK");
        QVERIFY(store.append(test::Person(QStringLiteral("后来的人"))) || expected == StoreError::NotOpen);
    }

    void writesReadInWhatOthersCommitted_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("write");
        QTest::addColumn<StoreError>("expected");
        QTest::addColumn<QStringList>("names");
        const QString a = QStringLiteral("联系人0"), c = QStringLiteral("联系人2"),
                      x = QStringLiteral("外来"), n = QStringLiteral("新人");
        const struct {
            const char *write;
            StoreError expected;
            QStringList names;
        } rows[] = {
            {"append", StoreError::None, {a, c, x, n}},
            {"modify", StoreError::None, {n, c, x}},
            {"mark and purge", StoreError::None, {a, x}},
            {"delete", StoreError::None, {a, x}},
            {"delete by number", StoreError::None, {a, c, n}},
            {"clear", StoreError::None, {}},
            {"set password", StoreError::None, {a, c, x}},
            {"modify the one deleted", StoreError::ChangedElsewhere, {a, c, x}},
            {"append many", StoreError::ChangedElsewhere, {a, c, x}},
        };
        for (const QString &password : {QString(), QStringLiteral("pw")})
            for (const auto &row : rows)
                QTest::addRow("%s%s", row.write, password.isEmpty() ? "" : " under a password")
                    << password << QString::fromLatin1(row.write) << row.expected << row.names;
    }

    // Another program deleted record 2 and appended one since this store
    // read the file: a write reads that in and goes on from it.
    void writesReadInWhatOthersCommitted()
    {
        QFETCH(QString, password);
        QFETCH(QString, write);
        QFETCH(StoreError, expected);
        QFETCH(QStringList, names);
        const QString path = makeStore(3, password);
        ContactStore store, other;
        QVERIFY(store.open(path, password) && other.open(path, password));
        other.goTo(2);
        QVERIFY(test::removeCurrent(other) && other.append(test::Person(QStringLiteral("外来"))));
        const Contact person = test::Person(QStringLiteral("新人"));
        const QMap<QString, std::function<bool()>> writes = {
            {"append", [&] { return store.append(person); }},
            {"modify", [&] { return store.goTo(1), test::modifyCurrent(store, person); }},
            {"mark and purge", [&] { return store.goTo(3), store.markDeleted() && store.purge(); }},
            {"delete", [&] { return store.goTo(3), test::removeCurrent(store); }},
            // Number 3 as the file numbers them when the write runs.
            {"delete by number", [&] { return store.removeNumberIf(3, nullptr) && store.append(person); }},
            {"clear", [&] { return store.clear(); }},
            {"set password", [&] { return store.setPassword(password + QStringLiteral("2")); }},
            {"modify the one deleted", [&] { return store.goTo(2), test::modifyCurrent(store, person); }},
            {"append many", [&] { return store.appendMany({person}); }},
        };
        QCOMPARE(writes.value(write)(), expected == StoreError::None);
        QCOMPARE(store.lastError(), expected);
        const QString now =
            write == QLatin1String("set password") ? password + QStringLiteral("2") : password;
        QCOMPARE(test::storedNames(path, now), names);
        if (expected == StoreError::None)
            QCOMPARE(test::allNames(store), names);
    }

    void refreshReadsWhatOthersWrote()
    {
        const QString pw = QStringLiteral("pw");
        const QString path = makeStore(3, pw);
        ContactStore mine, other;
        QVERIFY(mine.open(path, pw) && other.open(path, pw));
        bool reloaded = true;
        QVERIFY(mine.refresh(&reloaded));
        QVERIFY(!reloaded);
        other.goTo(1);
        QVERIFY(other.markDeleted() && other.purge() && other.append(test::Person(QStringLiteral("甲"))));
        mine.goTo(3);
        QVERIFY(mine.refresh(&reloaded));
        QVERIFY(reloaded);
        QCOMPARE(mine.recordCount(), 3);
        QCOMPARE(mine.recordNumber(), 3);
        QCOMPARE(mine.current().name, QStringLiteral("甲"));
        QCOMPARE(mine.reloadCount(), 1);
        // appendIf reads the file in inside its transaction.
        QVERIFY(other.append(test::Person(QStringLiteral("乙"))));
        int seen = 0;
        QVERIFY(!mine.appendIf(test::Person(QStringLiteral("乙")), [&](ContactStore &s) {
            seen = s.recordCount();
            return s.findRecord(FieldName, QStringLiteral("乙")) == 0;
        }));
        QCOMPARE(mine.lastError(), StoreError::None);
        QCOMPARE(seen, 4);
        // A lock held by another program fails the refresh and keeps the records.
        {
            RawDb locker(path);
            QVERIFY(locker.exec("BEGIN EXCLUSIVE"));
            QVERIFY(!mine.refresh());
            QCOMPARE(mine.lastError(), StoreError::Busy);
            QVERIFY(mine.isOpen());
            QCOMPARE(mine.recordCount(), 4);
        }
        // A file damaged meanwhile closes the store.
        other.close();
        QVERIFY(RawDb(path).exec("CREATE VIEW v AS SELECT 1"));
        QVERIFY(!mine.refresh());
        QCOMPARE(mine.lastError(), StoreError::Damaged);
        QVERIFY(!mine.isOpen());
    }

    void reasonsHaveChineseText()
    {
        for (int e = int(StoreError::Missing); e <= int(StoreError::Failed); ++e)
            QVERIFY(!storeErrorText(StoreError(e)).isEmpty());
        QCOMPARE(storeErrorText(StoreError::WrongPassword), QStringLiteral("密码错误！"));
    }
};

QTEST_GUILESS_MAIN(ReasonsTest)
#include "tst_core_store_reasons.moc"
