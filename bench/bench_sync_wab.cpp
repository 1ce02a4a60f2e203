// Times wab sync (the released tool, on a store of its own) against a local
// Radicale (or Xandikos) whose address book holds N cards: the first sync,
// which brings every card into an empty store, and syncs with nothing
// changed, each a process of its own with its peak memory and CPU, the way
// they end on the marks and the full way (the local mark forgotten first);
// the server's answers to the requests such a sync may make, alone; and, in
// the same run, vdirsyncer syncing the same collection into an empty folder
// as the peer figure.
//   bench_sync_wab [N] [--no-peer] [--xandikos]   N: cards (default 10,000);
//   --no-peer: without vdirsyncer, for runs of wab before and after a change;
//   --xandikos: the book on a local Xandikos instead (no account), filled in
//   one commit of its git repository

#include "bench/BenchCommon.h"
#include "contacts/store/SyncRows.h"
#include "sync/CardDavClient.h"
#include "sync/StoreSync.h"
#include "sync/SyncEngine.h"
#include "tests/support/DavServers.h"
#include "tests/support/Vdirsyncer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cstdio>

using namespace quennet;
using namespace quennet::bench;

namespace {

constexpr int kPeerTimeoutMs = 3600 * 1000;

// A phone's card: the six fields, a birthday and a note the store does not show.
QByteArray cardOf(int n)
{
    const QStringList f = contactOf(n);
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bench-%1\r\nFN:%2\r\nN:%2;;;;\r\n"
                          "TEL;TYPE=CELL:%4\r\nTEL;TYPE=VOICE:%3\r\nX-QQ:%5\r\nEMAIL:%6\r\nADR:;;%7;;;;\r\n"
                          "BDAY:1990-01-01\r\nNOTE:备注 %1\r\nEND:VCARD\r\n")
        .arg(n)
        .arg(f[0], f[1], f[2], f[3], f[4], f[5])
        .toUtf8();
}

bool fillBook(const QString &folder, int count)
{
    for (int i = 1; i <= count; ++i) {
        QFile file(folder + QStringLiteral("/bench-%1.vcf").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(cardOf(i)) < 0)
            return false;
    }
    return true;
}

// Xandikos keeps a book as a git repository and serves what its index
// holds: the cards go in as one commit beside the book's own settings file.
bool fillRepository(const QString &repository, int count)
{
    if (!fillBook(repository, count))
        return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *who : {"GIT_AUTHOR", "GIT_COMMITTER"}) {
        env.insert(QLatin1String(who) + QStringLiteral("_NAME"), QStringLiteral("bench"));
        env.insert(QLatin1String(who) + QStringLiteral("_EMAIL"), QStringLiteral("bench@localhost"));
    }
    const auto git = [&](const QStringList &args) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("git"), QStringList{QStringLiteral("-C"), repository} + args);
        return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    };
    return git({QStringLiteral("add"), QStringLiteral(".")}) &&
           git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"),
                QStringLiteral("%1 cards").arg(count)});
}

