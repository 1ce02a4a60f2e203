// Kill loops: wab add, delete, passwd and init and the program itself are
// killed with SIGKILL at random moments. After each kill the store opens and
// passes wab check, every contact whose write was reported done is there,
// no other was lost, and exactly one of the old and new passwords opens it.

#include "support/Person.h"
#include "support/Processes.h"
#include "support/ProgramDirectory.h"
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <csignal>

namespace test = quennet::test;

using quennet::ContactStore;

namespace {

// Each password round derives six keys: fewer of them.
constexpr int kKillsPerKind = 40;
constexpr int kPasswordKills = 20;

QString wabBinary()
{
    return qEnvironmentVariable("QUENNET_TEST_BIN_DIR") + QStringLiteral("/wab");
}

// One run of a program that may be killed before it ends.
struct Outcome {
    bool killed = false;
    int exitCode = -1;
};

// Starts program, feeds it input, and kills it with SIGKILL after delayUs
// microseconds unless it ended before.
Outcome runAndKill(const QString &program, const QStringList &arguments, const QByteArray &input,
                   qint64 delayUs, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    QElapsedTimer clock;
    clock.start();
    while (clock.nsecsElapsed() / 1000 < delayUs && process.state() != QProcess::NotRunning)
        process.waitForFinished(1);
    Outcome outcome;
    if (process.state() != QProcess::NotRunning) {
        ::kill(pid_t(process.processId()), SIGKILL);
        outcome.killed = true;
    }
    process.waitForFinished(30000);
    if (!outcome.killed && process.exitStatus() == QProcess::NormalExit)
        outcome.exitCode = process.exitCode();
    else
        outcome.killed = true; // ended by the signal, whatever raced
    return outcome;
}

// How long an uninterrupted run takes, to spread the kills over it.
qint64 timeOneRunUs(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QElapsedTimer clock;
    clock.start();
    runAndKill(program, arguments, input, 60'000'000);
    return qMax<qint64>(clock.nsecsElapsed() / 1000, 1000);
}

qint64 randomDelayUs(qint64 fullRunUs)
{
    return QRandomGenerator::global()->bounded(fullRunUs * 11 / 10 + 1);
}

bool passesWabCheck(const QString &path, const QString &password, QByteArray *output)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(wabBinary(), {QStringLiteral("check"), QStringLiteral("--password-stdin"), path});
    check.write(password.toUtf8() + '\n');
    check.closeWriteChannel();
    check.waitForFinished(30000);
    *output = check.readAll();
    return check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
}

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_store;
    QSet<QString> m_names; // what the store holds as far as the runs reported
    int m_kills = 0;
    int m_completed = 0;

    QStringList wabArgs(const QString &command, const QStringList &rest = {}) const
    {
        return QStringList{command, QStringLiteral("--password-stdin")} + rest + QStringList{m_store};
    }

    // The store opens and passes wab check; what it holds is m_names, give
    // or take the one contact the killed run was writing (m_names then
    // follows what the store holds).
    void verifyStore(const QString &password, const QString &inFlight, const char *what)
    {
        QByteArray output;
        QVERIFY2(passesWabCheck(m_store, password, &output), (QByteArray(what) + ": " + output).constData());
        // Both refuse a mark left behind: marking and purging commit together.
        const QStringList names = test::storedNames(m_store, password);
        const QSet<QString> stored(names.begin(), names.end());
        QCOMPARE(names.size(), stored.size());
        QSet<QString> expectedWith = m_names, expectedWithout = m_names;
        expectedWith.insert(inFlight);
        expectedWithout.remove(inFlight);
        QVERIFY2(stored == expectedWith || stored == expectedWithout,
                 qPrintable(QStringLiteral("%1 (%2 in flight): %3; expected %4")
                                .arg(QLatin1String(what), inFlight, names.join(QLatin1Char(',')),
                                     QStringList(m_names.begin(), m_names.end()).join(QLatin1Char(',')))));
        m_names = stored;
    }

    void setPasswordInProcess(const QString &old, const QString &fresh)
    {
        ContactStore store;
        QVERIFY(store.open(m_store, old));
        QVERIFY(store.setPassword(fresh));
    }

    void count(const Outcome &outcome)
    {
        if (outcome.killed)
            ++m_kills;
        else
            ++m_completed;
    }

