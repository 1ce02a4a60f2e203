// The maintenance functions end to end on a real X server, with the real
// executable, real message boxes and the real save dialog, driven by mouse
// and keyboard: a password set in 设置 › 密码设置 is asked at the next start,
// 设置 › 导出数据 backs the store up to wab.bak (which opens with that
// password), and clearing empties the list on the screen.

#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/X11Tools.h"

#include "contacts/store/ContactStore.h"

#include <QFile>
#include <QTest>

namespace test = quennet::test;

using quennet::ContactStore;

namespace {

const QString kTitle = QStringLiteral("温馨提示");

// Positions inside the main window (its client area starts at the top left).
const QPoint kSettingsButton(152 + 25, 171 + 11);
const QPoint kCloseButton(185 + 9, 2 + 9);
const QRect kList(5, 58, 200, 109);
// 确定按钮 of the password and data management windows.
const QPoint kConfirm(55 + 50, 170 + 12);

bool isGone(const QString &id)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QString ids = x11test::runTool(QStringLiteral("xdotool"),
                                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--name"), QStringLiteral(".")});
        if (!ids.split(QLatin1Char('\n')).contains(id))
            return true;
        QTest::qWait(100);
    }
    return false;
}

// Waits for a message box with the title and takes a screenshot of it. Then
// either clicks the button that far from its bottom right corner, or gives
// it the keyboard with a click on its text and presses the keys.
bool answerMessage(const QString &title, const QStringList &keyNames, const QString &shotName,
                   const QPoint &button = QPoint())
{
    const QString id = x11test::findWindow(title);
    if (id.isEmpty())
        return false;
    QTest::qWait(400);
    x11test::screenshot(shotName);
    const QRect box = x11test::windowGeometry(id);
    if (!button.isNull()) {
        x11test::click(box.bottomRight() - button);
    } else {
        x11test::click(box.topLeft() + QPoint(box.width() / 2, 16));
        x11test::keys(keyNames);
    }
    return isGone(id);
}

// Opens the 设置 menu with its button and picks the item that many rows down.
bool chooseSettingsItem(test::QuennetRun &run, const QPoint &mainWindow, int downs)
{
    x11test::click(mainWindow + kSettingsButton);
    if (!run.waitFor(QStringLiteral("window: 设置")))
        return false;
    QTest::qWait(300);
    // The mouse leaves the menu so that only the keys choose.
    x11test::runTool(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QStringLiteral("1000"), QStringLiteral("760")});
    QStringList keyNames;
    for (int i = 0; i < downs; ++i)
        keyNames << QStringLiteral("Down");
    x11test::keys(keyNames << QStringLiteral("Return"));
    return true;
}

QPoint mainWindowOrigin(test::QuennetRun &run)
{
    if (!run.waitFor(QStringLiteral("window: 主窗口")))
        return QPoint(-1, -1);
    const QString id = x11test::findWindow(QStringLiteral("通讯录"));
    QTest::qWait(500);
    return id.isEmpty() ? QPoint(-1, -1) : x11test::windowPosition(id);
}

bool closeProgram(test::QuennetRun &run, const QPoint &mainWindow)
{
    x11test::click(mainWindow + kCloseButton);
    return run.endsCleanly();
}

// The X window with that title once it is up and painted (empty: none).
QString settledWindow(const QString &title)
{
    const QString id = x11test::findWindow(title);
    QTest::qWait(400);
    return id;
}

} // namespace

