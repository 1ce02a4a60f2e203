// Adding, modifying, querying and deleting contacts in the main window,
// driven through its controls and the operations its hot keys call; every
// write is checked against the store file itself.

#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "contacts/store/ContactStoreTesting.h"
#include "support/MainWindowFixture.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTest>

#include <utility>

using namespace quennet;

namespace {

using Contacts = QList<QStringList>;

Contacts fiveContacts()
{
    return {
        test::Person("张三")
            .phone("010-1111")
            .mobile("13800000001")
            .qq("10001")
            .email("zs@example.com")
            .address("北京"),
        test::Person("李四")
            .phone("010-2222")
            .mobile("13800000002")
            .qq("10002")
            .email("ls@example.com")
            .address("上海"),
        // No phone: an empty typed phone finds this one.
        test::Person("王五").mobile("13800000003").qq("10003").address("广州"),
        // No mobile and no QQ.
        test::Person("赵六").phone("010-4444"),
        test::Person("孙七").phone("010-5555").mobile("13800000005").qq("10005").address("深圳"),
    };
}

// Repeated names, phones and mobiles, so that a query finds several records.
Contacts queryContacts()
{
    return {
        test::Person("陈一").phone("010-1").mobile("13800000001").qq("101"),
        test::Person("林二").phone("010-2").mobile("13800000002").qq("102"),
        test::Person("周三").phone("010-3").mobile("13800000003").qq("qq103"),
        test::Person("吴四").mobile("13800000004").qq("104"),
        test::Person("郑五").phone("010-2").mobile("13800000005").qq("105"),
        test::Person("冯六").phone("010-6").mobile("13800000006").qq("106"),
        test::Person("周三").phone("010-7").mobile("13800000007").qq("107"),
        test::Person("蒋八").phone("010-8").mobile("13800000002").qq("108"),
    };
}

QStringList namesOf(const Contacts &contacts)
{
    QStringList names;
    for (const QStringList &values : contacts)
        names << values.first();
    return names;
}

QString line(const Message &message)
{
    return test::messageLine(message.text, message.title, ui::styleOf(message.look));
}

// Types text key by key, as the keyboard would (any character, not only
// Latin-1 ones).
void typeInto(QWidget *box, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

const QString kAdded = QStringLiteral("添加联系人成功！");
const QString kModified = QStringLiteral("修改联系人成功！");
const QString kDeleted = QStringLiteral("删除联系人成功！");
const QString kDeleteFailed = QStringLiteral("删除联系人失败！");

// How many messages had been shown when the form went back to showing a
// stored record (its boxes became read-only), to tell the order of the two.
class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(QLineEdit *box) : m_box(box) { box->installEventFilter(this); }
    int messagesBeforeShow = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_box && event->type() == QEvent::ReadOnlyChange && m_box->isReadOnly() &&
            messagesBeforeShow < 0)
            messagesBeforeShow = int(ui::MessageBoxScript::shown().size());
        return false;
    }

private:
    QLineEdit *m_box;
};

// The main window on a store of the given contacts (no skins).
class Harness : public test::MainWindowFixture {
public:
    explicit Harness(const Contacts &contacts = fiveContacts()) : MainWindowFixture(contacts, false)
    {
        ui::clearTestScripts();
    }

    Contacts stored() const { return test::storedRecords(home.storeFile()); }

    // Types into every box that takes input; long values are pasted.
    void type(const QStringList &values)
    {
        const QList<QLineEdit *> boxes = window->editBoxes();
        for (int i = 0; i < boxes.size(); ++i) {
            QLineEdit *box = boxes.at(i);
            if (box->isReadOnly() || !box->isEnabled())
                continue;
            box->clear();
            if (values.value(i).size() > 200)
                box->setText(values.value(i));
            else
                typeInto(box, values.value(i));
        }
    }

    void clickConfirm() { QTest::mouseClick(window->确定按钮, Qt::LeftButton); }

    // Selects the row of a record in the list (0: none) and opens it.
    void openRecord(int number)
    {
        if (number > 0)
            window->超级列表框->selectRow(number - 1);
        window->open();
        ui::clearTestScripts();
    }

    bool boxesEditable() const
    {
        for (QLineEdit *box : window->editBoxes())
            if (box->isReadOnly() || !box->isEnabled())
                return false;
        return true;
    }

    int listRows() const { return window->listModel()->rowCount(); }
};

QString repeated(const QString &text, int times)
{
    QString result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

// Larger than one field may hold: 30,000 characters of 3 UTF-8 bytes each.
QString overCapacity()
{
    return repeated(QStringLiteral("长"), 30000);
}

enum class Operation {
    Add,
    Modify,
    ModifyNothingSelected,
    DeleteRecordView,
    DeleteListView,
    DeleteNothingSelected
};
enum class Cause { None, FailingCommit, OverCapacity };

} // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(Cause)