private slots:
    void initTestCase()
    {
        test::useOwnRuntimeDir();
        QVERIFY(m_dir.isValid());
        m_store = m_dir.filePath(QStringLiteral("wab.vdb"));
        QVERIFY(ContactStore::create(m_store));
        ContactStore store;
        QVERIFY(store.open(m_store));
        for (int i = 1; i <= 20; ++i) {
            const QString name = QStringLiteral("原有%1").arg(i);
            QVERIFY(store.append(test::Person(name)));
            m_names.insert(name);
        }
    }

    void killedAddsLoseNothing()
    {
        const qint64 fullRun = timeOneRunUs(
            wabBinary(), wabArgs(QStringLiteral("add"), {QStringLiteral("--name"), QStringLiteral("计时")}),
            "\n");
        m_names.insert(QStringLiteral("计时"));
        for (int round = 0; round < kKillsPerKind; ++round) {
            const QString name = QStringLiteral("新增%1").arg(round);
            const Outcome outcome =
                runAndKill(wabBinary(), wabArgs(QStringLiteral("add"), {QStringLiteral("--name"), name}),
                           "\n", randomDelayUs(fullRun));
            count(outcome);
            if (!outcome.killed) {
                QCOMPARE(outcome.exitCode, 0);
                m_names.insert(name); // reported done: must be there
            }
            verifyStore(QString(), outcome.killed ? name : QString(), "add");
        }
    }

    void killedDeletesLoseNothingElse()
    {
        const qint64 fullRun =
            timeOneRunUs(wabBinary(), wabArgs(QStringLiteral("delete"), {QStringLiteral("1")}), "\n");
        m_names = [&] {
            const QStringList names = test::storedNames(m_store);
            return QSet<QString>(names.begin(), names.end());
        }();
        for (int round = 0; round < kKillsPerKind; ++round) {
            ContactStore store;
            QVERIFY(store.open(m_store));
            while (store.recordCount() < 5) { // the adds killed early left few
                const QString spare = QStringLiteral("补充%1-%2").arg(round).arg(store.recordCount());
                QVERIFY(store.append(test::Person(spare)));
                m_names.insert(spare);
            }
            const int number = 1 + QRandomGenerator::global()->bounded(store.recordCount());
            const QString name = store.fieldOf(number, quennet::FieldName);
            store.close();
            const Outcome outcome =
                runAndKill(wabBinary(), wabArgs(QStringLiteral("delete"), {QString::number(number)}), "\n",
                           randomDelayUs(fullRun));
            count(outcome);
            if (!outcome.killed) {
                QCOMPARE(outcome.exitCode, 0);
                m_names.remove(name);
            }
            verifyStore(QString(), outcome.killed ? name : QString(), "delete");
        }
    }

    // Cycles through three passwords: after each kill exactly one of the old
    // and the new one opens the store, with every contact.
    void killedPasswordChangesLeaveOnePassword()
    {
        const QStringList passwords = {QStringLiteral("甲密码1"), QStringLiteral("乙密码2"),
                                       QStringLiteral("丙密码3")};
        const auto input = [](const QString &old, const QString &fresh) {
            return (old + QLatin1Char('\n') + fresh + QLatin1Char('\n') + fresh + QLatin1Char('\n')).toUtf8();
        };
        setPasswordInProcess(QString(), passwords.at(0));
        const qint64 fullRun = timeOneRunUs(wabBinary(), wabArgs(QStringLiteral("passwd")),
                                            input(passwords.at(0), passwords.at(1)));
        int current = 1;
        for (int round = 0; round < kPasswordKills; ++round) {
            const int next = (current + 1) % passwords.size();
            const Outcome outcome =
                runAndKill(wabBinary(), wabArgs(QStringLiteral("passwd")),
                           input(passwords.at(current), passwords.at(next)), randomDelayUs(fullRun));
            count(outcome);
            ContactStore probe;
            const bool oldOpens = probe.open(m_store, passwords.at(current));
            probe.close();
            const bool newOpens = probe.open(m_store, passwords.at(next));
            probe.close();
            QVERIFY2(oldOpens != newOpens,
                     oldOpens ? "both passwords open the store" : "no password opens the store");
            if (!outcome.killed) {
                QCOMPARE(outcome.exitCode, 0);
                QVERIFY(newOpens);
            }
            if (newOpens)
                current = next;
            verifyStore(passwords.at(current), QString(), "passwd");
        }
        setPasswordInProcess(passwords.at(current), QString());
    }

    // A killed init leaves no store or an empty, whole one; a store that was
    // there before is never touched.
    void killedInitsLeaveNoHalfStore()
    {
        const QString fresh = m_dir.filePath(QStringLiteral("neu.vdb"));
        const QStringList args = {QStringLiteral("init"), QStringLiteral("--password-stdin"), fresh};
        const qint64 fullRun = timeOneRunUs(wabBinary(), args, "\n");
        for (int round = 0; round < kKillsPerKind; ++round) {
            QFile::remove(fresh);
            const Outcome outcome = runAndKill(wabBinary(), args, "\n", randomDelayUs(fullRun));
            count(outcome);
            if (!outcome.killed)
                QCOMPARE(outcome.exitCode, 0);
            QByteArray output;
            if (!outcome.killed || QFile::exists(fresh)) {
                QVERIFY2(passesWabCheck(fresh, QString(), &output),
                         (output + (outcome.killed ? " killed" : " ended")).constData());
                QCOMPARE(test::storedNames(fresh), QStringList());
            }
        }
        QFile::remove(fresh);
        QCOMPARE(runAndKill(wabBinary(), args, "\n", 60'000'000).exitCode, 0);
        const Outcome again = runAndKill(wabBinary(), args, "\n", 60'000'000);
        QCOMPARE(again.exitCode, 1);
    }

    // The program killed while it opens and shows the store.
    void killedProgramLeavesTheStoreWhole()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUENNET_TEST_MODE"), QStringLiteral("1"));
        // Measured up to the main window; killed anywhere up to it.
        qint64 fullRun = 0;
        {
            QElapsedTimer clock;
            clock.start();
            QByteArray log;
            auto process = test::startQuennet(m_dir.path(), test::useOwnRuntimeDir());
            QVERIFY2(test::waitForLine(*process, QStringLiteral("window: 主窗口"), log), log.constData());
            fullRun = clock.nsecsElapsed() / 1000;
            process->kill();
            process->waitForFinished();
        }
        for (int round = 0; round < kKillsPerKind; ++round) {
            const Outcome outcome =
                runAndKill(test::quennetBinary(), {QStringLiteral("--home"), m_dir.path()}, {},
                           randomDelayUs(fullRun), env);
            count(outcome);
            verifyStore(QString(), QString(), "program");
        }
    }

    void cleanupTestCase()
    {
        qInfo("kills: %d, runs that ended before their kill: %d", m_kills, m_completed);
        QVERIFY(m_kills >= 100);
    }
};

QTEST_GUILESS_MAIN(SoakTest)
#include "tst_soak_store.moc"
