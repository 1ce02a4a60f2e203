// Times the bulk paths as whole processes, each beside its peer in the same
// run: `wab import` of 100,000 contacts from CSV and from vCard 3.0 (our
// exports) against abook's conversion of the same file, 1,000,000 from CSV,
// `wab export vcard` / `csv` of 100,000 against abook writing the same
// contacts from its own file, `wab list` against sqlite3 reading the same
// rows, and `wab add` / `delete` / `find` on a store of 100,000 against
// sqlite3 doing the same to a plain table of the same rows. With --before DIR the
// `wab` in DIR (an earlier build) runs in every round too. The steps are
// interleaved round by round, so a load that comes and goes touches them
// alike; each figure is the median of the rounds, with the process's own
// peak resident memory.
//   bench_exchange_bulk [--dir DIR] [--before DIR] [--rounds N] [--no-million]

#include "BenchCommon.h"

#include "contacts/store/ContactStore.h"
#include "contacts/store/ContactStoreTesting.h"
#include "exchange/ContactExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

using namespace quennet;
using namespace quennet::exchange;
using namespace quennet::bench;

namespace {

constexpr int kContacts = 100000;
constexpr int kMillion = 1000000;

struct Options {
    QString dir;
    QString before; // directory of an earlier wab
    int rounds = 5;
    bool million = true;
};

Options readOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            options.dir = args[++i];
        else if (args[i] == QLatin1String("--before") && i + 1 < args.size())
            options.before = args[++i];
        else if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            options.rounds = args[++i].toInt();
        else if (args[i] == QLatin1String("--no-million"))
            options.million = false;
    }
    return options;
}

// Samples of one step: wall times and peaks, reported as medians.
struct Samples {
    std::vector<double> wall;
    std::vector<double> peak;
    int failed = 0;
};

using Table = QMap<QString, Samples>;
QStringList g_order;

void record(Table &table, const QString &step, double wallMs, double peakMb, bool ok)
{
    if (!table.contains(step))
        g_order << step;
    Samples &samples = table[step];
    samples.wall.push_back(wallMs);
    samples.peak.push_back(peakMb);
    samples.failed += ok ? 0 : 1;
}

void run(Table &table, const QString &step, const QString &program, const QStringList &args)
{
    QElapsedTimer timer;
    timer.start();
    const ProgramRun result = runMeasured(program, args);
    record(table, step, msSince(timer), result.peakMb, result.ok);
}

double median(std::vector<double> values)
{
    return values.empty() ? 0 : statsOf(std::move(values)).median;
}

// Our CSV export's rows for contacts 1..count, written without a store.
bool writeMillionCsv(const QString &path, const QByteArray &heading, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(heading) != heading.size())
        return false;
    QByteArray chunk;
    for (int n = 1; n <= count; ++n) {
        chunk += contactOf(n).join(QLatin1Char(',')).toUtf8() + "\r\n";
        if (chunk.size() > (1 << 20) || n == count) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return true;
}

bool freshStore(const QString &path)
{
    QFile::remove(path);
    return bool(ContactStore::create(path));
}

// The same rows as a plain SQLite table, for sqlite3 to add to and search.
bool plainTable(const QString &path, int count)
{
    QFile::remove(path);
    const QString sql =
        QStringLiteral(
            "CREATE TABLE c(name TEXT, phone TEXT, mobile TEXT, qq TEXT, email TEXT, address TEXT);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO c SELECT '联系人' || i, printf('010-%08d', i), printf('139%08d', i), "
            "10000000 + i, 'user' || i || '@example.com.cn', '广东省深圳市南山区科技园' || (i % 100) || '栋' "
            "FROM n;")
            .arg(count);
    return runProgram(QStringLiteral("sqlite3"), {path, sql});
}

struct Programs {
    QString wab;
    QString before;
    QString abook;
    QString sqlite3;
};

