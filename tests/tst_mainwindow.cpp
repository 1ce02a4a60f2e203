// The main window driven through its controls: the contact list, the record
// form with previous, next, open and back to the list, the unsaved-record
// prompt, the keypad, Enter moving the focus, the menus and the frame commands.

#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/MainWindowFixture.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace quennet;

namespace {

const QString kFirst = QStringLiteral("这已经是第一条记录了！");
const QString kLast = QStringLiteral("这已经是最后一条记录了！");
const QString kUnsaved = QStringLiteral("您还没保存当前记录呢！\r\n是否要保存当前记录吗？");

QStringList contactOf(int n)
{
    return test::numberedPerson(n)
        .phone(QStringLiteral("010-%1").arg(n))
        .qq(QStringLiteral("%1").arg(10000 + n))
        .email(QStringLiteral("u%1@example.com").arg(n))
        .address(QStringLiteral("地址%1号").arg(n));
}

QList<QStringList> contactsUpTo(int n)
{
    QList<QStringList> all;
    for (int i = 1; i <= n; ++i)
        all << contactOf(i);
    return all;
}

// Contacts 1 to n in the store under the loaded main window.
class Fixture : public test::MainWindowFixture {
public:
    explicit Fixture(int contacts, bool withSkins = true)
        : MainWindowFixture(contactsUpTo(contacts), withSkins)
    {
    }

    QRect rowRect(int row) const
    {
        QTableView *list = window->超级列表框;
        return list->visualRect(list->model()->index(row, 0))
            .united(list->visualRect(list->model()->index(row, 1)));
    }
    // Record number shown in the record view.
    void openRecord(int number)
    {
        session.form.selectedRecord = number;
        window->open();
    }
    // A contact being entered by hand, as the adding state leaves the form.
    void enterAddingState(const QString &name)
    {
        session.form.adding = true;
        window->hideList();
        for (QLineEdit *box : window->editBoxes()) {
            box->clear();
            box->setReadOnly(false);
        }
        window->姓名编辑框->setText(name);
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }

    void init() { ui::clearTestScripts(); }

    // --- contact list ---------------------------------------------------------

    void startsInListViewWithRecordOneInTheHiddenForm()
    {
        Fixture f(5);
        QVERIFY(f.ready());
        QVERIFY(f->isListView());
        QVERIFY(f->超级列表框->isVisible());
        QCOMPARE(f->超级列表框->model()->rowCount(), 5);
        QCOMPARE(f.shown(), contactOf(1));
        QCOMPARE(f.counter(), QStringLiteral("共5条记录"));
        QVERIFY(f.browsing());
        QCOMPARE(f.form().selectedRecord, 0);
        QVERIFY(f.store().isAfterLast());
        QVERIFY(!f->超级列表框->selectionModel()->hasSelection());
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
    }

    void rowsShowNameAndMobileInRecordOrder()
    {
        Fixture f(12);
        QAbstractItemModel *model = f->超级列表框->model();
        for (int row = 0; row < 12; ++row) {
            QCOMPARE(model->index(row, 0).data().toString(), contactOf(row + 1).at(FieldName - 1));
            QCOMPARE(model->index(row, 1).data().toString(), contactOf(row + 1).at(FieldMobile - 1));
        }
    }

    void mobileColumnWidthFollowsTheRowCount_data()
    {
        QTest::addColumn<int>("contacts");
        QTest::addColumn<int>("width");
        QTest::newRow("empty") << 0 << 110;
        QTest::newRow("1") << 1 << 128;
        QTest::newRow("7") << 7 << 128;
        QTest::newRow("8") << 8 << 112;
        QTest::newRow("30") << 30 << 112;
    }

    void mobileColumnWidthFollowsTheRowCount()
    {
        QFETCH(int, contacts);
        QFETCH(int, width);
        Fixture f(contacts);
        QCOMPARE(f->超级列表框->horizontalHeader()->sectionSize(0), 70);
        QCOMPARE(f->超级列表框->horizontalHeader()->sectionSize(1), width);
    }

