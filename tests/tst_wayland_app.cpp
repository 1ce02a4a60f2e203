// The real executable on a Wayland compositor (Weston, headless): it runs on
// Qt's wayland platform, its skinned windows keep their shape there, and a
// user logs in and adds a contact with the in-window hot keys. Nothing can
// press keys from outside on Wayland, so the program is driven through its
// standard input (QUENNET_TEST_DRIVE, testing copy only).
#include "contacts/store/ContactStore.h"
#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/X11Tools.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace test = quennet::test;

namespace {

bool isMagentaLike(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) > 200;
}

// A headless Weston on a socket of its own, with its screenshot tool allowed.
class Weston {
public:
    Weston()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("weston"),
                        {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                         QStringLiteral("--socket=quennet-test"), QStringLiteral("--idle-time=0"),
                         QStringLiteral("--debug"), QStringLiteral("--width=640"),
                         QStringLiteral("--height=480")});
        for (int i = 0; i < 100 && !QFile::exists(socket()); ++i)
            QTest::qWait(100);
    }
    ~Weston()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool isUp() const { return QFile::exists(socket()); }
    QString socket() const { return m_runtime.filePath(QStringLiteral("quennet-test")); }
    QByteArray log() { return m_process.readAll(); }

    // The whole output, as Weston's screenshot tool writes it.
    QImage screenshot()
    {
        QTemporaryDir dir;
        QProcess shooter;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket());
        shooter.setProcessEnvironment(env);
        shooter.setWorkingDirectory(dir.path());
        shooter.start(QStringLiteral("weston-screenshooter"), {});
        if (!shooter.waitForFinished(10000))
            return QImage();
        const QStringList shots = QDir(dir.path()).entryList({QStringLiteral("*.png")});
        return shots.isEmpty() ? QImage()
                               : QImage(dir.filePath(shots.first())).convertToFormat(QImage::Format_RGB32);
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
};

// A session bus of the test's own.
class SessionBus {
public:
    SessionBus()
    {
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~SessionBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("test-bus"));
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    QString address() const { return m_address; }
    QDBusConnection connection() const
    {
        return QDBusConnection::connectToBus(m_address, QStringLiteral("test-bus"));
    }

private:
    QProcess m_daemon;
    QString m_address;
};

// What a desktop with a StatusNotifierItem host offers: the watcher the
// items register with.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public slots:
    void RegisterStatusNotifierItem(const QString &service) { m_items << service; }
    void RegisterStatusNotifierHost(const QString &) {}

private:
    QStringList m_items;
};

// The desktop portal's GlobalShortcuts as a desktop with global shortcuts
// offers it: sessions and bindings are granted at once, and press() stands
// for the user pressing a bound shortcut anywhere on the desktop.
class ShortcutsPortal : public QDBusVirtualObject {
public:
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";

    QMap<QString, QString> bound; // shortcut id → preferred trigger

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.portal.GlobalShortcuts"))
            return false;
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().constLast());
        const QString request = QLatin1String(kPath) + QStringLiteral("/request/") + sender +
                                QLatin1Char('/') + options.value(QStringLiteral("handle_token")).toString();
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QVariantMap results;
        if (message.member() == QLatin1String("CreateSession"))
            results.insert(QStringLiteral("session_handle"), m_session);
        else if (message.member() == QLatin1String("BindShortcuts"))
            readShortcuts(message.arguments().at(1).value<QDBusArgument>());
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << 0u << results;
        connection.send(response);
        return true;
    }
    QString introspect(const QString &) const override { return QString(); }

    void press(const QDBusConnection &connection, const QString &trigger) const
    {
        QDBusMessage activated = QDBusMessage::createSignal(
            QLatin1String(kPath), QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
            QStringLiteral("Activated"));
        activated << QVariant::fromValue(QDBusObjectPath(m_session)) << bound.key(trigger) << qulonglong(0)
                  << QVariantMap();
        connection.send(activated);
    }

private:
    void readShortcuts(const QDBusArgument &list)
    {
        list.beginArray();
        while (!list.atEnd()) {
            QString id;
            QVariantMap properties;
            list.beginStructure();
            list >> id >> properties;
            list.endStructure();
            bound.insert(id, properties.value(QStringLiteral("preferred_trigger")).toString());
        }
        list.endArray();
    }

    const QString m_session = QStringLiteral("/org/freedesktop/portal/desktop/session/test/quennet");
};

// The testing copy on Weston, driven from its standard input; extra: more of
// its environment.
std::unique_ptr<test::QuennetRun> startOn(const Weston &weston, const test::ProgramDirectory &home,
                                          QStringList extra = {})
{
    // Headless Weston has no seat, and Qt's Wayland input context reaches
    // for the missing keyboard on each key: no input method here.
    extra << QStringLiteral("WAYLAND_DISPLAY=") + weston.socket() << QStringLiteral("QUENNET_TEST_DRIVE=1")
          << QStringLiteral("QT_IM_MODULE=none");
    return std::make_unique<test::QuennetRun>(home.path(), QStringLiteral("wayland"), QStringLiteral("1"),
                                              extra);
}

// Sends one command to the driven program and waits for its answer, serving
// this process's events meanwhile (the program may be calling the watcher).
bool drive(test::QuennetRun &run, const QString &command)
{
    run.process->write(command.toUtf8() + '\n');
    const QByteArray done = (QStringLiteral("done: ") + command).toUtf8();
    for (int waited = 0; waited < 20000 && run.process->state() == QProcess::Running; waited += 20) {
        run.log += run.process->readAllStandardError();
        if (run.log.split('\n').contains(done))
            return true;
        QTest::qWait(20);
    }
    qWarning("%s", run.log.constData());
    return false;
}

} // namespace

