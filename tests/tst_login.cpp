// The start window driven through its controls: the store without and with
// a password, wrong passwords, the password box, the window buttons; and the
// single-instance rule between real processes.

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "support/Messages.h"
#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/StoreFiles.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace quennet;

namespace {

const QString kWrong = QStringLiteral("密码错误！请重新输入密码！");
const QString kStillWrong = QStringLiteral("密码还是错误！请勿非法登录！");
const QString kLoginFailed = QStringLiteral("登录失败！请检查数据库是否存在！");

QList<QWidget *> visibleTopLevels()
{
    QList<QWidget *> shown;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->inherits("QMenu"))
            shown << w;
    return shown;
}

bool loginWindowExists()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](QWidget *w) { return qobject_cast<LoginWindow *>(w); });
}

MainWindow *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *main = qobject_cast<MainWindow *>(w))
            return main;
    return nullptr;
}

// Runs the event loop until the program would end (no window left): the
// exit code, or -1 when it did not end in time.
int runUntilProgramEnds(const std::function<void()> &drive)
{
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, qApp, drive);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
    watchdog.start(20000);
    const int code = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    return code;
}

void tryPassword(LoginWindow *window, const QString &password)
{
    window->密码编辑框->setText(password);
    window->确定按钮->click();
}

} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::initWindowTests(); }

    void init() { ui::clearTestScripts(); }

    void cleanup()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!w->parentWidget())
                windows << w;
        for (const QPointer<QWidget> &w : windows)
            delete w.data();
    }

    void storeWithoutPasswordOpensMainWindowAtOnce()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(3)));
        QCOMPARE(LoginWindow::load(home.session), nullptr);
        QVERIFY(home.session.store.isOpen());
        QCOMPARE(home.session.store.recordCount(), 3);
        QVERIFY(!home.session.loginCredential.holdsKey());
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        const QList<QWidget *> shown = visibleTopLevels();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first()->objectName(), QStringLiteral("主窗口"));
        // The start window was never shown and is gone.
        QTRY_VERIFY(!loginWindowExists());
    }

    void missingStoreIsReportedAndTheWindowStays()
    {
        test::SessionHome home;
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(test::shownMessages(), QStringList{test::tip(kLoginFailed, 0x30)});
        QVERIFY(!home.session.store.isOpen());
        QVERIFY(!mainWindow());

        // The box still works: a store that now exists opens with the empty
        // password, which is tried like any other text.
        QVERIFY(home.createStore());
        tryPassword(window, QString());
        QVERIFY(home.session.store.isOpen());
        QVERIFY(mainWindow());
        QTRY_VERIFY(window.isNull());
    }

    void unreadableStoreIsReported()
    {
        test::SessionHome home;
        QVERIFY(test::writeAll(home.storeFile(), QByteArray(4096, 'x')));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(window);
        QCOMPARE(test::lastMessage(), test::tip(kLoginFailed, 0x30));
        QVERIFY(!home.session.store.isOpen());
        QCOMPARE(visibleTopLevels(), QList<QWidget *>{window.data()});
    }

    void storeWithPasswordWaitsForIt()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        home.session.failedLoginCount = 5;
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(home.session.failedLoginCount, 0);
        QVERIFY(!home.session.store.isOpen());
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        QVERIFY(!mainWindow());
    }

    void rightPasswordOpensMainWindow()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("密码 1"), test::numberedContacts(2)));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(QTest::qWaitForWindowActive(window.data()));
        window->密码编辑框->setFocus();
        window->密码编辑框->setText(QStringLiteral("密码"));
        QTest::keyClicks(window->密码编辑框, QStringLiteral(" 1"));
        QTest::mouseClick(window->确定按钮, Qt::LeftButton);
        QVERIFY(home.session.store.isOpen());
        QVERIFY(home.session.loginCredential.matches(QStringLiteral("密码 1")));
        if (window) // its deletion is pending; the typed text is gone already
            QCOMPARE(window->密码编辑框->text(), QString());
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
        MainWindow *main = mainWindow();
        QVERIFY(main);
        QVERIFY(main->isVisible());
        QTRY_VERIFY(window.isNull());
        QCOMPARE(visibleTopLevels(), QList<QWidget *>{main});
    }

    // Every press sets the login credential from the box (a wrong password
    // leaves none); a failure keeps the typed text in the box.
    void wrongPasswordsWarnTwice()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        tryPassword(window, QStringLiteral("Secret"));
        QVERIFY(!home.session.loginCredential.holdsKey());
        QCOMPARE(home.session.failedLoginCount, 1);
        QCOMPARE(window->密码编辑框->text(), QStringLiteral("Secret"));
        tryPassword(window, QStringLiteral("secret "));
        QVERIFY(!home.session.loginCredential.holdsKey());
        QCOMPARE(home.session.failedLoginCount, 2);
        QCOMPARE(test::shownMessages(), QStringList(2, test::tip(kWrong, 0x10)));
        QVERIFY(window->isVisible());
        QVERIFY(!home.session.store.isOpen());

        tryPassword(window, QStringLiteral("secret"));
        QVERIFY(home.session.store.isOpen());
        QVERIFY(home.session.loginCredential.matches(QStringLiteral("secret")));
        QCOMPARE(ui::MessageBoxScript::shown().size(), 2);
        QVERIFY(mainWindow());
    }

    void emptyPasswordIsTriedLikeAnyOther()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        home.session.loginCredential =
            ContactStore::credentialFor(home.storeFile(), QStringLiteral("secret")).credential;
        QVERIFY(home.session.loginCredential.holdsKey());
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        window->确定按钮->click();
        QVERIFY(!home.session.loginCredential.holdsKey());
        QCOMPARE(home.session.failedLoginCount, 1);
        QCOMPARE(test::lastMessage(), test::tip(kWrong, 0x10));
    }

    // The third wrong password ends the program: the start window is
    // destroyed, no window is left and the event loop ends with code 0.
    void thirdWrongPasswordEndsProgram()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(window);
        const int code = runUntilProgramEnds([window] {
            for (const char *attempt : {"a", "b", "c"})
                if (window)
                    tryPassword(window, QString::fromLatin1(attempt));
        });
        QCOMPARE(code, 0);
        QVERIFY(window.isNull());
        QVERIFY(visibleTopLevels().isEmpty());
        QVERIFY(!home.session.store.isOpen());
        QCOMPARE(home.session.failedLoginCount, 3);
        QCOMPARE(test::shownMessages(), (QStringList{test::tip(kWrong, 0x10), test::tip(kWrong, 0x10),
                                                     test::tip(kStillWrong, 0x30)}));
    }

    void passwordBoxEmptiesOnClickAndFocus()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(QTest::qWaitForWindowActive(window.data()));
        QLineEdit *box = window->密码编辑框;

        // A left click into the box, even while it has the focus.
        box->setFocus();
        box->setText(QStringLiteral("typed"));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        // Typing after the click stays.
        QTest::keyClicks(box, QStringLiteral("abc"));
        QCOMPARE(box->text(), QStringLiteral("abc"));
        // A right click does not count.
        QTest::mousePress(box, Qt::RightButton);
        QTest::mouseRelease(box, Qt::RightButton);
        QApplication::processEvents();
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
        QCOMPARE(box->text(), QStringLiteral("abc"));

        // Tabbing to it from the button.
        window->确定按钮->setFocus();
        QTest::keyClick(window->确定按钮, Qt::Key_Tab);
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->text(), QString());

        // After a failed attempt the text stays until the box gets the focus.
        tryPassword(window, QStringLiteral("wrong"));
        QCOMPARE(box->text(), QStringLiteral("wrong"));
        window->确定按钮->setFocus();
        box->setFocus(Qt::MouseFocusReason);
        QCOMPARE(box->text(), QString());
    }

    void tabOrderPasswordThenButton()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(QTest::qWaitForWindowActive(window.data()));
        QTRY_VERIFY(window->密码编辑框->hasFocus());
        QTest::keyClick(window->密码编辑框, Qt::Key_Tab);
        QTRY_VERIFY(window->确定按钮->hasFocus());
        QVERIFY(!window->最小化->hasFocus() && !window->关闭按钮->hasFocus());
    }

    void minimiseButtonMinimises()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        QVERIFY(QTest::qWaitForWindowExposed(window.data()));
        window->最小化->click();
        QTRY_VERIFY(window->windowState().testFlag(Qt::WindowMinimized));
        QVERIFY(window);
    }

    // Closing the start window before logging in leaves no window: the
    // event loop ends with the normal exit code.
    void closeButtonDestroysTheWindow()
    {
        test::SessionHome home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        QPointer<LoginWindow> window = LoginWindow::load(home.session);
        const int code = runUntilProgramEnds([window] { window->关闭按钮->click(); });
        QCOMPARE(code, 0);
        QVERIFY(window.isNull());
        QVERIFY(!mainWindow());
        QVERIFY(!home.session.store.isOpen());
        QVERIFY(ui::MessageBoxScript::shown().isEmpty());
    }

    void secondInstanceIsRefused_data()
    {
        QTest::addColumn<QString>("storePassword");
        QTest::addColumn<QString>("window");
        QTest::newRow("at the start window")
            << QStringLiteral("secret") << QStringLiteral("window: 登录窗口");
        // A store without password does not let it through either.
        QTest::newRow("past the login") << QStringLiteral("") << QStringLiteral("window: 主窗口");
    }

    // A second copy started while the first runs says so and ends with code
    // 0 without showing a window; a killed first copy blocks nothing.
    void secondInstanceIsRefused()
    {
        QFETCH(QString, storePassword);
        QFETCH(QString, window);
        test::ProgramDirectory home;
        QVERIFY(home.createStore(storePassword));
        test::QuennetRun first(home.path());
        QVERIFY2(first.waitFor(window), first.log.constData());

        auto second = test::startQuennet(home.path(), first.runtimeDir());
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        const QByteArray secondLog = second->readAllStandardError();
        QCOMPARE(test::reportedLines(secondLog, QStringLiteral("message: ")),
                 QStringList{QStringLiteral("提示|64|应用程序已经运行！")});
        QVERIFY2(test::reportedLines(secondLog, QStringLiteral("window: ")).isEmpty(), secondLog.constData());
        QCOMPARE(first.process->state(), QProcess::Running);

        ::kill(pid_t(first.process->processId()), SIGKILL);
        QVERIFY(first.process->waitForFinished(10000));
        first.restart();
        QVERIFY2(first.waitFor(window), first.log.constData());
        QVERIFY(test::reportedLines(first.log, QStringLiteral("message: ")).isEmpty());
        QVERIFY(first.stop());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
