#pragma once

// Running the real executable on a program directory and reading what it
// reports on stderr. Tests run the testing copy (build/testing/quennet): the
// same program with the testing switch, which the installed one lacks.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace quennet::test {

// What a finished command printed and its exit code; -1 when it crashed, or
// did not end in time and was killed.
struct CommandResult {
    int code = -1;
    QString out, err;
};

inline CommandResult finishCommand(QProcess &process, int timeoutMs)
{
    CommandResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline QString quennetBinary()
{
    return QString::fromLocal8Bit(qgetenv("QUENNET_TEST_BIN_DIR")) + QStringLiteral("/quennet");
}

// The testing copy on a program directory, with the testing switch on
// (no real message box; shown windows and messages reported on stderr) and
// the given runtime directory for its instance lock.
inline std::unique_ptr<QProcess> startQuennet(const QString &home, const QString &runtimeDir,
                                              const QString &platform = QStringLiteral("offscreen"),
                                              const QStringList &extraEnv = {},
                                              const QString &testMode = QStringLiteral("1"))
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("QUENNET_TEST_MODE"), testMode);
    for (const QString &pair : extraEnv)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process->setProcessEnvironment(env);
    process->start(quennetBinary(), {QStringLiteral("--home"), home});
    return process;
}

// Reads stderr until a line equal to expected arrived (true) or the process
// ended or the time ran out (false). Everything read is appended to log.
inline bool waitForLine(QProcess &process, const QString &expected, QByteArray &log, int timeoutMs = 20000)
{
    const QByteArray wanted = expected.toUtf8();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        log += process.readAllStandardError();
        for (const QByteArray &line : log.split('\n'))
            if (line == wanted)
                return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
    }
    return false;
}

inline QStringList reportedLines(const QByteArray &log, const QString &prefix)
{
    QStringList lines;
    for (const QByteArray &line : log.split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(prefix))
            lines << text.mid(prefix.size());
    }
    return lines;
}

// Runs of the real executable on one program directory, with a runtime
// directory of their own; log gathers what the current run reported.
class QuennetRun {
public:
    explicit QuennetRun(const QString &home, const QString &platform = QStringLiteral("offscreen"),
                        const QString &testMode = QStringLiteral("1"), const QStringList &extraEnv = {})
        : m_home(home), m_platform(platform), m_testMode(testMode), m_extraEnv(extraEnv)
    {
        restart();
    }

    QString runtimeDir() const { return m_runtime.path(); }

    // Starts the program again (as the next run after the last ended).
    void restart()
    {
        log.clear();
        process = startQuennet(m_home, runtimeDir(), m_platform, m_extraEnv, m_testMode);
    }

    // Waits for the reported line (see waitForLine).
    bool waitFor(const QString &line) { return waitForLine(*process, line, log); }

    // Terminates it; whether it ended. The log gets the rest of its report.
    bool stop()
    {
        process->terminate();
        const bool ended = process->waitForFinished(10000);
        log += process->readAllStandardError();
        return ended;
    }

    // Whether it ends by itself, normally and with exit code 0.
    bool endsCleanly(int timeoutMs = 10000)
    {
        return process->waitForFinished(timeoutMs) && process->exitStatus() == QProcess::NormalExit &&
               process->exitCode() == 0;
    }

private:
    // Declared first, so that the process ends before its runtime directory goes.
    QTemporaryDir m_runtime;
    QString m_home, m_platform, m_testMode;
    QStringList m_extraEnv;

public:
    std::unique_ptr<QProcess> process;
    QByteArray log;
};

} // namespace quennet::test
