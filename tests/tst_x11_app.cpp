// The real executable on a real X server: windows found and clicked like a
// user would, shapes of the skinned windows, screenshots for a look.

#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/X11Tools.h"

#include <QImage>
#include <QProcess>
#include <QTest>

#include <functional>

namespace test = quennet::test;

namespace {

using x11test::click;
using x11test::countPixels;
using x11test::differingPixels;
using x11test::findWindow;
using x11test::screenshot;
using x11test::windowPosition;

bool isMagentaLike(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) > 200;
}

// Each run of the program reports its windows; this waits for one and
// returns where it lies on the screen.
QRect waitForWindow(test::QuennetRun &run, const QString &name, const QString &title, const QSize &size)
{
    if (!run.waitFor(QStringLiteral("window: ") + name))
        return QRect();
    const QString id = findWindow(title);
    if (id.isEmpty())
        return QRect();
    QTest::qWait(500); // let it paint
    return QRect(windowPosition(id), size);
}

// The window is shaped: its corners show what lies below (the black root of
// the test server), its inside shows the skin, and no magenta is left.
void verifyShaped(const QImage &shot, const QRect &window)
{
    QVERIFY(!shot.isNull());
    QCOMPARE(countPixels(shot, window, isMagentaLike), 0);
    QCOMPARE(shot.pixel(window.topLeft()), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(window.bottomRight()), qRgb(0, 0, 0));
    QVERIFY(countPixels(shot, window, [](QRgb c) { return c != qRgb(0, 0, 0); }) >
            window.width() * window.height() / 2);
}

} // namespace

class TestX11App : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const char *missing = x11test::missingForDriving())
            QSKIP(missing);
    }

    // The start window is shaped; a user closes it with its close button and
    // the process ends with exit code 0.
    void loginWindowLooksAndClosesWithTheMouse()
    {
        test::ProgramDirectory home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        test::QuennetRun run(home.path(), QStringLiteral("xcb"));
        const QRect window =
            waitForWindow(run, QStringLiteral("登录窗口"), QStringLiteral("登录窗口"), QSize(210, 205));
        QVERIFY2(window.isValid() && window.x() >= 0, run.log.constData());
        verifyShaped(screenshot(QStringLiteral("login")), window);
        click(window.topLeft() + QPoint(185 + 9, 2 + 9));
        QVERIFY(run.endsCleanly());
    }

    // List view, a click on a row opens record view, the about window from
    // the 设置 menu, and 关闭 ends the program with code 0.
    void mainWindowLooks()
    {
        test::ProgramDirectory home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(9)));
        // Real modal windows: the about window must stay open to be seen.
        test::QuennetRun run(home.path(), QStringLiteral("xcb"), QStringLiteral("report"));
        const QRect window =
            waitForWindow(run, QStringLiteral("主窗口"), QStringLiteral("通讯录"), QSize(210, 367));
        QVERIFY2(window.isValid(), run.log.constData());
        const QImage listView = screenshot(QStringLiteral("main-list"));
        verifyShaped(listView, window);

        const QRect list(window.topLeft() + QPoint(5, 58), QSize(200, 109));
        click(list.topLeft() + QPoint(50, 22 + 18 + 9)); // the second row, below the header
        QTest::qWait(500);
        const QImage recordView = screenshot(QStringLiteral("main-record"));
        verifyShaped(recordView, window);
        const int changed = differingPixels(listView, recordView, list);
        QVERIFY2(changed > list.width() * list.height() / 4, "the list did not give way to the record form");

        click(window.topLeft() + QPoint(152 + 25, 171 + 11)); // 设置按钮
        QVERIFY2(run.waitFor(QStringLiteral("window: 设置")), run.log.constData());
        QTest::qWait(300);
        // The menu opens at the mouse; its first item, 关于, lies right below.
        click(window.topLeft() + QPoint(152 + 25 + 30, 171 + 11 + 10));
        QVERIFY2(run.waitFor(QStringLiteral("window: 关于窗口")), run.log.constData());
        QTest::qWait(500);
        const QImage about = screenshot(QStringLiteral("about"));
        auto isAboutBlue = [](QRgb c) { return c == qRgb(0x3A, 0x6E, 0xA5); };
        QRect aboutArea;
        for (int y = 0; y < about.height(); ++y)
            for (int x = 0; x < about.width(); ++x)
                if (isAboutBlue(about.pixel(x, y)))
                    aboutArea |= QRect(x, y, 1, 1);
        QCOMPARE(aboutArea.size(), QSize(440, 400));
        QVERIFY(countPixels(about, aboutArea, isAboutBlue) > 440 * 400 / 2);

        // A double click on the strip closes it at once.
        click(aboutArea.topLeft() + QPoint(80 + 150, 373 + 8), 2);
        QTest::qWait(500);
        const QImage afterAbout = screenshot(QStringLiteral("after-about"));
        QVERIFY(countPixels(afterAbout, aboutArea, isAboutBlue) < 440 * 400 / 10);
        QCOMPARE(run.process->state(), QProcess::Running);

        click(window.topLeft() + QPoint(185 + 9, 2 + 9)); // 关闭
        QVERIFY(run.endsCleanly());
    }
};

QTEST_MAIN(TestX11App)
#include "tst_x11_app.moc"
