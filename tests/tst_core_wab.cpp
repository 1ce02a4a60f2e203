// The wab tool as a user runs it: the built binary in a scratch directory,
// passwords through standard input, results by exit code and output.

#include "contacts/Maintenance.h"
#include "contacts/store/ContactStore.h"
#include "support/DataRows.h"
#include "support/Person.h"
#include "support/Processes.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <QThread>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace test = quennet::test;

using quennet::ContactStore;

namespace {

using Result = quennet::test::CommandResult;

QString wabPath()
{
    // The testing copy; run by hand the test finds it beside its own directory.
    const QString dir = qEnvironmentVariable("QUENNET_TEST_BIN_DIR");
    return (dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../testing") : dir) +
           QStringLiteral("/wab");
}

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// wab with args on a terminal of its own (*master its other side), once it
// has switched the echo off to read a password.
pid_t startOnTerminal(const QStringList &args, int *master)
{
    QList<QByteArray> encoded{QFile::encodeName(wabPath())};
    for (const QString &arg : args)
        encoded << arg.toUtf8();
    std::vector<char *> argv;
    for (QByteArray &arg : encoded)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = ::forkpty(master, nullptr, nullptr, nullptr);
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    struct termios settings {};
    for (int i = 0; i < 1000 && ::tcgetattr(*master, &settings) == 0 && (settings.c_lflag & ECHO); ++i)
        QThread::msleep(10);
    return child;
}

// What the terminal showed until wanted appeared or wab ended.
QByteArray readTerminalUntil(int master, const QByteArray &wanted)
{
    QByteArray seen;
    char buffer[512];
    while (wanted.isEmpty() || !seen.contains(wanted)) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break; // EIO once the child has gone
        seen.append(buffer, n);
    }
    return seen;
}

// Whether any writable memory of the running process holds bytes.
bool memoryHolds(pid_t pid, const QByteArray &bytes)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    const int memory = ::open(QStringLiteral("/proc/%1/mem").arg(pid).toLatin1().constData(), O_RDONLY);
    bool found = !maps.open(QIODevice::ReadOnly) || memory < 0;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (found || fields.size() < 2 || !fields[1].startsWith("rw"))
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        const quint64 start = range.value(0).toULongLong(nullptr, 16);
        QByteArray region(qsizetype(range.value(1).toULongLong(nullptr, 16) - start), Qt::Uninitialized);
        found =
            ::pread(memory, region.data(), size_t(region.size()), off_t(start)) > 0 && region.contains(bytes);
    }
    ::close(memory);
    return found;
}

} // namespace

class TestWab : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs wab in the scratch directory with input on its standard input
    // (closed afterwards, so a read past it sees end of input).
    // dataLimit, when given, bounds the memory wab may allocate (RLIMIT_DATA).
    Result wab(const QStringList &args, const QByteArray &input = QByteArray(), rlim_t dataLimit = 0)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        if (dataLimit != 0)
            process.setChildProcessModifier([dataLimit] {
                const struct rlimit limit {
                    dataLimit, dataLimit
                };
                ::setrlimit(RLIMIT_DATA, &limit);
            });
        process.start(wabPath(), args);
        if (!process.waitForStarted(10000))
            return Result();
        process.write(input);
        process.closeWriteChannel();
        return test::finishCommand(process, 30000);
    }

    // Every run of wab started at once, all with the same standard input; the
    // results in the order of runs. Output goes to files, so that hundreds of
    // runs need no pipes.
    QList<Result> wabAtOnce(const QList<QStringList> &runs, const QByteArray &input)
    {
        const QString inputFile = path(QStringLiteral("at-once.in"));
        if (!test::writeAll(inputFile, input))
            return {};
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < runs.size(); ++i) {
            auto process = std::make_unique<QProcess>();
            process->setWorkingDirectory(m_dir.path());
            process->setStandardInputFile(inputFile);
            process->setStandardOutputFile(path(QStringLiteral("at-once-%1.out").arg(i)));
            process->setStandardErrorFile(path(QStringLiteral("at-once-%1.err").arg(i)));
            process->start(wabPath(), runs.at(i));
            processes.push_back(std::move(process));
        }
        QList<Result> results;
        for (int i = 0; i < runs.size(); ++i) {
            QProcess &process = *processes[size_t(i)];
            Result result;
            if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
                result.code = process.exitCode();
            result.out = QString::fromUtf8(test::readAll(path(QStringLiteral("at-once-%1.out").arg(i))));
            result.err = QString::fromUtf8(test::readAll(path(QStringLiteral("at-once-%1.err").arg(i))));
            results << result;
        }
        return results;
    }

    // A fresh store holding the given records (name, phone, mobile, QQ).
    QString storeWith(const QString &name, const QList<QStringList> &records,
                      const QString &password = QString())
    {
        const QString file = path(name);
        QFile::remove(file);
        QList<QStringList> rows;
        for (QStringList record : records)
            rows << (record << QStringList(quennet::kFieldCount - record.size()));
        return test::writeStore(file, password, rows) ? file : QString();
    }

    QStringList listed(const QString &store, const QByteArray &input = QByteArray())
    {
        const QStringList args =
            input.isEmpty() ? QStringList{QStringLiteral("list"), store}
                            : QStringList{QStringLiteral("list"), QStringLiteral("--password-stdin"), store};
        return lines(wab(args, input).out);
    }

