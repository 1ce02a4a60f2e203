// Start-up and contact list on a store of 100,000 contacts without password:
//  - process start until the main window is first painted with its list
//    filled (the real executable, QUENNET_BENCH_STARTUP), and that process's
//    peak memory (VmHWM);
//  - refilling the list (back to the list) in-process, including the paint
//    of the visible rows; and scrolling to the last row.
//  - on X (--platform xcb), the released program too, which says nothing:
//    timed from the outside, from process start until the X server maps its
//    main window, and its peak memory at that moment;
//   bench_startup [DIR] [--platform offscreen|xcb]
//   DIR: where the program directory goes (default: a temporary directory)

#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace quennet;

namespace {

constexpr int kRecords = 100000;
constexpr int kStartRuns = 7;
constexpr int kRefillRuns = 25;

struct Stats {
    double median = 0, p90 = 0, max = 0;
};

Stats statsOf(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples.back()};
}

qint64 wallClockMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct StartRun {
    double ms = -1;
    double peakMb = -1;
};

StartRun startOnce(const QString &home, const QString &platform)
{
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QUENNET_TEST_MODE"), QStringLiteral("1"));
    const QString binary = QStringLiteral(QUENNET_TESTING_BIN_DIR "/quennet");
    env.insert(QStringLiteral("QUENNET_BENCH_STARTUP"), QString::number(wallClockMs()));
    process.setProcessEnvironment(env);
    process.start(binary, {QStringLiteral("--home"), home});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    StartRun run;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("startup-ms:"))
            run.ms = line.mid(11).trimmed().toDouble();
        else if (line.startsWith("vmhwm-kb:"))
            run.peakMb = line.mid(9).trimmed().toDouble() / 1024.0;
    }
    return run;
}

// Start of the released program to the first window it maps, seen on the
// X server as a map of a child of the root window.
StartRun releasedStartOnce(const QString &home)
{
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        return {};
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(QUENNET_PROGRAM_DIR "/quennet"), {QStringLiteral("--home"), home});
    StartRun run;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (run.ms < 0 && clock.elapsed() < 60000 && poll(&fd, 1, 100) >= 0) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            if ((event->response_type & ~0x80) == XCB_MAP_NOTIFY && run.ms < 0) {
                run.ms = double(clock.nsecsElapsed()) / 1e6;
                run.peakMb = double(bench::statusKb("VmHWM:", process.processId())) / 1024.0;
            }
            free(event);
        }
    }
    process.terminate();
    process.waitForFinished(10000);
    xcb_disconnect(x);
    return run;
}

// Times work plus the paint it causes, forced at once.
Stats measure(int times, QWidget *painted, const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < times; ++i) {
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        work();
        painted->repaint();
        QCoreApplication::processEvents();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return statsOf(samples);
}

void printRow(const char *step, const Stats &s)
{
    std::printf("| %s | median %.1f ms, p90 %.1f ms, max %.1f ms |\n", step, s.median, s.p90, s.max);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir temporary, runtime;
    const bench::ProgramBenchArgs args = bench::readProgramBenchArgs(argc, argv, temporary);
    const QString &home = args.home, &platform = args.platform;
    bench::prepareWindowPlatform(runtime);
    QApplication app(argc, argv);
    ui::setTestMode(true);

    QElapsedTimer build;
    build.start();
    if (!bench::buildProgramDir(home, kRecords)) {
        std::fprintf(stderr, "could not build the store in %s\n", qPrintable(home));
        return 1;
    }
    std::printf("store of %d contacts built in %lld ms (%s, platform %s)\n\n", kRecords,
                static_cast<long long>(build.elapsed()), qPrintable(home), qPrintable(platform));

    std::vector<double> starts, peaks;
    startOnce(home, platform); // warms the file cache and the loader
    for (int i = 0; i < kStartRuns; ++i) {
        const StartRun run = startOnce(home, platform);
        if (run.ms < 0) {
            std::fprintf(stderr, "start-up run failed\n");
            return 1;
        }
        starts.push_back(run.ms);
        peaks.push_back(run.peakMb);
    }
    std::printf("| step (%d contacts) | result |\n|---|---|\n", kRecords);
    printRow("process start to main window painted, list filled", statsOf(starts));
    const Stats peak = statsOf(peaks);
    std::printf("| peak memory (VmHWM) of that process | median %.1f MB, max %.1f MB |\n", peak.median,
                peak.max);

    if (platform == QLatin1String("xcb")) {
        std::vector<double> released, releasedPeaks;
        for (int i = 0; i < kStartRuns; ++i) {
            const StartRun run = releasedStartOnce(home);
            if (run.ms < 0) {
                std::fprintf(stderr, "start-up run of the released program failed\n");
                return 1;
            }
            released.push_back(run.ms);
            releasedPeaks.push_back(run.peakMb);
        }
        printRow("released program: process start to main window mapped", statsOf(released));
        const Stats releasedPeak = statsOf(releasedPeaks);
        std::printf("| peak memory (VmHWM) of that process when mapped | median %.1f MB, max %.1f MB |\n",
                    releasedPeak.median, releasedPeak.max);
    }

    Session session(home);
    if (!session.store.open(session.dir.storeFile()))
        return 1;
    MainWindow *window = MainWindow::load(session);
    for (int i = 0; i < 50 && !window->isVisible(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTableView *list = window->超级列表框;
    printRow("back to the list (clear, fill, show, paint)", measure(kRefillRuns, list, [window] {
                 window->hideList();
                 window->backToList();
             }));
    printRow("refill alone (clear, fill, paint)",
             measure(kRefillRuns, list, [window] { window->refillList(); }));
    printRow("scroll to the last row and back (paint)", measure(kRefillRuns, list, [list] {
                 list->scrollToBottom();
                 list->repaint();
                 list->scrollToTop();
             }));
    delete window;
    return 0;
}
