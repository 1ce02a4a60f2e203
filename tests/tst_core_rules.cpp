// The contact rules against a real store file: the check chains and their
// order, the duplicate searches, the writes, queries, deletion and texts.

#include "contacts/ContactRules.h"
#include "contacts/DuplicateIndex.h"
#include "contacts/store/ContactStore.h"
#include "support/StoreFixture.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace quennet;
using rules::Check;

Q_DECLARE_METATYPE(quennet::rules::Check)
Q_DECLARE_METATYPE(quennet::Message)
Q_DECLARE_METATYPE(quennet::MessageLook)
Q_DECLARE_METATYPE(quennet::rules::Outcome)

namespace {

// A record or a typed contact written as "name|phone|mobile|qq|email|address";
// missing trailing fields are empty.
QStringList fields(const QString &line)
{
    QStringList values = line.split(QLatin1Char('|'));
    while (values.size() < kFieldCount)
        values.append(QString());
    return values;
}

rules::ContactInput input(const QString &line)
{
    return Contact::fromValues(fields(line));
}

QString repeat(const QString &piece, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ContactStore m_store;
    int m_storeCount = 0;

    // A fresh store file holding exactly these records.
    bool openStoreWith(const QStringList &records)
    {
        m_store.close();
        const QString path = m_dir.filePath(QStringLiteral("store%1.vdb").arg(++m_storeCount));
        if (!ContactStore::create(path) || !m_store.open(path))
            return false;
        for (const QString &record : records) {
            if (!m_store.append(input(record)))
                return false;
        }
        m_store.goFirst();
        return true;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void addingChecks_data();
    void addingChecks();
    void findFromCursor_data();
    void findFromCursor();
    void duplicateSearchForAdding_data();
    void duplicateSearchForAdding();
    void modifyingChecks_data();
    void modifyingChecks();
    void writes();
    void queries_data();
    void queries();
    void deletion();
    void indexedSearchGivesTheChainsVerdicts();
    void changesToTheShownContact_data();
    void changesToTheShownContact();
    void texts_data();
    void texts();
};

void TestRules::addingChecks_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Check>("expected");
    QTest::addColumn<QString>("message");

    const QStringList three{
        QStringLiteral("张三|010-111|13800000001|11111|zs@example.com|北京"),
        QStringLiteral("李四|010-222|13800000002|22222||"),
        QStringLiteral("王五|010-333|13800000003|33333||"),
    };
    const QString emptyName = QStringLiteral("对不起！姓名不能为无名氏哦！");
    const QString sameName = QStringLiteral("对不起！已经存在相同姓名的联系人哦！");
    const QString samePhone = QStringLiteral("对不起！已经存在相同电话的联系人哦！");
    const QString sameMobile = QStringLiteral("对不起！已经存在相同手机的联系人哦！");
    const QString mobileLength = QStringLiteral("对不起！手机号码是11位数字哦！");
    const QString sameQQ = QStringLiteral("对不起！已经存在相同QQ的联系人哦！");
    const QString qqLength = QStringLiteral("对不起！QQ号码不能大于9位数字哦！");

    QTest::newRow("every field empty") << three << QString() << Check::EmptyName << emptyName;
    QTest::newRow("empty name before duplicates")
        << three << QStringLiteral("|010-111|13800000001|11111") << Check::EmptyName << emptyName;
    QTest::newRow("a space is a name") << three << QStringLiteral(" ") << Check::Ok << QString();
    QTest::newRow("same name, other fields new")
        << three << QStringLiteral("李四|999|13999999999|999") << Check::DuplicateName << sameName;
    QTest::newRow("same name wins over a bad mobile")
        << three << QStringLiteral("李四||123") << Check::DuplicateName << sameName;
    QTest::newRow("name compared case-sensitively")
        << QStringList{QStringLiteral("Tom")} << QStringLiteral("tom") << Check::Ok << QString();
    QTest::newRow("name with a trailing space is new")
        << QStringList{QStringLiteral("Tom")} << QStringLiteral("Tom ") << Check::Ok << QString();
    QTest::newRow("phone of another record")
        << three << QStringLiteral("赵六|010-222") << Check::DuplicatePhone << samePhone;
    QTest::newRow("mobile of another record")
        << three << QStringLiteral("赵六|010-999|13800000003") << Check::DuplicateMobile << sameMobile;
    QTest::newRow("duplicate mobile before its length")
        << QStringList{QStringLiteral("甲||12345")} << QStringLiteral("乙|1|12345") << Check::DuplicateMobile
        << sameMobile;
    QTest::newRow("mobile of 10 digits")
        << three << QStringLiteral("赵六||1380000000") << Check::MobileLength << mobileLength;
    QTest::newRow("mobile of 12 digits")
        << three << QStringLiteral("赵六||138000000001") << Check::MobileLength << mobileLength;
    QTest::newRow("mobile of 11 letters passes")
        << three << QStringLiteral("赵六||abcdefghijk") << Check::Ok << QString();
    QTest::newRow("mobile of 6 Chinese characters is 12 bytes")
        << three << QStringLiteral("赵六||一二三四五六") << Check::MobileLength << mobileLength;
    QTest::newRow("mobile length before a duplicate QQ")
        << three << QStringLiteral("赵六|x|1|11111") << Check::MobileLength << mobileLength;
    QTest::newRow("QQ of another record")
        << three << QStringLiteral("赵六|x||33333") << Check::DuplicateQQ << sameQQ;
    QTest::newRow("QQ of 10 digits") << three << QStringLiteral("赵六|||1234567890") << Check::QQLength
                                     << qqLength;
    QTest::newRow("QQ of 9 digits passes")
        << three << QStringLiteral("赵六|||123456789") << Check::Ok << QString();
    QTest::newRow("QQ of 5 Chinese characters is 10 bytes")
        << three << QStringLiteral("赵六|||一二三四五") << Check::QQLength << qqLength;
    // The empty typed phone finds the first record with an empty phone; the
    // phone check ignores empty values, so nothing is reported...
    QTest::newRow("found through an empty phone")
        << QStringList{QStringLiteral("甲||13800000001|111")} << QStringLiteral("乙||13900000000|222")
        << Check::Ok << QString();
    // ...and the record found is the only one compared: the mobile of record 2
    // is not looked at once record 1 was found through the empty phone.
    QTest::newRow("only the found record is compared")
        << QStringList{QStringLiteral("甲||13800000001"), QStringLiteral("乙|555|13800000002")}
        << QStringLiteral("丙||13800000002") << Check::Ok << QString();
    QTest::newRow("empty store") << QStringList{} << QStringLiteral("甲|1|13800000001|1") << Check::Ok
                                 << QString();
}

void TestRules::addingChecks()
{
    QFETCH(QStringList, records);
    QFETCH(QString, typed);
    QFETCH(Check, expected);
    QFETCH(QString, message);
    QVERIFY(openStoreWith(records));

    const Check check = rules::checkAdding(m_store, input(typed));
    QCOMPARE(check, expected);
    const Message shown = rules::checkMessage(check, rules::Branch::Adding);
    QCOMPARE(shown.text, message);
    if (check != Check::Ok) {
        QCOMPARE(shown.title, QStringLiteral("温馨提示"));
        QCOMPARE(shown.look, MessageLook::Information);
    }
    QCOMPARE(test::allRecords(m_store).size(), records.size()); // a check never writes
}

// The find the duplicate chain and the queries are built of: a failed find
// leaves the cursor where it stood, so the next find starts there.
void TestRules::findFromCursor_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cursor"); // where it stands afterwards
    QTest::addColumn<bool>("found");

