// The switches of the program copy that tests and benchmarks start; the
// program that is laid out and installed has none of this.
//
// QUENNET_TEST_MODE=1: no real message box, file dialog, modal window or
// document is shown (the scripted layers answer at once); each top-level
// window shown is reported on stderr as "window: <name>" and every message
// box as "message: <title>|<style>|<text>". QUENNET_TEST_MODE=report:
// everything is real, only the shown windows and messages are reported.
//
// QUENNET_BENCH_STARTUP: start-up measurement. The value is the wall-clock
// time in milliseconds since the epoch at which the caller started the
// process ("1": measure from the process start). When the main window has
// first been painted with its list, the program prints "startup-ms: <n>" and
// "vmhwm-kb: <n>" on stdout and quits.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/ProgramFlavour.h"
#include "ui/HotKeys.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Tray.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace quennet {

namespace {

qint64 wallClockMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Taken while the process starts, before main runs.
const qint64 g_processStartMs = wallClockMs();

bool g_reporting = false;
int g_messagesReported = 0;

void writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
}

// Writes the messages shown since the last call.
void reportShownMessages()
{
    if (!g_reporting)
        return;
    const QList<ui::ShownMessage> shown = ui::MessageBoxScript::shown();
    if (shown.size() < g_messagesReported)
        g_messagesReported = 0;
    for (int i = g_messagesReported; i < shown.size(); ++i) {
        const ui::ShownMessage &m = shown.at(i);
        QString text = m.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n"));
        writeLine(QStringLiteral("message: %1|%2|%3").arg(m.title).arg(m.style).arg(text));
    }
    g_messagesReported = shown.size();
}

// Reports each top-level window the first time it is shown, and flushes the
// message boxes shown before it, so a driving test sees them in order.
class ShownWindowReporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && !widget->objectName().isEmpty()) {
                reportShownMessages();
                writeLine(QStringLiteral("window: ") + widget->objectName());
            }
        }
        return false;
    }
};

void enableReporting(QApplication &app)
{
    g_reporting = true;
    app.installEventFilter(new ShownWindowReporter(&app));
    // Messages are reported as they are shown, so a test driving the program
    // from outside sees each one at once; the rest when the program ends.
    ui::MessageBoxScript::setShownListener(reportShownMessages);
    setEndProgramHandler([](int) { reportShownMessages(); });
}

class StartupProbe : public QObject {
public:
    explicit StartupProbe(qint64 startMs) : m_startMs(startMs) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_done && event->type() == QEvent::Paint && qobject_cast<MainWindow *>(watched)) {
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

void installStartupProbe(QApplication &app)
{
    const QByteArray value = qgetenv("QUENNET_BENCH_STARTUP");
    if (value.isEmpty())
        return;
    const qint64 start = value == "1" ? g_processStartMs : value.toLongLong();
    app.installEventFilter(new StartupProbe(start));
}

} // namespace

void prepareRun(QApplication &app)
{
    const QByteArray testMode = qgetenv("QUENNET_TEST_MODE");
    if (testMode == "1") {
        ui::setTestMode(true);
        // The hot keys and the tray icon stay real: a driving test presses
        // the keys and clicks the icon from outside.
        ui::HotKeyScript::setTestMode(false);
        ui::TrayScript::setTestMode(false);
    }
    if (testMode == "1" || testMode == "report")
        enableReporting(app);
    installStartupProbe(app);
}

void finishRun()
{
    reportShownMessages();
}

} // namespace quennet
