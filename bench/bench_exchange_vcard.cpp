// Times the vCard import and export on 100,000 contacts: import into an empty
// store and into one that already holds 100,000 (the durable commit
// included), abook's conversion of the same file as the peer figure, the
// export to vCard 3.0, and the peak memory of "wab import".
//   bench_exchange_vcard [DIR]   DIR: scratch directory (default: a temporary one)

#include "contacts/store/ContactStore.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quennet;
using namespace quennet::exchange;

namespace {

constexpr int kContacts = 100000;
constexpr int kSamples = 3;

QList<QStringList> contacts(const QString &prefix)
{
    QList<QStringList> rows;
    rows.reserve(kContacts);
    for (int i = 1; i <= kContacts; ++i)
        rows << QStringList{prefix + QStringLiteral("联系人%1").arg(i),
                            QStringLiteral("0755-%1").arg(i, 8, 10, QLatin1Char('0')),
                            QStringLiteral("1%1%2").arg(prefix.isEmpty() ? 39 : 38).arg(i, 8, 10, QLatin1Char('0')),
                            QString::number(10000000 + i), QStringLiteral("user%1@example.com.cn").arg(i),
                            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(i % 100)};
    return rows;
}

bool freshStore(const QString &path, const QList<QStringList> &rows = {})
{
    QFile::remove(path);
    ContactStore store;
    return ContactStore::create(path) && store.open(path) && store.appendMany(rows);
}

struct Row {
    QString step;
    double median = 0;
    double max = 0;
    QString note;
};

// prepare runs before each sample, outside the timing.
Row measure(const QString &step, const std::function<void()> &prepare, const std::function<bool()> &work,
            const QString &note = QString())
{
    std::vector<double> samples;
    bool ok = true;
    for (int i = 0; i < kSamples; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        ok = work() && ok;
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return {step, samples[samples.size() / 2], samples.back(), ok ? note : QStringLiteral("FAILED ") + note};
}

bool runProgram(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

double childPeakMb()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

bool importInto(const QString &storePath, const QString &file)
{
    ContactStore store;
    if (!store.open(storePath))
        return false;
    const ImportReport report = importContactFile(store, file);
    return report.succeeded() && report.added == kContacts;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString storePath = dir + QStringLiteral("/wab.vdb");
    const QString vcf = dir + QStringLiteral("/contacts.vcf");

    const QList<QStringList> imported = contacts(QString());
    const QList<QStringList> existing = contacts(QStringLiteral("老"));
    if (!freshStore(storePath, imported)) {
        std::fprintf(stderr, "cannot build the store in %s\n", qPrintable(dir));
        return 1;
    }
    {
        ContactStore store;
        if (!store.open(storePath) || !exportContacts(vcf, store, ContactFormat::VCard30))
            return 1;
    }
    std::printf("file: %d contacts, %.1f MB\n", kContacts, double(QFileInfo(vcf).size()) / 1e6);
    std::printf("load average before: %s\n", qPrintable(loadAverage()));

    QList<Row> table;
    table << measure(QStringLiteral("import into an empty store"), [&] { freshStore(storePath); },
                     [&] { return importInto(storePath, vcf); });
    table << measure(QStringLiteral("import into a store of 100,000"), [&] { freshStore(storePath, existing); },
                     [&] { return importInto(storePath, vcf); });
    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    if (!abook.isEmpty())
        table << measure(QStringLiteral("abook --convert --informat vcard --outformat abook"), [] {}, [&] {
            return runProgram(abook, {"--convert", "--informat", "vcard", "--infile", vcf, "--outformat", "abook",
                                      "--outfile", dir + QStringLiteral("/out.abook")});
        });
    {
        ContactStore store;
        freshStore(storePath, imported);
        store.open(storePath);
        table << measure(QStringLiteral("export 100,000 to vCard 3.0"), [] {}, [&] {
            return exportContacts(dir + QStringLiteral("/out.vcf"), store, ContactFormat::VCard30);
        });
    }
    const QString wab = QCoreApplication::applicationDirPath() + QStringLiteral("/wab");
    const double before = childPeakMb();
    table << measure(QStringLiteral("wab import into an empty store (process)"), [&] { freshStore(storePath); },
                     [&] { return runProgram(wab, {QStringLiteral("import"), vcf, storePath}); });
    const double peak = childPeakMb();
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    std::printf("| step | median | max | note |\n|---|---|---|---|\n");
    for (const Row &row : table)
        std::printf("| %s | %.0f ms | %.0f ms | %s |\n", qPrintable(row.step), row.median, row.max,
                    qPrintable(row.note));
    std::printf("peak memory of wab import: %.1f MB (largest child so far before it: %.1f MB)\n", peak, before);
    return 0;
}