    QTest::newRow("the record under the cursor") << 1 << QStringLiteral("甲") << 1 << true;
    QTest::newRow("a record further on") << 2 << QStringLiteral("甲") << 3 << true;
    QTest::newRow("before first: from record 1") << 0 << QStringLiteral("乙") << 2 << true;
    QTest::newRow("only before the cursor") << 3 << QStringLiteral("乙") << 3 << false;
    for (int start = 0; start <= 4; ++start)
        QTest::addRow("no match from %d", start) << start << QStringLiteral("丁") << start << false;
}

void TestRules::findFromCursor()
{
    QFETCH(int, start);
    QFETCH(QString, name);
    QFETCH(int, cursor);
    QFETCH(bool, found);
    QVERIFY(openStoreWith({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("甲")}));
    m_store.goTo(start);
    QCOMPARE(rules::findFromCursor(m_store, FieldName, name), found);
    QCOMPARE(m_store.recordNumber(), cursor);
}

void TestRules::duplicateSearchForAdding_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("foundRecord"); // 0: none

    const QStringList records{
        QStringLiteral("甲|111|13800000001|1001"),
        QStringLiteral("乙|222|13800000002|1002"),
        QStringLiteral("乙|333|13800000003|1003"),
        QStringLiteral("丙|111|13800000004|1004"),
    };
    QTest::newRow("lowest-numbered name match") << records << QStringLiteral("乙") << 2;
    QTest::newRow("name wins over an earlier phone") << records << QStringLiteral("丙|222") << 4;
    QTest::newRow("lowest-numbered phone match") << records << QStringLiteral("丁|111") << 1;
    QTest::newRow("mobile after phone fails") << records << QStringLiteral("丁|999|13800000003") << 3;
    QTest::newRow("QQ last") << records << QStringLiteral("丁|999|1|1004") << 4;
    QTest::newRow("nothing") << records << QStringLiteral("丁|999|1|9") << 0;
    QTest::newRow("empty phone matches an empty phone")
        << QStringList{QStringLiteral("甲|1"), QStringLiteral("乙|"), QStringLiteral("丙|")}
        << QStringLiteral("丁") << 2;
}

