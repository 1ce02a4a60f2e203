// The hot keys and the tray icon on a real X server: root-window grabs that
// another client may hold, and the real program driven with xdotool beside a
// tray host (trayer) while another X client has the focus.

#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/X11Tools.h"

#include "ui/HotKeys.h"

#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace test = quennet::test;

using x11test::click;
using x11test::findWindow;
using x11test::windowGeometry;
using x11test::xdotool;

namespace {

constexpr char kTrayHost[] = "trayer";

void pressKeys(const QStringList &keys)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys);
}

// Presses key until seen() says it arrived: a grab taken after a change of
// the keyboard mapping is in place only once the program has read the change.
bool pressUntil(const QString &key, const std::function<bool()> &seen)
{
    for (int attempt = 0; attempt < 50 && !seen(); ++attempt) {
        pressKeys({key});
        QTest::qWait(100);
    }
    return seen();
}

// The keyboard mapping as xmodmap prints it: the keysyms of each key code.
QMap<int, QString> keymap()
{
    QMap<int, QString> keys;
    const QString table = x11test::runTool(QStringLiteral("xmodmap"), {QStringLiteral("-pke")});
    for (const QString &line : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        keys.insert(line.section(QLatin1Char('='), 0, 0).simplified().section(QLatin1Char(' '), 1).toInt(),
                    line.section(QLatin1Char('='), 1).simplified());
    return keys;
}

void remap(const QMap<int, QString> &keys)
{
    QStringList expressions;
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        expressions << QStringLiteral("-e")
                    << QStringLiteral("keycode %1 = %2").arg(it.key()).arg(it.value());
    x11test::runTool(QStringLiteral("xmodmap"), expressions);
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

// Another X client: its own connection, which can hold a key.
struct OtherClient {
    OtherClient() : connection(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(connection); }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root; }
    // True when the key code is free: nobody else grabs it without modifiers.
    bool canGrab(xcb_keycode_t code) const
    {
        xcb_generic_error_t *error =
            xcb_request_check(connection, xcb_grab_key_checked(connection, 0, root(), 0, code,
                                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        xcb_ungrab_key(connection, code, root(), 0);
        xcb_flush(connection);
        return !error;
    }
    bool holdsTray() const
    {
        xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom(connection, "_NET_SYSTEM_TRAY_S0")),
            nullptr);
        const bool owned = reply && reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }
    xcb_connection_t *connection;
};

// trayer as the notification area; waits until it owns the tray selection.
std::unique_ptr<QProcess> startTrayHost()
{
    auto host = std::make_unique<QProcess>();
    host->start(QLatin1String(kTrayHost),
                {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                 QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                 QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                 QStringLiteral("28")});
    OtherClient probe;
    for (int i = 0; i < 100 && !probe.holdsTray(); ++i)
        QTest::qWait(100);
    return host;
}

void stopTrayHost(std::unique_ptr<QProcess> &host)
{
    host->terminate();
    host->waitForFinished(5000);
    host.reset();
}

// The visible windows of the program that are as small as a tray icon.
QString trayIconWindow(int attempts = 50)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--classname"), QStringLiteral("quennet")});
        for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRect geometry = windowGeometry(id);
            if (geometry.width() > 0 && geometry.width() <= 64 && geometry.height() <= 64)
                return id;
        }
        QTest::qWait(100);
    }
    return QString();
}

// The program's popup menu while the main window is in the tray: its one
// visible window besides the icon.
QString popupMenuWindow(const QString &icon)
{
    for (int attempt = 0; attempt < 30; ++attempt) {
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--classname"), QStringLiteral("quennet")});
        for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (id != icon)
                return id;
        QTest::qWait(100);
    }
    return QString();
}

bool trayIconGone()
{
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (trayIconWindow(1).isEmpty())
            return true;
        QTest::qWait(100);
    }
    return false;
}

// The number of message lines reported so far that equal text.
int messagesSeen(const QByteArray &log, const QString &text)
{
    int count = 0;
    for (const QString &line : test::reportedLines(log, QStringLiteral("message: ")))
        count += line.section(QLatin1Char('|'), 2) == text ? 1 : 0;
    return count;
}

int windowsShown(const QByteArray &log, const QString &name)
{
    return test::reportedLines(log, QStringLiteral("window: ")).count(name);
}

// Reads the program's reports until seen(log) says so (true) or 10 s passed.
bool waitUntil(test::QuennetRun &run, const std::function<bool(const QByteArray &)> &seen)
{
    for (int i = 0; i < 100; ++i) {
        run.log += run.process->readAllStandardError();
        if (seen(run.log))
            return true;
        run.process->waitForReadyRead(100);
    }
    return false;
}

