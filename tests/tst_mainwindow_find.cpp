// The main window's filter line (查找联系人…, Ctrl+F): the list shows the
// hits as each key is typed, Esc brings the whole list back, Enter or a
// click on a hit shows it in the form.

#include "app/ContactFinder.h"
#include "app/ContactListModel.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/DataRows.h"
#include "support/MainWindowFixture.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace quennet;

namespace {

QList<QStringList> people()
{
    return {test::Person(QStringLiteral("朱镕基")).mobile(QStringLiteral("13912345678")),
            test::Person(QStringLiteral("单田芳")).phone(QStringLiteral("0411-8888 1234")),
            test::Person(QStringLiteral("张三")).mobile(QStringLiteral("139-1234-0000")),
            test::Person(QStringLiteral("曾志伟")).email(QStringLiteral("Zeng@Example.com")),
            test::Person(QStringLiteral("长孙无忌"))};
}

// The names the list shows, top to bottom.
QStringList listed(MainWindow &window)
{
    QStringList names;
    for (int row = 0; row < window.listModel()->rowCount(); ++row)
        names << window.listModel()->name(row);
    return names;
}

bool waitUntilReady(MainWindow &window)
{
    window.finder()->prepare();
    return QTest::qWaitFor([&window] { return window.finder()->isReady(); }, 10000);
}

} // namespace

class MainWindowFindTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }
    void init() { ui::clearTestScripts(); }

    void theMenuItemAndCtrlFOpenTheFilterLine()
    {
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        QCOMPARE(f->联系人->actions().last(), f->查找联系人);
        QCOMPARE(f->查找联系人->text(), QStringLiteral("查找联系人…"));
        QVERIFY(!f->isFinding());
        QTest::keyClick(&f.w(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(f->isFinding());
        QVERIFY(f->查找编辑框->isVisible());
        QVERIFY(f->查找编辑框->hasFocus());
        QTest::keyClick(f->查找编辑框, Qt::Key_Escape);
        QVERIFY(!f->isFinding());
        f->查找联系人->trigger();
        QVERIFY(f->isFinding());
    }

    // What typing key by key shows, ending on the whole typed text.
    void hitsAsEachKeyIsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("full pinyin") << "zhurongji" << QStringList{"朱镕基"};
        QTest::newRow("initials") << "zs" << QStringList{"张三", "长孙无忌"};
        QTest::newRow("surname reading") << "shantf" << QStringList{"单田芳"};
        QTest::newRow("digits across separators") << "139 1234" << QStringList{"朱镕基", "张三"};
        QTest::newRow("any field, any case") << "zeng@example" << QStringList{"曾志伟"};
        QTest::newRow("characters") << "无忌" << QStringList{"长孙无忌"};
        QTest::newRow("nobody") << "xyz" << QStringList();
    }

    void hitsAsEachKeyIsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        QVERIFY(waitUntilReady(f.w()));
        f->startFinding();
        QStringList firstKey;
        for (int i = 0; i < typed.size(); ++i) {
            // Characters come from an input method; Latin ones are keys.
            if (typed.at(i).unicode() < 0x80)
                QTest::keyClicks(f->查找编辑框, typed.mid(i, 1));
            else
                f->查找编辑框->insert(typed.mid(i, 1));
            if (i == 0)
                firstKey = listed(f.w());
        }
        QCOMPARE(listed(f.w()), shown);
        QVERIFY(firstKey.size() >= shown.size());
        QCOMPARE(f.counter(), QStringLiteral("共5条记录"));

        QTest::keyClick(f->查找编辑框, Qt::Key_Escape);
        QCOMPARE(listed(f.w()).size(), 5);
        QVERIFY(f->isListView());
    }

    void enterOrAClickShowsTheHitInTheForm_data() { test::addFlagRows("click", "click", "Enter"); }

    void enterOrAClickShowsTheHitInTheForm()
    {
        QFETCH(bool, click);
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        QVERIFY(waitUntilReady(f.w()));
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("zs"));
        QCOMPARE(listed(f.w()), (QStringList{"张三", "长孙无忌"}));
        if (click) {
            QTableView *list = f->超级列表框;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              list->visualRect(list->model()->index(1, 0)).center());
        } else {
            QTest::keyClick(f->查找编辑框, Qt::Key_Down);
            QTest::keyClick(f->超级列表框, Qt::Key_Down);
            QTest::keyClick(f->超级列表框, Qt::Key_Return);
        }
        QVERIFY(!f->isListView());
        QVERIFY(!f->isFinding());
        QCOMPARE(f.shown().value(0), QStringLiteral("长孙无忌"));
        QCOMPARE(f.form().selectedRecord, 5);
        QCOMPARE(f.counter(), QStringLiteral("第5条记录"));
        QVERIFY(f.browsing());

        // Back in the list every contact is there again.
        f->关闭按钮->click();
        QCOMPARE(listed(f.w()).size(), 5);
        QVERIFY(!f->isFinding());
    }

    void enterInTheLineShowsTheFirstHit()
    {
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        QVERIFY(waitUntilReady(f.w()));
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("139"));
        QTest::keyClick(f->查找编辑框, Qt::Key_Return);
        QCOMPARE(f.shown().value(0), QStringLiteral("朱镕基"));
        QCOMPARE(f.store().recordNumber(), 1);
    }

    // Typed before the readings are looked up: the hits come when they are.
    void typedBeforeReadyFiltersWhenReady()
    {
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("cs"));
        QVERIFY(QTest::qWaitFor([&f] { return f->finder()->isReady(); }, 10000));
        QCOMPARE(listed(f.w()), QStringList{"长孙无忌"});
    }

    // Typed while the index is built in the background: the hits come once
    // it is in place. A build from contacts changed since is not used.
    void typedWhileBuiltInTheBackground()
    {
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        ContactFinder *finder = f->finder();
        finder->invalidate();
        finder->prepareInBackground();
        QVERIFY(finder->isComing());
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("zs"));
        QVERIFY(QTest::qWaitFor([finder] { return finder->isReady(); }, 10000));
        QCOMPARE(listed(f.w()), (QStringList{"张三", "长孙无忌"}));

        finder->invalidate();
        finder->prepareInBackground();
        QVERIFY(finder->isComing());
        QTest::keyClick(f->查找编辑框, Qt::Key_Escape);
        f->startAdding();
        f->姓名编辑框->setText(QStringLiteral("张素"));
        f->confirm();
        QVERIFY(!finder->isComing());
        f->backToList();
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("zs"));
        QCOMPARE(listed(f.w()), (QStringList{"张三", "长孙无忌", "张素"}));
        QTest::qWait(200);
        QCOMPARE(listed(f.w()), (QStringList{"张三", "长孙无忌", "张素"}));
    }

    // Contacts added or deleted in the window, and by another program, are
    // found as they now are.
    void theHitsFollowTheStore()
    {
        test::MainWindowFixture f(people());
        QVERIFY(f.ready());
        QVERIFY(waitUntilReady(f.w()));
        f->startAdding();
        f->姓名编辑框->setText(QStringLiteral("张无忌"));
        f->confirm();
        f->backToList();
        f->startFinding();
        QTest::keyClicks(f->查找编辑框, QStringLiteral("wuji"));
        QCOMPARE(listed(f.w()), (QStringList{"长孙无忌", "张无忌"}));

        // Deleted from the filtered list: the row last selected.
        f->超级列表框->selectRow(0);
        QCOMPARE(f.form().selectedRecord, 5);
        ui::MessageBoxScript::setNextAnswer(ui::AnswerOk);
        f->deleteContact();
        QCOMPARE(f.store().recordCount(), 5);
        QVERIFY(f->isFinding());
        QCOMPARE(listed(f.w()), QStringList{"张无忌"});

        ContactStore other;
        QVERIFY(other.open(f.store().filePath()));
        QVERIFY(other.append(Contact::fromValues({QStringLiteral("吴季")})));
        f->followOtherPrograms();
        QVERIFY(QTest::qWaitFor([&f] { return f->finder()->isReady(); }, 10000));
        QCOMPARE(listed(f.w()), (QStringList{"张无忌", "吴季"}));
    }
};

QTEST_MAIN(MainWindowFindTest)
#include "tst_mainwindow_find.moc"