void TestRules::duplicateSearchForAdding()
{
    QFETCH(QStringList, records);
    QFETCH(QString, typed);
    QFETCH(int, foundRecord);
    QVERIFY(openStoreWith(records));
    m_store.goLast();

    const rules::FoundValues found = rules::findDuplicateForAdding(m_store, input(typed));
    QCOMPARE(found.found, foundRecord != 0);
    QCOMPARE(found.recordNumber, foundRecord);
    if (foundRecord != 0) {
        QCOMPARE(m_store.recordNumber(), foundRecord);
        const QStringList stored = fields(records.at(foundRecord - 1));
        QCOMPARE(QStringList({found.name, found.phone, found.mobile, found.qq}), stored.mid(0, 4));
    } else {
        QCOMPARE(found.name, QString());
        QCOMPARE(found.phone, QString());
        QCOMPARE(m_store.recordNumber(), 1); // the search started on the first record
    }
}

void TestRules::modifyingChecks_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Check>("expected");
    QTest::addColumn<QString>("message");

    const QStringList records{
        QStringLiteral("甲|111|13800000001|1001"),
        QStringLiteral("乙|222|13800000002|1002"),
        QStringLiteral("丙|222|13800000003|1003"),
    };
    QTest::newRow("unchanged contact skips itself") << records << 3 << records[2] << Check::Ok << QString();
    QTest::newRow("other fields changed")
        << records << 1 << QStringLiteral("甲|999|13900000000|9") << Check::Ok << QString();
    QTest::newRow("name of another record")
        << records << 3 << QStringLiteral("甲|222|13800000003|1003") << Check::DuplicateName
        << QStringLiteral("对不起！已经存在同姓名的联系人哦！");
    // Record 2 matches itself by name; the chain goes on from record 3 and
    // finds record 3 through the phone both share.
    QTest::newRow("search goes on after itself") << records << 2 << records[1] << Check::DuplicatePhone
                                                 << QStringLiteral("对不起！已经存在相同电话的联系人哦！");
    // Record 3 matches itself by name; nothing follows it, so the phone that
    // record 2 shares with it is not looked for.
    QTest::newRow("search does not restart from the first record")
        << records << 3 << QStringLiteral("丙|222") << Check::Ok << QString();
    QTest::newRow("empty name") << records << 2 << QStringLiteral("|222") << Check::EmptyName
                                << QStringLiteral("对不起！姓名不能为无名氏哦！");
    QTest::newRow("bad mobile length") << records << 1 << QStringLiteral("甲|111|138") << Check::MobileLength
                                       << QStringLiteral("对不起！手机号码是11位数字哦！");
    QTest::newRow("QQ too long") << records << 1 << QStringLiteral("甲|111|13800000001|1234567890")
                                 << Check::QQLength << QStringLiteral("对不起！QQ号码不能大于9位数字哦！");
    QTest::newRow("nothing selected yet") << records << 0 << records[0] << Check::DuplicateName
                                          << QStringLiteral("对不起！已经存在同姓名的联系人哦！");
}

