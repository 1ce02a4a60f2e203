// Times CardDAV sync against a local Radicale: the first sync of N contacts
// up to an empty address book, a sync with nothing changed, the first sync
// of the same N cards down into an empty address book, and vdirsyncer
// syncing the same collection into an empty folder as the peer figure, all
// in the same run; and the peak memory of this process.
//   bench_sync [N]   N: contacts (default 10,000)

#include "bench/BenchCommon.h"
#include "sync/SyncEngine.h"
#include "tests/support/DavServers.h"
#include "tests/support/SyncMemory.h"
#include "tests/support/Vdirsyncer.h"

#include <QCoreApplication>
#include <QSet>

#include <cstdio>

using namespace quennet;
using namespace quennet::sync;
using namespace quennet::bench;

namespace {

constexpr int kPeerTimeoutMs = 3600 * 1000;

// Contacts in memory with a duplicate-name check: what the engine itself
// costs, without the store's rules and writes.
class BenchContacts : public LocalContacts {
public:
    QList<Contact> all() override { return m_contacts.values(); }
    qint64 add(const Contact &contact, QString *refusal) override
    {
        if (m_names.contains(contact.name)) {
            *refusal = QStringLiteral("duplicate");
            return 0;
        }
        Contact stored = contact;
        stored.id = m_next++;
        m_contacts.insert(stored.id, stored);
        m_names.insert(stored.name);
        return stored.id;
    }
    bool modify(const Contact &contact, QString *) override
    {
        m_contacts.insert(contact.id, contact);
        return true;
    }
    bool remove(qint64 id) override { return m_contacts.remove(id) > 0; }
    qsizetype size() const { return m_contacts.size(); }

private:
    QMap<qint64, Contact> m_contacts;
    QSet<QString> m_names;
    qint64 m_next = 1;
};

void print(const Row &row)
{
    std::printf("| %s | %.0f ms | %.0f ms | %.0f ms | %s |\n", qPrintable(row.step), row.median, row.max,
                row.cpu, qPrintable(row.note));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QString why;
    bool missing = false;
    auto server = test::DavServer::start(test::DavServer::Radicale, &why, &missing);
    if (!server) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    const ServerAccount account{server->bookUrl(), server->user(), server->password()};
    std::printf("%d contacts, load average %s\n\n| step | wall median | wall max | CPU (ours) | note "
                "|\n|---|---|---|---|---|\n",
                count, qPrintable(loadAverage()));

    BenchContacts local;
    QString refusal;
    for (int i = 1; i <= count; ++i)
        local.add(Contact::fromValues(contactOf(i)), &refusal);
    test::MemorySyncState state;
    CardDavClient client(account);
    SyncReport report;
    print(measure(QStringLiteral("first sync, %1 up").arg(count), 1, [&] {
        report = SyncEngine(client, server->bookPath(), local, state).run();
        return report.error.ok() && report.addedThere == count;
    }));
    print(measure(QStringLiteral("nothing changed"), 5, [&] {
        report = SyncEngine(client, server->bookPath(), local, state).run();
        return report.error.ok() && report.addedHere + report.addedThere + report.changedThere == 0;
    }));

    BenchContacts fresh;
    test::MemorySyncState freshState;
    CardDavClient second(account);
    print(measure(QStringLiteral("first sync, %1 down").arg(count), 1, [&] {
        report = SyncEngine(second, server->bookPath(), fresh, freshState).run();
        return report.error.ok() && fresh.size() == count;
    }));
    print(measure(QStringLiteral("nothing changed, after the sync down"), 5, [&] {
        report = SyncEngine(second, server->bookPath(), fresh, freshState).run();
        return report.error.ok() && report.addedHere + report.addedThere + report.changedThere == 0;
    }));

    if (test::VdirsyncerPhone::installed()) {
        test::VdirsyncerPhone peer(server->bookUrl(), server->user(), server->password(), kPeerTimeoutMs);
        QString failed;
        print(measure(
            QStringLiteral("peer: vdirsyncer, %1 down into a folder").arg(count), 1,
            [&] {
                failed = peer.sync();
                return failed.isEmpty() && peer.files().size() == count;
            },
            QStringLiteral("discover + sync, process")));
        print(measure(
            QStringLiteral("peer: vdirsyncer, nothing changed"), 3, [&] { return peer.sync().isEmpty(); },
            QStringLiteral("process")));
    }
    if (test::VdirsyncerPhone::installed()) {
        // The peer's way up: the same cards from a folder into an empty book.
        auto empty = test::DavServer::start(test::DavServer::Radicale, &why, &missing);
        if (empty) {
            test::VdirsyncerPhone peer(empty->bookUrl(), empty->user(), empty->password(), kPeerTimeoutMs);
            const QList<SyncedCard> cards = state.cards();
            for (const SyncedCard &card : cards) {
                QByteArray text;
                state.keptCard(card.href, &text, &why);
                peer.write(card.uid + QStringLiteral(".vcf"), text);
            }
            QString failed;
            print(measure(
                QStringLiteral("peer: vdirsyncer, %1 up from a folder").arg(count), 1,
                [&] {
                    failed = peer.sync();
                    CardDavClient third({empty->bookUrl(), empty->user(), empty->password()});
                    QList<CardRef> listed;
                    return failed.isEmpty() && third.listCards(empty->bookPath(), &listed).ok() &&
                           listed.size() == count;
                },
                QStringLiteral("discover + sync, process")));
        }
    }
    std::printf("\npeak memory of this process: %.1f MB\n", double(statusKb("VmHWM:")) / 1024.0);
    return 0;
}
