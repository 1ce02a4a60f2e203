// The switches of the program copy that tests and benchmarks start; the
// program that is laid out and installed has none of this.
//
// QUENNET_TEST_MODE=1: no real message box, file dialog, modal window or
// document is shown (the scripted layers answer at once); each top-level
// window shown is reported on stderr as "window: <name>" and every message
// box as "message: <title>|<style>|<text>". QUENNET_TEST_MODE=report:
// everything is real, only the shown windows and messages are reported.
//
// QUENNET_TEST_DRIVE=1: the program is driven from its standard input, for
// platforms where no tool can press keys or click from outside (a Wayland
// compositor). One command per line, run in the event loop, each answered on
// stderr with "done: <line>" or "failed: <line>":
//   click NAME       clicks the button of that object name, in any window
//   trigger NAME     triggers the action of that object name
//   type NAME TEXT   types TEXT into the edit box of that object name
//   key SEQUENCE     presses keys on the active window ("F2", "Ctrl+Return")
//   hidden NAME      succeeds when the window of that object name is not shown
// The first line on stderr is "platform: <Qt platform name>".
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

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
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

template <typename T> T *findInAnyWindow(const QString &name)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *found = window->findChild<T *>(name))
            return found;
    }
    return nullptr;
}

bool clickButton(const QString &name)
{
    auto *button = findInAnyWindow<QAbstractButton>(name);
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool triggerAction(const QString &name)
{
    auto *action = findInAnyWindow<QAction>(name);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

bool typeInto(const QString &name, const QString &text)
{
    auto *edit = findInAnyWindow<QLineEdit>(name);
    if (!edit || !edit->isEnabled())
        return false;
    edit->setFocus();
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
            continue;
        }
        // Chinese comes from an input method, committed character by character.
        QInputMethodEvent commit;
        commit.setCommitString(QString(c));
        QApplication::sendEvent(edit, &commit);
    }
    return true;
}

bool pressKeys(const QString &sequence)
{
    const QKeySequence keys = QKeySequence::fromString(sequence);
    if (!QApplication::activeWindow()) {
        // A compositor without a keyboard activates no window; a shown window
        // of ours then gets the keys, as it would from the user.
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto shown = std::find_if(windows.cbegin(), windows.cend(), [](const QWidget *window) {
            return window->isVisible() && !window->objectName().isEmpty();
        });
        if (shown != windows.cend())
            QApplication::setActiveWindow(*shown);
    }
    QWidget *window = QApplication::activeWindow();
    if (keys.isEmpty() || !window)
        return false;
    for (int i = 0; i < keys.count(); ++i)
        QTest::keyClick(window, keys[i].key(), keys[i].keyboardModifiers());
    return true;
}

bool isHidden(const QString &name)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name)
            return !window->isVisible();
    }
    return false;
}

bool runDriveCommand(const QString &line)
{
    const QString verb = line.section(QLatin1Char(' '), 0, 0);
    const QString name = line.section(QLatin1Char(' '), 1, 1);
    if (verb == QLatin1String("click"))
        return clickButton(name);
    if (verb == QLatin1String("trigger"))
        return triggerAction(name);
    if (verb == QLatin1String("type"))
        return typeInto(name, line.section(QLatin1Char(' '), 2));
    if (verb == QLatin1String("key"))
        return pressKeys(line.section(QLatin1Char(' '), 1));
    if (verb == QLatin1String("hidden"))
        return isHidden(name);
    return false;
}

// Reads the commands as they come; a command that opens a modal runs the
// next ones from inside its event loop.
class Driver : public QObject {
public:
    explicit Driver(QObject *parent) : QObject(parent), m_notifier(STDIN_FILENO, QSocketNotifier::Read, this)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Driver::readInput);
    }

private:
    void readInput()
    {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            m_notifier.setEnabled(false);
            return;
        }
        m_pending.append(chunk, got);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            // Each in its own turn of the event loop: a command that opens a
            // modal ends when it closes, and the next ones run inside it.
            QTimer::singleShot(0, this, [line] {
                const bool ran = runDriveCommand(line);
                reportShownMessages();
                writeLine((ran ? QStringLiteral("done: ") : QStringLiteral("failed: ")) + line);
            });
        }
    }

    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

void installDriver(QApplication &app)
{
    if (qgetenv("QUENNET_TEST_DRIVE") != "1")
        return;
    writeLine(QStringLiteral("platform: ") + QGuiApplication::platformName());
    new Driver(&app);
}

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
    installDriver(app);
    installStartupProbe(app);
}

void finishRun()
{
    reportShownMessages();
}

} // namespace quennet