void TestRules::modifyingChecks()
{
    QFETCH(QStringList, records);
    QFETCH(int, selected);
    QFETCH(QString, typed);
    QFETCH(Check, expected);
    QFETCH(QString, message);
    QVERIFY(openStoreWith(records));
    m_store.goTo(selected);
    const int before = m_store.recordNumber();

    const Check check = rules::checkModifying(m_store, input(typed), selected);
    QCOMPARE(check, expected);
    QCOMPARE(rules::checkMessage(check, rules::Branch::Modifying).text, message);
    QCOMPARE(m_store.recordNumber(), before); // the search ends on the selected record
    QCOMPARE(test::allRecords(m_store).size(), records.size());
}

void TestRules::writes()
{
    QVERIFY(openStoreWith({QStringLiteral("甲|1"), QStringLiteral("乙|2")}));

    // Adding: checks pass, the append lands on the new last record.
    const rules::ContactInput added = input(QStringLiteral("丙|3|13800000003|12345|c@example.com|上海"));
    QCOMPARE(rules::checkAdding(m_store, added), Check::Ok);
    QVERIFY(rules::appendContact(m_store, added));
    QCOMPARE(m_store.recordCount(), 3);
    QCOMPARE(m_store.recordNumber(), 3);
    QCOMPARE(m_store.contactAt(3).values(), added.values());

    // A value the store refuses: nothing written, the cursor stays.
    m_store.goTo(2);
    rules::ContactInput huge = added;
    huge.name = QStringLiteral("丁");
    huge.address = repeat(QStringLiteral("x"), kMaxFieldBytes + 1);
    QVERIFY(!rules::appendContact(m_store, huge));
    QCOMPARE(m_store.recordCount(), 3);
    QCOMPARE(m_store.recordNumber(), 2);

    // Modifying overwrites exactly the record shown.
    const rules::ContactInput changed = input(QStringLiteral("乙|222|13900000002|2||广州"));
    Check check = Check::Ok;
    QCOMPARE(rules::modifyShownContact(m_store, changed, m_store.contactAt(2), &check), rules::Outcome::Done);
    QCOMPARE(m_store.recordNumber(), 2);
    QCOMPARE(m_store.contactAt(2).values(), changed.values());
    QCOMPARE(m_store.contactAt(1).values(), fields(QStringLiteral("甲|1")));

    // Modifying before anything was shown: no record, so nothing changes;
    // the checks still run first.
    const QList<QStringList> before = test::allRecords(m_store);
    QCOMPARE(rules::modifyShownContact(m_store, input(QStringLiteral("戊|5")), Contact(), &check),
             rules::Outcome::Failed);
    QCOMPARE(rules::modifyShownContact(m_store, input(QString()), Contact(), &check),
             rules::Outcome::Refused);
    QCOMPARE(check, Check::EmptyName);
    QCOMPARE(test::allRecords(m_store), before);

    // Written values survive reopening, byte for byte.
    const QString path = m_store.filePath();
    m_store.close();
    QVERIFY(m_store.open(path));
    QCOMPARE(test::allRecords(m_store), before);

    QCOMPARE(rules::addSucceeded().text, QStringLiteral("添加联系人成功！"));
    QCOMPARE(rules::addFailed().text, QStringLiteral("添加联系人失败！"));
    QCOMPARE(rules::addFailed().look, MessageLook::Stop);
    QCOMPARE(rules::modifySucceeded().text, QStringLiteral("修改联系人成功！"));
    QCOMPARE(rules::modifySucceeded().look, MessageLook::Information);
    QCOMPARE(rules::modifyFailed().text, QStringLiteral("修改联系人失败！"));
    QCOMPARE(rules::modifyFailed().look, MessageLook::Stop);
}

