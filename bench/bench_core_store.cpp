// Times the contact store on a 100,000-record file and prints a table.
//   bench_core_store [DIR]   DIR: where the store files go (default: a
//                            temporary directory beside the executable)
// Peak memory is measured in a fresh child process that only opens the store.

#include "BenchCommon.h"

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "contacts/store/Sealing.h"
#include "contacts/store/StoreFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace quennet;
using bench::repeat;
using bench::Stats;
using bench::statusKb;
using bench::timeMs;

namespace {

constexpr int kRecords = 100000;
const char kRssFlag[] = "--measure-open-rss";

int measureOpenRss(const QString &path, const QString &password)
{
    const qint64 before = statusKb("VmRSS:");
    ContactStore store;
    if (!store.open(path, password))
        return 1;
    printf("%lld %lld %lld %d\n", before, statusKb("VmRSS:"), statusKb("VmHWM:"), store.recordCount());
    return 0;
}

QString rssInChild(const QString &path, const QString &password)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kRssFlag, path, password});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return QStringLiteral("failed");
    const QList<QByteArray> kb = child.readAllStandardOutput().trimmed().split(' ');
    if (kb.size() < 4)
        return QStringLiteral("failed");
    return QStringLiteral("%1 MB RSS after open (%2 MB before, peak %3 MB)")
        .arg(kb[1].toDouble() / 1024, 0, 'f', 1)
        .arg(kb[0].toDouble() / 1024, 0, 'f', 1)
        .arg(kb[2].toDouble() / 1024, 0, 'f', 1);
}

// A durable commit in rollback-journal mode costs five of these (journal,
// its directory entry, journal header, database, directory after the delete),
// so the disk's flush latency bounds every write.
Stats fdatasyncLatency(const QString &dir)
{
    const QByteArray name = QFile::encodeName(dir + QStringLiteral("/sync-probe"));
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    char page[4096] = {1};
    int round = 0;
    const Stats result = repeat(50, [&] {
        if (::pwrite(fd, page, sizeof page, off_t(round++ % 4) * off_t(sizeof page)) < 0 ||
            ::fdatasync(fd) != 0)
            qFatal("fdatasync failed");
    });
    ::close(fd);
    ::unlink(name.constData());
    return result;
}

// The bulk writes before a durability measurement are still draining from
// the host's caches; without a pause the first flushes wait for them.
void settleDisk()
{
    ::sync();
    QThread::sleep(3);
}

void row(const char *what, const QString &result)
{
    printf("| %-44s | %s |\n", what, qPrintable(result));
    fflush(stdout);
}

QString ms(double value)
{
    return QStringLiteral("%1 ms").arg(value, 0, 'f', value < 10 ? 3 : 1);
}

QString stats(const Stats &s)
{
    return QStringLiteral("median %1, p90 %2, max %3").arg(ms(s.median), ms(s.p90), ms(s.max));
}

QByteArray firstLineWith(const QString &file, const QByteArray &key)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : in.readAll().split('\n'))
        if (line.startsWith(key))
            return line.trimmed();
    return {};
}

void printMachine(const QString &dir)
{
    printf("machine: %d cores, %s\n", QThread::idealThreadCount(),
           firstLineWith(QStringLiteral("/proc/cpuinfo"), "model name")
               .split(':')
               .value(1)
               .trimmed()
               .constData());
    printf("load average at start: %s\n", firstLineWith(QStringLiteral("/proc/loadavg"), "").constData());
    printf("store directory: %s\n\n", qPrintable(dir));
}

