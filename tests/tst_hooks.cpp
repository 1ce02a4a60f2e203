// The main window's hooks into the desktop: the global hot keys (identifiers,
// dispatch, the shortcut fallback), the tray icon and its way back, and the
// details of the skinned windows a user meets first.

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/MainWindowFixture.h"
#include "support/Messages.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "ui/Controls.h"
#include "ui/HotKeys.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Skin.h"
#include "ui/Tray.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

using namespace quennet;

namespace {

// A program directory with n contacts and the loaded main window on it.
struct Fixture : test::MainWindowFixture {
    explicit Fixture(int contacts = 3) : MainWindowFixture(test::numberedContacts(contacts)) {}

    // What a command can change, to compare a hot key with its control.
    QStringList snapshot() const
    {
        const FormState &f = session.form;
        QStringList state{
            QStringLiteral("form %1 %2 %3 %4")
                .arg(f.adding)
                .arg(f.modifying)
                .arg(int(f.queryKind))
                .arg(f.selectedRecord),
            QStringLiteral("list %1 cursor %2").arg(window->isListView()).arg(session.store.recordNumber()),
            window->总记录数标签->text()};
        for (QLineEdit *box : window->editBoxes())
            state << box->text() + (box->isReadOnly() ? QStringLiteral(" ro") : QStringLiteral(" rw"));
        for (QAction *item :
             {window->添加联系人, window->修改联系人, window->删除联系人, window->查询联系人->menuAction()})
            state << QString::number(item->isEnabled());
        state << test::shownTexts() << ui::ModalScript::shownNames() << ui::openedDocuments();
        return state.replaceInStrings(home.path(), QStringLiteral("HOME"));
    }
};

QKeyCombination keys(Qt::KeyboardModifiers modifiers, Qt::Key key)
{
    return QKeyCombination(modifiers, key);
}

// The sixteen keys with the control each one stands for.
struct HotKeyRow {
    QKeyCombination combination;
    std::function<void(MainWindow *)> useControl;
};

QList<HotKeyRow> hotKeyRows()
{
    auto item = [](QAction *MainWindow::*member) {
        return [member](MainWindow *w) { (w->*member)->trigger(); };
    };
    auto button = [](ui::ImageButton *MainWindow::*member) {
        return [member](MainWindow *w) { (w->*member)->click(); };
    };
    return {
        {keys(Qt::NoModifier, Qt::Key_F1), item(&MainWindow::关于)},
        {keys(Qt::NoModifier, Qt::Key_F2), item(&MainWindow::添加联系人)},
        {keys(Qt::NoModifier, Qt::Key_F3), item(&MainWindow::修改联系人)},
        {keys(Qt::NoModifier, Qt::Key_F4), item(&MainWindow::删除联系人)},
        {keys(Qt::NoModifier, Qt::Key_F5), item(&MainWindow::按姓名查询)},
        {keys(Qt::NoModifier, Qt::Key_F6), item(&MainWindow::按电话查询)},
        {keys(Qt::NoModifier, Qt::Key_F7), item(&MainWindow::按手机查询)},
        {keys(Qt::NoModifier, Qt::Key_F8), item(&MainWindow::按QQ号查询)},
        {keys(Qt::NoModifier, Qt::Key_F9), item(&MainWindow::密码设置)},
        {keys(Qt::NoModifier, Qt::Key_F10), item(&MainWindow::导出数据)},
        {keys(Qt::NoModifier, Qt::Key_F11), item(&MainWindow::帮助)},
        {keys(Qt::ControlModifier, Qt::Key_Return), button(&MainWindow::确定按钮)},
        {keys(Qt::ShiftModifier, Qt::Key_Return), button(&MainWindow::打开按钮)},
        {keys(Qt::MetaModifier, Qt::Key_Return), button(&MainWindow::关闭按钮)},
        {keys(Qt::AltModifier, Qt::Key_Left), button(&MainWindow::上一条记录按钮)},
        {keys(Qt::AltModifier, Qt::Key_Right), button(&MainWindow::下一条记录按钮)},
    };
}

QList<QKeyCombination> combinationsOf(const QList<ui::RegisteredHotKey> &registered)
{
    QList<QKeyCombination> combinations;
    for (const ui::RegisteredHotKey &key : registered)
        combinations << key.combination;
    return combinations;
}

} // namespace

