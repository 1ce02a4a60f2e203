// The programs that are laid out and installed are release builds, whatever
// the build directory was configured with: neither carries the testing switch,
// the start-up probe, the window reports, the scripted windows or the fault
// plans of the test targets, and wab protects new stores at the release
// key-derivation cost. Of the command-line programs only wab-sync links the
// network.

#include "contacts/store/KdfCostTesting.h"
#include "contacts/store/Sealing.h"
#include "support/RawSqlite.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace test = quennet::test;
namespace store = quennet::store;

namespace {

QString releaseProgram(const QString &name)
{
    return qEnvironmentVariable("QUENNET_PROGRAM_DIR") + QLatin1Char('/') + name;
}

QString testingCopy(const QString &name)
{
    return qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QLatin1Char('/') + name;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Literals reach a binary as bytes (qgetenv, printf) or as UTF-16
// (QStringLiteral), identifiers through the symbol table and debug data.
bool carries(const QByteArray &binary, const QByteArray &text)
{
    QByteArray utf16;
    for (char c : text)
        utf16.append(c).append('\0');
    return binary.contains(text) || binary.contains(utf16);
}

struct Run {
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished();
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, process.readAll()};
}

// A wab command on the store at path, with its password on standard input.
Run wab(const QString &program, const QStringList &command, const QString &path)
{
    return run(program, command + QStringList{QStringLiteral("--password-stdin"), path}, "密码\n");
}

qint64 kdfOpsLimit(const QString &path)
{
    return test::RawDb(path).integer("SELECT value FROM meta WHERE key = 'kdf_opslimit'");
}

} // namespace

class ReleaseTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each seam is looked for in a binary that has it as well (the testing
    // copy of the program, or this test, which links the core's testing
    // flavour), so the search is known to find it.
    void releaseProgramsCarryNoTestSeam_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("seam");
        QTest::addColumn<QString>("carrier");
        const QString self = QCoreApplication::applicationFilePath();
        const QList<QByteArray> programSeams{"QUENNET_TEST_MODE",
                                             "QUENNET_TEST_DRIVE",
                                             "QUENNET_BENCH_STARTUP",
                                             "window: ",
                                             "message: %1",
                                             "startup-ms",
                                             "vmhwm-kb",
                                             "ShownWindowReporter",
                                             "StartupProbe",
                                             "MessageBoxScript",
                                             "ModalScript",
                                             "execScripted",
                                             "ScriptedHotKeys",
                                             "ScriptedTray",
                                             "answerScripted",
                                             "recordDocument",
                                             "test handler"};
        const QList<QByteArray> coreSeams{"ContactStoreTestAccess", "PlannedFaults", "failCommitOnce"};
        for (const QByteArray &seam : programSeams)
            QTest::addRow("quennet: %s", seam.constData())
                << QStringLiteral("quennet") << seam << testingCopy(QStringLiteral("quennet"));
        for (const char *program : {"quennet", "wab", "wab-sync"})
            for (const QByteArray &seam : coreSeams)
                QTest::addRow("%s: %s", program, seam.constData())
                    << QString::fromLatin1(program) << seam << self;
    }

    void releaseProgramsCarryNoTestSeam()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, seam);
        QFETCH(QString, carrier);
        const QByteArray release = fileBytes(releaseProgram(program));
        QVERIFY2(!release.isEmpty(), qPrintable(releaseProgram(program)));
        QVERIFY2(carries(fileBytes(carrier), seam), qPrintable(carrier));
        QVERIFY(!carries(release, seam));
    }

    // wab starts without the network, the keychain and D-Bus: only wab-sync,
    // which "wab sync" runs, links them.
    void onlyTheSyncProgramLinksTheNetwork()
    {
        for (const QByteArray &library : {QByteArray("libQt6Network.so"), QByteArray("libqt6keychain.so")}) {
            QVERIFY2(carries(fileBytes(releaseProgram(QStringLiteral("wab-sync"))), library), library.constData());
            QVERIFY2(!carries(fileBytes(releaseProgram(QStringLiteral("wab"))), library), library.constData());
        }
    }

    void releaseWabWritesTheReleaseCost()
    {
        const QString path = m_dir.filePath(QStringLiteral("release.vdb"));
        const QString release = releaseProgram(QStringLiteral("wab"));
        const Run init = wab(release, {QStringLiteral("init")}, path);
        QVERIFY2(init.exitCode == 0, init.output.constData());
        QCOMPARE(kdfOpsLimit(path), store::kReleaseKdfCost.opsLimit);
        QCOMPARE(test::RawDb(path).integer("SELECT value FROM meta WHERE key = 'kdf_memlimit'"),
                 store::kReleaseKdfCost.memLimit);
        const Run check = wab(release, {QStringLiteral("check")}, path);
        QVERIFY2(check.exitCode == 0, check.output.constData());
    }

    // A store the testing copy protected at the cheap cost is damaged to the
    // release build, and is not written.
    void releaseWabRefusesTheTestCost()
    {
        const QString path = m_dir.filePath(QStringLiteral("testing.vdb"));
        const QString release = releaseProgram(QStringLiteral("wab"));
        const Run init = wab(testingCopy(QStringLiteral("wab")), {QStringLiteral("init")}, path);
        QVERIFY2(init.exitCode == 0, init.output.constData());
        QCOMPARE(kdfOpsLimit(path), store::kTestKdfCost.opsLimit);
        const QByteArray before = fileBytes(path);
        const Run add = wab(release, {QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("张三")}, path);
        QCOMPARE(add.exitCode, 2);
        QVERIFY2(add.output.contains("损坏"), add.output.constData());
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(wab(release, {QStringLiteral("check")}, path).exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(ReleaseTest)
#include "tst_core_release.moc"
