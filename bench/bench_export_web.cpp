// Times the styled web page on a 100,000-record store and prints a table:
// the writer building and saving the page, "wab export web", and the build
// inside the export window with its per-record event processing.
//   bench_export_web [DIR]   DIR: where the store and pages go (default: a
//                            temporary directory)
// Peak memory is measured in fresh child processes that only open the store
// and write the page.

#include "BenchSupport.h"

#include "contacts/Session.h"
#include "contacts/store/ContactStore.h"
#include "exchange/WebPage.h"
#include "export/ExportWebWindow.h"
#include "ui/Controls.h"
#include "ui/Modal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/wait.h>

using namespace quennet;

namespace {

constexpr int kRecords = 100000;
const char kWriterFlag[] = "--write-page";

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QString medianOf(int times, const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < times; ++i)
        samples.push_back(timeMs(work));
    std::sort(samples.begin(), samples.end());
    return QStringLiteral("median %1 ms, max %2 ms (%3 runs)")
        .arg(samples[samples.size() / 2], 0, 'f', 0)
        .arg(samples.back(), 0, 'f', 0)
        .arg(times);
}

bool writePage(const ContactStore &store, const QString &out)
{
    QStringList names;
    for (int pos = 1; pos <= store.fieldCount(); ++pos)
        names << store.fieldName(pos);
    QSaveFile file(out);
    return file.open(QIODevice::WriteOnly) &&
           exchange::writeWebPage(
               file, names, {store.recordCount(), [&store](int n) { return store.contactAt(n).values(); }},
               exchange::WebPageOptions()) &&
           file.commit();
}

// The child: open, write, report the peak resident size.
int writerChild(const QString &store, const QString &out)
{
    ContactStore contacts;
    if (!contacts.open(store) || !writePage(contacts, out))
        return 1;
    printf("%lld\n", bench::statusKb("VmHWM:"));
    return 0;
}

struct ChildRun {
    double ms = 0;
    double peakMb = 0;
    QByteArray out;
};

// Runs a program and measures its time and its own peak resident size.
ChildRun runChild(const QString &program, const QStringList &args)
{
    QElapsedTimer timer;
    timer.start();
    const bench::ProgramRun run = bench::runMeasured(program, args);
    return {double(timer.nsecsElapsed()) / 1e6, run.peakMb, run.out};
}

void row(const char *step, const QString &result, const char *goal)
{
    printf("| %s | %s | %s |\n", step, qPrintable(result), goal);
    fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], kWriterFlag) == 0)
        return writerChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::setTestMode(true); // the preview is recorded, not opened
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(dir);
    Session session(dir);
    const QString storePath = session.dir.storeFile();
    if (!bench::buildProgramDir(dir, kRecords) || !session.store.open(storePath)) {
        fprintf(stderr, "could not build the store in %s\n", qPrintable(dir));
        return 1;
    }
    const QString page = dir + QStringLiteral("/page.htm");

    printf("load average before: %s\n\n", qPrintable(bench::loadAverage()));
    printf("| step (%d records) | result | goal |\n|---|---|---|\n", kRecords);
    row("writer: build and save (store open)", medianOf(5, [&] { writePage(session.store, page); }),
        "≤ 1.0 s");
    row("page size", QStringLiteral("%1 MB").arg(QFileInfo(page).size() / 1e6, 0, 'f', 1), "—");
    session.store.close();

    const ChildRun writer =
        runChild(QCoreApplication::applicationFilePath(), {QLatin1String(kWriterFlag), storePath, page});
    row("writer: open + build + save, fresh process",
        QStringLiteral("%1 ms, peak %2 MB RSS")
            .arg(writer.ms, 0, 'f', 0)
            .arg(writer.out.trimmed().toLongLong() / 1024.0, 0, 'f', 1),
        "≤ 300 MB");

    const QString wab = QCoreApplication::applicationDirPath() + QStringLiteral("/wab");
    std::vector<double> wabTimes;
    double wabPeak = 0;
    for (int i = 0; i < 3; ++i) {
        const ChildRun run =
            runChild(wab, {QStringLiteral("export"), QStringLiteral("web"), page, storePath});
        wabTimes.push_back(run.ms);
        wabPeak = std::max(wabPeak, run.peakMb);
    }
    std::sort(wabTimes.begin(), wabTimes.end());
    row("wab export web (whole process)",
        QStringLiteral("median %1 ms (3 runs), peak ≤ %2 MB RSS")
            .arg(wabTimes[1], 0, 'f', 0)
            .arg(wabPeak, 0, 'f', 1),
        "≤ 1.0 s, ≤ 300 MB");

    ExportWebWindow window(session);
    window.storePath = storePath;
    window.created();
    window.show();
    const QString inWindow = medianOf(3, [&] { window.previewButton->click(); });
    row("window: preview build (open, rows with events, 200 ms pause, close, html.txt)", inWindow, "≤ 1.5 s");
    printf("\nload average after: %s\n", qPrintable(bench::loadAverage()));
    return ui::openedDocuments().size() == 3 ? 0 : 1;
}