private slots:
    void initTestCase();
    void init_();
    void initRemovesWhatKilledCreationsLeft();
    void fullDiskIsSaid_data();
    void fullDiskIsSaid();
    void passwords();
    void passwdFollowsTheRule_data();
    void passwdFollowsTheRule();
    void check();
    void reasons_data();
    void passwordFromTerminalNotEchoed();
    void typedPasswordIsGoneOnceTheStoreIsOpen();
    void readsOnlyThePasswordLinesItNeeds_data();
    void readsOnlyThePasswordLinesItNeeds();
    void parallelWriters_data();
    void parallelWriters();
    void reasons();
    void oversizedValuesAreNeverRead_data();
    void oversizedValuesAreNeverRead();
    void add_data();
    void add();
    void addedValuesListExactly();
    void unwrittenOutputIsSaid();
    void find();
    void modify_data();
    void modify();
    void deleteRecord();
    void backupAndClear();
    void usage_data();
    void usage();
};

void TestWab::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(wabPath()), qPrintable(wabPath()));
}

void TestWab::init_()
{
    // The way the program directory is laid out: no password, no terminal.
    Result r = wab({QStringLiteral("init"), QStringLiteral("--password-stdin"), QStringLiteral("wab.vdb")});
    QCOMPARE(r.code, 0);
    const QString store = path(QStringLiteral("wab.vdb"));
    QVERIFY(QFile::exists(store));
    QVERIFY(!ContactStore::hasPassword(store));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(store).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
    QCOMPARE(wab({QStringLiteral("list")}).code, 0); // ./wab.vdb by default
    QCOMPARE(wab({QStringLiteral("list")}).out, QString());

    // An existing store is never overwritten.
    QVERIFY(!storeWith(QStringLiteral("full.vdb"), {{QStringLiteral("张三")}}).isEmpty());
    QFile full(path(QStringLiteral("full.vdb")));
    QVERIFY(full.open(QIODevice::ReadOnly));
    const QByteArray before = full.readAll();
    full.close();
    r = wab({QStringLiteral("init"), QStringLiteral("full.vdb")});
    QCOMPARE(r.code, 1);
    QVERIFY(!r.err.isEmpty());
    QVERIFY(full.open(QIODevice::ReadOnly));
    QCOMPARE(full.readAll(), before);
    full.close();
    QCOMPARE(wab({QStringLiteral("init")}).code, 1); // ./wab.vdb exists

    // An empty first line means no password, as does end of input.
    QCOMPARE(
        wab({QStringLiteral("init"), QStringLiteral("--password-stdin"), QStringLiteral("blank.vdb")}, "\n")
            .code,
        0);
    QVERIFY(!ContactStore::hasPassword(path(QStringLiteral("blank.vdb"))));

    QCOMPARE(wab({QStringLiteral("init"), QStringLiteral("no/such/dir/x.vdb")}).code, 2);
    QCOMPARE(wab({QStringLiteral("init"), QStringLiteral("--password"), QStringLiteral("--password-stdin"),
                  QStringLiteral("y.vdb")})
                 .code,
             2);
    // --password types on a terminal; there is none here.
    QCOMPARE(wab({QStringLiteral("init"), QStringLiteral("--password"), QStringLiteral("z.vdb")}).code, 2);
    QVERIFY(!QFile::exists(path(QStringLiteral("z.vdb"))));
}

// A killed init leaves its temporary store (and journal) beside the store:
// the next init removes what is old and locked by no running init.
void TestWab::initRemovesWhatKilledCreationsLeft()
{
    const QDir dir(path(QStringLiteral("leftovers")));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    const auto leave = [&](const char *name, int ageMinutes) {
        QFile file(dir.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush() &&
               file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * ageMinutes),
                                QFileDevice::FileModificationTime);
    };
    for (const char *old : {"wab.vdb.new-Ab12Cd", "wab.vdb.new-Ab12Cd-journal", "wab.vdb.new-Gone00-journal",
                            "wab.vdb.new-Held00", "other.vdb.new-Ab12Cd"})
        QVERIFY(leave(old, 60));
    QVERIFY(leave("wab.vdb.new-Young0", 1));
    QFile held(dir.filePath(QStringLiteral("wab.vdb.new-Held00")));
    QVERIFY(held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_EX) == 0); // an init still running
    QCOMPARE(wab({QStringLiteral("init"), dir.filePath(QStringLiteral("wab.vdb"))}).code, 0);
    QCOMPARE(dir.entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("other.vdb.new-Ab12Cd"), QStringLiteral("wab.vdb"),
                          QStringLiteral("wab.vdb.new-Held00"), QStringLiteral("wab.vdb.new-Young0")}));
}

void TestWab::fullDiskIsSaid_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("passwd") << QStringList{QStringLiteral("passwd"), QStringLiteral("s.vdb")};
    QTest::newRow("backup") << QStringList{QStringLiteral("backup"), QStringLiteral("s.bak"),
                                           QStringLiteral("s.vdb")};
    QTest::newRow("export") << QStringList{QStringLiteral("export"), QStringLiteral("text"),
                                           QStringLiteral("s.txt"), QStringLiteral("s.vdb")};
}

// On a small file system filled to the last byte.
void TestWab::fullDiskIsSaid()
{
    QFETCH(QStringList, args);
    const QString disk = path(QStringLiteral("full"));
    QVERIFY(QDir().mkpath(disk));
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=256k") != 0)
        QSKIP(qPrintable(QStringLiteral("a full disk is a small tmpfs, and mounting one failed: %1")
                             .arg(qt_error_string(errno))));
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
    QList<QStringList> rows;
    for (int i = 0; i < 30; ++i)
        rows << test::Person(QStringLiteral("人%1").arg(i)).address(QString(300, QLatin1Char('x')));
    QVERIFY(test::writeStore(disk + QStringLiteral("/s.vdb"), QStringLiteral("pw"), rows));
    QFile filler(disk + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
    }
    filler.close();
    QProcess process;
    process.setWorkingDirectory(disk);
    process.start(wabPath(), args << QStringLiteral("--password-stdin"));
    process.write("pw\nnew\nnew\n");
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(30000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains(QStringLiteral("\n  磁盘已满")), qPrintable(err));
}