class TestX11Maintenance : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const char *missing = x11test::missingForDriving())
            QSKIP(missing);
    }

    void passwordBackupAndClearing()
    {
        test::ProgramDirectory home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(6)));
        const QString password = QStringLiteral("Xy7");

        // 设置 › 密码设置: the store has no password, so the new one and its
        // repetition are all the window needs.
        test::QuennetRun run(home.path(), QStringLiteral("xcb"), QStringLiteral("report"));
        QPoint main = mainWindowOrigin(run);
        QVERIFY2(main.x() >= 0, run.log.constData());
        QVERIFY(chooseSettingsItem(run, main, 3));
        QVERIFY2(run.waitFor(QStringLiteral("window: 密码设置窗口")), run.log.constData());
        const QString passwordWindow = settledWindow(QStringLiteral("设置密码"));
        QVERIFY(!passwordWindow.isEmpty());
        const QPoint origin = x11test::windowPosition(passwordWindow);
        x11test::click(origin + QPoint(100, 112 + 9));
        x11test::type(password);
        x11test::click(origin + QPoint(100, 147 + 9));
        x11test::type(password);
        x11test::screenshot(QStringLiteral("password-window"));
        x11test::click(origin + kConfirm);
        QVERIFY(answerMessage(kTitle, {QStringLiteral("Return")}, QStringLiteral("password-changed")));
        QVERIFY(isGone(passwordWindow));
        QVERIFY(ContactStore::hasPassword(home.storeFile()));
        QVERIFY(closeProgram(run, main));

        // The next start asks for it.
        run.restart();
        QVERIFY2(run.waitFor(QStringLiteral("window: 登录窗口")), run.log.constData());
        const QString login = settledWindow(QStringLiteral("登录窗口"));
        QVERIFY(!login.isEmpty());
        x11test::click(x11test::windowPosition(login) + QPoint(100, 110));
        x11test::type(password);
        x11test::keys({QStringLiteral("Return")});
        main = mainWindowOrigin(run);
        QVERIFY2(main.x() >= 0, run.log.constData());

        // 设置 › 导出数据 › backup to the offered wab.bak.
        const QString backup = home.file(QStringLiteral("wab.bak"));
        QVERIFY(chooseSettingsItem(run, main, 4));
        QVERIFY2(run.waitFor(QStringLiteral("window: 数据管理窗口")), run.log.constData());
        QString dataWindow = settledWindow(QStringLiteral("设置密码"));
        QVERIFY(!dataWindow.isEmpty());
        QPoint data = x11test::windowPosition(dataWindow);
        x11test::click(data + QPoint(20, 124 + 10)); // 单选框4
        x11test::screenshot(QStringLiteral("data-window"));
        x11test::click(data + kConfirm);
        const QString dialog = x11test::findWindow(QStringLiteral("另存为"));
        QVERIFY(!dialog.isEmpty());
        QTest::qWait(600);
        x11test::screenshot(QStringLiteral("backup-dialog"));
        x11test::keys({QStringLiteral("Return")}); // the offered name
        QVERIFY(answerMessage(QStringLiteral("温馨提示！"), {QStringLiteral("Return")},
                              QStringLiteral("backup-done")));
        QVERIFY(isGone(dataWindow));
        QVERIFY(QFile::exists(backup));
        QProcess wab;
        wab.start(test::quennetBinary().replace(QStringLiteral("/quennet"), QStringLiteral("/wab")),
                  {QStringLiteral("check"), QStringLiteral("--password-stdin"), backup});
        QVERIFY(wab.waitForStarted());
        wab.write(password.toUtf8() + '\n');
        wab.closeWriteChannel();
        QVERIFY(wab.waitForFinished(20000));
        QCOMPARE(wab.exitCode(), 0);
        ContactStore restored;
        QVERIFY(restored.open(backup, password));
        QCOMPARE(restored.recordCount(), 6);
        restored.close();

        // Clearing: Yes at the first question, OK at the second.
        const QImage before = x11test::screenshot(QStringLiteral("before-clearing"));
        QVERIFY(chooseSettingsItem(run, main, 4));
        dataWindow = settledWindow(QStringLiteral("设置密码"));
        QVERIFY(!dataWindow.isEmpty());
        data = x11test::windowPosition(dataWindow);
        x11test::click(data + QPoint(20, 146 + 10)); // 单选框5
        x11test::click(data + kConfirm);
        QVERIFY(answerMessage(kTitle, {QStringLiteral("y")}, QStringLiteral("clear-first")));
        // OK is the left one of the two buttons at the bottom right.
        QVERIFY(answerMessage(kTitle, {}, QStringLiteral("clear-second"), QPoint(116, 23)));
        QVERIFY(answerMessage(kTitle, {QStringLiteral("Return")}, QStringLiteral("clear-done")));
        QVERIFY(isGone(dataWindow));
        QTest::qWait(500);
        const QImage after = x11test::screenshot(QStringLiteral("after-clearing"));
        const QRect list = kList.translated(main);
        QVERIFY2(x11test::differingPixels(before, after, list) > list.width() * list.height() / 20,
                 "the list still shows the contacts");
        ContactStore cleared;
        QVERIFY(cleared.open(home.storeFile(), password));
        QCOMPARE(cleared.recordCount(), 0);
        cleared.close();
        QVERIFY(closeProgram(run, main));
    }
};

QTEST_MAIN(TestX11Maintenance)
#include "tst_x11_maintenance.moc"