bool waitForMessage(test::QuennetRun &run, const QString &text, int count)
{
    return waitUntil(run, [&](const QByteArray &l) { return messagesSeen(l, text) >= count; });
}

bool waitForWindowShown(test::QuennetRun &run, const QString &name, int count)
{
    return waitUntil(run, [&](const QByteArray &l) { return windowsShown(l, name) >= count; });
}

} // namespace

class TestX11Tray : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the xcb platform on a real X server");
        for (const char *tool : {"xdotool", kTrayHost})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP("needs xdotool and trayer");
    }

    // The real grabs: a key another client holds is skipped and the next one
    // takes its identifier; the others arrive whatever the lock keys say.
    void rootGrabs()
    {
        OtherClient other;
        const xcb_keycode_t f3 = 69; // F3 in the server's default keymap
        QVERIFY(!xcb_request_check(other.connection,
                                   xcb_grab_key_checked(other.connection, 0, other.root(), 0, f3,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        QWidget owner;
        QList<int> pressed;
        const QList<QKeyCombination> keys{QKeyCombination(Qt::Key_F2), QKeyCombination(Qt::Key_F3),
                                          QKeyCombination(Qt::AltModifier, Qt::Key_Right)};
        QList<int> ids;
        for (int i = 0; i < keys.size(); ++i)
            ids << quennet::ui::registerHotKey(&owner, keys.at(i), [&pressed, i] { pressed << i; });
        QCOMPARE(ids, QList<int>({1, 0, 2}));

        pressKeys({QStringLiteral("F2"), QStringLiteral("F3"), QStringLiteral("alt+Right")});
        QTRY_COMPARE(pressed, QList<int>({0, 2}));
        pressKeys({QStringLiteral("Num_Lock"), QStringLiteral("F2"), QStringLiteral("Num_Lock"),
                   QStringLiteral("Caps_Lock"), QStringLiteral("alt+Right"), QStringLiteral("Caps_Lock")});
        QTRY_COMPARE(pressed, QList<int>({0, 2, 0, 2}));
    }

    // A new keyboard mapping puts F9 on another key code: the grab moves with
    // it, the old key code is given back, and the old mapping brings it back.
    void grabsFollowTheKeyboardMapping()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xmodmap")).isEmpty())
            QSKIP("needs xmodmap; scripts/setup-deps.sh installs it");
        const QMap<int, QString> before = keymap();
        int f9 = 0;
        int spare = 0;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!f9 && it.value().section(QLatin1Char(' '), 0, 0) == QLatin1String("F9"))
                f9 = it.key();
            if (!spare && it.key() >= 90 && it.value().isEmpty())
                spare = it.key();
        }
        QVERIFY(f9 != 0 && spare != 0);
        auto restore = qScopeGuard([&] { remap({{f9, before.value(f9)}, {spare, QString()}}); });

        QWidget owner;
        int pressed = 0;
        QVERIFY(quennet::ui::registerHotKey(&owner, QKeyCombination(Qt::Key_F9), [&pressed] { ++pressed; }) >
                0);
        remap({{f9, QStringLiteral("NoSymbol")}, {spare, QStringLiteral("F9")}});
        QVERIFY(pressUntil(QStringLiteral("F9"), [&pressed] { return pressed > 0; }));
        OtherClient other;
        QVERIFY(other.canGrab(xcb_keycode_t(f9)));
        QVERIFY(!other.canGrab(xcb_keycode_t(spare)));

        restore.dismiss();
        remap({{f9, before.value(f9)}, {spare, QString()}});
        const int seen = pressed;
        QVERIFY(pressUntil(QStringLiteral("F9"), [&] { return pressed > seen; }));
        QVERIFY(!other.canGrab(xcb_keycode_t(f9)));
    }

    // The program beside a tray host, with the focus on another client.
    void hotKeysAndTrayEndToEnd()
    {
        auto host = startTrayHost();
        test::ProgramDirectory home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(5)));
        test::QuennetRun run(home.path(), QStringLiteral("xcb"));
        QVERIFY2(run.waitFor(QStringLiteral("window: 主窗口")), run.log.constData());
        const QString mainId = findWindow(QStringLiteral("通讯录"));
        QVERIFY(!mainId.isEmpty());
        const QPoint origin = windowGeometry(mainId).topLeft();

        QWidget elsewhere;
        elsewhere.setWindowTitle(QStringLiteral("另一个程序"));
        elsewhere.setGeometry(300, 300, 200, 100);
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
        const QString elsewhereId = findWindow(QStringLiteral("另一个程序"));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), elsewhereId});
        QCOMPARE(xdotool({QStringLiteral("getwindowfocus")}), elsewhereId);

        // After the start the cursor stands after the last record.
        pressKeys({QStringLiteral("alt+Right")});
        QVERIFY2(waitForMessage(run, QStringLiteral("这已经是最后一条记录了！"), 1), run.log.constData());
        // F2 puts the window into adding; a second F2 says so.
        const QString adding = QStringLiteral(
            "您正处于添加联系人状态……\\r\\n请先按确定键（C）确认！\\r\\n或按关闭键取消当前添加！");
        pressKeys({QStringLiteral("F2"), QStringLiteral("F2")});
        QVERIFY2(waitForMessage(run, adding, 1), run.log.constData());
        pressKeys({QStringLiteral("F9")});
        QVERIFY2(waitForWindowShown(run, QStringLiteral("密码设置窗口"), 1), run.log.constData());

        // Into the tray.
        click(origin + QPoint(165 + 9, 2 + 9));
        const QString icon = trayIconWindow();
        QVERIFY2(!icon.isEmpty(), run.log.constData());
        QVERIFY(findWindow(QStringLiteral("通讯录"), 5).isEmpty());
        x11test::screenshot(QStringLiteral("tray-icon"));
        const QPoint iconCentre = windowGeometry(icon).center();
        click(iconCentre, 1, 3);
        QVERIFY2(waitForWindowShown(run, QStringLiteral("设置"), 1), run.log.constData());
        QTest::qWait(300);
        x11test::screenshot(QStringLiteral("tray-menu"));
        pressKeys({QStringLiteral("Escape")});
        QTest::qWait(300);

        // Hot keys reach the hidden window.
        pressKeys({QStringLiteral("F2")});
        QVERIFY2(waitForMessage(run, adding, 2), run.log.constData());

        // A new tray host gets the icon back.
        stopTrayHost(host);
        host = startTrayHost();
        QVERIFY2(!trayIconWindow().isEmpty(), "the icon did not come back to the new tray host");

        click(windowGeometry(trayIconWindow()).center(), 2);
        QVERIFY2(waitForWindowShown(run, QStringLiteral("主窗口"), 2), run.log.constData());
        QVERIFY(!findWindow(QStringLiteral("通讯录")).isEmpty());
        QVERIFY(trayIconGone());
        pressKeys({QStringLiteral("F2")});
        QVERIFY2(waitForMessage(run, adding, 3), run.log.constData());

        // Without a tray host 最小化 leaves the window reachable.
        stopTrayHost(host);
        QTest::qWait(300);
        click(origin + QPoint(165 + 9, 2 + 9));
        QTest::qWait(500);
        QVERIFY(trayIconGone());
        QVERIFY(!findWindow(QStringLiteral("通讯录"), 5).isEmpty());

        click(origin + QPoint(185 + 9, 2 + 9)); // 关闭
        QVERIFY(run.process->waitForFinished(10000));
        QCOMPARE(run.process->exitCode(), 0);
    }

    // 退出 in the tray's menu ends the program, and the icon goes with it.
    void exitFromTheTray()
    {
        auto host = startTrayHost();
        test::ProgramDirectory home;
        QVERIFY(home.createStore(QString(), test::numberedContacts(8)));
        test::QuennetRun run(home.path(), QStringLiteral("xcb"));
        QVERIFY2(run.waitFor(QStringLiteral("window: 主窗口")), run.log.constData());
        const QPoint origin = windowGeometry(findWindow(QStringLiteral("通讯录"))).topLeft();
        click(origin + QPoint(165 + 9, 2 + 9));
        const QString icon = trayIconWindow();
        QVERIFY(!icon.isEmpty());
        // The menu reads keys through the window that has the input focus,
        // and with the main window in the tray that may be none of ours. On
        // a loaded server the first click may not open it at all.
        for (int attempt = 0; attempt < 3 && run.process->state() != QProcess::NotRunning; ++attempt) {
            click(windowGeometry(icon).center(), 1, 3);
            const QString menu = popupMenuWindow(icon);
            if (menu.isEmpty())
                continue;
            xdotool({QStringLiteral("windowfocus"), menu});
            QTest::qWait(300);
            // From the end: 立即同步, 同步设置…, then 退出.
            pressKeys(
                {QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Return")});
            run.process->waitForFinished(5000);
        }
        QVERIFY2(run.process->state() == QProcess::NotRunning, run.log.constData());
        QCOMPARE(run.process->exitCode(), 0);
        stopTrayHost(host);
    }
};

QTEST_MAIN(TestX11Tray)
#include "tst_x11_tray.moc"
