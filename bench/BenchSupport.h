#pragma once

// What the benchmarks of the whole program share beyond BenchCommon.h: the
// window platform, a program directory with the skins and a store of many
// contacts, and timing a step with the events it leaves pending.

#include "BenchCommon.h"

#include "ui/Modal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace quennet::bench {

// Window benchmarks run on the offscreen platform (unless one is named) with a
// private runtime directory; call before the application object exists.
inline void prepareWindowPlatform(const QTemporaryDir &runtime)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
}

// The arguments of the benchmarks that start the real program:
// [--platform NAME] [--seconds N] [DIR]; DIR defaults to fallbackHome.
struct ProgramBenchArgs {
    QString platform = QStringLiteral("offscreen");
    QString home;
    int seconds = 60;
};

// Also sets the platform for the application object still to come.
inline ProgramBenchArgs readProgramBenchArgs(int argc, char **argv, const QTemporaryDir &fallbackHome)
{
    ProgramBenchArgs args;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--platform" && i + 1 < argc)
            args.platform = QString::fromLocal8Bit(argv[++i]);
        else if (argument == "--seconds" && i + 1 < argc)
            args.seconds = QByteArray(argv[++i]).toInt();
        else
            args.home = QString::fromLocal8Bit(argument);
    }
    if (args.home.isEmpty())
        args.home = fallbackHome.path();
    qputenv("QT_QPA_PLATFORM", args.platform.toLocal8Bit());
    return args;
}

// Template for a fresh program directory under argv[1], else the temp dir.
inline QString programDirTemplate(int argc, char **argv, const QString &name)
{
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    return base + QLatin1Char('/') + name + QStringLiteral("-XXXXXX");
}

// The directory exists and has its skin folder; says so on stderr otherwise.
inline bool isProgramDirReady(const QTemporaryDir &dir)
{
    if (dir.isValid() && QDir(dir.path()).mkpath(QStringLiteral("skin")))
        return true;
    fprintf(stderr, "no program directory\n");
    return false;
}

// Skins from the built program directory beside the benchmark, and a new
// wab.vdb with records contacts.
inline bool buildProgramDir(const QString &dir, int records)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../program");
    QDir().mkpath(dir + QStringLiteral("/skin"));
    for (const char *skin : {"bg01.bmp", "bg02.bmp", "bg03.bmp"})
        QFile::copy(program + QStringLiteral("/skin/") + QLatin1String(skin),
                    dir + QStringLiteral("/skin/") + QLatin1String(skin));
    return createStore(dir + QStringLiteral("/wab.vdb"), records);
}

// Runs prepare (untimed), then work and the events it left pending (timed),
// with the scripted dialogs cleared before each sample.
inline Stats measure(int times, const std::function<void(int)> &prepare, const std::function<void(int)> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < times; ++i) {
        ui::clearTestScripts();
        prepare(i);
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        work(i);
        QCoreApplication::processEvents();
        samples.push_back(msSince(timer));
    }
    return statsOf(samples);
}

} // namespace quennet::bench
