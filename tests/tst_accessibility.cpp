// Every picture button, list and edit box of every window has a name that
// assistive technology reads (through Qt's accessibility interface), and
// the login and the main window work from the keyboard alone.

#include "app/AboutWindow.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "export/ExportDataWindow.h"
#include "export/ExportWebWindow.h"
#include "settings/DataWindow.h"
#include "settings/PasswordWindow.h"
#include "support/Person.h"
#include "support/ProgramDirectory.h"
#include "ui/Controls.h"
#include "ui/HotKeys.h"
#include "ui/MessageBox.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace quennet;

namespace {

QString accessibleName(QWidget *control)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Edit boxes inside spin and combo boxes are parts of those controls.
bool isPartOfAnotherControl(QWidget *control)
{
    for (QWidget *up = control->parentWidget(); up && !up->isWindow(); up = up->parentWidget())
        if (qobject_cast<QAbstractSpinBox *>(up) || qobject_cast<QComboBox *>(up))
            return true;
    return false;
}

QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *control : window->findChildren<QWidget *>()) {
        const bool isList =
            qobject_cast<QAbstractItemView *>(control) && !qobject_cast<QHeaderView *>(control);
        const bool needsName = qobject_cast<ui::ImageButton *>(control) || isList ||
                               (qobject_cast<QLineEdit *>(control) && !isPartOfAnotherControl(control));
        if (needsName && control->window() == window && accessibleName(control).trimmed().isEmpty())
            unnamed << control->objectName() + QLatin1Char('(') +
                           QLatin1String(control->metaObject()->className()) + QLatin1Char(')');
    }
    return unnamed;
}

using WindowMaker = std::function<QWidget *(Session &)>;

QWidget *topLevel(const QString &name)
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible())
            return window;
    return nullptr;
}

// A key pressed on whatever has the keyboard focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
}

void typeText(const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch),
                            Qt::NoModifier);
}

} // namespace
Q_DECLARE_METATYPE(WindowMaker)

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }

    void everyControlHasAName_data()
    {
        QTest::addColumn<WindowMaker>("make");
        QTest::newRow("登录窗口") << WindowMaker([](Session &s) -> QWidget * { return new LoginWindow(s); });
        QTest::newRow("主窗口") << WindowMaker([](Session &s) -> QWidget * {
            auto *window = new MainWindow(s);
            window->created(); // attaches the tool tips
            return window;
        });
        QTest::newRow("关于窗口") << WindowMaker([](Session &s) -> QWidget * { return new AboutWindow(s); });
        QTest::newRow("密码设置窗口")
            << WindowMaker([](Session &s) -> QWidget * { return new PasswordWindow(s); });
        QTest::newRow("数据管理窗口")
            << WindowMaker([](Session &s) -> QWidget * { return new DataWindow(s); });
        QTest::newRow("导出数据窗口")
            << WindowMaker([](Session &s) -> QWidget * { return new ExportDataWindow(s); });
        QTest::newRow("导出网页窗口")
            << WindowMaker([](Session &s) -> QWidget * { return new ExportWebWindow(s); });
    }

    void everyControlHasAName()
    {
        QFETCH(WindowMaker, make);
        test::SessionHome home;
        QVERIFY(home.createStore());
        QVERIFY(home.session.store.open(home.session.dir.storeFile()));
        std::unique_ptr<QWidget> window(make(home.session));
        const QStringList unnamed = unnamedControls(window.get());
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    // Edit boxes are named by their caption labels, the list by its tool tip.
    void namesComeFromCaptionsAndToolTips_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        const char *const names[][2] = {
            {"姓名编辑框", "姓名"},
            {"电话编辑框", "电话"},
            {"手机编辑框", "手机"},
            {"QQ编辑框", "QQ"},
            {"Email编辑框", "Email"},
            {"地址编辑框", "地址"},
            {"超级列表框", "双击联系人查看具体信息"},
            {"确定按钮", "确定"},
        };
        for (const auto &row : names)
            QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
    }

    void namesComeFromCaptionsAndToolTips()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        test::SessionHome home;
        QVERIFY(home.createStore());
        QVERIFY(home.session.store.open(home.session.dir.storeFile()));
        MainWindow window(home.session);
        window.created();
        QWidget *widget = window.findChild<QWidget *>(control);
        QVERIFY(widget);
        QCOMPARE(accessibleName(widget), name);
    }

    // Typing the password and confirming it, with Enter or with Tab and Space.
    void loginWorksFromTheKeyboard_data()
    {
        QTest::addColumn<QList<int>>("confirmKeys");
        QTest::newRow("Enter") << QList<int>{Qt::Key_Return};
        QTest::newRow("Tab, Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space};
    }

    void loginWorksFromTheKeyboard()
    {
        QFETCH(QList<int>, confirmKeys);
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("mima1")));
        QPointer<LoginWindow> login = LoginWindow::load(home.session);
        QVERIFY(login);
        QVERIFY(QTest::qWaitForWindowActive(login.data()));
        QCOMPARE(QApplication::focusWidget(), login->密码编辑框);
        typeText(QStringLiteral("mima1"));
        for (int key : confirmKeys)
            press(key);
        QTRY_VERIFY(topLevel(QStringLiteral("主窗口")));
        QVERIFY(home.session.store.isOpen());
        delete topLevel(QStringLiteral("主窗口"));
        delete login.data();
    }

    // Browsing the list, opening a contact, stepping to the next one, adding
    // a contact and going back to the list, with keys only.
    void mainWindowWorksFromTheKeyboard()
    {
        ui::HotKeyScript::setTestMode(false); // the window's own shortcuts, as offscreen has them
        test::SessionHome home;
        QVERIFY(home.createStore(
            QString(), {test::Person(QStringLiteral("张三")), test::Person(QStringLiteral("李四"))}));
        QVERIFY(home.session.store.open(home.session.dir.storeFile()));
        std::unique_ptr<MainWindow> window(MainWindow::load(home.session));
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->超级列表框->setFocus();
        QVERIFY(window->isListView());

        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(window->姓名编辑框->text(), QStringLiteral("李四"));
        press(Qt::Key_Return, Qt::ShiftModifier); // open
        QVERIFY(!window->isListView());
        press(Qt::Key_Left, Qt::AltModifier); // previous record
        QCOMPARE(window->姓名编辑框->text(), QStringLiteral("张三"));

        press(Qt::Key_F2); // add
        QVERIFY(!window->姓名编辑框->isReadOnly());
        window->姓名编辑框->setFocus(Qt::TabFocusReason);
        typeText(QStringLiteral("王五"));
        press(Qt::Key_Return); // Enter walks to the next box
        QCOMPARE(QApplication::focusWidget(), window->电话编辑框);
        press(Qt::Key_Return, Qt::ControlModifier); // confirm
        QCOMPARE(ui::MessageBoxScript::last().text, QStringLiteral("添加联系人成功！"));
        QCOMPARE(home.session.store.recordCount(), 3);
        press(Qt::Key_Return, Qt::MetaModifier); // back to the list
        QVERIFY(window->isListView());
        ui::HotKeyScript::setTestMode(true);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