void TestRules::queries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("matches");

    QTest::newRow("two names, both returned") << 1 << QStringLiteral("张三") << QList<int>{3, 7};
    QTest::newRow("single phone") << 2 << QStringLiteral("010-5") << QList<int>{5};
    QTest::newRow("mobile") << 3 << QStringLiteral("13800000004") << QList<int>{4};
    QTest::newRow("QQ in three records") << 4 << QStringLiteral("8888") << QList<int>{1, 2, 8};
    QTest::newRow("mobile prefix finds nothing") << 3 << QStringLiteral("13800") << QList<int>{};
    QTest::newRow("trailing space finds nothing") << 1 << QStringLiteral("张三 ") << QList<int>{};
    QTest::newRow("case matters") << 1 << QStringLiteral("tom") << QList<int>{};
    QTest::newRow("exact Latin name") << 1 << QStringLiteral("Tom") << QList<int>{6};
}

void TestRules::queries()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QList<int>, matches);
    QVERIFY(openStoreWith({
        QStringLiteral("甲|010-1|13800000001|8888"),
        QStringLiteral("乙|010-2|13800000002|8888"),
        QStringLiteral("张三|010-3|13800000003|3"),
        QStringLiteral("丁|010-4|13800000004|4"),
        QStringLiteral("戊|010-5|13800000005|5"),
        QStringLiteral("Tom|010-6|13800000006|6"),
        QStringLiteral("张三|010-7|13800000007|7"),
        QStringLiteral("辛|010-8|13800000008|8888"),
    }));

    QCOMPARE(rules::query(m_store, rules::QueryKind(kind), text), matches);
}

// Another program changes the store between the moment a contact was shown
// and the write: the write lands on that contact wherever it now stands, or
// not at all when the contact itself changed.
void TestRules::changesToTheShownContact_data()
{
    QTest::addColumn<QString>("elsewhere"); // what the other program does
    QTest::addColumn<rules::Outcome>("outcome");
    QTest::addColumn<QStringList>("afterModify");
    QTest::addColumn<QStringList>("afterDelete");
    const QString a = QStringLiteral("甲|1"), c = QStringLiteral("丙|3");
    const QString b2 = QStringLiteral("乙|2|13900000002");
    const QString typed = QStringLiteral("乙改|2");
    QTest::newRow("nothing") << QString() << rules::Outcome::Done << QStringList{a, typed, c}
                             << QStringList{a, c};
    QTest::newRow("an earlier one deleted")
        << QStringLiteral("delete 1") << rules::Outcome::Done << QStringList{typed, c} << QStringList{c};
    QTest::newRow("the shown one changed") << QStringLiteral("change 2") << rules::Outcome::Stale
                                           << QStringList{a, b2, c} << QStringList{a, b2, c};
    QTest::newRow("the shown one deleted")
        << QStringLiteral("delete 2") << rules::Outcome::Stale << QStringList{a, c} << QStringList{a, c};
}