void importRound(Table &table, const Programs &p, const QString &kind, const QString &file,
                 const QString &store, const QString &dir)
{
    const QString informat =
        kind.startsWith(QLatin1String("CSV")) ? QStringLiteral("csv") : QStringLiteral("vcard");
    QFile::remove(dir + QStringLiteral("/out.abook")); // abook never overwrites a file
    if (!p.abook.isEmpty())
        run(table, QStringLiteral("abook --convert %1 → abook").arg(kind), p.abook,
            {QStringLiteral("--convert"), QStringLiteral("--informat"), informat, QStringLiteral("--infile"),
             file, QStringLiteral("--outformat"), QStringLiteral("abook"), QStringLiteral("--outfile"),
             dir + QStringLiteral("/out.abook")});
    freshStore(store);
    run(table, QStringLiteral("wab import %1").arg(kind), p.wab, {QStringLiteral("import"), file, store});
    if (!p.before.isEmpty()) {
        freshStore(store);
        run(table, QStringLiteral("wab import %1 (before)").arg(kind), p.before,
            {QStringLiteral("import"), file, store});
    }
}

// The exports of the 100,000 contacts and their listing, beside abook
// writing the same contacts from its own file (its conversion of the vCard
// file) and sqlite3 reading the same rows.
void exportRound(Table &table, const Programs &p, const QString &source, const QString &peerBook,
                 const QString &dir)
{
    for (const QString &format : {QStringLiteral("vcard"), QStringLiteral("csv")}) {
        const QString out = dir + QStringLiteral("/export.") + format;
        QFile::remove(out);
        run(table, QStringLiteral("wab export %1").arg(format), p.wab,
            {QStringLiteral("export"), format, out, source});
        if (!p.before.isEmpty()) {
            QFile::remove(out);
            run(table, QStringLiteral("wab export %1 (before)").arg(format), p.before,
                {QStringLiteral("export"), format, out, source});
        }
        if (!p.abook.isEmpty() && QFileInfo::exists(peerBook)) {
            const QString peerOut = dir + QStringLiteral("/abook-export.") + format;
            QFile::remove(peerOut); // abook never overwrites a file
            run(table, QStringLiteral("abook --convert abook → %1").arg(format), p.abook,
                {QStringLiteral("--convert"), QStringLiteral("--informat"), QStringLiteral("abook"),
                 QStringLiteral("--infile"), peerBook, QStringLiteral("--outformat"), format,
                 QStringLiteral("--outfile"), peerOut});
        }
    }
    run(table, QStringLiteral("wab list"), p.wab, {QStringLiteral("list"), source});
    if (!p.before.isEmpty())
        run(table, QStringLiteral("wab list (before)"), p.before, {QStringLiteral("list"), source});
    if (!p.sqlite3.isEmpty())
        run(table, QStringLiteral("sqlite3: select id, fields from records"), p.sqlite3,
            {source, QStringLiteral("SELECT id, fields FROM records")});
}

void commandRound(Table &table, const QString &label, const QString &wab, const QString &store, int round)
{
    const QString name = QStringLiteral("新人%1").arg(round);
    run(table, QStringLiteral("wab add%1").arg(label), wab,
        {QStringLiteral("add"), QStringLiteral("--name"), name, QStringLiteral("--mobile"),
         QStringLiteral("137%1").arg(round, 8, 10, QLatin1Char('0')), store});
    run(table, QStringLiteral("wab find --name%1").arg(label), wab,
        {QStringLiteral("find"), QStringLiteral("--name"), QStringLiteral("联系人99999"), store});
    run(table, QStringLiteral("wab delete%1").arg(label), wab,
        {QStringLiteral("delete"), QString::number(kContacts + 1), store});
}

void sqliteRound(Table &table, const QString &sqlite3, const QString &db, int round)
{
    const QString name = QStringLiteral("新人%1").arg(round);
    const QString mobile = QStringLiteral("137%1").arg(round, 8, 10, QLatin1Char('0'));
    run(table, QStringLiteral("sqlite3: durable insert, full-scan duplicate check"), sqlite3,
        {QStringLiteral("-cmd"), QStringLiteral("PRAGMA synchronous = EXTRA"), db,
         QStringLiteral(
             "INSERT INTO c SELECT '%1', '', '%2', '', '', '' WHERE NOT EXISTS (SELECT 1 FROM c WHERE "
             "name = '%1' OR mobile = '%2')")
             .arg(name, mobile)});
    run(table, QStringLiteral("sqlite3: select by name (full scan)"), sqlite3,
        {db, QStringLiteral("SELECT * FROM c WHERE name = '联系人99999'")});
    run(table, QStringLiteral("sqlite3: durable delete of the last row"), sqlite3,
        {QStringLiteral("-cmd"), QStringLiteral("PRAGMA synchronous = EXTRA"), db,
         QStringLiteral("DELETE FROM c WHERE rowid = (SELECT max(rowid) FROM c)")});
}

