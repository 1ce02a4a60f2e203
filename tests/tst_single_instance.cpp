// The single-instance lock between real processes: this test binary starts
// copies of itself that take the lock and hold it until they are killed.

#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kHoldArgument[] = "--hold-single-instance";
const QString kName = QStringLiteral("通讯录");

// Child mode: report the decision on stdout, then keep the lock (if taken)
// until stdin closes or the process is killed.
int holdLock(const char *name)
{
    const bool held = quennet::acquireSingleInstance(QString::fromUtf8(name));
    std::printf("%s\n", held ? "held" : "refused");
    std::fflush(stdout);
    if (!held)
        return 3;
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    // Starts a copy of this binary that tries to take the lock for name and
    // waits until it has decided. Its stdin stays open, so a holder keeps the lock.
    QString startHolder(QProcess &process, const QString &name)
    {
        process.start(QCoreApplication::applicationFilePath(), {QLatin1String(kHoldArgument), name});
        if (!process.waitForStarted(10000))
            return QStringLiteral("not started");
        QElapsedTimer timer;
        timer.start();
        while (!process.canReadLine() && timer.elapsed() < 10000)
            process.waitForReadyRead(100);
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    static void stop(QProcess &process)
    {
        process.kill();
        process.waitForFinished(10000);
    }

private slots:
    void secondProcessIsRefused();
    void killedHolderReleasesTheLock();
    void repeatedCallInOneProcess();
    void lockFileInRuntimeDirectory();
    void fallbackDirectoryIsPrivate();
};

void TestSingleInstance::secondProcessIsRefused()
{
    QProcess first;
    QCOMPARE(startHolder(first, kName), QStringLiteral("held"));

    QElapsedTimer timer;
    timer.start();
    QProcess second;
    QCOMPARE(startHolder(second, kName), QStringLiteral("refused"));
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 3);
    QVERIFY(timer.elapsed() < 2000); // the refusal does not wait for the holder

    // This process is another one too.
    QVERIFY(!quennet::acquireSingleInstance(kName));

    // Other names are independent locks.
    QProcess other;
    QCOMPARE(startHolder(other, QStringLiteral("另一个")), QStringLiteral("held"));
    stop(other);
    stop(first);
}

void TestSingleInstance::killedHolderReleasesTheLock()
{
    const QString name = QStringLiteral("killed");
    QProcess first;
    QCOMPARE(startHolder(first, name), QStringLiteral("held"));
    first.kill(); // SIGKILL: no chance to clean up
    QVERIFY(first.waitForFinished(10000));

    QProcess next;
    QCOMPARE(startHolder(next, name), QStringLiteral("held"));
    stop(next);
}

void TestSingleInstance::repeatedCallInOneProcess()
{
    const QString name = QStringLiteral("twice");
    QVERIFY(quennet::acquireSingleInstance(name));
    QVERIFY(quennet::acquireSingleInstance(name));

    // The lock is still held by this process after the second call.
    QProcess other;
    QCOMPARE(startHolder(other, name), QStringLiteral("refused"));
    other.waitForFinished(10000);
}

void TestSingleInstance::lockFileInRuntimeDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QCOMPARE(quennet::singleInstanceLockPath(kName), runtime + QStringLiteral("/通讯录.lock"));
    QProcess holder;
    QCOMPARE(startHolder(holder, kName), QStringLiteral("held"));
    QVERIFY(QFileInfo::exists(runtime + QStringLiteral("/通讯录.lock")));
    stop(holder);
}

void TestSingleInstance::fallbackDirectoryIsPrivate()
{
    // Without a runtime directory the lock lives in /tmp/quennet-<uid>.
    const QString name = QStringLiteral("fallback-%1").arg(QCoreApplication::applicationPid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QProcess first;
    first.setProcessEnvironment(env);
    QCOMPARE(startHolder(first, name), QStringLiteral("held"));
    QProcess second;
    second.setProcessEnvironment(env);
    QCOMPARE(startHolder(second, name), QStringLiteral("refused"));
    second.waitForFinished(10000);

    const QString dir = QStringLiteral("/tmp/quennet-%1").arg(::getuid());
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(dir).constData(), &info), 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
    QCOMPARE(info.st_uid, ::getuid());
    stop(first);
    QFile::remove(dir + QLatin1Char('/') + name + QStringLiteral(".lock"));
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], kHoldArgument) == 0)
        return holdLock(argv[2]);

    // Every lock of this run lives in a private runtime directory; the
    // children inherit it.
    QTemporaryDir runtime;
    if (!runtime.isValid())
        return 1;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));

    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_single_instance.moc"