    void emptyStore()
    {
        Fixture f(0);
        QCOMPARE(f->超级列表框->model()->rowCount(), 0);
        QCOMPARE(f.counter(), QStringLiteral("共0条记录"));
        QCOMPARE(f.shown(), QStringList(6, QString()));
        QVERIFY(f.browsing());
    }

    void twoContactsWithTheSameMobileAreBothListed()
    {
        test::MainWindowFixture f({test::Person(QStringLiteral("甲")).mobile(QStringLiteral("13900000000")),
                                   test::Person(QStringLiteral("乙")).mobile(QStringLiteral("13900000000"))});
        QVERIFY(f.ready());
        QAbstractItemModel *model = f->超级列表框->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("乙"));
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("13900000000"));
    }

    // Reading the rows on demand never moves the shared cursor.
    void paintingTheListLeavesTheCursor()
    {
        Fixture f(20);
        ContactListModel *model = f->listModel();
        for (int position : {0, 1, 7, 20, 21}) {
            f.store().goTo(position);
            for (int row = 0; row < 20; row += 3)
                model->index(row, 0).data();
            QCOMPARE(f.store().recordNumber(), position);
        }
        f.store().goTo(0);
        QVERIFY(f.store().isBeforeFirst());
        model->name(5);
        QVERIFY(f.store().isBeforeFirst());
    }

    void selectingARowPutsItsNameIntoTheForm()
    {
        Fixture f(4);
        f.store().goTo(2);
        QTableView *list = f->超级列表框;
        list->selectionModel()->setCurrentIndex(
            list->model()->index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(f->姓名编辑框->text(), QStringLiteral("联系人3"));
        QCOMPARE(f.form().selectedRecord, 3);
        // Only the name changes; the cursor stays.
        QCOMPARE(f->电话编辑框->text(), contactOf(1).at(FieldPhone - 1));
        QCOMPARE(f.store().recordNumber(), 2);
        QVERIFY(f->isListView());

        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(f.form().selectedRecord, 2);
        QCOMPARE(f->姓名编辑框->text(), QStringLiteral("联系人2"));
    }

    void clickingARowOpensIt()
    {
        Fixture f(4);
        QTest::mouseClick(f->超级列表框->viewport(), Qt::LeftButton, Qt::NoModifier, f.rowRect(1).center());
        QCOMPARE(f.form().selectedRecord, 2);
        QVERIFY(!f->isListView());
        QCOMPARE(f.shown(), contactOf(2));
        QCOMPARE(f.counter(), QStringLiteral("第2条记录"));
        QCOMPARE(f.store().recordNumber(), 2);
        QVERIFY(f.browsing());
    }

    void releasingOnAnEmptyPartOpensTheSelectedRecord()
    {
        Fixture f(2);
        QTableView *list = f->超级列表框;
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const QPoint below(10, f.rowRect(1).bottom() + 20);
        QVERIFY(!list->indexAt(below).isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
        QVERIFY(!f->isListView());
        QCOMPARE(f.shown(), contactOf(2));
    }

    void rightButtonDoesNotOpen()
    {
        Fixture f(2);
        QTest::mouseClick(f->超级列表框->viewport(), Qt::RightButton, Qt::NoModifier, f.rowRect(0).center());
        QVERIFY(f->isListView());
    }

    void openWithNothingSelectedShowsNoRecord()
    {
        Fixture f(3);
        f->打开按钮->click();
        QVERIFY(!f->isListView());
        QCOMPARE(f.shown(), QStringList(6, QString()));
        QCOMPARE(f.counter(), QStringLiteral("第%1条记录").arg(f.store().recordNumber()));
        QVERIFY(f.browsing());
    }

    void backToListRefillsFromTheStore()
    {
        Fixture f(3);
        f.openRecord(2);
        QVERIFY(f.store().append(Contact::fromValues(contactOf(4))));
        QCOMPARE(f->超级列表框->model()->rowCount(), 3); // not updated while hidden
        f->关闭按钮->click();
        QVERIFY(f->isListView());
        QCOMPARE(f->超级列表框->model()->rowCount(), 4);
        QCOMPARE(f->超级列表框->model()->index(3, 0).data().toString(), QStringLiteral("联系人4"));
        QCOMPARE(f.counter(), QStringLiteral("共4条记录"));
        QCOMPARE(f.shown(), contactOf(1));
        QVERIFY(f.store().isAfterLast());
        QCOMPARE(f.form().selectedRecord, 2);
        QCOMPARE(f->超级列表框->horizontalHeader()->sectionSize(1), 128);
        QVERIFY(!f->超级列表框->selectionModel()->hasSelection());
    }

    // --- navigation -------------------------------------------------------------

    void nextRightAfterTheFillStopsAtTheLastRecord()
    {
        Fixture f(3);
        f->下一条记录按钮->click();
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kLast, 0)});
        QCOMPARE(f.store().recordNumber(), 3);
        QCOMPARE(f.form().selectedRecord, 3);
        QCOMPARE(f.counter(), QStringLiteral("第3条记录"));
        QCOMPARE(f.shown(), contactOf(1)); // not refreshed
        QVERIFY(f->isListView());
    }

    void previousInListViewMovesTheHiddenForm()
    {
        Fixture f(3);
        f->上一条记录按钮->click();
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        QCOMPARE(f.shown(), contactOf(3));
        QCOMPARE(f.form().selectedRecord, 3);
        QCOMPARE(f.counter(), QStringLiteral("第3条记录"));
        QVERIFY(f->isListView());
    }

    void walkingTheRecordViewToBothEnds()
    {
        Fixture f(3);
        f.openRecord(1);
        f->上一条记录按钮->click();
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kFirst, 0)});
        QCOMPARE(f.store().recordNumber(), 1);
        QCOMPARE(f.form().selectedRecord, 1);
        QCOMPARE(f.counter(), QStringLiteral("第1条记录"));
        QCOMPARE(f.shown(), contactOf(1));

        for (int n = 2; n <= 3; ++n) {
            f->下一条记录按钮->click();
            QCOMPARE(f.shown(), contactOf(n));
            QCOMPARE(f.form().selectedRecord, n);
            QCOMPARE(f.counter(), QStringLiteral("第%1条记录").arg(n));
        }
        ui::MessageBoxScript::clear();
        f->下一条记录按钮->click();
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kLast, 0)});
        QCOMPARE(f.shown(), contactOf(3));
        QCOMPARE(f.form().selectedRecord, 3);
        QCOMPARE(f.store().recordNumber(), 3);
        f->上一条记录按钮->click();
        QCOMPARE(f.shown(), contactOf(2));
        QVERIFY(!f->isListView());
    }

    void previousOnAnEmptyStore()
    {
        Fixture f(0);
        f->上一条记录按钮->click();
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kFirst, 0)});
        QCOMPARE(f.shown(), QStringList(6, QString()));
        f->下一条记录按钮->click();
        QCOMPARE(test::shownMessages(), (QStringList{test::tip(kFirst, 0), test::tip(kLast, 0)}));
    }

    void navigationEndsUnfinishedStates()
    {
        Fixture f(3);
        f.openRecord(1);
        f.form().queryKind = rules::QueryKind::Phone;
        f->下一条记录按钮->click();
        QVERIFY(f.browsing());
        QCOMPARE(f.shown(), contactOf(2));
        QVERIFY(ui::MessageBoxScript::shown().isEmpty()); // a query is no unsaved record
    }

    void unsavedRecordAnswered_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("record");
        QTest::addColumn<bool>("next");
        QTest::newRow("no: discarded") << int(ui::AnswerNo) << 1 << true;
        // Yes runs Confirm and the move goes on from where Confirm left the cursor.
        QTest::newRow("yes: confirmed first") << int(ui::AnswerYes) << 2 << false;
    }

    void unsavedRecordAnswered()
    {
        QFETCH(int, answer);
        QFETCH(int, record);
        QFETCH(bool, next);
        Fixture f(3);
        f.openRecord(record);
        f.enterAddingState(QStringLiteral("新的人"));
        ui::MessageBoxScript::setNextAnswer(answer);
        (next ? f->下一条记录按钮 : f->上一条记录按钮)->click();
        QCOMPARE(test::shownMessages().value(0), test::tip(kUnsaved, 0x24));
        QCOMPARE(ui::MessageBoxScript::pendingAnswers(), 0);
        QVERIFY(f.browsing());
        if (answer == ui::AnswerNo) {
            QCOMPARE(ui::MessageBoxScript::shown().size(), 1);
            QCOMPARE(f.shown(), contactOf(2));
            QCOMPARE(f.store().recordCount(), 3);
        } else {
            QVERIFY(f.store().recordNumber() >= 1);
            QCOMPARE(f.shown(), contactOf(f.store().recordNumber()));
        }
    }

    // Yes with an empty 姓名: the adding branch refuses, then the move goes
    // on from where the cursor stood and the form returns to browsing.
    void nextWhileAddingAnsweredYesWithEmptyName()
    {
        Fixture f(3);
        f.openRecord(1);
        f->startAdding();
        QVERIFY(f.form().adding);
        f->电话编辑框->setText(QStringLiteral("123"));
        ui::MessageBoxScript::setNextAnswer(ui::AnswerYes);
        f->下一条记录按钮->click();
        QCOMPARE(test::shownTexts(), (QStringList{kUnsaved, QStringLiteral("对不起！姓名不能为无名氏哦！")}));
        QCOMPARE(f.store().recordCount(), 3);
        QCOMPARE(f.shown(), contactOf(f.store().recordNumber()));
        QCOMPARE(f.form().selectedRecord, f.store().recordNumber());
        QVERIFY(f.browsing());
    }

    void backToListWhileModifyingAnsweredYesOnlyConfirms()
    {
        Fixture f(3);
        f.openRecord(2);
        f.form().modifying = true;
        ui::MessageBoxScript::setNextAnswer(ui::AnswerYes);
        f->关闭按钮->click();
        QCOMPARE(ui::MessageBoxScript::shown().value(0).text, kUnsaved);
        QVERIFY(!f->isListView());
    }

    void backToListWhileModifyingAnsweredNoShowsTheList()
    {
        Fixture f(3);
        f.openRecord(2);
        f.form().modifying = true;
        f->电话编辑框->setReadOnly(false);
        f->电话编辑框->setText(QStringLiteral("changed"));
        ui::MessageBoxScript::setNextAnswer(ui::AnswerNo);
        f->关闭按钮->click();
        QVERIFY(f->isListView());
        QVERIFY(f.browsing());
        QCOMPARE(f.shown(), contactOf(1));
        QCOMPARE(f.counter(), QStringLiteral("共3条记录"));
    }

    void confirmInBrowsingDoesNothing()
    {
        Fixture f(3);
        f.openRecord(2);
        const QStringList before = f.shown();
        f->确定按钮->click();
        QCOMPARE(f.shown(), before);
        QCOMPARE(f.store().recordNumber(), 2);
        QCOMPARE(f.counter(), QStringLiteral("第2条记录"));
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        QVERIFY(f.browsing());
    }

    // Open during an unfinished state runs Confirm only: a query with an
    // empty box is refused and the list stays.
    void openDuringAQueryOnlyConfirms()
    {
        Fixture f(3);
        f.form().queryKind = rules::QueryKind::Phone;
        f->电话编辑框->clear();
        f->打开按钮->click();
        QVERIFY(f->isListView());
        QCOMPARE(f.form().queryKind, rules::QueryKind::Phone);
        QCOMPARE(ui::MessageBoxScript::shown().size(), 1);
        QCOMPARE(f->姓名编辑框->text(), contactOf(1).at(0));
    }

    void showCurrentRecordReturnsToBrowsing()
    {
        Fixture f(3);
        f.enterAddingState(QStringLiteral("x"));
        f.form().modifying = true;
        f.form().queryKind = rules::QueryKind::Mobile;
        f->setContactItemsEnabled(true, false, false, false);
        f->手机编辑框->setEnabled(false);
        f.form().selectedRecord = 1;
        f.store().goTo(3);
        f->showCurrentRecord();
        QVERIFY(f.browsing());
        QCOMPARE(f.shown(), contactOf(3));
        QCOMPARE(f.counter(), QStringLiteral("第3条记录"));
        QCOMPARE(f.form().selectedRecord, 1);
        QVERIFY(!f->isListView());
    }

    // --- keypad and keyboard -------------------------------------------------------

    void keypadTypesIntoTheFocusedBox()
    {
        Fixture f(1);
        f.openRecord(1);
        QLineEdit *mobile = f->手机编辑框;
        mobile->setReadOnly(false);
        mobile->clear();
        mobile->setFocus();
        QTRY_VERIFY(mobile->hasFocus());
        const QList<ui::ImageButton *> keys{f->按键1, f->按键2, f->按键3, f->按键4, f->按键5,
                                            f->按键6, f->按键7, f->按键8, f->按键9, f->按键0};
        for (ui::ImageButton *key : keys)
            QTest::mouseClick(key, Qt::LeftButton);
        QCOMPARE(mobile->text(), QStringLiteral("1234567890"));
        QVERIFY(mobile->hasFocus());

        mobile->setReadOnly(true);
        QTest::mouseClick(f->按键5, Qt::LeftButton);
        QCOMPARE(mobile->text(), QStringLiteral("1234567890"));
    }

    void enterMovesTheFocusToTheNextBox()
    {
        Fixture f(1);
        f.openRecord(1);
        f->电话编辑框->setFocus();
        QTRY_VERIFY(f->电话编辑框->hasFocus());
        QTest::keyClick(f->电话编辑框, Qt::Key_Return);
        QVERIFY(f->手机编辑框->hasFocus());
        QTest::keyClick(f->手机编辑框, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(f->QQ编辑框->hasFocus());
        // With Ctrl, Shift or Win, Enter is a hot key and stays put.
        for (Qt::KeyboardModifier modifier : {Qt::ControlModifier, Qt::ShiftModifier, Qt::MetaModifier}) {
            QTest::keyClick(f->QQ编辑框, Qt::Key_Return, modifier);
            QVERIFY(f->QQ编辑框->hasFocus());
        }
    }

    // --- frame -------------------------------------------------------------------------

    void menusPopUpFromTheirButtons()
    {
        Fixture f(1);
        f->设置按钮->click();
        QTRY_VERIFY(f->设置->isVisible());
        QVERIFY(!f->退出->isVisible());
        f->设置->hide();
        f->联系人按钮->click();
        QTRY_VERIFY(f->联系人->isVisible());
        f->联系人->hide();
    }

    void settingsItemsOpenTheirWindows()
    {
        Fixture f(1);
        f->关于->trigger();
        f->密码设置->trigger();
        f->导出数据->trigger();
        QCOMPARE(ui::ModalScript::shownNames(),
                 QStringList({QStringLiteral("关于窗口"), QStringLiteral("密码设置窗口"),
                              QStringLiteral("数据管理窗口")}));
        f->帮助->trigger();
        QCOMPARE(ui::openedDocuments(), QStringList{f.home.file(QStringLiteral("Help.html"))});
        QVERIFY(f->isVisible());
    }

    void closeButtonClosesTheStoreThenTheWindow()
    {
        Fixture f(2);
        QPointer<MainWindow> window = f.window;
        window->关闭->click();
        QVERIFY(!f.store().isOpen());
        QTRY_VERIFY(window.isNull());
    }

    void exitItemDestroysTheWindow()
    {
        Fixture f(2);
        QPointer<MainWindow> window = f.window;
        window->退出->setVisible(true);
        window->退出->trigger();
        QTRY_VERIFY(window.isNull());
    }

    void minimiseButtonHidesTheWindowFromView()
    {
        Fixture f(1);
        f->最小化->click();
        QTRY_VERIFY(f->windowState().testFlag(Qt::WindowMinimized) || !f->isVisible());
    }

    void runsWithoutSkins()
    {
        Fixture f(3, false);
        QVERIFY(f.ready());
        QCOMPARE(f->size(), QSize(210, 367));
        QCOMPARE(f->超级列表框->model()->rowCount(), 3);
        QTest::mouseClick(f->超级列表框->viewport(), Qt::LeftButton, Qt::NoModifier, f.rowRect(2).center());
        QCOMPARE(f.shown(), contactOf(3));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