int runBenchmark(const QString &dir)
{
    const QString path = dir + QStringLiteral("/wab.vdb");
    QFile::remove(path);
    printMachine(dir);
    printf("| step (%d records) | result |\n|---|---|\n", kRecords);

    row("raw fdatasync of one 4 KiB page (50 runs)", stats(fdatasyncLatency(dir)));
    QList<QStringList> rows;
    for (int i = 1; i <= kRecords; ++i)
        rows << bench::contactOf(i);
    double buildMs = timeMs([&] {
        ContactStore store;
        if (!ContactStore::create(path) || !store.open(path) ||
            !ContactStoreTestAccess::appendMany(store, rows))
            qFatal("could not build the store");
    });
    rows.clear();
    row("build: create + one bulk transaction", ms(buildMs));
    row("file size", QStringLiteral("%1 MB").arg(double(QFileInfo(path).size()) / 1e6, 0, 'f', 1));

    ContactStore store;
    row("open, no password (5 runs)", stats(repeat(5, [&] { store.open(path); })));
    row("  of which the integrity check (5 runs)", stats(repeat(5, [&] {
            store::Connection reader;
            store::openForReading(path, &reader);
            store::checkStructure(reader);
        })));
    row("  the quick check instead, for comparison (5 runs)", stats(repeat(5, [&] {
            store::Connection reader;
            store::openForReading(path, &reader);
            reader.exec("PRAGMA quick_check(1)");
        })));
    row("memory, no password", rssInChild(path, QString()));

    QString sink;
    row("go to every record and read 姓名", ms(timeMs([&] {
            for (int n = 1; n <= store.recordCount(); ++n) {
                store.goTo(n);
                sink = store.current().name;
            }
        })));
    const QString lastName = bench::contactOf(kRecords).first();
    row("findRecord(field, text): only the last matches", stats(repeat(20, [&] {
            if (store.findRecord(FieldName, lastName) != kRecords)
                qFatal("find failed");
        })));
    row("find with no match (whole store)",
        stats(repeat(20, [&] { (void)store.findRecord(FieldPhone, QStringLiteral("nobody")); })));

    int serial = 0;
    settleDisk();
    row("durable append (200 runs)", stats(repeat(200, [&] {
            store.append(Contact::fromValues(bench::contactOf(kRecords + ++serial)));
        })));
    row("durable modify (50 runs)", stats(repeat(50, [&] {
            store.replace(store.rowIdAt(store.recordCount() / 2),
                          Contact::fromValues(bench::contactOf(++serial)));
        })));
    row("mark + purge one record (20 runs)", stats(repeat(20, [&] {
            store.goTo(store.recordCount() / 3);
            store.markDeleted();
            store.purge();
        })));

    const double kdf = timeMs([] {
        store::SealingKey key;
        key.derive(QStringLiteral("password"), store::freshKdfParams());
    });
    row("Argon2id key derivation alone", QStringLiteral("%1 (opslimit %2, memlimit %3 MiB)")
                                             .arg(ms(kdf))
                                             .arg(store::writtenKdfCost().opsLimit)
                                             .arg(store::writtenKdfCost().memLimit >> 20));
    row("setPassword: none -> password (re-seal all)",
        ms(timeMs([&] { store.setPassword("first secret"); })));
    row("setPassword: password -> password", ms(timeMs([&] { store.setPassword("second secret"); })));
    store.close();
    row("open with password (5 runs)", stats(repeat(5, [&] { store.open(path, "second secret"); })));
    row("memory, with password", rssInChild(path, QStringLiteral("second secret")));
    settleDisk();
    row("durable append under password (50 runs)",
        stats(repeat(50, [&] { store.append(Contact::fromValues(bench::contactOf(kRecords + ++serial))); })));
    row("findRecord(field, text) under password",
        stats(repeat(20, [&] { (void)store.findRecord(FieldName, lastName); })));
    row("setPassword: password -> none", ms(timeMs([&] { store.setPassword(QString()); })));
    store.close();
    printf("\nload average at end: %s\n", firstLineWith(QStringLiteral("/proc/loadavg"), "").constData());
    QFile::remove(path);
    return sink.isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], kRssFlag) == 0)
        return measureOpenRss(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]));
    QCoreApplication app(argc, argv);
    if (argc > 1)
        return runBenchmark(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_core_store-XXXXXX"));
    if (!dir.isValid())
        return 1;
    return runBenchmark(dir.path());
}
