// Times the first sync of a store of N contacts up to an empty address book
// on a local Radicale (the released wab, a process of its own, with its peak
// memory) and, in the same run, vdirsyncer uploading the same cards (the
// ones wab sent, byte for byte) from a folder into a second empty Radicale.
// Both servers log their own time per request: what a PUT costs Radicale
// for each client, and what is left per card (the connection, the client).
// The wab QUENNET_BENCH_WAB_BESIDE names (one from before a change) syncs the
// same contacts up into a book of its own between the two.
//   bench_sync_wab_up [N]   N: contacts (default 10,000)

#include "bench/BenchCommon.h"
#include "sync/CardDavClient.h"
#include "sync/StoreSync.h"
#include "tests/support/DavServers.h"
#include "tests/support/Vdirsyncer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace quennet;
using namespace quennet::bench;

namespace {

constexpr int kPeerTimeoutMs = 4 * 3600 * 1000;

void print(const QString &step, double ms, const QString &note)
{
    std::printf("| %s | %.1f s | %s |\n", qPrintable(step), ms / 1000, qPrintable(note));
    std::fflush(stdout);
}

// How many cards the book lists.
int cardsIn(const test::DavServer &server)
{
    sync::CardDavClient client({server.bookUrl(), server.user(), server.password()});
    client.transport().setTimeout(kPeerTimeoutMs);
    QList<sync::CardRef> listed;
    return client.listCards(server.bookPath(), &listed).ok() ? int(listed.size()) : -1;
}

// What the server's log tells of a client's run of wallMs over count cards.
QString serverPart(const test::DavServer &server, int count, double wallMs)
{
    const test::DavServer::RequestTimes put = server.requestTimes("PUT");
    QStringList others;
    for (const QByteArray method : {"PROPFIND", "REPORT", "GET", "DELETE", "OPTIONS"})
        if (const int n = server.requestTimes(method).count)
            others << QStringLiteral("%1 %2").arg(QString::fromLatin1(method)).arg(n);
    return QStringLiteral("%1 PUT, Radicale's own time %2 ms each (%3 s in all); the rest %4 ms a card; "
                          "besides: %5")
        .arg(put.count)
        .arg(put.count ? put.seconds * 1000 / put.count : 0, 0, 'f', 1)
        .arg(put.seconds, 0, 'f', 1)
        .arg((wallMs - put.seconds * 1000) / std::max(count, 1), 0, 'f', 1)
        .arg(others.isEmpty() ? QStringLiteral("nothing") : others.join(QStringLiteral(", ")));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QString why;
    bool missing = false;
    auto server = test::DavServer::start(test::DavServer::Radicale, &why, &missing, true);
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("wab.vdb"));
    if (!server || !dir.isValid() || !createStore(store, count)) {
        std::fprintf(stderr, "no server or store: %s\n", qPrintable(why));
        return 1;
    }
    std::printf("%d contacts, load average %s\n\n| step | wall | note |\n|---|---|---|\n", count,
                qPrintable(loadAverage()));

    // One wab's first sync of storePath up into the empty book of *into, its rows printed.
    const auto upWith = [&](const QString &program, const QString &storePath, const test::DavServer &into,
                            const QString &step) {
        QElapsedTimer clock;
        clock.start();
        const ProgramRun run = runMeasured(program,
                                           {QStringLiteral("sync"), QStringLiteral("--url"),
                                            into.bookUrl().toString(), QStringLiteral("--user"), into.user(),
                                            QStringLiteral("--server-password-stdin"), storePath},
                                           into.password().toUtf8() + '\n');
        const double up = msSince(clock);
        const double upServerMs = into.requestTimes("PUT").seconds * 1000;
        const QString upPart = serverPart(into, count, up);
        if (!run.ok || !run.out.contains(QStringLiteral("服务器：新增 %1，").arg(count).toUtf8()) ||
            cardsIn(into) != count) {
            std::fprintf(stderr, "first sync failed: %s%s\n", run.out.constData(), run.err.constData());
            return false;
        }
        print(step, up,
              QStringLiteral("process; peak %1 MB; CPU %2 s; load average after %3")
                  .arg(run.peakMb, 0, 'f', 1)
                  .arg(run.cpuMs / 1000, 0, 'f', 1)
                  .arg(loadAverage()));
        print(QStringLiteral("of which Radicale's PUTs, by its log"), upServerMs, upPart);
        return true;
    };
    if (!upWith(wabProgram(), store, *server,
                QStringLiteral("wab sync, first, %1 up into an empty book").arg(count)))
        return 1;
    // QUENNET_BENCH_WAB_BESIDE names a second wab (one from before a change):
    // the same contacts up into a book of its own, next in the same run.
    if (const QString beside = qEnvironmentVariable("QUENNET_BENCH_WAB_BESIDE"); !beside.isEmpty()) {
        auto third = test::DavServer::start(test::DavServer::Radicale, &why, &missing, true);
        const QString again = dir.filePath(QStringLiteral("beside.vdb"));
        if (!third || !createStore(again, count) ||
            !upWith(beside, again, *third,
                    QStringLiteral("the wab beside, the same %1 up into an empty book").arg(count)))
            return 1;
    }

    if (!test::VdirsyncerPhone::installed())
        return 0;
    auto empty = test::DavServer::start(test::DavServer::Radicale, &why, &missing, true);
    if (!empty) {
        std::fprintf(stderr, "no second server: %s\n", qPrintable(why));
        return 1;
    }
    test::VdirsyncerPhone peer(empty->bookUrl(), empty->user(), empty->password(), kPeerTimeoutMs);
    {
        ContactStore opened;
        opened.open(store);
        sync::StoreSync synced(opened);
        for (const sync::SyncedCard &card : synced.state().cards()) {
            QByteArray text;
            synced.state().keptCard(card.href, &text, &why);
            peer.write(card.uid + QStringLiteral(".vcf"), text);
        }
    }
    QElapsedTimer clock;
    clock.start();
    const QString failed = peer.sync();
    const double peerUp = msSince(clock);
    const double peerServerMs = empty->requestTimes("PUT").seconds * 1000;
    const QString peerPart = serverPart(*empty, count, peerUp);
    if (!failed.isEmpty() || cardsIn(*empty) != count) {
        std::fprintf(stderr, "vdirsyncer failed: %s\n", qPrintable(failed));
        return 1;
    }
    print(QStringLiteral("peer: vdirsyncer, %1 up from a folder into an empty book").arg(count), peerUp,
          QStringLiteral("discover + sync, process; load average after %1").arg(loadAverage()));
    print(QStringLiteral("of which Radicale's PUTs, by its log"), peerServerMs, peerPart);
    return 0;
}