void printTable(const Table &table)
{
    std::printf("| step | wall median | wall max | peak RSS median | failed |\n|---|---|---|---|---|\n");
    for (const QString &step : g_order) {
        const Samples &s = table[step];
        std::printf("| %s | %.0f ms | %.0f ms | %.1f MB | %d of %zu |\n", qPrintable(step), median(s.wall),
                    statsOf(s.wall).max, median(s.peak), s.failed, s.wall.size());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Options options = readOptions(app.arguments());
    QTemporaryDir temp;
    const QString dir = options.dir.isEmpty() ? temp.path() : options.dir;
    Programs programs;
    programs.wab = QStringLiteral(QUENNET_PROGRAM_DIR) + QStringLiteral("/wab");
    if (!options.before.isEmpty())
        programs.before = options.before + QStringLiteral("/wab");
    programs.abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    programs.sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));

    const QString source = dir + QStringLiteral("/source.vdb");
    const QString csv = dir + QStringLiteral("/contacts.csv");
    const QString vcf = dir + QStringLiteral("/contacts.vcf");
    const QString millionCsv = dir + QStringLiteral("/million.csv");
    const QString store = dir + QStringLiteral("/wab.vdb");
    const QString commands = dir + QStringLiteral("/commands.vdb");
    const QString peerDb = dir + QStringLiteral("/peer.db");
    const QString peerBook = dir + QStringLiteral("/peer.abook");
    QFile::remove(peerBook);
    if (!createStore(source, kContacts)) {
        std::fprintf(stderr, "cannot build the store in %s\n", qPrintable(dir));
        return 1;
    }
    {
        ContactStore opened;
        if (!opened.open(source) || !exportContacts(csv, opened, ContactFormat::CsvUtf8) ||
            !exportContacts(vcf, opened, ContactFormat::VCard30))
            return 1;
    }
    QByteArray heading;
    {
        QFile file(csv);
        file.open(QIODevice::ReadOnly);
        heading = file.readLine();
    }
    if (options.million && !writeMillionCsv(millionCsv, heading, kMillion))
        return 1;
    QFile::remove(commands);
    QFile::copy(source, commands);
    if (!programs.sqlite3.isEmpty() && !plainTable(peerDb, kContacts))
        programs.sqlite3.clear();

    std::printf(
        "files: CSV %.1f MB, vCard %.1f MB%s\n", double(QFileInfo(csv).size()) / 1e6,
        double(QFileInfo(vcf).size()) / 1e6,
        options.million
            ? qPrintable(
                  QStringLiteral(", 1M CSV %1 MB").arg(double(QFileInfo(millionCsv).size()) / 1e6, 0, 'f', 1))
            : "");
    std::printf("load average before: %s\n", qPrintable(loadAverage()));
    Table table;
    for (int round = 1; round <= options.rounds; ++round) {
        importRound(table, programs, QStringLiteral("CSV"), csv, store, dir);
        importRound(table, programs, QStringLiteral("vCard"), vcf, store, dir);
        // abook's own file of the contacts, for its exports.
        if (!QFileInfo::exists(peerBook))
            QFile::copy(dir + QStringLiteral("/out.abook"), peerBook);
        exportRound(table, programs, source, peerBook, dir);
        commandRound(table, QString(), programs.wab, commands, round);
        if (!programs.before.isEmpty())
            commandRound(table, QStringLiteral(" (before)"), programs.before, commands, round);
        if (!programs.sqlite3.isEmpty())
            sqliteRound(table, programs.sqlite3, peerDb, round);
    }
    if (options.million)
        for (int round = 1; round <= std::min(options.rounds, 3); ++round)
            importRound(table, programs, QStringLiteral("CSV 1,000,000"), millionCsv, store, dir);
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    printTable(table);
    return 0;
}