void TestWab::passwords()
{
    const QString stdinFlag = QStringLiteral("--password-stdin");
    const QString list = QStringLiteral("list");
    const QString passwd = QStringLiteral("passwd");
    QCOMPARE(wab({QStringLiteral("init"), stdinFlag, QStringLiteral("p.vdb")}, "密码一\n").code, 0);
    const QString store = path(QStringLiteral("p.vdb"));
    QVERIFY(ContactStore::hasPassword(store));
    ContactStore direct;
    QVERIFY(direct.open(store, QStringLiteral("密码一")));
    QVERIFY(direct.append(test::Person(QStringLiteral("张三"))));
    direct.close();

    Result r = wab({list, stdinFlag, QStringLiteral("p.vdb")}, "密码二\n");
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains(QStringLiteral("密码错误")));
    QCOMPARE(r.out, QString());
    r = wab({list, stdinFlag, QStringLiteral("p.vdb")}, "密码一\n");
    QCOMPARE(r.code, 0);
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("张三\t\t\t\t\t")});
    r = wab({list, QStringLiteral("p.vdb")}); // no terminal to ask on
    QCOMPARE(r.code, 2);
    QVERIFY(!r.err.isEmpty());

    // Change: old, new, new again.
    QCOMPARE(wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "密码一\nabc\nabc\n").code, 0);
    QCOMPARE(wab({list, stdinFlag, QStringLiteral("p.vdb")}, "密码一\n").code, 2);
    QCOMPARE(wab({list, stdinFlag, QStringLiteral("p.vdb")}, "abc\n").code, 0);

    // A mismatch changes nothing.
    r = wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "abc\nxyz\nxy\n");
    QCOMPARE(r.code, 1);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(wab({list, stdinFlag, QStringLiteral("p.vdb")}, "abc\n").code, 0);

    // A wrong old password does not get as far as asking for a new one.
    QCOMPARE(wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "nope\nx\nx\n").code, 2);

    // An empty new password removes it; the records stay.
    QCOMPARE(wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "abc\n\n\n").code, 0);
    QVERIFY(!ContactStore::hasPassword(store));
    QCOMPARE(listed(QStringLiteral("p.vdb")), QStringList{QStringLiteral("张三\t\t\t\t\t")});

    // Setting one on a store without: no old password is read.
    QCOMPARE(wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "新\n新\n").code, 0);
    QVERIFY(ContactStore::hasPassword(store));
    QCOMPARE(listed(QStringLiteral("p.vdb"), "新\n"), QStringList{QStringLiteral("张三\t\t\t\t\t")});

    // End of input while the repetition is expected is an empty repetition.
    QCOMPARE(wab({passwd, stdinFlag, QStringLiteral("p.vdb")}, "新\nzzz\n").code, 1);
    QCOMPARE(listed(QStringLiteral("p.vdb"), "新\n").size(), 1);
}

void TestWab::passwdFollowsTheRule_data()
{
    using quennet::maintenance::PasswordOutcome;
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("after");
    const int wrongOld = int(PasswordOutcome::WrongOldPassword);
    const int mismatch = int(PasswordOutcome::Mismatch);
    const QString old = QStringLiteral("旧");
    QTest::newRow("wrong old password before a mismatch")
        << old << QByteArray("错\nx\ny\n") << 2 << wrongOld << old;
    QTest::newRow("right old password, mismatch") << old << QByteArray("旧\nx\ny\n") << 1 << mismatch << old;
    QTest::newRow("letter case differs") << old << QByteArray("旧\nabc\nABC\n") << 1 << mismatch << old;
    QTest::newRow("no password, mismatch") << QString() << QByteArray("x\ny\n") << 1 << mismatch << QString();
    QTest::newRow("both empty removes it")
        << old << QByteArray("旧\n\n\n") << 0 << int(PasswordOutcome::Changed) << QString();
}

// wab passwd refuses with the password window's messages, in its order.
void TestWab::passwdFollowsTheRule()
{
    using quennet::maintenance::PasswordOutcome;
    QFETCH(QString, password);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(int, outcome);
    QFETCH(QString, after);
    const QString store = storeWith(QStringLiteral("rule.vdb"), {{QStringLiteral("甲")}}, password);
    QVERIFY(!store.isEmpty());
    const Result r = wab({QStringLiteral("passwd"), QStringLiteral("--password-stdin"), store}, input);
    QCOMPARE(r.code, code);
    const QString said =
        quennet::maintenance::passwordMessage(PasswordOutcome(outcome), !password.isEmpty()).text;
    QVERIFY2(code == 0 || r.err.startsWith(said), qPrintable(r.err));
    QCOMPARE(ContactStore::hasPassword(store).ok, !after.isEmpty());
    ContactStore reopened;
    QVERIFY(reopened.open(store, after));
    QCOMPARE(reopened.recordCount(), 1);
}

