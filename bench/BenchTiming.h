#pragma once

// What the benchmarks share: timing a step over several runs, running a
// program, and the machine's load and the children's peak memory.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace quennet::bench {

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
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - cpuBefore);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {step, wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2], ok ? note : QStringLiteral("FAILED ") + note};
}

inline Row measure(const QString &step, int samples, const std::function<bool()> &work, const QString &note = QString())
{
    return measure(step, samples, [] {}, work, note);
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
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

// The largest resident set of any child process so far.
inline double childPeakMb()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace quennet::bench
