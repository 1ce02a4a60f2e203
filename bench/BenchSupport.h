#pragma once

// What the benchmarks of the whole program share: a program directory with
// the skins and a store of many contacts without password.

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
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

inline QStringList contactOf(int n)
{
    return {QStringLiteral("联系人%1").arg(n),
            QStringLiteral("010-%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("139%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("%1").arg(10000000 + n),
            QStringLiteral("user%1@example.com.cn").arg(n),
            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(n % 100)};
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
    const QString store = dir + QStringLiteral("/wab.vdb");
    QFile::remove(store);
    if (!ContactStore::create(store))
        return false;
    ContactStore contacts;
    if (!contacts.open(store))
        return false;
    QList<QStringList> rows;
    rows.reserve(records);
    for (int i = 1; i <= records; ++i)
        rows << contactOf(i);
    return ContactStoreTestAccess::appendMany(contacts, rows);
}

struct Stats {
    double median = 0, p90 = 0, max = 0;
};

inline Stats statsOf(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples.back()};
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
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return statsOf(samples);
}

} // namespace quennet::bench