void TestRules::changesToTheShownContact()
{
    QFETCH(QString, elsewhere);
    QFETCH(rules::Outcome, outcome);
    QFETCH(QStringList, afterModify);
    QFETCH(QStringList, afterDelete);
    for (const bool modifying : {true, false}) {
        QVERIFY(openStoreWith({QStringLiteral("甲|1"), QStringLiteral("乙|2"), QStringLiteral("丙|3")}));
        const Contact shown = m_store.contactAt(2);
        ContactStore other;
        QVERIFY(other.open(m_store.filePath()));
        other.goTo(elsewhere.section(QLatin1Char(' '), 1).toInt());
        if (elsewhere.startsWith(QLatin1String("delete")))
            QVERIFY(test::removeCurrent(other));
        else if (elsewhere.startsWith(QLatin1String("change")))
            QVERIFY(test::modifyCurrent(other, input(QStringLiteral("乙|2|13900000002"))));
        Check check = Check::Ok;
        const rules::Outcome got =
            modifying ? rules::modifyShownContact(m_store, input(QStringLiteral("乙改|2")), shown, &check)
                      : rules::deleteShownContact(m_store, shown);
        QCOMPARE(got, outcome);
        QStringList expected;
        for (const QString &line : modifying ? afterModify : afterDelete)
            expected << fields(line).join(QLatin1Char('|'));
        QStringList stored;
        for (const QStringList &record : test::allRecords(m_store))
            stored << record.join(QLatin1Char('|'));
        QCOMPARE(stored, expected);
    }
}

void TestRules::deletion()
{
    QVERIFY(openStoreWith({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                           QStringLiteral("四"), QStringLiteral("五")}));

    int count = 0;
    m_store.goTo(3);
    QCOMPARE(rules::deleteRecordNumber(m_store, 3, &count), rules::Outcome::Done);
    QCOMPARE(m_store.recordCount(), 4);
    QCOMPARE(test::allRecords(m_store),
             (QList<QStringList>{fields(QStringLiteral("一")), fields(QStringLiteral("二")),
                                 fields(QStringLiteral("四")), fields(QStringLiteral("五"))}));

    // No such record: refused with the count, nothing is purged.
    for (const int outside : {0, 5}) {
        QCOMPARE(rules::deleteRecordNumber(m_store, outside, &count), rules::Outcome::Refused);
        QCOMPARE(count, 4);
        QCOMPARE(m_store.recordCount(), 4);
    }

    // The number as the file numbers them at the moment of writing.
    {
        ContactStore other;
        QVERIFY(other.open(m_store.filePath()) && other.remove(other.rowIdAt(1)));
    }
    m_store.goTo(4);
    QCOMPARE(rules::deleteRecordNumber(m_store, 4, &count), rules::Outcome::Refused);
    QCOMPARE(count, 3);
    QCOMPARE(rules::deleteRecordNumber(m_store, 2, &count), rules::Outcome::Done);
    QCOMPARE(m_store.recordCount(), 2);
    QCOMPARE(test::allNames(m_store), (QStringList{QStringLiteral("二"), QStringLiteral("五")}));
    m_store.goTo(2);
    QCOMPARE(m_store.current().name, QStringLiteral("五"));

    QCOMPARE(rules::deleteConfirmationText(QStringLiteral("张三")),
             QString::fromUtf8(
                 "\xe6\x82\xa8\xe7\xa1\xae\xe5\xae\x9a\xe8\xa6\x81\xe5\x88\xa0\xe9\x99\xa4 \xe2\x80\x9c"
                 "\xe5\xbc\xa0\xe4\xb8\x89"
                 "\xe2\x80\x9d \xe6\xad\xa4\xe6\x9d\xa1\xe8\xae\xb0\xe5\xbd\x95\xe5\x90\x97\xef\xbc\x9f"));
    QCOMPARE(rules::deleteConfirmationText(QString()), QStringLiteral("您确定要删除 “” 此条记录吗？"));
    QCOMPARE(rules::deleteConfirmation(QStringLiteral("甲")).look,
             MessageLook::OkCancelQuestionDefaultCancel);
    QCOMPARE(rules::deleteConfirmation(QStringLiteral("甲")).title, QStringLiteral("温馨提示"));
}