class TestMainWindowContacts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }

    void init() { ui::clearTestScripts(); }

    // --- adding and modifying ------------------------------------------------

    void addingChecks_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("message");
        const QString added = test::tip(kAdded);
        const QString noName = test::tip(QStringLiteral("对不起！姓名不能为无名氏哦！"));
        const QString sameName = test::tip(QStringLiteral("对不起！已经存在相同姓名的联系人哦！"));
        const QString samePhone = test::tip(QStringLiteral("对不起！已经存在相同电话的联系人哦！"));
        const QString sameMobile = test::tip(QStringLiteral("对不起！已经存在相同手机的联系人哦！"));
        const QString mobileLength = test::tip(QStringLiteral("对不起！手机号码是11位数字哦！"));
        const QString sameQQ = test::tip(QStringLiteral("对不起！已经存在相同QQ的联系人哦！"));
        const QString qqLength = test::tip(QStringLiteral("对不起！QQ号码不能大于9位数字哦！"));
        const QString newName = QStringLiteral("新人");
        const QString newPhone = QStringLiteral("0755-9");

        QTest::newRow("every field empty") << test::Person(QString()) << noName;
        QTest::newRow("name checked before a duplicate phone")
            << test::Person(QString()).phone("010-2222") << noName;
        QTest::newRow("existing name, all else new") << test::Person("李四")
                                                            .phone(newPhone)
                                                            .mobile("13912345678")
                                                            .qq("999")
                                                            .email("x@y")
                                                            .address("某地")
                                                     << sameName;
        QTest::newRow("existing name with a trailing space is new")
            << test::Person("李四 ").phone(newPhone) << added;
        QTest::newRow("phone of another contact") << test::Person(newName).phone("010-2222") << samePhone;
        QTest::newRow("duplicate phone reported before a short mobile")
            << test::Person(newName).phone("010-2222").mobile("123") << samePhone;
        QTest::newRow("mobile of another contact")
            << test::Person(newName).phone(newPhone).mobile("13800000005") << sameMobile;
        QTest::newRow("mobile of 10 digits")
            << test::Person(newName).phone(newPhone).mobile("1380000000") << mobileLength;
        QTest::newRow("mobile of six Chinese characters (12 bytes)")
            << test::Person(newName).phone(newPhone).mobile("一二三四五六") << mobileLength;
        QTest::newRow("mobile of 11 letters")
            << test::Person(newName).phone(newPhone).mobile("abcdefghijk") << added;
        QTest::newRow("empty mobile, QQ of 10 digits")
            << test::Person(newName).phone(newPhone).qq("1234567890") << qqLength;
        QTest::newRow("empty mobile, QQ of 9 digits")
            << test::Person(newName).phone(newPhone).qq("123456789") << added;
        QTest::newRow("QQ of another contact")
            << test::Person(newName).phone(newPhone).mobile("13911112222").qq("10002") << sameQQ;
        // An empty phone finds 王五, who has none; his mobile is compared.
        QTest::newRow("empty phone finds the contact without one")
            << test::Person(newName).mobile("13800000003") << sameMobile;
        // Only that one record is compared, so 张三's mobile goes unnoticed.
        QTest::newRow("only the record found is compared")
            << test::Person(newName).mobile("13800000001") << added;
    }

    void addingChecks()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        Harness h;
        QVERIFY(h.ready());
        const Contacts before = h.stored();
        h.openRecord(2);

        h.w().添加联系人->trigger();
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        QVERIFY(h.form().adding);
        QVERIFY(!h.w().isListView());
        QCOMPARE(h.shown(), test::Person(QString()));
        QVERIFY(h.boxesEditable());
        QCOMPARE(h.enabledItems(), QStringLiteral("1000"));
        QCOMPARE(h.counter(), QStringLiteral("第2条记录"));

        h.type(typed);
        ShowWatcher watcher(h.w().电话编辑框);
        h.clickConfirm();
        QCOMPARE(test::shownMessages(), QStringList{message});
        QVERIFY(!h.w().isListView());
        if (message != test::tip(kAdded)) {
            QVERIFY(h.form().adding);
            QCOMPARE(h.shown(), typed);
            QVERIFY(h.boxesEditable());
            QCOMPARE(h.form().selectedRecord, 2);
            QCOMPARE(h.stored(), before);
            return;
        }
        QCOMPARE(h.stored(), before + Contacts{typed});
        // The new record is on show before the message.
        QCOMPARE(watcher.messagesBeforeShow, 0);
        QCOMPARE(h.form().selectedRecord, 6);
        QCOMPARE(h.store().recordNumber(), 6);
        QCOMPARE(h.counter(), QStringLiteral("第6条记录"));
        QCOMPARE(h.shown(), typed);
        QVERIFY(h.browsing());
        // Back in the list the new contact is the last row.
        h.w().backToList();
        QCOMPARE(h.listRows(), 6);
        QCOMPARE(h.w().listModel()->name(5), typed.first());
    }

    void modifyingChecks_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("message");
        const Contacts stored = fiveContacts();
        const QString modified = test::tip(kModified);
        auto changed = [&stored](int record, int pos, const QString &value) {
            QStringList values = stored.at(record - 1);
            values[pos - 1] = value;
            return values;
        };

        QTest::newRow("nothing changed: the contact itself is skipped") << 2 << stored.at(1) << modified;
        QTest::newRow("address changed")
            << 3 << changed(3, FieldAddress, QStringLiteral("广州天河")) << modified;
        QTest::newRow("last record renamed")
            << 5 << changed(5, FieldName, QStringLiteral("孙八")) << modified;
        QTest::newRow("name emptied") << 2 << changed(2, FieldName, QString())
                                      << test::tip(QStringLiteral("对不起！姓名不能为无名氏哦！"));
        QTest::newRow("name of another contact")
            << 2 << changed(2, FieldName, QStringLiteral("张三"))
            << test::tip(QStringLiteral("对不起！已经存在同姓名的联系人哦！"));
        QTest::newRow("mobile of a later contact")
            << 1 << changed(1, FieldMobile, QStringLiteral("13800000002"))
            << test::tip(QStringLiteral("对不起！已经存在相同手机的联系人哦！"));
        QTest::newRow("mobile of 10 digits") << 1 << changed(1, FieldMobile, QStringLiteral("1380000000"))
                                             << test::tip(QStringLiteral("对不起！手机号码是11位数字哦！"));
        QTest::newRow("QQ of 10 digits") << 1 << changed(1, FieldQQ, QStringLiteral("1000100010"))
                                         << test::tip(QStringLiteral("对不起！QQ号码不能大于9位数字哦！"));
    }

    void modifyingChecks()
    {
        QFETCH(int, record);
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        Harness h;
        QVERIFY(h.ready());
        const Contacts before = h.stored();
        h.openRecord(record);

        h.w().修改联系人->trigger();
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        QVERIFY(h.form().modifying);
        QCOMPARE(h.shown(), before.at(record - 1));
        QVERIFY(h.boxesEditable());
        QCOMPARE(h.enabledItems(), QStringLiteral("0100"));
        QVERIFY(!h.w().isListView());

        h.type(typed);
        ShowWatcher watcher(h.w().电话编辑框);
        h.clickConfirm();
        QCOMPARE(test::shownMessages(), QStringList{message});
        QCOMPARE(h.form().selectedRecord, record);
        QCOMPARE(h.store().recordNumber(), record);
        if (message != test::tip(kModified)) {
            QVERIFY(h.form().modifying);
            QCOMPARE(h.shown(), typed);
            QVERIFY(h.boxesEditable());
            QCOMPARE(h.stored(), before);
            return;
        }
        Contacts after = before;
        after[record - 1] = typed;
        QCOMPARE(h.stored(), after);
        // The message comes first, then the record.
        QCOMPARE(watcher.messagesBeforeShow, 1);
        QCOMPARE(h.shown(), typed);
        QCOMPARE(h.counter(), QStringLiteral("第%1条记录").arg(record));
        QVERIFY(h.browsing());
        QVERIFY(!h.w().isListView());
    }

    // Start adding, start modifying and delete while a contact is being
    // entered or changed: one message and nothing else.
    void refusedWhileEditing_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<int>("operation"); // 0 start adding, 1 start modifying, 2 delete
        QTest::addColumn<QString>("message");
        const QString addingState = line(rules::addingStateMessage());
        const QString modifyingState = line(rules::modifyingStateMessage());
        QTest::newRow("start adding while adding") << true << 0 << addingState;
        QTest::newRow("start modifying while adding") << true << 1 << addingState;
        QTest::newRow("delete while adding") << true << 2 << addingState;
        QTest::newRow("start adding while modifying") << false << 0 << modifyingState;
        QTest::newRow("start modifying while modifying") << false << 1 << modifyingState;
    }

    void refusedWhileEditing()
    {
        QFETCH(bool, adding);
        QFETCH(int, operation);
        QFETCH(QString, message);
        Harness h;
        QVERIFY(h.ready());
        const Contacts before = h.stored();
        h.openRecord(3);
        if (adding)
            h.w().startAdding();
        else
            h.w().startModifying();
        const QStringList typed = test::Person(QStringLiteral("半截")).phone(QStringLiteral("020-1"));
        h.type(typed);
        const QString items = h.enabledItems();

        if (operation == 0)
            h.w().startAdding();
        else if (operation == 1)
            h.w().startModifying();
        else
            h.w().deleteContact();
        QCOMPARE(test::shownMessages(), QStringList{message});
        QCOMPARE(h.form().adding, adding);
        QCOMPARE(h.form().modifying, !adding);
        QCOMPARE(h.shown(), typed);
        QVERIFY(h.boxesEditable());
        QCOMPARE(h.enabledItems(), items);
        QCOMPARE(h.stored(), before);
        QCOMPARE(h.form().selectedRecord, 3);
    }

    // A write the store refuses: the error is reported, the stored contacts
    // are all still in the file, and the next operation works as usual.
    void failedWritesLoseNothing_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<Cause>("cause");
        QTest::addColumn<QStringList>("messages");
        const QString addFailed = test::tip(QStringLiteral("添加联系人失败！"), ui::Style::OkStop);
        const QString modifyFailed = test::tip(QStringLiteral("修改联系人失败！"), ui::Style::OkStop);
        const QString deleteFailed = test::tip(kDeleteFailed);
        const QString askLiSi = line(rules::deleteConfirmation(QStringLiteral("李四")));
        const QString askNobody = line(rules::deleteConfirmation(QString()));

        QTest::newRow("add, commit fails")
            << Operation::Add << Cause::FailingCommit << QStringList{addFailed};
        QTest::newRow("add, value over capacity")
            << Operation::Add << Cause::OverCapacity << QStringList{addFailed};
        QTest::newRow("modify, commit fails")
            << Operation::Modify << Cause::FailingCommit << QStringList{modifyFailed};
        QTest::newRow("modify, value over capacity")
            << Operation::Modify << Cause::OverCapacity << QStringList{modifyFailed};
        QTest::newRow("modify with nothing selected")
            << Operation::ModifyNothingSelected << Cause::None << QStringList{modifyFailed};
        QTest::newRow("delete in record view, commit fails")
            << Operation::DeleteRecordView << Cause::FailingCommit << QStringList{askLiSi, deleteFailed};
        QTest::newRow("delete in list view, commit fails")
            << Operation::DeleteListView << Cause::FailingCommit << QStringList{askLiSi, deleteFailed};
        QTest::newRow("delete in list view with nothing selected")
            << Operation::DeleteNothingSelected << Cause::None << QStringList{askNobody, deleteFailed};
    }

    void failedWritesLoseNothing()
    {
        QFETCH(Operation, operation);
        QFETCH(Cause, cause);
        QFETCH(QStringList, messages);
        Harness h;
        QVERIFY(h.ready());
        const Contacts before = h.stored();
        QCOMPARE(before, fiveContacts());
        const QString address = cause == Cause::OverCapacity ? overCapacity() : QStringLiteral("新地址");

        switch (operation) {
        case Operation::Add:
            h.w().startAdding();
            h.type(test::Person(QStringLiteral("新人"))
                       .phone(QStringLiteral("0755-1"))
                       .mobile(QStringLiteral("13911112222"))
                       .qq(QStringLiteral("12345"))
                       .email(QStringLiteral("new@example.com"))
                       .address(address));
            QCOMPARE(h.w().地址编辑框->text(), address);
            break;
        case Operation::Modify:
            h.openRecord(2);
            h.w().startModifying();
            h.w().地址编辑框->setText(address);
            QCOMPARE(h.w().地址编辑框->text(), address);
            break;
        case Operation::ModifyNothingSelected:
            // Right after start-up nothing is selected: record 0 is no record.
            h.w().startModifying();
            QCOMPARE(h.shown(), test::Person(QString()));
            QCOMPARE(h.counter(), QStringLiteral("第0条记录"));
            h.type(test::Person(QStringLiteral("无主")).phone(QStringLiteral("0755-2")));
            break;
        case Operation::DeleteRecordView:
            h.openRecord(2);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            break;
        case Operation::DeleteListView:
            h.w().超级列表框->selectRow(1);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            break;
        case Operation::DeleteNothingSelected:
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            break;
        }
        if (cause == Cause::FailingCommit)
            ContactStoreTestAccess::failNextCommit(h.store());

        ShowWatcher watcher(h.w().电话编辑框);
        const bool deleting = operation == Operation::DeleteRecordView ||
                              operation == Operation::DeleteListView ||
                              operation == Operation::DeleteNothingSelected;
        if (deleting)
            h.w().deleteContact();
        else
            h.clickConfirm();
        QCOMPARE(test::shownMessages(), messages);
        QCOMPARE(h.stored(), before);
        QCOMPARE(h.store().recordCount(), before.size());
        QVERIFY(h.browsing());
        // A failed add or modify reports first, then shows the stored record.
        if (!deleting)
            QCOMPARE(watcher.messagesBeforeShow, 1);

        switch (operation) {
        case Operation::Add:
            // The form shows where the duplicate search left the cursor.
            QCOMPARE(h.shown(), before.first());
            QVERIFY(!h.w().isListView());
            break;
        case Operation::Modify:
        case Operation::DeleteRecordView:
            QCOMPARE(h.shown(), before.at(1));
            QCOMPARE(h.counter(), QStringLiteral("第2条记录"));
            QVERIFY(!h.w().isListView());
            break;
        case Operation::ModifyNothingSelected:
            QCOMPARE(h.shown(), test::Person(QString()));
            break;
        case Operation::DeleteListView:
        case Operation::DeleteNothingSelected:
            QVERIFY(h.w().isListView());
            QCOMPARE(h.listRows(), before.size());
            break;
        }

        // The program goes on working on the same store.
        ui::clearTestScripts();
        const QStringList later = test::Person(QStringLiteral("后来者")).phone(QStringLiteral("0755-3"));
        h.w().startAdding();
        h.type(later);
        h.w().confirm();
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kAdded)});
        QCOMPARE(h.stored(), before + Contacts{later});
        QCOMPARE(h.form().selectedRecord, before.size() + 1);
    }

    // --- queries -------------------------------------------------------------

    void queries_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("found"); // 0: nothing
        QTest::addColumn<QString>("message");
        const QString nothing = test::tip(QStringLiteral("对不起！找不到您想要查询的联系人哦！"));

        QTest::newRow("name of records 3 and 7 shows 7") << 1 << QStringLiteral("周三") << 7 << QString();
        QTest::newRow("name of one record") << 1 << QStringLiteral("林二") << 2 << QString();
        QTest::newRow("phone of records 2 and 5 shows 5") << 2 << QStringLiteral("010-2") << 5 << QString();
        QTest::newRow("mobile of records 2 and 8 shows 8")
            << 3 << QStringLiteral("13800000002") << 8 << QString();
        QTest::newRow("QQ") << 4 << QStringLiteral("qq103") << 3 << QString();
        QTest::newRow("QQ in other case") << 4 << QStringLiteral("QQ103") << 0 << nothing;
        QTest::newRow("first five digits of a mobile") << 3 << QStringLiteral("13800") << 0 << nothing;
        QTest::newRow("name with a trailing space") << 1 << QStringLiteral("周三 ") << 0 << nothing;
        QTest::newRow("phone only in another field") << 2 << QStringLiteral("13800000001") << 0 << nothing;
        QTest::newRow("empty name box")
            << 1 << QString() << 0
            << test::messageLine(
                   QStringLiteral(
                       "姓名不能为空哦！\r\n请在姓名后面输入联系人的姓名！\r\n然后按确定键（C）进行查询！"),
                   QStringLiteral("按姓名查询"), ui::Style::OkInformation);
        QTest::newRow("empty phone box")
            << 2 << QString() << 0
            << test::messageLine(
                   QStringLiteral("电话号码不能为空哦！\r\n请在电话后面输入联系人的电话号码！\r\n然后按确定"
                                  "键（C）进行查询！"),
                   QStringLiteral("按电话查询"), ui::Style::OkInformation);
        QTest::newRow("empty mobile box")
            << 3 << QString() << 0
            << test::messageLine(
                   QStringLiteral("手机号码不能为空哦！\r\n请在手机后面输入联系人的手机号码！\r\n然后按确定"
                                  "键（C）进行查询！"),
                   QStringLiteral("按手机查询"), ui::Style::OkInformation);
        QTest::newRow("empty QQ box has the mobile title")
            << 4 << QString() << 0
            << test::messageLine(
                   QStringLiteral(
                       "QQ号码不能为空哦！\r\n请在QQ后面输入联系人的QQ号码！\r\n然后按确定键（C）进行查询！"),
                   QStringLiteral("按手机查询"), ui::Style::OkInformation);
    }

    void queries()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, found);
        QFETCH(QString, message);
        Harness h(queryContacts());
        QVERIFY(h.ready());
        h.openRecord(1);
        QAction *items[] = {h.w().按姓名查询, h.w().按电话查询, h.w().按手机查询, h.w().按QQ号查询};

        items[kind - 1]->trigger();
        QCOMPARE(test::shownMessages(), QStringList{line(rules::queryPrompt(rules::QueryKind(kind)))});
        QCOMPARE(ui::MessageBoxScript::last().title, QStringLiteral("按姓名查询"));
        QCOMPARE(h.form().queryKind, rules::QueryKind(kind));
        QVERIFY(!h.form().queryFound);
        QVERIFY(!h.w().isListView());
        QCOMPARE(h.shown(), test::Person(QString()));
        QCOMPARE(h.enabledItems(), QStringLiteral("0001"));
        const QList<QLineEdit *> boxes = h.w().editBoxes();
        for (int i = 0; i < boxes.size(); ++i) {
            const bool searched = i == kind - 1;
            QCOMPARE(boxes.at(i)->isEnabled(), searched);
            if (searched)
                QVERIFY(!boxes.at(i)->isReadOnly());
        }

        ui::clearTestScripts();
        typeInto(boxes.at(kind - 1), text);
        h.clickConfirm();
        if (found == 0) {
            QCOMPARE(test::shownMessages(), QStringList{message});
            QCOMPARE(h.form().queryKind, rules::QueryKind(kind));
            QCOMPARE(h.form().selectedRecord, 1);
            QCOMPARE(boxes.at(kind - 1)->text(), text);
            QVERIFY(boxes.at(kind - 1)->isEnabled());
            QVERIFY(!boxes.at(kind - 1)->isReadOnly());
            QCOMPARE(h.enabledItems(), QStringLiteral("0001"));
            QCOMPARE(h.counter(), QStringLiteral("第1条记录"));
            return;
        }
        QVERIFY(test::shownMessages().isEmpty());
        QCOMPARE(h.form().selectedRecord, found);
        QVERIFY(h.form().queryFound);
        QCOMPARE(h.store().recordNumber(), found);
        QCOMPARE(h.shown(), queryContacts().at(found - 1));
        QCOMPARE(h.counter(), QStringLiteral("第%1条记录").arg(found));
        QVERIFY(h.browsing());
        QVERIFY(!h.w().isListView());
    }

    void queryScenarios()
    {
        {
            // From the list, a miss, then the corrected text.
            Harness h(queryContacts());
            QVERIFY(h.ready());
            h.w().startQuery(rules::QueryKind::Name);
            QVERIFY(!h.w().isListView());
            h.w().姓名编辑框->setText(QStringLiteral("周三 "));
            h.w().confirm();
            QCOMPARE(h.form().queryKind, rules::QueryKind::Name);
            QCOMPARE(h.form().selectedRecord, 0);
            h.w().姓名编辑框->setText(QStringLiteral("周三"));
            h.w().confirm();
            QCOMPARE(h.form().selectedRecord, 7);
            QCOMPARE(h.shown().first(), QStringLiteral("周三"));
            QVERIFY(h.browsing());
            QCOMPARE(test::shownMessages(), (QStringList{line(rules::queryPrompt(rules::QueryKind::Name)),
                                                         line(rules::nothingFound())}));
        }
        {
            // A query started while adding: the adding branch runs first,
            // adds the typed name and ends the query with it.
            Harness h(queryContacts());
            QVERIFY(h.ready());
            h.w().startAdding();
            h.w().startQuery(rules::QueryKind::Name);
            QCOMPARE(h.enabledItems(), QStringLiteral("0000"));
            h.w().姓名编辑框->setText(QStringLiteral("新来的"));
            h.clickConfirm();
            QCOMPARE(test::shownMessages(),
                     (QStringList{line(rules::queryPrompt(rules::QueryKind::Name)), test::tip(kAdded)}));
            QCOMPARE(h.stored(), queryContacts() + Contacts{test::Person(QStringLiteral("新来的"))});
            QCOMPARE(h.form().selectedRecord, 9);
            QVERIFY(h.browsing());
        }
        {
            // The same with a stored name: the adding branch refuses and
            // keeps its state, so the query branch runs after it.
            Harness h(queryContacts());
            QVERIFY(h.ready());
            h.w().startAdding();
            h.w().startQuery(rules::QueryKind::Name);
            h.w().姓名编辑框->setText(QStringLiteral("周三"));
            h.w().confirm();
            QCOMPARE(test::shownMessages(),
                     (QStringList{line(rules::queryPrompt(rules::QueryKind::Name)),
                                  test::tip(QStringLiteral("对不起！已经存在相同姓名的联系人哦！"))}));
            QCOMPARE(h.stored(), queryContacts());
            QCOMPARE(h.form().selectedRecord, 7);
            QCOMPARE(h.shown(), queryContacts().at(6));
            QVERIFY(h.browsing());
        }
    }

    // --- deleting ------------------------------------------------------------

    void deleting_data()
    {
        QTest::addColumn<bool>("listView");
        QTest::addColumn<int>("record"); // selected row + 1, or the record opened
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("name"); // named in the confirmation
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QString>("result"); // empty after Cancel
        const Contacts all = fiveContacts();
        const QStringList names = namesOf(all);
        auto without = [&names](int record) {
            QStringList rest = names;
            rest.removeAt(record - 1);
            return rest;
        };
        const QString deleted = test::tip(kDeleted);
        const int ok = ui::AnswerOk;
        const int cancel = ui::AnswerCancel;

        // The form moves on by one from the renumbered position: former 5.
        QTest::newRow("record view, record 3 of 5") << false << 3 << ok << names.at(2) << without(3)
                                                    << all.at(4) << QStringLiteral("共4条记录") << deleted;
        QTest::newRow("record view, first record") << false << 1 << ok << names.at(0) << without(1)
                                                   << all.at(2) << QStringLiteral("共4条记录") << deleted;
        QTest::newRow("record view, last record")
            << false << 5 << ok << names.at(4) << without(5) << test::Person(QString())
            << QStringLiteral("共4条记录") << deleted;
        QTest::newRow("record view, cancel") << false << 3 << cancel << names.at(2) << names << all.at(2)
                                             << QStringLiteral("第3条记录") << QString();
        QTest::newRow("list view, second row") << true << 2 << ok << names.at(1) << without(2) << all.at(0)
                                               << QStringLiteral("共4条记录") << deleted;
        QTest::newRow("list view, last row") << true << 5 << ok << names.at(4) << without(5) << all.at(0)
                                             << QStringLiteral("共4条记录") << deleted;
        QStringList selectedShown = all.at(0);
        selectedShown[0] = names.at(1); // selecting a row puts its name in the box
        QTest::newRow("list view, cancel") << true << 2 << cancel << names.at(1) << names << selectedShown
                                           << QStringLiteral("共5条记录") << QString();
        QTest::newRow("list view, nothing selected")
            << true << 0 << ok << QString() << names << all.at(0) << QStringLiteral("共5条记录")
            << test::tip(kDeleteFailed);
    }

    void deleting()
    {
        QFETCH(bool, listView);
        QFETCH(int, record);
        QFETCH(int, answer);
        QFETCH(QString, name);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, shown);
        QFETCH(QString, counter);
        QFETCH(QString, result);
        int messagesAtFirstChange = -1; // outlives the window that reports to it
        Harness h;
        QVERIFY(h.ready());
        if (listView) {
            if (record > 0)
                h.w().超级列表框->selectRow(record - 1);
        } else {
            h.openRecord(record);
        }
        QCOMPARE(h.form().selectedRecord, record);
        const int cursorBefore = h.store().recordNumber();

        connect(h.w().姓名编辑框, &QLineEdit::textChanged, this, [&messagesAtFirstChange] {
            if (messagesAtFirstChange < 0)
                messagesAtFirstChange = int(ui::MessageBoxScript::shown().size());
        });
        ui::MessageBoxScript::setNextAnswer(answer);
        h.w().删除联系人->trigger();
        QStringList expected{line(rules::deleteConfirmation(name))};
        if (!result.isEmpty())
            expected << result;
        QCOMPARE(test::shownMessages(), expected);
        QCOMPARE(ui::MessageBoxScript::shown().first().style, ui::Style::OkCancelQuestionDefCancel);
        QCOMPARE(namesOf(h.stored()), remaining);
        QCOMPARE(h.store().recordCount(), remaining.size());
        QCOMPARE(h.w().isListView(), listView);
        QCOMPARE(h.shown(), shown);
        QCOMPARE(h.counter(), counter);
        // selectedRecord names the deleted position afterwards as before.
        QCOMPARE(h.form().selectedRecord, record);
        QVERIFY(h.browsing());
        if (listView)
            QCOMPARE(h.listRows(), remaining.size());
        if (answer == ui::AnswerCancel)
            QCOMPARE(h.store().recordNumber(), cursorBefore);
        // The form (or the refilled list) shows the outcome before the message.
        if (result == test::tip(kDeleted))
            QCOMPARE(messagesAtFirstChange, 1);
    }

    // Another program (wab) changes the store while the window is open: the
    // window's next step reads the file first and never writes from what it
    // showed before.
    void changesByAnotherProgram_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("record deleted") << QStringLiteral("delete");
        QTest::newRow("same name added") << QStringLiteral("add");
    }

    void changesByAnotherProgram()
    {
        QFETCH(QString, change);
        Harness h;
        QVERIFY(h.ready());
        const QString name = QStringLiteral("外来的人");
        ContactStore other;
        QVERIFY(other.open(h.home.storeFile()));
        if (change == QLatin1String("delete")) {
            other.goTo(2);
            QVERIFY(other.markDeleted() && other.purge());
            h.w().backToList();
            QCOMPARE(h.listRows(), 4);
            QCOMPARE(h.counter(), QStringLiteral("共4条记录"));
            return;
        }
        h.w().startAdding();
        QVERIFY(other.append(test::Person(name)));
        h.type(test::Person(name));
        h.clickConfirm();
        QCOMPARE(test::shownMessages().size(), 1);
        QCOMPARE(ui::MessageBoxScript::shown().first().text,
                 rules::checkMessage(rules::Check::DuplicateName, rules::Branch::Adding).text);
        QCOMPARE(h.stored().size(), 6);
        QCOMPARE(h.store().recordCount(), 6);
    }

    // A change or delete lands on the contact the user was shown (王五,
    // record 3), wherever it stands after another program's change, and on
    // nothing when that program changed or deleted the contact itself.
    void editsLandOnTheContactShown_data()
    {
        QTest::addColumn<QString>("operation"); // modify, delete shown, delete listed
        QTest::addColumn<QString>("elsewhere"); // the other program's change, and when
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("names"); // stored afterwards
        QTest::addColumn<QString>("counter");
        QTest::addColumn<bool>("listView");
        const QString modified = test::tip(kModified);
        const QString deleted = test::tip(kDeleted);
        const QString stale = line(rules::changedElsewhere());
        const QString ask = line(rules::deleteConfirmation(QStringLiteral("王五")));
        const QStringList all = namesOf(fiveContacts());
        const QStringList without1 = {all[1], all[2], all[3], all[4]};
        const QStringList without3 = {all[0], all[1], all[3], all[4]};
        const QStringList without13 = {all[1], all[3], all[4]};
        QStringList renamed = without1;
        renamed[1] = QStringLiteral("王五改");

        QTest::newRow("modify, earlier one deleted")
            << "modify"
            << "delete 1" << QStringList{modified} << renamed << "第2条记录" << false;
        QTest::newRow("modify, shown one changed")
            << "modify"
            << "change 3" << QStringList{stale} << all << "第3条记录" << false;
        QTest::newRow("modify, shown one deleted")
            << "modify"
            << "delete 3" << QStringList{stale} << without3 << "共4条记录" << true;
        QTest::newRow("delete shown, earlier one deleted")
            << "delete shown"
            << "delete 1" << QStringList{ask, deleted} << without13 << "共3条记录" << false;
        QTest::newRow("delete shown, shown one changed")
            << "delete shown"
            << "change 3" << QStringList{stale} << all << "第3条记录" << false;
        QTest::newRow("delete shown, shown one deleted")
            << "delete shown"
            << "delete 3" << QStringList{stale} << without3 << "共4条记录" << true;
        QTest::newRow("delete shown, changed while asking")
            << "delete shown"
            << "change 3 asking" << QStringList{ask, stale} << all << "第3条记录" << false;
        QTest::newRow("delete listed, earlier one deleted")
            << "delete listed"
            << "delete 1" << QStringList{ask, deleted} << without13 << "共3条记录" << true;
        QTest::newRow("delete listed, listed one deleted")
            << "delete listed"
            << "delete 3" << QStringList{stale} << without3 << "共4条记录" << true;
        QTest::newRow("delete listed, deleted while asking")
            << "delete listed"
            << "delete 3 asking" << QStringList{ask, stale} << without3 << "共4条记录" << true;
    }

    void editsLandOnTheContactShown()
    {
        QFETCH(QString, operation);
        QFETCH(QString, elsewhere);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, names);
        QFETCH(QString, counter);
        QFETCH(bool, listView);
        Harness h;
        QVERIFY(h.ready());
        ContactStore other;
        QVERIFY(other.open(h.home.storeFile()));
        const int number = elsewhere.section(QLatin1Char(' '), 1, 1).toInt();
        auto changeElsewhere = [&] {
            other.goTo(number);
            if (elsewhere.startsWith(QLatin1String("delete"))) {
                QVERIFY(test::removeCurrent(other));
            } else {
                Contact changed = other.contactAt(number);
                changed.address = QStringLiteral("西安");
                QVERIFY(other.replace(changed.id, changed));
            }
        };
        if (operation == QLatin1String("delete listed"))
            h.w().超级列表框->selectRow(2);
        else
            h.openRecord(3);
        if (operation == QLatin1String("modify")) {
            h.w().startModifying();
            ui::clearTestScripts();
            h.w().姓名编辑框->setText(QStringLiteral("王五改"));
        }
        if (elsewhere.endsWith(QLatin1String("asking")))
            ui::MessageBoxScript::setShownListener([&, done = false]() mutable {
                if (!std::exchange(done, true))
                    changeElsewhere();
            });
        else
            changeElsewhere();
        ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
        if (operation == QLatin1String("modify"))
            h.clickConfirm();
        else
            h.w().deleteContact();
        ui::MessageBoxScript::setShownListener(nullptr);

        QCOMPARE(test::shownMessages(), messages);
        QCOMPARE(namesOf(h.stored()), names);
        QCOMPARE(h.counter(), counter);
        QCOMPARE(h.w().isListView(), listView);
        QVERIFY(h.browsing());
        if (listView)
            QCOMPARE(h.listRows(), names.size());
        // The form shows what is stored, the other program's change included.
        if (!listView)
            QCOMPARE(h.shown(), h.stored().at(h.store().recordNumber() - 1));
    }

    // Without being clicked, the idle window catches up with other programs:
    // the list, the counter and the form stay on what is stored.
    void followsOtherProgramsWhileIdle()
    {
        Harness h;
        QVERIFY(h.ready());
        ContactStore other;
        QVERIFY(other.open(h.home.storeFile()));
        QVERIFY(other.append(test::Person(QStringLiteral("外来的人"))));
        QTRY_COMPARE(h.listRows(), 6);
        QCOMPARE(h.counter(), QStringLiteral("共6条记录"));

        // The record shown goes: the one after it takes its place.
        h.openRecord(5);
        other.goTo(5);
        QVERIFY(test::removeCurrent(other));
        QTRY_COMPARE(h.shown(), test::Person(QStringLiteral("外来的人")));
        QCOMPARE(h.counter(), QStringLiteral("第5条记录"));
        other.goTo(5);
        QVERIFY(test::removeCurrent(other));
        QTRY_COMPARE(h.shown(), fiveContacts().at(3));
        QCOMPARE(h.counter(), QStringLiteral("第4条记录"));

        // What is being typed stays.
        h.w().startModifying();
        h.w().地址编辑框->setText(QStringLiteral("天津"));
        QVERIFY(other.append(test::Person(QStringLiteral("又一个人"))));
        QTRY_COMPARE(h.listRows(), 5);
        QCOMPARE(h.w().地址编辑框->text(), QStringLiteral("天津"));
        QVERIFY(h.form().modifying);
    }

    void deleteScenarios()
    {
        const Contacts all = fiveContacts();
        {
            // While modifying (hot key F4) the stored name is asked about and
            // the stored record goes, whatever was typed.
            Harness h;
            QVERIFY(h.ready());
            h.openRecord(2);
            h.w().startModifying();
            h.w().姓名编辑框->setText(QStringLiteral("改过的名字"));
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            h.w().deleteContact();
            QCOMPARE(ui::MessageBoxScript::shown().first().text,
                     QStringLiteral("您确定要删除 “李四” 此条记录吗？"));
            QCOMPARE(h.stored(), (Contacts{all.at(0), all.at(2), all.at(3), all.at(4)}));
            QCOMPARE(h.shown(), all.at(3));
            QVERIFY(!h.form().modifying);
            QVERIFY(h.browsing());
        }
        {
            // After record 3 of 5 went, selectedRecord still says 3: the
            // next change works on the former record 4.
            Harness h;
            QVERIFY(h.ready());
            h.openRecord(3);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            h.w().deleteContact();
            ui::clearTestScripts();
            h.w().startModifying();
            QCOMPARE(h.shown(), all.at(3));
            QCOMPARE(h.counter(), QStringLiteral("第3条记录"));
            h.w().地址编辑框->setText(QStringLiteral("天津"));
            h.w().confirm();
            QCOMPARE(test::shownMessages(), QStringList{test::tip(kModified)});
            QStringList changed = all.at(3);
            changed[FieldAddress - 1] = QStringLiteral("天津");
            QCOMPARE(h.stored(), (Contacts{all.at(0), all.at(1), changed, all.at(4)}));
        }
        {
            // The last contact of all, in record view: an empty store remains.
            Harness h(Contacts{all.at(0)});
            QVERIFY(h.ready());
            h.openRecord(1);
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            h.w().deleteContact();
            QCOMPARE(h.stored(), Contacts{});
            QCOMPARE(h.shown(), test::Person(QString()));
            QCOMPARE(h.counter(), QStringLiteral("共0条记录"));
            h.w().backToList();
            QCOMPARE(h.listRows(), 0);
        }
        {
            // A row chosen with the mouse opens the record; delete removes
            // exactly that one.
            Harness h;
            QVERIFY(h.ready());
            QTableView *list = h.w().超级列表框;
            const QRect row = list->visualRect(list->model()->index(1, ContactListModel::NameColumn));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
            QCOMPARE(h.form().selectedRecord, 2);
            QVERIFY(!h.w().isListView());
            QCOMPARE(h.shown(), all.at(1));
            ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
            h.w().deleteContact();
            QCOMPARE(namesOf(h.stored()), (QStringList{QStringLiteral("张三"), QStringLiteral("王五"),
                                                       QStringLiteral("赵六"), QStringLiteral("孙七")}));
            QCOMPARE(h.shown(), all.at(3));
        }
    }
};

int main(int argc, char **argv)
{
    // Before the application exists, so that nothing settles on another
    // runtime directory first.
    test::useOwnRuntimeDir();
    QApplication app(argc, argv);
    TestMainWindowContacts test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow_contacts.moc"