void TestWab::check()
{
    const QString checkCmd = QStringLiteral("check");
    QVERIFY(
        !storeWith(QStringLiteral("good.vdb"), {{QStringLiteral("甲")}, {QStringLiteral("乙")}}).isEmpty());
    Result r = wab({checkCmd, QStringLiteral("good.vdb")});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("正常")), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("共2条记录")));
    QVERIFY(r.out.contains(QStringLiteral("无密码")));

    QVERIFY(
        !storeWith(QStringLiteral("sealed.vdb"), {{QStringLiteral("甲")}}, QStringLiteral("pw")).isEmpty());
    r = wab({checkCmd, QStringLiteral("--password-stdin"), QStringLiteral("sealed.vdb")}, "pw\n");
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("有密码")));
    r = wab({checkCmd, QStringLiteral("--password-stdin"), QStringLiteral("sealed.vdb")}, "wrong\n");
    QCOMPARE(r.code, 1);
    QVERIFY(!r.err.isEmpty());

    QVERIFY(test::writeAll(path(QStringLiteral("garbage.vdb")), QByteArray(4096, 'x')));
    r = wab({checkCmd, QStringLiteral("garbage.vdb")});
    QCOMPARE(r.code, 1);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(wab({QStringLiteral("list"), QStringLiteral("garbage.vdb")}).code, 2);

    QVERIFY(test::writeAll(path(QStringLiteral("empty.vdb")), QByteArray()));
    QCOMPARE(wab({checkCmd, QStringLiteral("empty.vdb")}).code, 1);

    r = wab({checkCmd, QStringLiteral("missing.vdb")});
    QCOMPARE(r.code, 2);
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(wab({QStringLiteral("list"), QStringLiteral("missing.vdb")}).code, 2);
}

void TestWab::reasons_data()
{
    // How the store is spoiled, the command, its exit code and the reason printed.
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    const QString trigger = QStringLiteral("trigger");
    QTest::newRow("list: trigger") << trigger << QStringLiteral("list") << 2 << QStringLiteral("表结构");
    QTest::newRow("check: trigger") << trigger << QStringLiteral("check") << 1 << QStringLiteral("表结构");
    QTest::newRow("add: trigger") << trigger << QStringLiteral("add") << 2 << QStringLiteral("表结构");
    QTest::newRow("check: fifo") << QStringLiteral("fifo") << QStringLiteral("check") << 2
                                 << QStringLiteral("不是普通文件");
    QTest::newRow("list: directory") << QStringLiteral("directory") << QStringLiteral("list") << 2
                                     << QStringLiteral("不是普通文件");
    QTest::newRow("list: newer") << QStringLiteral("newer") << QStringLiteral("list") << 2
                                 << QStringLiteral("更新版本");
    QTest::newRow("list: wrong password")
        << QStringLiteral("password") << QStringLiteral("list") << 2 << QStringLiteral("密码错误！");
    QTest::newRow("list: longer than its header says")
        << QStringLiteral("longer") << QStringLiteral("list") << 2 << QStringLiteral("文件长度不对：应有 ");
    QTest::newRow("check: shorter than its header says")
        << QStringLiteral("shorter") << QStringLiteral("check") << 1 << QStringLiteral("文件不完整：应有 ");
}

void TestWab::reasons()
{
    QFETCH(QString, spoil);
    QFETCH(QString, command);
    QFETCH(int, code);
    QFETCH(QString, reason);
    const QString name = QStringLiteral("spoilt.vdb");
    const QString file = storeWith(name, {{QStringLiteral("甲")}},
                                   spoil == QLatin1String("password") ? QStringLiteral("pw") : QString());
    QVERIFY(!file.isEmpty());
    const QByteArray encoded = QFile::encodeName(file);
    if (spoil == QLatin1String("fifo") || spoil == QLatin1String("directory")) {
        QVERIFY(QFile::remove(file));
        QVERIFY(spoil == QLatin1String("fifo") ? ::mkfifo(encoded.constData(), 0600) == 0
                                               : QDir().mkdir(file));
    } else if (spoil == QLatin1String("longer") || spoil == QLatin1String("shorter")) {
        const QByteArray bytes = test::readAll(file);
        QVERIFY(test::writeAll(file, spoil == QLatin1String("longer") ? bytes + QByteArray(4096, '\0')
                                                                      : bytes.left(bytes.size() - 4096)));
    } else if (spoil != QLatin1String("password")) {
        const char *statement =
            spoil == QLatin1String("newer")
                ? "UPDATE meta SET value = 2 WHERE key = 'format'"
                : "CREATE TRIGGER t AFTER INSERT ON records BEGIN DELETE FROM records; END";
        QVERIFY(test::RawDb(file).exec(statement));
    }
    QStringList args{command, QStringLiteral("--password-stdin"), name};
    if (command == QLatin1String("add"))
        args << QStringLiteral("--name") << QStringLiteral("乙");
    const Result r = wab(args, "wrong\n");
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    if (QFileInfo(file).isDir())
        QDir(file).removeRecursively();
    else
        QFile::remove(file);
}

void TestWab::passwordFromTerminalNotEchoed()
{
    // --password-stdin with a terminal as standard input: the typed password
    // must not appear on the terminal.
    const QString file =
        storeWith(QStringLiteral("tty.vdb"), {{QStringLiteral("甲")}}, QStringLiteral("sekrit42"));
    QVERIFY(!file.isEmpty());
    int master = -1;
    const pid_t child =
        startOnTerminal({QStringLiteral("list"), QStringLiteral("--password-stdin"), file}, &master);
    QVERIFY(child > 0);
    QVERIFY(::write(master, "sekrit42\n", 9) == 9);
    const QByteArray seen = readTerminalUntil(master, QByteArray());
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(master);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, seen.constData());
    QVERIFY2(seen.contains("甲"), seen.constData());
    QVERIFY2(!seen.contains("sekrit42"), seen.constData());
}