class TestWaylandApp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *tool : {"weston", "weston-screenshooter"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
        }
    }

    void logsInAndAddsAContact()
    {
        Weston weston;
        QVERIFY2(weston.isUp(), weston.log().constData());
        const QImage desktop = weston.screenshot();
        QVERIFY(!desktop.isNull());

        test::ProgramDirectory home;
        QVERIFY(home.createStore(QStringLiteral("secret")));
        const std::unique_ptr<test::QuennetRun> started = startOn(weston, home);
        test::QuennetRun &run = *started;
        QVERIFY2(run.waitFor(QStringLiteral("platform: wayland")), run.log.constData());
        QVERIFY2(run.waitFor(QStringLiteral("window: 登录窗口")), run.log.constData());
        QVERIFY(drive(run, QStringLiteral("type 密码编辑框 secret")));
        QVERIFY(drive(run, QStringLiteral("click 确定按钮")));
        QVERIFY2(run.waitFor(QStringLiteral("window: 主窗口")), run.log.constData());

        // The skin's magenta is nowhere on the screen, and the window covers
        // the better part of its 210 × 367 rectangle.
        QTest::qWait(500);
        const QImage shot = weston.screenshot();
        QCOMPARE(shot.size(), desktop.size());
        QCOMPARE(x11test::countPixels(shot, shot.rect(), isMagentaLike), 0);
        QVERIFY(x11test::differingPixels(desktop, shot, shot.rect()) > 210 * 367 / 2);

        QVERIFY(drive(run, QStringLiteral("key F2")));
        QVERIFY(drive(run, QStringLiteral("type 姓名编辑框 王五")));
        QVERIFY(drive(run, QStringLiteral("type 手机编辑框 13900000009")));
        QVERIFY(drive(run, QStringLiteral("key Ctrl+Return")));
        QVERIFY2(run.log.contains("message: 温馨提示|64|添加联系人成功！"), run.log.constData());
        QVERIFY(run.stop());

        quennet::ContactStore store;
        QVERIFY(store.open(home.storeFile(), QStringLiteral("secret")));
        QCOMPARE(store.recordCount(), 1);
        QCOMPARE(store.contactAt(1).name, QStringLiteral("王五"));
        QCOMPARE(store.contactAt(1).mobile, QStringLiteral("13900000009"));
    }

    // Where the desktop hosts StatusNotifierItems, 最小化 puts the main window
    // into the tray as one: the icon registers, the window hides.
    void minimisesIntoAStatusNotifierItem()
    {
        Weston weston;
        QVERIFY2(weston.isUp(), weston.log().constData());
        SessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        QDBusConnection connection = bus.connection();
        Watcher watcher;
        QVERIFY(connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                          QDBusConnection::ExportAllSlots |
                                              QDBusConnection::ExportAllProperties));
        QVERIFY(connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));

        test::ProgramDirectory home;
        QVERIFY(home.createStore());
        const std::unique_ptr<test::QuennetRun> started =
            startOn(weston, home, {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus.address()});
        test::QuennetRun &run = *started;
        QVERIFY2(run.waitFor(QStringLiteral("window: 主窗口")), run.log.constData());
        QVERIFY(drive(run, QStringLiteral("click 最小化")));
        QTRY_COMPARE(watcher.items().size(), 1);
        const QString service = watcher.items().first().section(QLatin1Char('/'), 0, 0);
        QVERIFY(connection.interface()->isServiceRegistered(service));
        QVERIFY(drive(run, QStringLiteral("hidden 主窗口")));
        QVERIFY(run.stop());
    }

    // With the desktop portal's global shortcuts the hot keys are bound
    // through it, and the desktop's presses run their commands.
    void hotKeysThroughThePortal()
    {
        Weston weston;
        QVERIFY2(weston.isUp(), weston.log().constData());
        SessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        QDBusConnection connection = bus.connection();
        ShortcutsPortal portal;
        QVERIFY(connection.registerVirtualObject(QLatin1String(ShortcutsPortal::kPath), &portal));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

        test::ProgramDirectory home;
        QVERIFY(home.createStore());
        const std::unique_ptr<test::QuennetRun> started =
            startOn(weston, home, {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus.address()});
        test::QuennetRun &run = *started;
        QVERIFY2(run.waitFor(QStringLiteral("window: 主窗口")), run.log.constData());
        QTRY_VERIFY(portal.bound.size() >= 15);
        QCOMPARE(portal.bound.value(QStringLiteral("hotkey-1")), QStringLiteral("F1"));
        QVERIFY(portal.bound.values().contains(QStringLiteral("CTRL+Return")));
        QVERIFY(portal.bound.values().contains(QStringLiteral("ALT+Left")));

        // F2 twice: the second start of adding says the form is adding already.
        portal.press(connection, QStringLiteral("F2"));
        portal.press(connection, QStringLiteral("F2"));
        const auto reported = [&run](const char *text) {
            run.log += run.process->readAllStandardError();
            return run.log.contains(text);
        };
        QTRY_VERIFY2(reported("|您正处于添加联系人状态"), run.log.constData());
        QVERIFY(run.stop());
    }
};

QTEST_GUILESS_MAIN(TestWaylandApp)
#include "tst_wayland_app.moc"