class TestHooks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        test::initWindowTests();
        ui::installFontSubstitutes(); // the program's fonts: the rows are measured in them
    }
    void init()
    {
        ui::setTestMode(true);
        ui::clearTestScripts();
    }

    // --- hot keys ---------------------------------------------------------------

    // The main window registers the sixteen keys in order; a key held by
    // another program is left out and the next one takes its identifier.
    void identifiersFollowTheRegistrationsThatSucceeded()
    {
        const QList<QKeyCombination> all = [] {
            QList<QKeyCombination> c;
            for (const HotKeyRow &row : hotKeyRows())
                c << row.combination;
            return c;
        }();
        const QKeyCombination f3 = keys(Qt::NoModifier, Qt::Key_F3);
        const QKeyCombination ctrlEnter = keys(Qt::ControlModifier, Qt::Key_Return);
        ui::HotKeyScript::setHeldElsewhere({f3, ctrlEnter});
        Fixture f;
        QVERIFY(f.ready());
        QList<QKeyCombination> expected = all;
        expected.removeAll(f3);
        expected.removeAll(ctrlEnter);
        const QList<ui::RegisteredHotKey> registered = ui::registeredHotKeys();
        QCOMPARE(combinationsOf(registered), expected);
        for (int i = 0; i < registered.size(); ++i)
            QCOMPARE(registered.at(i).id, i + 1);
        QVERIFY(test::shownMessages().isEmpty());
        QVERIFY(!ui::HotKeyScript::press(f3));
        QVERIFY(!f.session.form.modifying);

        delete f.window.data();
        QVERIFY(ui::registeredHotKeys().isEmpty()); // they end with the window
    }

    // Each key does exactly what its menu item or button does, from the same
    // start: row 2 selected in list view.
    void eachKeyRunsTheHandlerOfItsControl()
    {
        for (const HotKeyRow &row : hotKeyRows()) {
            const QString key = QKeySequence(row.combination).toString();
            QStringList byControl, byKey;
            for (bool useKey : {false, true}) {
                ui::clearTestScripts();
                Fixture f;
                QVERIFY(f.ready());
                f->超级列表框->selectRow(1);
                if (useKey)
                    QVERIFY2(ui::HotKeyScript::press(row.combination), qPrintable(key));
                else
                    row.useControl(f.window);
                (useKey ? byKey : byControl) = f.snapshot();
            }
            QVERIFY2(byKey == byControl,
                     qPrintable(key + QStringLiteral(": ") + byKey.join(QLatin1Char('|'))));
        }
    }

    // While a modal window or message box of the program is open, a hot key
    // does nothing; the window behind is blocked.
    void keysWaitWhileAModalWindowIsOpen()
    {
        Fixture f;
        QVERIFY(f.ready());
        bool dispatched = true;
        ui::ModalScript::setNextHandler([&dispatched](QDialog *) {
            dispatched = ui::HotKeyScript::press(keys(Qt::NoModifier, Qt::Key_F9)) ||
                         ui::HotKeyScript::press(keys(Qt::NoModifier, Qt::Key_F2));
        });
        QVERIFY(ui::HotKeyScript::press(keys(Qt::NoModifier, Qt::Key_F9)));
        QVERIFY(!dispatched);
        QCOMPARE(ui::ModalScript::shownNames(), QStringList{QStringLiteral("密码设置窗口")});
        QVERIFY(!f.session.form.adding);
    }

    // Without an X connection (this offscreen platform) the keys work as
    // application shortcuts while a window of the program is active.
    void withoutXTheKeysAreApplicationShortcuts()
    {
        ui::HotKeyScript::setTestMode(false);
        Fixture f;
        QVERIFY(f.ready());
        ui::HotKeyScript::setTestMode(true);
        QCOMPARE(ui::registeredHotKeys().size(), 16);
        f->电话编辑框->setFocus();
        QTest::keyClick(f->电话编辑框, Qt::Key_F2);
        QVERIFY(f.session.form.adding);
        QTest::keyClick(f->电话编辑框, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(test::lastMessage(), test::tip(QStringLiteral("对不起！姓名不能为无名氏哦！")));
    }

    // --- tray -------------------------------------------------------------------

    void minimiseHidesIntoTheTrayAndADoubleClickBringsItBack()
    {
        Fixture f;
        QVERIFY(f.ready());
        f->最小化->click();
        QVERIFY(!f->isVisible());
        QVERIFY(f->退出->isVisible());
        QVERIFY(ui::TrayScript::iconShown());
        QCOMPARE(ui::TrayScript::tip(), QStringLiteral("通讯录"));
        QCOMPARE(ui::TrayScript::balloonsShown(), 1);
        QCOMPARE(ui::TrayScript::balloonTitle(), QStringLiteral("通讯录"));
        QCOMPARE(ui::TrayScript::balloonText(), QStringLiteral("双击这里打开！"));

        ui::TrayScript::pressLeftButton(); // nothing
        QTest::qWait(50);
        QVERIFY(!f->设置->isVisible() && !f->联系人->isVisible() && !f->isVisible());
        ui::TrayScript::pressRightButton();
        QTRY_VERIFY(f->设置->isVisible());
        QVERIFY(f->退出->isVisible());
        f->设置->hide();

        // A new tray host: the icon is put back, without the balloon.
        ui::TrayScript::restartHost();
        QVERIFY(ui::TrayScript::iconShown());
        QCOMPARE(ui::TrayScript::iconsAdded(), 2);
        QCOMPARE(ui::TrayScript::balloonsShown(), 1);

        // Hot keys reach the hidden window.
        QVERIFY(ui::HotKeyScript::press(keys(Qt::NoModifier, Qt::Key_F2)));
        QVERIFY(f.session.form.adding);

        ui::TrayScript::doubleClick();
        QVERIFY(f->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(f.window.data()));
        QVERIFY(!f->退出->isVisible());
        QVERIFY(!ui::TrayScript::iconShown());
        QVERIFY(!ui::trayIconPresent());
        ui::TrayScript::doubleClick(); // the icon is gone: nothing more
        ui::TrayScript::restartHost();
        QVERIFY(!ui::TrayScript::iconShown());

        // Again into the tray, and out of the program with 退出.
        f->最小化->click();
        QVERIFY(ui::TrayScript::iconShown());
        QPointer<MainWindow> window = f.window;
        window->退出->trigger();
        QTRY_VERIFY(window.isNull());
        QVERIFY(!ui::TrayScript::iconShown());
    }

    void withoutATrayMinimiseOnlyMinimises()
    {
        ui::TrayScript::setAvailable(false);
        Fixture f;
        QVERIFY(f.ready());
        f->最小化->click();
        QVERIFY(!ui::TrayScript::iconShown());
        QVERIFY(!f->退出->isVisible());
        QTRY_VERIFY(f->windowState().testFlag(Qt::WindowMinimized));
        QVERIFY(f->isVisible());
    }

    // --- details ----------------------------------------------------------------

    // Seven rows fit the list without a vertical scroll bar; from eight on the
    // scroll bar takes the room the narrower 手机 column leaves. The rows never
    // need a horizontal one.
    void sevenRowsFitTheList_data()
    {
        QTest::addColumn<int>("contacts");
        QTest::newRow("5") << 5;
        QTest::newRow("7") << 7;
        QTest::newRow("8") << 8;
    }
    void sevenRowsFitTheList()
    {
        QFETCH(int, contacts);
        Fixture f(contacts);
        QVERIFY(f.ready());
        QTableView *list = f->超级列表框;
        QCOMPARE(list->geometry(), QRect(5, 58, 200, 109));
        const int rowHeight = list->verticalHeader()->defaultSectionSize();
        QVERIFY2(rowHeight >= 12 && rowHeight <= 14, qPrintable(QString::number(rowHeight)));
        QCOMPARE(list->verticalScrollBar()->isVisible(), contacts > 7);
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        if (contacts <= 7)
            QVERIFY(list->viewport()->height() >= 7 * rowHeight);
    }

    // Start adding from the query state leaves 添加联系人 disabled, as the
    // query left it; the other three items are disabled.
    void startAddingLeavesTheAddItemAsItWas()
    {
        Fixture f;
        QVERIFY(f.ready());
        f->按姓名查询->trigger();
        const bool addEnabled = f->添加联系人->isEnabled();
        QVERIFY(ui::HotKeyScript::press(keys(Qt::NoModifier, Qt::Key_F2)));
        QVERIFY(f.session.form.adding);
        QCOMPARE(f->添加联系人->isEnabled(), addEnabled);
        QVERIFY(!f->修改联系人->isEnabled());
        QVERIFY(!f->删除联系人->isEnabled());
        QVERIFY(!f->查询联系人->menuAction()->isEnabled());
    }

    void enterInThePasswordBoxPressesConfirm()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> login = LoginWindow::load(home.session);
        QVERIFY(login);
        QVERIFY(QTest::qWaitForWindowActive(login.data()));
        QTest::keyClicks(login->密码编辑框, QStringLiteral("wrong"));
        QTest::keyClick(login->密码编辑框, Qt::Key_Return);
        QCOMPARE(test::lastMessage(), test::tip(QStringLiteral("密码错误！请重新输入密码！"), 0x10));
        login->密码编辑框->clear();
        QTest::keyClicks(login->密码编辑框, QStringLiteral("secret"));
        QTest::keyClick(login->密码编辑框, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(home.session.store.isOpen());
        QTRY_VERIFY(login.isNull());
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<MainWindow *>(w))
                w->deleteLater();
        QTest::qWait(0);
    }

    // A skinned window follows a drag on its top strip, and only there.
    void skinnedWindowsMoveByTheirTopStrip()
    {
        QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(100, 100, 210, 205);
        ui::applySkin(&window, QString());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto mouse = [&window](QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, window.mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(&window, &event);
        };
        const QPoint start = window.pos();
        mouse(QEvent::MouseButtonPress, QPoint(100, 10), Qt::LeftButton);
        mouse(QEvent::MouseMove, QPoint(130, 50), Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, QPoint(130, 50), Qt::NoButton);
        QCOMPARE(window.pos(), start + QPoint(30, 40));
        mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton); // below the strip
        mouse(QEvent::MouseMove, QPoint(150, 150), Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, QPoint(150, 150), Qt::NoButton);
        QCOMPARE(window.pos(), start + QPoint(30, 40));
    }
};

QTEST_MAIN(TestHooks)
#include "tst_hooks.moc"