void TestWab::typedPasswordIsGoneOnceTheStoreIsOpen()
{
    const QString password = QStringLiteral("旧密码-Wiped-7f3a");
    const QString file = storeWith(QStringLiteral("wiped.vdb"), {{QStringLiteral("甲")}}, password);
    QVERIFY(!file.isEmpty());
    int master = -1;
    const pid_t child = startOnTerminal({QStringLiteral("passwd"), file}, &master);
    QVERIFY(child > 0);
    QVERIFY(::write(master, (password + QLatin1Char('\n')).toUtf8(), password.toUtf8().size() + 1) > 0);
    // The next prompt: the store is open and wab waits for the new password.
    const QByteArray seen = readTerminalUntil(master, QStringLiteral("新密码").toUtf8());
    const QByteArray utf16(reinterpret_cast<const char *>(password.utf16()), password.size() * 2);
    const bool kept = memoryHolds(child, password.toUtf8()) || memoryHolds(child, utf16);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(master);
    QVERIFY2(seen.contains(QStringLiteral("新密码").toUtf8()), seen.constData());
    QVERIFY(!kept);
}

void TestWab::readsOnlyThePasswordLinesItNeeds_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("password"); // of the store; null: there is none yet
    QTest::addColumn<QByteArray>("lines");
    const QString pw = QStringLiteral("pw");
    QTest::newRow("init") << QStringList{QStringLiteral("init")} << QString() << QByteArray("pw\n");
    QTest::newRow("list") << QStringList{QStringLiteral("list")} << pw << QByteArray("pw\n");
    QTest::newRow("passwd: old, new, again")
        << QStringList{QStringLiteral("passwd")} << pw << QByteArray("pw\r\nab\nab\n");
    QTest::newRow("passwd without a password: new, again")
        << QStringList{QStringLiteral("passwd")} << QStringLiteral("") << QByteArray("ab\nab\n");
}

// Standard input is a pipe this test reads from afterwards: what follows the
// lines wab needs must still be in it.
void TestWab::readsOnlyThePasswordLinesItNeeds()
{
    QFETCH(QStringList, args);
    QFETCH(QString, password);
    QFETCH(QByteArray, lines);
    const QString file = path(QStringLiteral("lines.vdb"));
    QFile::remove(file);
    QVERIFY(password.isNull() ||
            !storeWith(QStringLiteral("lines.vdb"), {{QStringLiteral("甲")}}, password).isEmpty());
    const QByteArray rest = "next command's line\n";
    int input[2];
    QVERIFY(::pipe2(input, O_CLOEXEC) == 0);
    const QByteArray written = lines + rest;
    QVERIFY(::write(input[1], written.constData(), size_t(written.size())) == written.size());
    ::close(input[1]);
    QProcess process;
    process.setChildProcessModifier([fd = input[0]] { ::dup2(fd, STDIN_FILENO); });
    process.start(wabPath(), args + QStringList{QStringLiteral("--password-stdin"), file});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    char left[64] = {};
    const ssize_t unread = ::read(input[0], left, sizeof left);
    ::close(input[0]);
    QCOMPARE(QByteArray(left, int(std::max<ssize_t>(unread, 0))), rest);
}

void TestWab::parallelWriters_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("adds");
    QTest::addColumn<bool>("sameName");
    QTest::addColumn<int>("deletes");
    QTest::newRow("ten adds of one name leave one") << QString() << 10 << true << 0;
    QTest::newRow("200 adds of different names") << QString() << 200 << false << 0;
    QTest::newRow("40 adds under a password") << QStringLiteral("密码") << 40 << false << 0;
    QTest::newRow("adds mixed with deletes") << QString() << 60 << false << 30;
    QTest::newRow("adds mixed with deletes under a password") << QStringLiteral("密码") << 30 << false << 15;
}

// Every wab started at once: each waits for the others' writes, reads in
// what they committed and applies the rules to that.
void TestWab::parallelWriters()
{
    QFETCH(QString, password);
    QFETCH(int, adds);
    QFETCH(bool, sameName);
    QFETCH(int, deletes);
    QList<QStringList> existing;
    for (int i = 0; i <= deletes; ++i)
        existing << QStringList{QStringLiteral("原%1").arg(i)};
    const QString store = storeWith(QStringLiteral("parallel.vdb"), existing, password);
    QVERIFY(!store.isEmpty());
    QList<QStringList> runs;
    QStringList added;
    for (int i = 0; i < adds; ++i) {
        added << (sameName ? QStringLiteral("同名") : QStringLiteral("人%1").arg(i));
        runs << QStringList{QStringLiteral("add"), QStringLiteral("--name"), added.last()};
    }
    // Each takes the first record, which is always one of those there before.
    for (int i = 0; i < deletes; ++i)
        runs.insert(i * runs.size() / deletes, {QStringLiteral("delete"), QStringLiteral("1")});
    for (QStringList &run : runs)
        run << QStringLiteral("--password-stdin") << store;
    const QList<Result> results = wabAtOnce(runs, password.toUtf8() + '\n');
    int done = 0;
    for (const Result &result : results) {
        const bool duplicate = result.code == 1 && sameName &&
                               result.err.startsWith(QStringLiteral("对不起！已经存在相同姓名的联系人哦！"));
        QVERIFY2(result.code == 0 || duplicate, qPrintable(result.err));
        done += result.code == 0 ? 1 : 0;
    }
    QCOMPARE(done, sameName ? 1 + deletes : runs.size());
    QStringList expected;
    for (const QStringList &record : existing.mid(deletes))
        expected << record.first();
    added.removeDuplicates();
    expected += added;
    QStringList names = test::storedNames(store, password);
    names.sort();
    expected.sort();
    QCOMPARE(names, expected);
    QCOMPARE(
        wab({QStringLiteral("check"), QStringLiteral("--password-stdin"), store}, password.toUtf8() + '\n')
            .code,
        0);
}

