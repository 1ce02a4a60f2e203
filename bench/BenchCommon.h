#pragma once

// What every benchmark shares, windows or not: the sample contacts and a store
// of them, timing a step over several runs, running a program, and reading the
// machine's load and a process's memory.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace quennet::bench {

inline QStringList contactOf(int n)
{
    return {QStringLiteral("联系人%1").arg(n),
            QStringLiteral("010-%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("139%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("%1").arg(10000000 + n),
            QStringLiteral("user%1@example.com.cn").arg(n),
            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(n % 100)};
}

// Contacts 1..count.
inline QList<QStringList> contactsOf(int count)
{
    QList<QStringList> rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows << contactOf(i);
    return rows;
}

// A new store at path holding contacts 1..records.
inline bool createStore(const QString &path, int records, const QString &password = QString())
{
    QFile::remove(path);
    if (!ContactStore::create(path, password))
        return false;
    ContactStore store;
    return store.open(path, password) && ContactStoreTestAccess::appendMany(store, contactsOf(records));
}

struct Stats {
    double median = 0, p90 = 0, max = 0;
};

inline Stats statsOf(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples.back()};
}

inline double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return msSince(timer);
}

// Wall time of work, run times times.
inline Stats repeat(int times, const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < times; ++i)
        samples.push_back(timeMs(work));
    return statsOf(samples);
}

struct Row {
    QString step;
    double median = 0; // wall time, ms
    double max = 0;
    double cpu = 0; // median CPU time (user + system) of the process and its children, ms
    QString note;
};

inline double cpuMs()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return total;
}

// Runs work `samples` times; prepare runs before each run, outside the timing.
inline Row measure(const QString &step, int samples, const std::function<void()> &prepare,
                   const std::function<bool()> &work, const QString &note = QString())
{
    std::vector<double> wall, cpu;
    bool ok = true;
    for (int i = 0; i < samples; ++i) {
        prepare();
        const double cpuBefore = cpuMs();
        QElapsedTimer timer;
        timer.start();
        ok = work() && ok;
        wall.push_back(msSince(timer));
        cpu.push_back(cpuMs() - cpuBefore);
    }
    const Stats time = statsOf(wall);
    return {step, time.median, time.max, statsOf(cpu).median, ok ? note : QStringLiteral("FAILED ") + note};
}

inline Row measure(const QString &step, int samples, const std::function<bool()> &work,
                   const QString &note = QString())
{
    return measure(
        step, samples, [] {}, work, note);
}

inline bool runProgram(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
               : QStringLiteral("?");
}

// The released wab, or the one QUENNET_BENCH_WAB names: a build kept from
// before a change, run beside the new one in the same benchmark run.
inline QString wabProgram()
{
    return qEnvironmentVariable("QUENNET_BENCH_WAB", QStringLiteral(QUENNET_PROGRAM_DIR "/wab"));
}

// A line of /proc/<pid>/status in kB ("VmRSS:", "VmHWM:"); this process when
// pid is 0, -1 when it cannot be read.
inline qint64 statusKb(const char *key, qint64 pid = 0)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// A program run through the peak launcher: its success, its standard output
// and its own peak resident size (what getrusage of this process's children
// would overstate by the pages they share with this one before exec), and
// its CPU time (user + system).
struct ProgramRun {
    bool ok = false;
    QByteArray out, err;
    double peakMb = -1;
    double cpuMs = -1;
};

// input goes to its standard input, which is closed after it.
inline ProgramRun runMeasured(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    ProgramRun run;
    QTemporaryFile report;
    if (!report.open())
        return run;
    QProcess process;
    process.start(QStringLiteral(QUENNET_PEAK_OF), QStringList{report.fileName(), program} + args);
    process.write(input);
    process.closeWriteChannel();
    run.ok = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
             process.exitCode() == 0;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    const QList<QByteArray> figures = report.readAll().simplified().split(' ');
    run.peakMb = figures.value(0).toDouble() / 1024.0;
    run.cpuMs = figures.value(1, "-1").toDouble();
    return run;
}

} // namespace quennet::bench