void print(const QString &step, double ms, const QString &note)
{
    std::printf("| %s | %.0f ms | %s |\n", qPrintable(step), ms, qPrintable(note));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const QStringList options = QCoreApplication::arguments().mid(2);
    const auto kind = options.contains(QStringLiteral("--xandikos")) ? test::DavServer::Xandikos
                                                                     : test::DavServer::Radicale;
    QString why;
    bool missing = false;
    auto server = test::DavServer::start(kind, &why, &missing);
    QTemporaryDir dir;
    const bool filled = server && dir.isValid() &&
                        (kind == test::DavServer::Radicale ? fillBook(server->bookFolder(), count)
                                                           : fillRepository(server->bookRepository(), count));
    if (!filled) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(why));
        return 1;
    }
    const QString wab = wabProgram();
    const QString store = dir.filePath(QStringLiteral("wab.vdb"));
    if (!runProgram(wab, {QStringLiteral("init"), store})) {
        std::fprintf(stderr, "wab init failed\n");
        return 1;
    }
    // Radicale reads a card file once into its cache: both clients meet a warm server.
    {
        sync::CardDavClient warm({server->bookUrl(), server->user(), server->password()});
        QList<sync::CardRef> refs;
        QList<sync::ServerCardData> cards;
        QStringList hrefs;
        warm.transport().setTimeout(kPeerTimeoutMs); // the first listing reads every file
        warm.listCards(server->bookPath(), &refs);
        for (const sync::CardRef &ref : refs)
            hrefs << ref.href;
        sync::BookChanges all;
        if (!warm.fetchCards(server->bookPath(), hrefs, &cards).ok() || cards.size() != count ||
            !warm.syncCollection(server->bookPath(), QString(), &all).ok()) {
            std::fprintf(stderr, "the book did not list its %d cards\n", count);
            return 1;
        }
    }
    // An account's password on standard input; Xandikos has none.
    const QByteArray password = server->hasAccounts() ? server->password().toUtf8() + '\n' : QByteArray();
    const QStringList passwordArgs =
        server->hasAccounts() ? QStringList{QStringLiteral("--server-password-stdin")} : QStringList();
    const QString serverName =
        kind == test::DavServer::Radicale ? QStringLiteral("Radicale") : QStringLiteral("Xandikos");
    std::printf("%d cards on %s, load average %s\n\n| step | wall | note |\n|---|---|---|\n", count,
                qPrintable(serverName), qPrintable(loadAverage()));

    QElapsedTimer clock;
    clock.start();
    QStringList firstArgs{QStringLiteral("sync"), QStringLiteral("--url"), server->bookUrl().toString()};
    if (server->hasAccounts())
        firstArgs << QStringLiteral("--user") << server->user();
    ProgramRun run = runMeasured(wab, firstArgs + passwordArgs + QStringList{store}, password);
    const double first = msSince(clock);
    if (!run.ok || !run.out.startsWith(QStringLiteral("本机：新增 %1，").arg(count).toUtf8())) {
        std::fprintf(stderr, "first sync failed: %s%s\n", run.out.constData(), run.err.constData());
        return 1;
    }
    print(QStringLiteral("wab sync, first, %1 down into an empty store").arg(count), first,
          QStringLiteral("process; peak %1 MB").arg(run.peakMb, 0, 'f', 1));

    // Without the local mark a sync takes the full way, as every sync did
    // before the marks: the cards read and verified, the sync-collection, the engine's pass.
    const auto forgetMark = [&] {
        ContactStore opened;
        return opened.open(store) && SyncRows(opened).setValue(SyncRows::Value::LocalMark, QString());
    };
    // QUENNET_BENCH_WAB_BESIDE names a second wab (one from before a change):
    // its syncs take turns with the first one's, so both meet the same load.
    QStringList wabs{wab};
    if (const QString beside = qEnvironmentVariable("QUENNET_BENCH_WAB_BESIDE"); !beside.isEmpty())
        wabs << beside;
    std::vector<double> samples;
    for (const bool full : {false, true}) {
        std::vector<std::vector<double>> walls(wabs.size()), cpus(wabs.size());
        std::vector<double> peaks(wabs.size(), 0);
        for (int i = 0; i < 5; ++i) {
            for (qsizetype w = 0; w < wabs.size(); ++w) {
                if (full && !forgetMark())
                    return 1;
                clock.restart();
                run = runMeasured(wabs[w],
                                  QStringList{QStringLiteral("sync")} + passwordArgs + QStringList{store},
                                  password);
                walls[w].push_back(msSince(clock));
                cpus[w].push_back(run.cpuMs);
                peaks[w] = std::max(peaks[w], run.peakMb);
                if (!run.ok || run.out.contains("新增 1")) {
                    std::fprintf(stderr, "sync failed: %s%s\n", run.out.constData(), run.err.constData());
                    return 1;
                }
            }
        }
        for (qsizetype w = 0; w < wabs.size(); ++w) {
            const Stats unchanged = statsOf(walls[w]);
            print(QStringLiteral("%1, nothing changed%2 (median of 5)")
                      .arg(w == 0 ? QStringLiteral("wab sync") : QStringLiteral("the wab beside, in turns"),
                           full ? QStringLiteral(", the full way") : QString()),
                  unchanged.median,
                  QStringLiteral("process: %1; max %2 ms; CPU (user + system) %3 ms median; peak %4 MB")
                      .arg(full ? QStringLiteral("start, open, verify %1 kept cards, one sync-collection")
                                      .arg(count)
                                : QStringLiteral("start, open, the local mark, the book's getctag"))
                      .arg(unchanged.max, 0, 'f', 0)
                      .arg(statsOf(cpus[w]).median, 0, 'f', 0)
                      .arg(peaks[w], 0, 'f', 1));
        }
    }

    // The same in this process, and the one request it makes: what is ours
    // and what is the server's.
    sync::CardDavClient client({server->bookUrl(), server->user(), server->password()});
    QString token;
    for (const bool full : {false, true}) {
        samples.clear();
        double cpu = 0;
        for (int i = 0; i < 5; ++i) {
            if (full && !forgetMark())
                return 1;
            const double cpuBefore = cpuMs();
            samples.push_back(timeMs([&] {
                ContactStore opened;
                opened.open(store);
                sync::StoreSync state(opened);
                QString failed;
                state.verifyValues(&failed);
                const sync::SyncReport report =
                    sync::SyncEngine(client, state.settings().book, state.contacts(), state.state()).run();
                token = state.state().syncToken();
                if (!report.error.ok())
                    std::fprintf(stderr, "%s\n", qPrintable(report.error.message));
            }));
            cpu += cpuMs() - cpuBefore;
        }
        print(full ? QStringLiteral("the same in this process, the full way (median of 5)")
                   : QStringLiteral("the same in this process (median of 5)"),
              statsOf(samples).median,
              QStringLiteral("%1; CPU (ours) %2 ms each")
                  .arg(full ? QStringLiteral("open, verify, list, nothing to do")
                            : QStringLiteral("open, the marks, nothing to do"))
                  .arg(cpu / 5, 0, 'f', 0));
    }
    samples.clear();
    for (int i = 0; i < 5; ++i)
        samples.push_back(timeMs([&] {
            sync::BookChanges changes;
            client.syncCollection(server->bookPath(), token, &changes);
        }));
    print(QStringLiteral("%1's answer to the sync-collection (median of 5)").arg(serverName),
          statsOf(samples).median, QStringLiteral("the request alone, as a sync asked before the marks"));
    for (const bool ctag : {true, false}) {
        samples.clear();
        for (int i = 0; i < 5; ++i)
            samples.push_back(timeMs([&] {
                QString mark;
                client.bookMark(server->bookPath(), ctag, &mark);
            }));
        print(QStringLiteral("%1's answer to a PROPFIND of depth 0 for the %2 (median of 5)")
                  .arg(serverName, ctag ? QStringLiteral("getctag") : QStringLiteral("sync-token")),
              statsOf(samples).median,
              ctag ? QStringLiteral("the request alone: the one a sync with nothing changed makes")
                   : QStringLiteral("the request alone"));
    }

    const bool withPeer = QCoreApplication::arguments().value(2) != QLatin1String("--no-peer");
    if (withPeer && test::VdirsyncerPhone::installed()) {
        test::VdirsyncerPhone peer(server->bookUrl(), server->user(), server->password(), kPeerTimeoutMs);
        clock.restart();
        const QString failed = peer.sync();
        const double down = msSince(clock);
        if (failed.isEmpty() && peer.files().size() == count)
            print(QStringLiteral("peer: vdirsyncer, %1 down into a folder").arg(count), down,
                  QStringLiteral("discover + sync, process"));
        else
            std::fprintf(stderr, "vdirsyncer failed: %s\n", qPrintable(failed));
        samples.clear();
        for (int i = 0; i < 3; ++i)
            samples.push_back(timeMs([&] { peer.sync(); }));
        print(QStringLiteral("peer: vdirsyncer, nothing changed (median of 3)"), statsOf(samples).median,
              QStringLiteral("process"));
    }
    return 0;
}