void TestWab::oversizedValuesAreNeverRead_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<QString>("problem");
    const QString record = QStringLiteral("第 2 条记录已损坏或被改动");
    const QString meta = QStringLiteral("通讯录的格式信息缺失或已损坏");
    const QByteArray fields = "UPDATE records SET fields = zeroblob(32000000) WHERE id = 2";
    QTest::newRow("record") << QString() << fields << record;
    QTest::newRow("record under a password") << QStringLiteral("pw") << fields << record;
    QTest::newRow("kdf_salt") << QStringLiteral("pw")
                              << QByteArray(
                                     "UPDATE meta SET value = zeroblob(32000000) WHERE key = 'kdf_salt'")
                              << meta;
    QTest::newRow("store_id") << QString()
                              << QByteArray(
                                     "UPDATE meta SET value = zeroblob(32000000) WHERE key = 'store_id'")
                              << meta;
}

// A value far beyond what the store writes is refused by its length, before
// it is read: wab says the store is damaged, in far less memory than the value.
void TestWab::oversizedValuesAreNeverRead()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, damage);
    QFETCH(QString, problem);
    const QString store = storeWith(QStringLiteral("oversized.vdb"),
                                    {{QStringLiteral("甲")}, {QStringLiteral("乙")}}, password);
    QVERIFY(!store.isEmpty());
    QVERIFY(test::RawDb(store).exec(damage.constData()));
    const rlim_t limit = rlim_t(16) << 20;
    const QByteArray input = password.toUtf8() + '\n';
    const QString stdinFlag = QStringLiteral("--password-stdin");
    const Result list = wab({QStringLiteral("list"), stdinFlag, store}, input, limit);
    QCOMPARE(list.code, 2);
    QCOMPARE(lines(list.err).mid(1), QStringList{QStringLiteral("  ") + problem});
    const Result check = wab({QStringLiteral("check"), stdinFlag, store}, input, limit);
    QCOMPARE(check.code, 1);
    QVERIFY2(lines(check.err).contains(QStringLiteral("  ") + problem), qPrintable(check.err));
    QFile::remove(store);
}

void TestWab::add_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // on stdout for success, else on stderr

    // The store holds 张三 | 010-1 | 13800000001 | 11111.
    const QString ok = QStringLiteral("添加联系人成功！");
    QTest::newRow("new contact") << QStringList{QStringLiteral("--name"),   QStringLiteral("李四"),
                                                QStringLiteral("--phone"),  QStringLiteral("010-2"),
                                                QStringLiteral("--mobile"), QStringLiteral("13800000002"),
                                                QStringLiteral("--qq"),     QStringLiteral("123456789")}
                                 << 0 << ok;
    QTest::newRow("name only") << QStringList{QStringLiteral("--name=王五")} << 0 << ok;
    QTest::newRow("empty name") << QStringList{QStringLiteral("--name"), QString()} << 1
                                << QStringLiteral("对不起！姓名不能为无名氏哦！");
    QTest::newRow("same name") << QStringList{QStringLiteral("--name"), QStringLiteral("张三")} << 1
                               << QStringLiteral("对不起！已经存在相同姓名的联系人哦！");
    QTest::newRow("same phone") << QStringList{QStringLiteral("--name"), QStringLiteral("赵六"),
                                               QStringLiteral("--phone"), QStringLiteral("010-1")}
                                << 1 << QStringLiteral("对不起！已经存在相同电话的联系人哦！");
    QTest::newRow("same mobile") << QStringList{QStringLiteral("--name"),   QStringLiteral("赵六"),
                                                QStringLiteral("--phone"),  QStringLiteral("x"),
                                                QStringLiteral("--mobile"), QStringLiteral("13800000001")}
                                 << 1 << QStringLiteral("对不起！已经存在相同手机的联系人哦！");
    QTest::newRow("short mobile") << QStringList{QStringLiteral("--name"), QStringLiteral("赵六"),
                                                 QStringLiteral("--mobile"), QStringLiteral("1380000000")}
                                  << 1 << QStringLiteral("对不起！手机号码是11位数字哦！");
    QTest::newRow("same QQ") << QStringList{QStringLiteral("--name"),  QStringLiteral("赵六"),
                                            QStringLiteral("--phone"), QStringLiteral("x"),
                                            QStringLiteral("--qq"),    QStringLiteral("11111")}
                             << 1 << QStringLiteral("对不起！已经存在相同QQ的联系人哦！");
    QTest::newRow("long QQ") << QStringList{QStringLiteral("--name"), QStringLiteral("赵六"),
                                            QStringLiteral("--qq"), QStringLiteral("1234567890")}
                             << 1 << QStringLiteral("对不起！QQ号码不能大于9位数字哦！");
    QTest::newRow("no --name") << QStringList{QStringLiteral("--phone"), QStringLiteral("1")} << 2
                               << QString();
}

void TestWab::add()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    const QString store =
        storeWith(QStringLiteral("add.vdb"), {{QStringLiteral("张三"), QStringLiteral("010-1"),
                                               QStringLiteral("13800000001"), QStringLiteral("11111")}});
    QVERIFY(!store.isEmpty());

    const Result r = wab(QStringList{QStringLiteral("add")} + args + QStringList{QStringLiteral("add.vdb")});
    QCOMPARE(r.code, code);
    if (code == 0)
        QCOMPARE(lines(r.out), QStringList{message});
    else if (!message.isEmpty())
        QCOMPARE(lines(r.err), QStringList{message});
    else
        QVERIFY(!r.err.isEmpty());
    QCOMPARE(listed(QStringLiteral("add.vdb")).size(), code == 0 ? 2 : 1);
}

