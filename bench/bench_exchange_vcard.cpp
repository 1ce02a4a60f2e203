// Times the vCard import and export on 100,000 contacts: import into an empty
// store and into one that already holds 100,000 (the durable commit
// included), abook's conversion of the same file as the peer figure, the
// export to vCard 3.0, and the peak memory of an import.
//   bench_exchange_vcard [DIR]   DIR: scratch directory (default: a temporary one)
//   bench_exchange_vcard --peak FILE STORE   imports FILE into STORE and prints
//       the process's peak resident memory (VmHWM), as the main run asks it to

#include "bench/BenchCommon.h"
#include "contacts/store/ContactStore.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace quennet;
using namespace quennet::exchange;
using namespace quennet::bench;

namespace {

constexpr int kContacts = 100000;
constexpr int kSamples = 3;

// set 0 and set 1 share no name, phone, mobile or QQ.
QList<QStringList> contacts(int set)
{
    const QString prefix = set == 0 ? QString() : QStringLiteral("老");
    QList<QStringList> rows;
    rows.reserve(kContacts);
    for (int i = 1; i <= kContacts; ++i)
        rows << QStringList{prefix + QStringLiteral("联系人%1").arg(i),
                            QStringLiteral("075%1-%2").arg(5 + set).arg(i, 8, 10, QLatin1Char('0')),
                            QStringLiteral("13%1%2").arg(9 - set).arg(i, 8, 10, QLatin1Char('0')),
                            QString::number(10000000 * (1 + set) + i),
                            QStringLiteral("user%1@example.com.cn").arg(i),
                            QStringLiteral("广东省深圳市南山区科技园%1栋").arg(i % 100)};
    return rows;
}

bool freshStore(const QString &path, const QList<QStringList> &rows = {})
{
    QFile::remove(path);
    ContactStore store;
    return ContactStore::create(path) && store.open(path) && ContactStoreTestAccess::appendMany(store, rows);
}

// A child's own peak: counting from its parent (getrusage of children) would
// include the pages it shared with this large process before exec.
double importPeakMb(const QString &file, const QString &store)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), file, store});
    if (!process.waitForFinished(600000))
        return -1;
    return process.readAllStandardOutput().trimmed().toDouble() / 1024.0;
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
    if (argc == 4 && QByteArray(argv[1]) == "--peak") {
        ContactStore store;
        if (!store.open(QString::fromLocal8Bit(argv[3])))
            return 1;
        const ImportReport report = importContactFile(store, QString::fromLocal8Bit(argv[2]));
        std::printf("%lld\n", statusKb("VmHWM:"));
        return report.succeeded() ? 0 : 1;
    }
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString storePath = dir + QStringLiteral("/wab.vdb");
    const QString vcf = dir + QStringLiteral("/contacts.vcf");

    const QList<QStringList> imported = contacts(0);
    const QList<QStringList> existing = contacts(1);
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
    table << measure(
        QStringLiteral("import into an empty store"), kSamples, [&] { freshStore(storePath); },
        [&] { return importInto(storePath, vcf); });
    table << measure(
        QStringLiteral("import into a store of 100,000"), kSamples, [&] { freshStore(storePath, existing); },
        [&] { return importInto(storePath, vcf); });
    const QString wab = QCoreApplication::applicationDirPath() + QStringLiteral("/wab");
    table << measure(
        QStringLiteral("wab import into an empty store (process)"), kSamples, [&] { freshStore(storePath); },
        [&] {
            return runProgram(wab, {QStringLiteral("import"), vcf, storePath});
        });
    freshStore(storePath);
    const double peak = importPeakMb(vcf, storePath);
    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    if (!abook.isEmpty())
        table << measure(
            QStringLiteral("abook --convert --informat vcard --outformat abook"), kSamples,
            [&] { QFile::remove(dir + QStringLiteral("/out.abook")); },
            [&] {
                return runProgram(abook, {"--convert", "--informat", "vcard", "--infile", vcf, "--outformat",
                                          "abook", "--outfile", dir + QStringLiteral("/out.abook")});
            });
    {
        ContactStore store;
        freshStore(storePath, imported);
        store.open(storePath);
        table << measure(QStringLiteral("export 100,000 to vCard 3.0"), kSamples, [&] {
            return exportContacts(dir + QStringLiteral("/out.vcf"), store, ContactFormat::VCard30);
        });
    }
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    std::printf("| step | wall median | wall max | CPU median | note |\n|---|---|---|---|---|\n");
    for (const Row &row : table)
        std::printf("| %s | %.0f ms | %.0f ms | %.0f ms | %s |\n", qPrintable(row.step), row.median, row.max,
                    row.cpu, qPrintable(row.note));
    std::printf("peak resident memory of an import into an empty store: %.1f MB\n", peak);
    return 0;
}