// Adds, changes and deletes through an index, from a few values each so
// that names, numbers and empty fields meet often, with another program
// appending now and then: each verdict is the one of the chain of finds.
void TestRules::indexedSearchGivesTheChainsVerdicts()
{
    QVERIFY(openStoreWith({QStringLiteral("甲|1|13800000001|11"), QStringLiteral("乙||13800000002|"),
                           QStringLiteral("丙|1||11")}));
    ContactStore other;
    QVERIFY(other.open(m_store.filePath()));
    QRandomGenerator random(19);
    const auto pick = [&](const QStringList &pool) { return pool.at(random.bounded(int(pool.size()))); };
    const QStringList names{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                            QStringLiteral("丁"), QStringLiteral("戊")};
    const QStringList phones{QString(), QStringLiteral("1"), QStringLiteral("2")};
    const QStringList mobiles{QString(), QStringLiteral("13800000001"), QStringLiteral("13800000002"),
                              QStringLiteral("138")};
    const QStringList qqs{QString(), QStringLiteral("11"), QStringLiteral("22")};
    const auto typed = [&] {
        return Contact::fromValues(
            {random.bounded(20) == 0 ? QString() : pick(names), pick(phones), pick(mobiles), pick(qqs)});
    };
    rules::DuplicateIndex index;
    int refused = 0, done = 0;
    for (int step = 0; step < 600; ++step) {
        const int what = random.bounded(10);
        const rules::ContactInput in = typed();
        Check check = Check::Ok;
        m_store.refresh(); // the chain searches what the file holds
        if (what == 0) {
            QVERIFY(other.append(Contact::fromValues({pick(names), pick(phones)})));
        } else if (what < 5 || m_store.recordCount() == 0) {
            const Check expected = rules::checkAdding(m_store, in);
            const int count = m_store.recordCount();
            QCOMPARE(rules::addContact(m_store, index, in, &check), expected == Check::Ok);
            QCOMPARE(check, expected);
            QCOMPARE(m_store.recordCount(), count + (expected == Check::Ok));
            (expected == Check::Ok ? done : refused)++;
        } else {
            const int number = 1 + random.bounded(m_store.recordCount());
            const Contact shown = m_store.contactAt(number);
            if (what < 8) {
                const Check expected = rules::checkModifying(m_store, in, number);
                QCOMPARE(rules::modifyShownContact(m_store, index, in, shown, &check),
                         expected == Check::Ok ? rules::Outcome::Done : rules::Outcome::Refused);
                QCOMPARE(check, expected);
                (expected == Check::Ok ? done : refused)++;
            } else {
                QCOMPARE(rules::deleteShownContact(m_store, index, shown), rules::Outcome::Done);
            }
        }
    }
    QVERIFY2(done > 50 && refused > 50, qPrintable(QStringLiteral("%1 %2").arg(done).arg(refused)));
}

