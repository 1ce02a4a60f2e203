// The idle program on a store of 100,000 contacts without password:
//  - the cost of one memory trim (the 200 ms timers of the login and main
//    window) in-process, with the store open and the main window loaded;
//  - the CPU time the real executable uses while it sits idle on its main
//    window for a minute (all threads), and its resident memory: the released
//    program, then the testing copy.
//   bench_idle [DIR] [--platform offscreen|xcb] [--seconds N]
//   DIR: where the program directory goes (default: a temporary directory)

#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "contacts/Session.h"
#include "ui/Memory.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quennet;

namespace {

constexpr int kRecords = 100000;
constexpr int kTrimRuns = 300;
constexpr int kSettleSeconds = 5;
constexpr int kReleasedStartSeconds = 5; // more than the testing copy needs to show its window

// CPU time of every thread of a process, in nanoseconds.
qint64 cpuTimeNs(qint64 pid)
{
    qint64 total = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

void measureTrim(const QString &home)
{
    Session session(home);
    if (!session.store.open(session.dir.storeFile()))
        return;
    MainWindow *window = MainWindow::load(session);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::vector<double> samples;
    for (int i = 0; i < kTrimRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        ui::trimMemory();
        samples.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    std::sort(samples.begin(), samples.end());
    std::printf(
        "| one memory trim, store open, main window loaded (%d runs) | median %.0f µs, p90 %.0f µs, max %.0f "
        "µs |\n",
        kTrimRuns, samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples.back());
    delete window;
}

// The testing copy says when its main window is up; the released program
// says nothing, so it gets the start-up time of the testing copy on top of
// the settling time before its idle minute is measured.
enum class Flavour { Testing, Released };

bool waitForMainWindow(QProcess &process, Flavour flavour)
{
    if (flavour == Flavour::Released) {
        QThread::sleep(kReleasedStartSeconds);
        return process.state() == QProcess::Running;
    }
    QByteArray log;
    QElapsedTimer wait;
    wait.start();
    while (!log.contains("window: 主窗口") && wait.elapsed() < 30000 &&
           process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        log += process.readAllStandardError();
    }
    if (!log.contains("window: 主窗口"))
        std::fprintf(stderr, "the main window did not appear: %s\n", log.constData());
    return log.contains("window: 主窗口");
}

bool measureIdle(const QString &home, const QString &platform, int seconds, Flavour flavour)
{
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    if (flavour == Flavour::Testing)
        env.insert(QStringLiteral("QUENNET_TEST_MODE"), QStringLiteral("report"));
    process.setProcessEnvironment(env);
    process.start(flavour == Flavour::Testing ? QStringLiteral(QUENNET_TESTING_BIN_DIR "/quennet")
                                              : QStringLiteral(QUENNET_PROGRAM_DIR "/quennet"),
                  {QStringLiteral("--home"), home});
    if (!process.waitForStarted(10000) || !waitForMainWindow(process, flavour))
        return false;
    const qint64 pid = process.processId();
    QThread::sleep(kSettleSeconds);
    const qint64 rssBefore = bench::statusKb("VmRSS:", pid);
    const QString loadBefore = bench::loadAverage();
    const qint64 cpuBefore = cpuTimeNs(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(seconds);
    const qint64 cpuAfter = cpuTimeNs(pid);
    const qint64 wallNs = clock.nsecsElapsed();
    const qint64 rssAfter = bench::statusKb("VmRSS:", pid);
    const double cpuMs = double(cpuAfter - cpuBefore) / 1e6;
    std::fflush(stdout);
    const char *which = flavour == Flavour::Testing ? "testing copy" : "released program";
    std::printf("| idle CPU of the %s over %d s (all threads) | %.1f ms = %.3f %% of one core |\n", which,
                seconds, cpuMs, 100.0 * double(cpuAfter - cpuBefore) / double(wallNs));
    std::printf("| resident memory, start and end of that time | %.1f MB, %.1f MB |\n", rssBefore / 1024.0,
                rssAfter / 1024.0);
    std::printf("| load average before and after | %s; %s |\n", qPrintable(loadBefore),
                qPrintable(bench::loadAverage()));
    process.terminate();
    process.waitForFinished(10000);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir temporary, runtime;
    const bench::ProgramBenchArgs args = bench::readProgramBenchArgs(argc, argv, temporary);
    const QString &home = args.home, &platform = args.platform;
    const int seconds = args.seconds;
    bench::prepareWindowPlatform(runtime);
    QApplication app(argc, argv);
    ui::setTestMode(true);

    if (!bench::buildProgramDir(home, kRecords)) {
        std::fprintf(stderr, "could not build the store in %s\n", qPrintable(home));
        return 1;
    }
    std::printf("store of %d contacts in %s, platform %s\n\n| step | result |\n|---|---|\n", kRecords,
                qPrintable(home), qPrintable(platform));
    // The real program first: the in-process window below takes the
    // single-instance lock.
    const bool measured = measureIdle(home, platform, seconds, Flavour::Released) &&
                          measureIdle(home, platform, seconds, Flavour::Testing);
    measureTrim(home);
    return measured ? 0 : 1;
}
