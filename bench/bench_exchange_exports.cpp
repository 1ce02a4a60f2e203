// Times the Excel workbook, the text file and the simple web page on a store
// of 100,000 contacts: through the writers (reading the records from the
// store included) and through "wab export"; then abook's HTML export of the
// same contacts as the peer figure.
//   bench_exchange_exports [DIR]   DIR: scratch directory (default: a temporary one)
// Prints one table row per step: median and max of the samples, wall time.

#include "BenchCommon.h"

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "exchange/AtomicFile.h"
#include "exchange/ExcelDocument.h"
#include "exchange/RecordSelection.h"
#include "exchange/TextAndHtmlExport.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quennet;
using namespace quennet::exchange;
using namespace quennet::bench;

namespace {

constexpr int kRecords = 100000;
constexpr int kSamples = 5;

// The contacts as vCard 3.0 for abook, which reads NAME, TEL and EMAIL.
bool writeVcards(const QString &path, const QList<QStringList> &rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray out;
    for (const QStringList &r : rows)
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + r[0].toUtf8() + "\r\nN:" + r[0].toUtf8() +
               ";;;;\r\nTEL;TYPE=HOME:" + r[1].toUtf8() + "\r\nTEL;TYPE=CELL:" + r[2].toUtf8() +
               "\r\nEMAIL:" + r[4].toUtf8() + "\r\nADR:;;" + r[5].toUtf8() + ";;;;\r\nEND:VCARD\r\n";
    return file.write(out) == out.size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString storePath = dir + QStringLiteral("/wab.vdb");
    QFile::remove(storePath);

    const QList<QStringList> rows = contactsOf(kRecords);
    {
        ContactStore store;
        if (!ContactStore::create(storePath) || !store.open(storePath) ||
            !ContactStoreTestAccess::appendMany(store, rows)) {
            std::fprintf(stderr, "cannot build the store in %s\n", qPrintable(dir));
            return 1;
        }
    }
    ContactStore store;
    store.open(storePath);
    std::printf("load average before: %s\n", qPrintable(loadAverage()));

    const RecordSelection all = RecordSelection::wholeStore();
    const QStringList names = selectedFieldNames(store, all);
    const QString out = dir + QStringLiteral("/out");
    QList<Row> table;
    table << measure(QStringLiteral("open the store file (no password)"), kSamples, [&] {
        ContactStore opened;
        return opened.open(storePath) && opened.recordCount() == kRecords;
    });
    table << measure(QStringLiteral("read 100,000 records from the store"), kSamples,
                     [&] { return selectedRecords(store, all).size() == kRecords; });
    table << measure(QStringLiteral("Excel: read + write (exportStoreToExcel, opens the file)"), kSamples,
                     [&] { return exportStoreToExcel(storePath, out + QStringLiteral(".xls")); });
    table << measure(QStringLiteral("text: read + write"), kSamples, [&] {
        const QList<QStringList> records = selectedRecords(store, all);
        return writeFileAtomically(out + QStringLiteral(".txt"), [&](QIODevice &device) {
            return writeTextExport(device, names, records, {});
        });
    });
    table << measure(QStringLiteral("simple HTML: read + write"), kSamples, [&] {
        const QList<QStringList> records = selectedRecords(store, all);
        return writeFileAtomically(out + QStringLiteral(".htm"), [&](QIODevice &device) {
            return writeHtmlExport(device, names, records, {store.storeName(), QDate::currentDate()});
        });
    });

    const QString wab = QCoreApplication::applicationDirPath() + QStringLiteral("/wab");
    double wabPeak = 0;
    for (const char *format : {"excel", "text", "html"}) {
        const QString name = QLatin1String(format);
        table << measure(QStringLiteral("wab export %1 (whole process)").arg(name), kSamples, [&] {
            const ProgramRun run = runMeasured(
                wab, {QStringLiteral("export"), name, out + QStringLiteral(".wab.") + name, storePath});
            wabPeak = std::max(wabPeak, run.peakMb);
            return run.ok;
        });
    }

    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    double abookPeak = 0;
    const QString vcf = dir + QStringLiteral("/contacts.vcf");
    if (!abook.isEmpty() && writeVcards(vcf, rows))
        table << measure(QStringLiteral("peer: abook --convert vcard → html"), kSamples, [&] {
            QFile::remove(out + QStringLiteral(".abook.html")); // abook does not replace a file
            const ProgramRun run =
                runMeasured(abook, {QStringLiteral("--convert"), QStringLiteral("--informat"),
                                    QStringLiteral("vcard"), QStringLiteral("--infile"), vcf,
                                    QStringLiteral("--outformat"), QStringLiteral("html"),
                                    QStringLiteral("--outfile"), out + QStringLiteral(".abook.html")});
            abookPeak = std::max(abookPeak, run.peakMb);
            return run.ok;
        });

    std::printf("| step (100,000 contacts, %d runs) | median | max |\n|---|---|---|\n", kSamples);
    for (const Row &row : table)
        std::printf("| %s | %.0f ms | %.0f ms |%s\n", qPrintable(row.step), row.median, row.max,
                    row.note.isEmpty() ? "" : qPrintable(QStringLiteral(" ") + row.note));
    std::printf("sizes: xls %.1f MB, txt %.1f MB, htm %.1f MB\n",
                QFileInfo(out + QStringLiteral(".xls")).size() / 1e6,
                QFileInfo(out + QStringLiteral(".txt")).size() / 1e6,
                QFileInfo(out + QStringLiteral(".htm")).size() / 1e6);
    std::printf("peak RSS of each process, its own: wab %.1f MB, abook %.1f MB\n", wabPeak, abookPeak);
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    return 0;
}
