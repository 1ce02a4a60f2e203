// Times the first sync of a store of N contacts up to an empty address book
// on a local Radicale (the released wab, a process of its own, with its peak
// memory) and, in the same run, vdirsyncer uploading the same cards (the
// ones wab sent, byte for byte) from a folder into a second empty Radicale.
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QString why;
    bool missing = false;
    auto server = test::DavServer::start(test::DavServer::Radicale, &why, &missing);
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("wab.vdb"));
    if (!server || !dir.isValid() || !createStore(store, count)) {
        std::fprintf(stderr, "no server or store: %s\n", qPrintable(why));
        return 1;
    }
    std::printf("%d contacts, load average %s\n\n| step | wall | note |\n|---|---|---|\n", count,
                qPrintable(loadAverage()));

    QElapsedTimer clock;
    clock.start();
    const ProgramRun run = runMeasured(QStringLiteral(QUENNET_PROGRAM_DIR "/wab"),
                                       {QStringLiteral("sync"), QStringLiteral("--url"),
                                        server->bookUrl().toString(), QStringLiteral("--user"),
                                        server->user(), QStringLiteral("--server-password-stdin"), store},
                                       server->password().toUtf8() + '\n');
    const double up = msSince(clock);
    if (!run.ok || !run.out.contains(QStringLiteral("服务器：新增 %1，").arg(count).toUtf8()) ||
        cardsIn(*server) != count) {
        std::fprintf(stderr, "first sync failed: %s%s\n", run.out.constData(), run.err.constData());
        return 1;
    }
    print(QStringLiteral("wab sync, first, %1 up into an empty book").arg(count), up,
          QStringLiteral("process; peak %1 MB; load average after %2")
              .arg(run.peakMb, 0, 'f', 1)
              .arg(loadAverage()));

    if (!test::VdirsyncerPhone::installed())
        return 0;
    auto empty = test::DavServer::start(test::DavServer::Radicale, &why, &missing);
    if (!empty) {
        std::fprintf(stderr, "no second server: %s\n", qPrintable(why));
        return 1;
    }
    test::VdirsyncerPhone peer(empty->bookUrl(), empty->user(), empty->password(), kPeerTimeoutMs);
    {
        ContactStore opened;
        opened.open(store);
        sync::StoreSync synced(opened);
        for (const sync::SyncedCard &card : synced.state().cards())
            peer.write(card.uid + QStringLiteral(".vcf"), card.card);
    }
    clock.restart();
    const QString failed = peer.sync();
    const double peerUp = msSince(clock);
    if (!failed.isEmpty() || cardsIn(*empty) != count) {
        std::fprintf(stderr, "vdirsyncer failed: %s\n", qPrintable(failed));
        return 1;
    }
    print(QStringLiteral("peer: vdirsyncer, %1 up from a folder into an empty book").arg(count), peerUp,
          QStringLiteral("discover + sync, process; load average after %1").arg(loadAverage()));
    return 0;
}
