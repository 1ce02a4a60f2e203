// The address book's process entry: options, the application object, the
// start window, the event loop.
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "contacts/Session.h"
#include "ui/HotKeys.h"
#include "ui/Modal.h"
#include "ui/Skin.h"
#include "ui/Tray.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

quennet::ProgramDir programDirectory(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("通讯录 - Quennet address book"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Program directory: the store wab.vdb, backup, skin/ and "
                                                 "Help.html (default: the executable's directory; "
                                                 "an installed program keeps its store in "
                                                 "~/.local/share/quennet)."),
                                  QStringLiteral("DIR"));
    parser.addOption(home);
    parser.process(app);
    if (parser.isSet(home))
        return quennet::ProgramDir(parser.value(home));
    const quennet::ProgramDir dir = quennet::ProgramDir::forExecutable(QCoreApplication::applicationDirPath(),
                                                                      quennet::ProgramDir::userDataDir());
    if (!dir.isPortable())
        quennet::provideUserStore(dir);
    return dir;
}

#ifdef QUENNET_TEST_HOOKS
// Test and benchmark builds only: the shipped program never changes its
// behaviour because of the environment.

qint64 wallClockMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// QUENNET_BENCH_STARTUP: start-up measurement. The value is the wall-clock
// time in milliseconds since the epoch at which the caller started the
// process ("1": measure from main). When the main window has first been
// painted with its list, the program prints "startup-ms: <n>" and
// "vmhwm-kb: <n>" on stdout and quits.
class StartupProbe : public QObject {
public:
    explicit StartupProbe(qint64 startMs) : m_startMs(startMs) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_done && event->type() == QEvent::Paint && qobject_cast<quennet::MainWindow *>(watched)) {
            m_done = true;
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    static qint64 peakMemoryKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        return -1;
    }

    void report()
    {
        std::printf("startup-ms: %lld\nvmhwm-kb: %lld\n", static_cast<long long>(wallClockMs() - m_startMs),
                    static_cast<long long>(peakMemoryKb()));
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    qint64 m_startMs;
    bool m_done = false;
};

void installStartupProbe(QApplication &app, qint64 mainEnteredMs)
{
    const QByteArray value = qgetenv("QUENNET_BENCH_STARTUP");
    if (value.isEmpty())
        return;
    const qint64 start = value == "1" ? mainEnteredMs : value.toLongLong();
    app.installEventFilter(new StartupProbe(start));
}

void installTestHooks(QApplication &app, qint64 mainEnteredMs)
{
    // Testing switch for tests that drive the real executable (see
    // app/Program.h). QUENNET_TEST_MODE=1: scripted dialogs, windows and
    // messages reported; =report: real dialogs, windows reported.
    const QByteArray testMode = qgetenv("QUENNET_TEST_MODE");
    if (testMode == "1") {
        quennet::ui::setTestMode(true);
        // The hot keys and the tray icon stay real: a driving test presses
        // the keys and clicks the icon from outside.
        quennet::ui::HotKeyScript::setTestMode(false);
        quennet::ui::TrayScript::setTestMode(false);
    }
    if (testMode == "1" || testMode == "report")
        quennet::enableTestReporting();
    installStartupProbe(app, mainEnteredMs);
}
#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef QUENNET_TEST_HOOKS
    const qint64 mainEntered = wallClockMs();
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quennet"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    QApplication::setWindowIcon(quennet::applicationIcon());
    quennet::ui::installFontSubstitutes();

#ifdef QUENNET_TEST_HOOKS
    installTestHooks(app, mainEntered);
#endif

    quennet::Session session(programDirectory(app));
    quennet::LoginWindow::load(session);
    const int code = QApplication::exec();
    quennet::reportShownMessages();
    return code;
}