void TestWab::addedValuesListExactly()
{
    QVERIFY(!storeWith(QStringLiteral("exact.vdb"), {}).isEmpty());
    const QStringList args{QStringLiteral("add"),        QStringLiteral("--name"),
                           QStringLiteral(" 张 三 "),    QStringLiteral("--email"),
                           QStringLiteral("a@b.c"),      QStringLiteral("--address"),
                           QStringLiteral("北京\t一号"), QStringLiteral("--phone"),
                           QStringLiteral("-1"),         QStringLiteral("exact.vdb")};
    QCOMPARE(wab(args).code, 0);
    // Values are stored as given (no trimming); tab and backslash are escaped
    // in the listing so that every record keeps six fields on one line.
    QCOMPARE(wab({QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("a\\b"),
                  QStringLiteral("exact.vdb")})
                 .code,
             0);
    QCOMPARE(listed(QStringLiteral("exact.vdb")),
             (QStringList{QStringLiteral(" 张 三 \t-1\t\t\ta@b.c\t北京\\t一号"),
                          QStringLiteral("a\\\\b\t\t\t\t\t")}));

    ContactStore store;
    QVERIFY(store.open(path(QStringLiteral("exact.vdb"))));
    store.goTo(1);
    QCOMPARE(store.current().name, QStringLiteral(" 张 三 "));
    QCOMPARE(store.current().address, QStringLiteral("北京\t一号"));
}

// The listing is written in large pieces; one that cannot be written is no success.
void TestWab::unwrittenOutputIsSaid()
{
    QVERIFY(!storeWith(QStringLiteral("out.vdb"), {{QStringLiteral("甲")}}).isEmpty());
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(wabPath(), {QStringLiteral("list"), QStringLiteral("out.vdb")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), QStringLiteral("wab: 写标准输出时出错\n"));
}

void TestWab::find()
{
    QVERIFY(!storeWith(QStringLiteral("find.vdb"),
                       {{QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("13800000001")},
                        {QStringLiteral("李四"), QStringLiteral("2"), QStringLiteral("13800000002")},
                        {QStringLiteral("张三"), QStringLiteral("3"), QStringLiteral("13800000003"),
                         QStringLiteral("333")}})
                 .isEmpty());
    const QString store = QStringLiteral("find.vdb");
    const QString findCmd = QStringLiteral("find");

    Result r = wab({findCmd, QStringLiteral("--name"), QStringLiteral("张三"), store});
    QCOMPARE(r.code, 0);
    QCOMPARE(lines(r.out), (QStringList{QStringLiteral("1\t张三\t1\t13800000001\t\t\t"),
                                        QStringLiteral("3\t张三\t3\t13800000003\t333\t\t")}));
    r = wab({findCmd, QStringLiteral("--qq"), QStringLiteral("333"), store});
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("3\t张三\t3\t13800000003\t333\t\t")});
    QCOMPARE(wab({findCmd, QStringLiteral("--phone=2"), store}).out.left(2), QStringLiteral("2\t"));

    r = wab({findCmd, QStringLiteral("--mobile"), QStringLiteral("13800"), store});
    QCOMPARE(r.code, 1);
    QCOMPARE(lines(r.err), QStringList{QStringLiteral("对不起！找不到您想要查询的联系人哦！")});
    QCOMPARE(wab({findCmd, QStringLiteral("--name"), QStringLiteral("张三 "), store}).code, 1);
    QCOMPARE(wab({findCmd, QStringLiteral("--name"), QString(), store}).code, 1);

    // Search as you type: the same hits as the window's filter line.
    const QString match = QStringLiteral("--match");
    for (const char *typed : {"zhangsan", "zs", "张", "138 0000 0001", "13800000001"}) {
        r = wab({findCmd, match, QString::fromUtf8(typed), store});
        QCOMPARE(r.code, 0);
        QCOMPARE(lines(r.out).value(0).left(4), QStringLiteral("1\t张三"));
    }
    r = wab({findCmd, match, QStringLiteral("ls"), store});
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("2\t李四\t2\t13800000002\t\t\t")});
    r = wab({findCmd, match, QStringLiteral("wangwu"), store});
    QCOMPARE(r.code, 1);
    QCOMPARE(lines(r.err), QStringList{QStringLiteral("对不起！找不到您想要查询的联系人哦！")});
    QCOMPARE(wab({findCmd, match, QStringLiteral(" "), store}).code, 2);
    QCOMPARE(
        wab({findCmd, match, QStringLiteral("z"), QStringLiteral("--name"), QStringLiteral("z"), store}).code,
        2);

    QCOMPARE(wab({findCmd, store}).code, 2);
    QCOMPARE(wab({findCmd, QStringLiteral("--name"), QStringLiteral("a"), QStringLiteral("--qq"),
                  QStringLiteral("1"), store})
                 .code,
             2);
}

void TestWab::modify_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("second"); // record 2 afterwards
    const QString ok = QStringLiteral("修改联系人成功！");
    const QString before = QStringLiteral("李四\t010-2\t13800000002\t22222\t\t");
    QTest::newRow("given fields only") << QStringList{QStringLiteral("2"), QStringLiteral("--qq"),
                                                      QStringLiteral("333"), QStringLiteral("--address=北京")}
                                       << 0 << ok << QStringLiteral("李四\t010-2\t13800000002\t333\t\t北京");
    QTest::newRow("its own name again")
        << QStringList{QStringLiteral("2"), QStringLiteral("--name=李四")} << 0 << ok << before;
    QTest::newRow("another's name") << QStringList{QStringLiteral("2"), QStringLiteral("--name=张三")} << 1
                                    << QStringLiteral("对不起！已经存在同姓名的联系人哦！") << before;
    QTest::newRow("short mobile") << QStringList{QStringLiteral("2"), QStringLiteral("--mobile=138")} << 1
                                  << QStringLiteral("对不起！手机号码是11位数字哦！") << before;
    QTest::newRow("no such record") << QStringList{QStringLiteral("3"), QStringLiteral("--qq=1")} << 1
                                    << QStringLiteral("对不起！没有第3条记录！（共2条记录）") << before;
    QTest::newRow("no number") << QStringList{QStringLiteral("--qq=1")} << 2
                               << QStringLiteral("wab: 记录号不是整数：mod.vdb") << before;
}

