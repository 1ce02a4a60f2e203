// Installation as a desktop program: cmake --install into a fresh prefix,
// the release programs installed (not the testing copies the other tests
// run), the desktop entry and AppStream metainfo checked by their validators,
// and the installed program keeping its store in the user's data directory.

#include "contacts/store/Sealing.h"
#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include "support/RawSqlite.h"
#include <QtTest>

#include <unistd.h>

namespace test = quennet::test;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    process.waitForFinished();
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, process.readAll()};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kAppId = QStringLiteral("org.quennet.addressbook");
const QString kNobody = QStringLiteral("65534");

bool canRunAsNobody()
{
    return ::geteuid() == 0 &&
           run(QStringLiteral("setpriv"),
               {QStringLiteral("--reuid=") + kNobody, QStringLiteral("--regid=") + kNobody,
                QStringLiteral("--clear-groups"), QStringLiteral("true")})
                   .exitCode == 0;
}

// A directory the user nobody may enter (and, when asked, write).
bool openTo(const QString &path, bool nobodyWrites)
{
    const QByteArray name = QFile::encodeName(path);
    if (nobodyWrites && ::chown(name.constData(), 65534, 65534) != 0)
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString prefix() const { return m_root.filePath(QStringLiteral("prefix")); }
    QString installed(const QString &relative) const { return prefix() + QLatin1Char('/') + relative; }

    // The testing copy of the program in the installed layout, beside the
    // installed one: it finds its files as the installed program does and
    // reports its windows.
    QString installedTestingCopy() const
    {
        const QString copy = installed(QStringLiteral("bin/quennet_testing"));
        if (!QFile::exists(copy))
            QFile::copy(test::quennetBinary(), copy);
        return copy;
    }

    static QProcessEnvironment environmentWithHome(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUENNET_TEST_MODE"), QStringLiteral("1"));
        return env;
    }

    // Starts a testing copy of the program with its switch and the given
    // home (and, with asNobody, as the user nobody); true when the main
    // window came up.
    bool startsToMainWindow(const QString &executable, const QString &home, bool asNobody, QByteArray &log)
    {
        QProcess process;
        process.setProcessEnvironment(environmentWithHome(home));
        if (asNobody)
            process.start(QStringLiteral("setpriv"),
                          {QStringLiteral("--reuid=") + kNobody, QStringLiteral("--regid=") + kNobody,
                           QStringLiteral("--clear-groups"), executable});
        else
            process.start(executable, {});
        const bool shown = test::waitForLine(process, QStringLiteral("window: 主窗口"), log);
        process.kill();
        process.waitForFinished();
        return shown;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(openTo(m_root.path(), false));
        const Run install = run(QStringLiteral("cmake"),
                                {QStringLiteral("--install"), qEnvironmentVariable("QUENNET_BUILD_DIR"),
                                 QStringLiteral("--prefix"), prefix()});
        QVERIFY2(install.exitCode == 0, install.output.constData());
    }

    void installsEveryFile_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file :
             {"bin/quennet", "bin/wab", "libexec/quennet/wab-sync", "share/quennet/skin/bg01.bmp",
              "share/quennet/skin/bg02.bmp", "share/quennet/skin/bg03.bmp", "share/quennet/Help.html",
              "share/quennet/screenshots/main.png"})
            QTest::newRow(file) << QString::fromLatin1(file);
        QTest::newRow("desktop entry") << QStringLiteral("share/applications/%1.desktop").arg(kAppId);
        QTest::newRow("metainfo") << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId);
        for (int size : {16, 24, 32, 48, 64, 256})
            QTest::addRow("icon %d", size)
                << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
    }

    void installsEveryFile()
    {
        QFETCH(QString, file);
        QVERIFY2(QFileInfo(installed(file)).size() > 0, qPrintable(file));
    }

    // What is installed is what the program directory holds: the release
    // builds, whatever the build directory was configured with.
    void installsTheReleasePrograms()
    {
        for (const QString &file : {QStringLiteral("bin/quennet"), QStringLiteral("bin/wab"),
                                    QStringLiteral("libexec/quennet/wab-sync")}) {
            const QString program = QFileInfo(file).fileName();
            const QString released = qEnvironmentVariable("QUENNET_PROGRAM_DIR") + QLatin1Char('/') + program;
            QVERIFY2(fileBytes(installed(file)) == fileBytes(released), qPrintable(program));
            QVERIFY(fileBytes(installed(file)) !=
                    fileBytes(qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QLatin1Char('/') + program));
        }
    }

    // The installed program does not know the testing switch: it makes its
    // store and runs, and reports no window.
    void installedProgramIgnoresTheTestingSwitch()
    {
        QTemporaryDir home;
        const QString store = home.filePath(QStringLiteral(".local/share/quennet/wab.vdb"));
        QProcess process;
        process.setProcessEnvironment(environmentWithHome(home.path()));
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(installed(QStringLiteral("bin/quennet")), {});
        QVERIFY(process.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(store) && clock.elapsed() < 20000 && process.state() == QProcess::Running)
            process.waitForReadyRead(100);
        QVERIFY(QFile::exists(store));
        // Time for the login and the main window to come up (and be reported
        // by a program with the switch).
        clock.restart();
        while (clock.elapsed() < 2000 && process.state() == QProcess::Running)
            process.waitForReadyRead(100);
        const bool running = process.state() == QProcess::Running;
        process.kill();
        process.waitForFinished();
        const QByteArray output = process.readAll();
        QVERIFY2(running, output.constData());
        QVERIFY2(!output.contains("window: "), output.constData());
    }

    // A store protected by the installed wab has the release cost, which
    // takes it about a fifth of a second to open, not the tests' cheap one.
    void installedWabWritesTheReleaseCost()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("wab.vdb"));
        QProcess wab;
        wab.start(installed(QStringLiteral("bin/wab")),
                  {QStringLiteral("init"), QStringLiteral("--password-stdin"), store});
        wab.write("密码\n");
        wab.closeWriteChannel();
        QVERIFY(wab.waitForFinished(60000));
        QCOMPARE(wab.exitCode(), 0);
        test::RawDb raw(store);
        QCOMPARE(raw.integer("SELECT value FROM meta WHERE key = 'kdf_opslimit'"),
                 quennet::store::kReleaseKdfCost.opsLimit);
        QCOMPARE(raw.integer("SELECT value FROM meta WHERE key = 'kdf_memlimit'"),
                 quennet::store::kReleaseKdfCost.memLimit);
    }

    // The installed wab finds its sync program in libexec/quennet/: on a
    // store without settings that program answers, not wab.
    void installedWabRunsItsSyncProgram()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("wab.vdb"));
        const Run init = run(installed(QStringLiteral("bin/wab")), {QStringLiteral("init"), store});
        QVERIFY2(init.exitCode == 0, init.output.constData());
        const Run sync = run(installed(QStringLiteral("bin/wab")), {QStringLiteral("sync"), store});
        QCOMPARE(sync.exitCode, 2);
        QVERIFY2(sync.output.contains("还没有设置同步"), sync.output.constData());
    }

    void iconsHaveTheirSize()
    {
        for (int size : {16, 24, 32, 48, 64, 256}) {
            const QImage icon(
                installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
            QCOMPARE(icon.size(), QSize(size, size));
        }
    }

    void desktopEntryPassesItsValidator()
    {
        const Run check = run(QStringLiteral("desktop-file-validate"),
                              {installed(QStringLiteral("share/applications/%1.desktop").arg(kAppId))});
        QVERIFY2(check.exitCode == 0 && check.output.isEmpty(), check.output.constData());
    }

    // The screenshot URL is where the installed screenshot gets published;
    // without network the validator checks everything but its reachability.
    void metainfoPassesItsValidator()
    {
        const Run check =
            run(QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
                 installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId))});
        QVERIFY2(check.exitCode == 0, check.output.constData());
        QVERIFY2(!check.output.contains("E:") && !check.output.contains("W:"), check.output.constData());
        const QImage screenshot(installed(QStringLiteral("share/quennet/screenshots/main.png")));
        const QByteArray metainfo = [&] {
            QFile file(installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId)));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QVERIFY(metainfo.contains(QStringLiteral("width=\"%1\" height=\"%2\"")
                                      .arg(screenshot.width())
                                      .arg(screenshot.height())
                                      .toLatin1()));
    }

    // The first start makes an empty store in ~/.local/share/quennet; later
    // starts keep it; nothing is written beside the executable.
    void installedProgramKeepsItsStoreInTheUserDataDir()
    {
        QTemporaryDir home;
        const QString store = home.filePath(QStringLiteral(".local/share/quennet/wab.vdb"));
        QByteArray log;
        QVERIFY2(startsToMainWindow(installedTestingCopy(), home.path(), false, log), log.constData());
        QVERIFY(QFile::exists(store));
        QCOMPARE(QFileInfo(QFileInfo(store).path()).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        QVERIFY(!QFile::exists(installed(QStringLiteral("bin/wab.vdb"))));

        const Run add = run(installed(QStringLiteral("bin/wab")),
                            {QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("张三"), store});
        QVERIFY2(add.exitCode == 0, add.output.constData());
        log.clear();
        QVERIFY2(startsToMainWindow(installedTestingCopy(), home.path(), false, log), log.constData());
        const Run list = run(installed(QStringLiteral("bin/wab")), {QStringLiteral("list"), store});
        QVERIFY2(list.output.contains("张三"), list.output.constData());
    }

    // A portable directory that its user may not write (unpacked by root):
    // the store goes to the user's data directory, the skins come from beside
    // the program.
    void unwritablePortableDirectoryUsesTheUserDataDir()
    {
        if (!canRunAsNobody())
            QSKIP("needs root and setpriv to run the program as the user nobody");
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("program"));
        QVERIFY(test::copyDir(qEnvironmentVariable("QUENNET_PROGRAM_DIR") + QStringLiteral("/skin"),
                              program + QStringLiteral("/skin")));
        QVERIFY(QFile::copy(test::quennetBinary(), program + QStringLiteral("/quennet")));
        const QString home = root.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        QVERIFY(openTo(root.path(), false) && openTo(program, false) && openTo(home, true));

        QByteArray log;
        QVERIFY2(startsToMainWindow(program + QStringLiteral("/quennet"), home, true, log), log.constData());
        QVERIFY(QFile::exists(home + QStringLiteral("/.local/share/quennet/wab.vdb")));
        QVERIFY(!QFile::exists(program + QStringLiteral("/wab.vdb")));
    }
};

QTEST_MAIN(InstallTest)
#include "tst_peer_install.moc"