void TestRules::texts_data()
{
    QTest::addColumn<Message>("message");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<MessageLook>("look");

    const QString tip = QStringLiteral("温馨提示");
    const QString byName = QStringLiteral("按姓名查询");
    QTest::newRow("adding state")
        << rules::addingStateMessage()
        << QStringLiteral("您正处于添加联系人状态……\r\n请先按确定键（C）确认！\r\n或按关闭键取消当前添加！")
        << tip << MessageLook::Information;
    QTest::newRow("modifying state")
        << rules::modifyingStateMessage()
        << QStringLiteral(
               "您正处于修改联系人状态……\r\n修改好后请按确定键（C）确认！\r\n若按关闭键则可取消当前修改！")
        << tip << MessageLook::Information;
    QTest::newRow("delete while adding")
        << rules::deleteWhileAdding() << rules::addingStateMessage().text << tip << MessageLook::Information;
    QTest::newRow("deleted") << rules::deleteSucceeded() << QStringLiteral("删除联系人成功！") << tip
                             << MessageLook::Information;
    QTest::newRow("delete failed") << rules::deleteFailed() << QStringLiteral("删除联系人失败！") << tip
                                   << MessageLook::Information;
    QTest::newRow("nothing found") << rules::nothingFound()
                                   << QStringLiteral("对不起！找不到您想要查询的联系人哦！") << tip
                                   << MessageLook::Information;
    QTest::newRow("prompt 1") << rules::queryPrompt(rules::QueryKind(1))
                              << QStringLiteral(
                                     "请在姓名后面输入联系人的姓名！\r\n然后按确定键（C）进行查询！")
                              << byName << MessageLook::Information;
    QTest::newRow("prompt 2") << rules::queryPrompt(rules::QueryKind(2))
                              << QStringLiteral(
                                     "请在电话后面输入联系人的电话号码！\r\n然后按确定键（C）进行查询！")
                              << byName << MessageLook::Information;
    QTest::newRow("prompt 3") << rules::queryPrompt(rules::QueryKind(3))
                              << QStringLiteral(
                                     "请在手机后面输入联系人的手机号码！\r\n然后按确定键（C）进行查询！")
                              << byName << MessageLook::Information;
    QTest::newRow("prompt 4") << rules::queryPrompt(rules::QueryKind(4))
                              << QStringLiteral(
                                     "请在QQ后面输入联系人的QQ号码！\r\n然后按确定键（C）进行查询！")
                              << byName << MessageLook::Information;
    QTest::newRow("empty box 1")
        << rules::queryEmptyBox(rules::QueryKind(1))
        << QStringLiteral("姓名不能为空哦！\r\n请在姓名后面输入联系人的姓名！\r\n然后按确定键（C）进行查询！")
        << byName << MessageLook::Information;
    QTest::newRow("empty box 2")
        << rules::queryEmptyBox(rules::QueryKind(2))
        << QStringLiteral(
               "电话号码不能为空哦！\r\n请在电话后面输入联系人的电话号码！\r\n然后按确定键（C）进行查询！")
        << QStringLiteral("按电话查询") << MessageLook::Information;
    QTest::newRow("empty box 3")
        << rules::queryEmptyBox(rules::QueryKind(3))
        << QStringLiteral(
               "手机号码不能为空哦！\r\n请在手机后面输入联系人的手机号码！\r\n然后按确定键（C）进行查询！")
        << QStringLiteral("按手机查询") << MessageLook::Information;
    QTest::newRow("empty box 4 shares the mobile title")
        << rules::queryEmptyBox(rules::QueryKind(4))
        << QStringLiteral(
               "QQ号码不能为空哦！\r\n请在QQ后面输入联系人的QQ号码！\r\n然后按确定键（C）进行查询！")
        << QStringLiteral("按手机查询") << MessageLook::Information;
    QTest::newRow("adding name duplicate")
        << rules::checkMessage(Check::DuplicateName, rules::Branch::Adding)
        << QStringLiteral("对不起！已经存在相同姓名的联系人哦！") << tip << MessageLook::Information;
    QTest::newRow("modifying name duplicate")
        << rules::checkMessage(Check::DuplicateName, rules::Branch::Modifying)
        << QStringLiteral("对不起！已经存在同姓名的联系人哦！") << tip << MessageLook::Information;
    QTest::newRow("no message for Ok") << rules::checkMessage(Check::Ok, rules::Branch::Adding) << QString()
                                       << QString() << MessageLook::None;
}

void TestRules::texts()
{
    QFETCH(Message, message);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(MessageLook, look);
    QCOMPARE(message.text, text);
    QCOMPARE(message.title, title);
    QCOMPARE(message.look, look);
}

QTEST_GUILESS_MAIN(TestRules)
#include "tst_core_rules.moc"