// A record changed by number, under the window's modifying rules.
void TestWab::modify()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, second);
    QVERIFY(!storeWith(QStringLiteral("mod.vdb"), {{QStringLiteral("张三"), QStringLiteral("010-1"),
                                                    QStringLiteral("13800000001"), QStringLiteral("11111")},
                                                   {QStringLiteral("李四"), QStringLiteral("010-2"),
                                                    QStringLiteral("13800000002"), QStringLiteral("22222")}})
                 .isEmpty());
    const Result r =
        wab(QStringList{QStringLiteral("modify")} + args + QStringList{QStringLiteral("mod.vdb")});
    QCOMPARE(r.code, code);
    QCOMPARE(lines(code == 0 ? r.out : r.err), QStringList{message});
    QCOMPARE(listed(QStringLiteral("mod.vdb")).value(1), second);
}

void TestWab::deleteRecord()
{
    QVERIFY(!storeWith(QStringLiteral("del.vdb"),
                       {{QStringLiteral("一")}, {QStringLiteral("二")}, {QStringLiteral("三")}})
                 .isEmpty());
    const QString store = QStringLiteral("del.vdb");
    const QString del = QStringLiteral("delete");

    Result r = wab({del, QStringLiteral("2"), store});
    QCOMPARE(r.code, 0);
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("删除联系人成功！")});
    QCOMPARE(listed(store), (QStringList{QStringLiteral("一\t\t\t\t\t"), QStringLiteral("三\t\t\t\t\t")}));
    QCOMPARE(lines(wab({QStringLiteral("find"), QStringLiteral("--name"), QStringLiteral("三"), store}).out),
             QStringList{QStringLiteral("2\t三\t\t\t\t\t")});

    for (const char *outOfRange : {"0", "3", "-1"}) {
        r = wab({del, QLatin1String(outOfRange), store});
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
    }
    QCOMPARE(listed(store).size(), 2);
    QCOMPARE(wab({del, QStringLiteral("zwei"), store}).code, 2);
    QCOMPARE(wab({del}).code, 2);
    QCOMPARE(wab({del, QStringLiteral("1"), QStringLiteral("missing.vdb")}).code, 2);
}

void TestWab::backupAndClear()
{
    const QString stdinFlag = QStringLiteral("--password-stdin");
    const QString store =
        storeWith(QStringLiteral("b.vdb"), {{QStringLiteral("张三")}, {QStringLiteral("李四")}},
                  QStringLiteral("备份"));
    QVERIFY(!store.isEmpty());
    QFile::remove(path(QStringLiteral("b.bak")));

    // A byte copy that keeps the password.
    Result r = wab({QStringLiteral("backup"), stdinFlag, QStringLiteral("b.bak"), QStringLiteral("b.vdb")},
                   "备份\n");
    QCOMPARE(r.code, 0);
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("备份成功！ b.bak")});
    QFile original(store), copy(path(QStringLiteral("b.bak")));
    QVERIFY(original.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), original.readAll());
    QCOMPARE(listed(QStringLiteral("b.bak"), "备份\n").size(), 2);
    // Never over the store itself.
    r = wab({QStringLiteral("backup"), stdinFlag, QStringLiteral("b.vdb"), QStringLiteral("b.vdb")},
            "备份\n");
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("备份失败！")));
    QCOMPARE(wab({QStringLiteral("backup")}).code, 2);

    // Clearing wants --yes.
    QCOMPARE(wab({QStringLiteral("clear"), stdinFlag, QStringLiteral("b.vdb")}, "备份\n").code, 2);
    QCOMPARE(listed(QStringLiteral("b.vdb"), "备份\n").size(), 2);
    r = wab({QStringLiteral("clear"), QStringLiteral("--yes"), stdinFlag, QStringLiteral("b.vdb")}, "备份\n");
    QCOMPARE(r.code, 0);
    QCOMPARE(lines(r.out), QStringList{QStringLiteral("清空所有记录成功！")});
    QCOMPARE(listed(QStringLiteral("b.vdb"), "备份\n"), QStringList());
    QVERIFY(ContactStore::hasPassword(store));
    // The backup still holds what was there.
    QCOMPARE(listed(QStringLiteral("b.bak"), "备份\n").size(), 2);
}

void TestWab::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");

    QTest::newRow("nothing") << QStringList{} << 2;
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << 2;
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0;
    for (const char *command :
         {"init", "list", "passwd", "check", "add", "find", "delete", "backup", "clear"})
        QTest::addRow("%s --help", command)
            << QStringList{QLatin1String(command), QStringLiteral("--help")} << 0;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("list"), QStringLiteral("--all")} << 2;
    QTest::newRow("two stores") << QStringList{QStringLiteral("list"), QStringLiteral("a"),
                                               QStringLiteral("b")}
                                << 2;
    QTest::newRow("option given twice")
        << QStringList{QStringLiteral("add"), QStringLiteral("--name"), QStringLiteral("a"),
                       QStringLiteral("--name"), QStringLiteral("b")}
        << 2;
    QTest::newRow("option without its value")
        << QStringList{QStringLiteral("add"), QStringLiteral("--name")} << 2;
    QTest::newRow("flag with a value")
        << QStringList{QStringLiteral("list"), QStringLiteral("--password-stdin=x")} << 2;
}

void TestWab::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    const Result r = wab(args);
    QCOMPARE(r.code, code);
    if (code == 0) {
        QVERIFY(r.out.contains(QStringLiteral("用法")));
        QCOMPARE(r.err, QString());
    } else {
        QVERIFY(!r.err.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestWab)
#include "tst_core_wab.moc"
