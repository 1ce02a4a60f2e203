// Two-way sync of contacts in memory with Radicale and Xandikos: the first
// sync links and adds, later syncs merge field by field (ours wins where
// both changed), deletes travel both ways, refused cards stay on the
// server, and a lost token or lost state converges without duplicates.
// Another client edits the book between syncs, as a phone would.

#include "support/DavServers.h"
#include "support/FakeDavServer.h"
#include "support/SyncMemory.h"
#include "support/Vdirsyncer.h"
#include "sync/ServerCard.h"
#include "sync/SyncEngine.h"

#include <QTest>

using namespace quennet;
using namespace quennet::sync;
using test::DavServer;
using test::MemoryContacts;
using test::MemorySyncState;

Q_DECLARE_METATYPE(DavServer::Kind)

namespace {

Contact person(const char *name, const char *mobile, const char *qq = "", const char *phone = "")
{
    Contact c;
    c.name = QString::fromUtf8(name);
    c.mobile = QString::fromUtf8(mobile);
    c.qq = QString::fromUtf8(qq);
    c.phone = QString::fromUtf8(phone);
    return c;
}

// The book as another client sees it: each card by its 姓名.
struct ServerView {
    QMap<QString, ServerCardData> cards;
    QMap<QString, Contact> contacts;
};

} // namespace

class TestSyncEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<DavServer> m_server;
    std::unique_ptr<CardDavClient> m_client; // ours
    std::unique_ptr<CardDavClient> m_phone;  // the other client
    MemoryContacts m_local;
    MemorySyncState m_state;

    // Empty when the server runs; else why not (*missing: not installed).
    QString startServer(DavServer::Kind kind, bool *missing)
    {
        QString why;
        m_server = DavServer::start(kind, &why, missing);
        if (!m_server)
            return why;
        const ServerAccount account{m_server->bookUrl(), m_server->user(), m_server->password()};
        m_client = std::make_unique<CardDavClient>(account);
        m_phone = std::make_unique<CardDavClient>(account);
        m_local = MemoryContacts();
        m_state = MemorySyncState();
        return QString();
    }

    SyncReport sync(SyncState &state)
    {
        SyncEngine engine(*m_client, m_server->bookPath(), m_local, state);
        return engine.run();
    }
    SyncReport sync() { return sync(m_state); }

    ServerView server()
    {
        ServerView view;
        QList<CardRef> refs;
        if (!m_phone->listCards(m_server->bookPath(), &refs).ok())
            return view;
        QStringList hrefs;
        for (const CardRef &r : refs)
            hrefs << r.href;
        QList<ServerCardData> cards;
        m_phone->fetchCards(m_server->bookPath(), hrefs, &cards);
        for (const ServerCardData &card : cards) {
            const Contact c = ServerCard::parse(card.vcard).contact();
            view.cards.insert(c.name, card);
            view.contacts.insert(c.name, c);
        }
        return view;
    }

    // The phone writes a card as a new one, or over the version it has.
    bool phonePut(const QString &uid, const QByteArray &vcard, const QString &etag = QString())
    {
        return m_phone->putCard(CardDavClient::newCardHref(m_server->bookPath(), uid), vcard, etag, nullptr)
            .ok();
    }
    bool phoneEdit(const QString &name, const Contact &now)
    {
        const ServerView view = server();
        const ServerCardData card = view.cards.value(name);
        const ServerCard edited = ServerCard::parse(card.vcard).edited(view.contacts.value(name), now);
        return m_phone->putCard(card.href, edited.bytes(), card.etag, nullptr).ok();
    }

    void addServerRows()
    {
        QTest::addColumn<DavServer::Kind>("kind");
        QTest::newRow("radicale") << DavServer::Radicale;
        QTest::newRow("xandikos") << DavServer::Xandikos;
    }

    static bool nothingDone(const SyncReport &r)
    {
        return r.error.ok() &&
               r.addedHere + r.changedHere + r.deletedHere + r.addedThere + r.changedThere + r.deletedThere ==
                   0;
    }

#define START_SERVER()                                                                                       \
    QFETCH(DavServer::Kind, kind);                                                                           \
    bool missing = false;                                                                                    \
    if (const QString why = startServer(kind, &missing); !why.isEmpty()) {                                   \
        if (missing)                                                                                         \
            QSKIP(qPrintable(why));                                                                          \
        QFAIL(qPrintable(why));                                                                              \
    }                                                                                                        \
    do {                                                                                                     \
    } while (false)

    // The book after a first sync: 张三 on both sides (linked), 李四 from
    // the phone with a note and a birthday, 王五 from here.
    void firstSync()
    {
        QVERIFY(
            phonePut(QStringLiteral("phone-1"),
                     "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nFN:张三\r\nN:张;三;;;\r\n"
                     "TEL;TYPE=CELL:+86 138 0013 8000\r\nBDAY:1980-01-02\r\nNOTE:老同学\r\nEND:VCARD\r\n"));
        QVERIFY(phonePut(QStringLiteral("phone-2"), "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-2\r\nFN:李四\r\n"
                                                    "TEL;TYPE=CELL:13900139000\r\nEND:VCARD\r\n"));
        QString refusal;
        QVERIFY(m_local.add(person("张三", "13800138000", "12345"), &refusal));
        QVERIFY(m_local.add(person("王五", "13700137000"), &refusal));
        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.addedHere, 1);
        QCOMPARE(r.addedThere, 1);
        QCOMPARE(r.changedThere, 1); // 张三's QQ went up
        QVERIFY(r.conflicts.isEmpty());
    }

private slots:
    void firstSyncLinksAndAdds_data()
    {
        addServerRows();
    }
    void firstSyncLinksAndAdds()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_local.all().size(), 3);
        QCOMPARE(m_local.findByName(QStringLiteral("李四"))->mobile, QStringLiteral("13900139000"));
        const ServerView view = server();
        QCOMPARE(view.contacts.keys(),
                 (QStringList{QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")}));
        QCOMPARE(view.contacts[QStringLiteral("张三")].qq, QStringLiteral("12345"));
        // The phone's card kept everything we do not show, and its UID.
        const QByteArray zhang = view.cards[QStringLiteral("张三")].vcard;
        QVERIFY(zhang.contains("BDAY:1980-01-02"));
        QVERIFY(zhang.contains("NOTE:老同学"));
        QVERIFY(zhang.contains("TEL;TYPE=CELL:+86 138 0013 8000"));
        QCOMPARE(ServerCard::parse(zhang).uid(), QStringLiteral("phone-1"));
        QVERIFY(ServerCard::parse(view.cards[QStringLiteral("王五")].vcard)
                    .bytes()
                    .startsWith("BEGIN:VCARD\r\nVERSION:3.0"));

        const SyncReport again = sync();
        QVERIFY2(nothingDone(again), qPrintable(again.error.message));
        QCOMPARE(m_local.all().size(), 3);
        QCOMPARE(server().contacts.size(), 3);
    }

    void mergesFieldByFieldOursWinsBoth_data()
    {
        addServerRows();
    }
    void mergesFieldByFieldOursWinsBoth()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        Contact there = server().contacts[QStringLiteral("张三")];
        there.email = QStringLiteral("zs@example.cn");
        there.mobile = QStringLiteral("13800000001");
        QVERIFY(phoneEdit(QStringLiteral("张三"), there));
        Contact here = *m_local.findByName(QStringLiteral("张三"));
        here.mobile = QStringLiteral("13800000002");
        here.address = QStringLiteral("北京市海淀区");
        QString refusal;
        QVERIFY(m_local.modify(here, &refusal));

        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.changedHere, 1);
        QCOMPARE(r.changedThere, 1);
        QCOMPARE(r.conflicts,
                 QStringList{QStringLiteral(
                     "“张三”的手机两边都改了：保留本机的“13800000002”，服务器上是“13800000001”。")});
        QCOMPARE(r.lines(), (QStringList{QStringLiteral("本机：新增 0，修改 1，删除 0。"),
                                         QStringLiteral("服务器：新增 0，修改 1，删除 0。"),
                                         QStringLiteral("两边都修改过（1）："), r.conflicts.first()}));
        const Contact merged = *m_local.findByName(QStringLiteral("张三"));
        QCOMPARE(merged.email, QStringLiteral("zs@example.cn"));
        QCOMPARE(merged.mobile, QStringLiteral("13800000002"));
        QCOMPARE(merged.address, QStringLiteral("北京市海淀区"));
        const ServerView view = server();
        QCOMPARE(view.contacts[QStringLiteral("张三")].values(), merged.values());
        QVERIFY(view.cards[QStringLiteral("张三")].vcard.contains("NOTE:老同学"));
        QVERIFY(nothingDone(sync()));
    }

    void deletesTravelBothWays_data()
    {
        addServerRows();
    }
    void deletesTravelBothWays()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(m_local.remove(m_local.findByName(QStringLiteral("王五"))->id));
        const ServerCardData li = server().cards[QStringLiteral("李四")];
        QVERIFY(m_phone->deleteCard(li.href, li.etag).ok());

        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.deletedHere, 1);
        QCOMPARE(r.deletedThere, 1);
        QCOMPARE(m_local.all().size(), 1);
        QCOMPARE(server().contacts.keys(), QStringList{QStringLiteral("张三")});
        QCOMPARE(m_state.cards().size(), 1); // the tombstone went with the server's yes
        QVERIFY(nothingDone(sync()));
    }

    void changedHereDeletedThereComesBack_data()
    {
        addServerRows();
    }
    void changedHereDeletedThereComesBack()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        Contact here = *m_local.findByName(QStringLiteral("张三"));
        here.email = QStringLiteral("new@example.cn");
        QString refusal;
        QVERIFY(m_local.modify(here, &refusal));
        const ServerCardData zhang = server().cards[QStringLiteral("张三")];
        QVERIFY(m_phone->deleteCard(zhang.href, zhang.etag).ok());

        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        const ServerView view = server();
        QCOMPARE(view.contacts[QStringLiteral("张三")].email, QStringLiteral("new@example.cn"));
        QVERIFY(view.cards[QStringLiteral("张三")].vcard.contains("NOTE:老同学"));
        QCOMPARE(m_local.all().size(), 3);
        QVERIFY(nothingDone(sync()));
    }

    void refusedCardsStayOnTheServer_data()
    {
        addServerRows();
    }
    void refusedCardsStayOnTheServer()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        // A second 王五 with another number, and a QQ number of 10 digits.
        // (A CELL number that is no mobile number is read as 电话, as the
        // importer reads it: no card brings a 手机 of the wrong length.)
        QVERIFY(phonePut(QStringLiteral("phone-3"), "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-3\r\nFN:王五\r\n"
                                                    "TEL;TYPE=CELL:13600136000\r\nEND:VCARD\r\n"));
        QVERIFY(phonePut(QStringLiteral("phone-4"),
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-4\r\nFN:赵六\r\n"
                         "TEL;TYPE=CELL:12345\r\nX-QQ:1234567890\r\nEND:VCARD\r\n"));
        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.skipped.size(), 2);
        QCOMPARE(r.lines().mid(2, 1), QStringList{QStringLiteral("未同步的名片（2），服务器上保持原样：")});
        QVERIFY2(r.skipped.filter(QStringLiteral("服务器上的“王五”未加入：")).size() == 1,
                 qPrintable(r.skipped.join('\n')));
        QVERIFY(r.skipped.filter(QStringLiteral("服务器上的“赵六”未加入：")).size() == 1);
        QCOMPARE(m_local.all().size(), 3);
        QCOMPARE(server().cards.size(), 4); // the two 王五 share a key here; 赵六 is there
        QVERIFY(server().contacts.contains(QStringLiteral("赵六")));
        QVERIFY(sync().error.ok());
        QVERIFY(server().contacts.contains(QStringLiteral("赵六")));
    }

    void lostTokenResyncsWithoutDuplicates_data()
    {
        addServerRows();
    }
    void lostTokenResyncsWithoutDuplicates()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        QString forged = m_state.syncToken();
        forged.chop(8);
        m_state.setListingMark(forged + QStringLiteral("deadbeef"), m_state.ctag(), m_state.localMark());
        Contact there = server().contacts[QStringLiteral("李四")];
        there.qq = QStringLiteral("777");
        QVERIFY(phoneEdit(QStringLiteral("李四"), there));

        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.changedHere, 1);
        QCOMPARE(r.addedHere + r.addedThere, 0);
        QCOMPARE(m_local.findByName(QStringLiteral("李四"))->qq, QStringLiteral("777"));
        QCOMPARE(m_local.all().size(), 3);
        QCOMPARE(server().cards.size(), 3);
        QVERIFY(m_state.syncToken() != forged + QStringLiteral("deadbeef"));
    }

    void lostStateConvergesWithoutDuplicates_data()
    {
        addServerRows();
    }
    void lostStateConvergesWithoutDuplicates()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        // Stopped after the cards went up, before they were recorded: the
        // same client, nothing remembered. Then a new client altogether.
        MemorySyncState sameClient;
        sameClient.setClientId(m_state.clientId());
        for (SyncState *state : {static_cast<SyncState *>(&sameClient), static_cast<SyncState *>(&m_state)}) {
            if (state == &m_state)
                m_state = MemorySyncState();
            const SyncReport r = sync(*state);
            QVERIFY2(r.error.ok(), qPrintable(r.error.message));
            QCOMPARE(r.addedHere + r.addedThere, 0);
            QCOMPARE(m_local.all().size(), 3);
            QCOMPARE(server().cards.size(), 3);
            QCOMPARE(state->cards().size(), 3);
        }
    }

    void staleVersionIsFetchedMergedAndRetried_data()
    {
        addServerRows();
    }
    void staleVersionIsFetchedMergedAndRetried()
    {
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        // The phone changes 李四 after our listing (here: we are told the
        // book is as we know it), and we change another field.
        Contact there = server().contacts[QStringLiteral("李四")];
        there.email = QStringLiteral("ls@example.cn");
        QVERIFY(phoneEdit(QStringLiteral("李四"), there));
        AddressBook book;
        QVERIFY(m_client->bookState(m_server->bookPath(), &book).ok());
        m_state.setListingMark(book.syncToken, book.ctag, m_state.localMark());
        Contact here = *m_local.findByName(QStringLiteral("李四"));
        here.qq = QStringLiteral("888");
        QString refusal;
        QVERIFY(m_local.modify(here, &refusal));

        const SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        const Contact merged = *m_local.findByName(QStringLiteral("李四"));
        QCOMPARE(merged.email, QStringLiteral("ls@example.cn"));
        QCOMPARE(merged.qq, QStringLiteral("888"));
        QCOMPARE(server().contacts[QStringLiteral("李四")].values(), merged.values());
    }

    void aPhoneEditsBetweenSyncs_data()
    {
        addServerRows();
    }
    void aPhoneEditsBetweenSyncs()
    {
        if (!test::VdirsyncerPhone::installed())
            QSKIP("vdirsyncer is not installed (scripts/setup-deps.sh)");
        START_SERVER();
        firstSync();
        if (QTest::currentTestFailed())
            return;
        test::VdirsyncerPhone phone(m_server->bookUrl(), m_server->user(), m_server->password());
        QString failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QCOMPARE(phone.files().size(), 3);

        // On the phone: 李四 gets an email and a nickname, 王五 goes, 周七 comes.
        QString li, wang;
        for (const QString &file : phone.files()) {
            const QString name = ServerCard::parse(phone.read(file)).contact().name;
            if (name == QStringLiteral("李四"))
                li = file;
            else if (name == QStringLiteral("王五"))
                wang = file;
        }
        QVERIFY(!li.isEmpty() && !wang.isEmpty());
        const ServerCard liCard = ServerCard::parse(phone.read(li));
        Contact liNow = liCard.contact();
        liNow.email = QStringLiteral("li4@example.cn");
        QByteArray liBytes = liCard.edited(liCard.contact(), liNow).bytes();
        liBytes.replace("END:VCARD", "NICKNAME:小四\r\nEND:VCARD");
        phone.write(li, liBytes);
        QVERIFY(phone.remove(wang));
        phone.write(QStringLiteral("phone-7.vcf"), "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-7\r\nFN:周七\r\n"
                                                   "TEL;TYPE=CELL:13500135000\r\nEND:VCARD\r\n");
        failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));

        SyncReport r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.addedHere, 1);
        QCOMPARE(r.changedHere, 1);
        QCOMPARE(r.deletedHere, 1);
        QVERIFY(!m_local.findByName(QStringLiteral("王五")));
        QCOMPARE(m_local.findByName(QStringLiteral("李四"))->email, QStringLiteral("li4@example.cn"));
        QCOMPARE(m_local.findByName(QStringLiteral("周七"))->mobile, QStringLiteral("13500135000"));

        // Here: 李四's QQ. The phone's nickname stays on its card.
        Contact here = *m_local.findByName(QStringLiteral("李四"));
        here.qq = QStringLiteral("4444");
        QString refusal;
        QVERIFY(m_local.modify(here, &refusal));
        r = sync();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.changedThere, 1);
        failed = phone.sync();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QByteArray onPhone = phone.read(li);
        QVERIFY2(onPhone.contains("X-QQ:4444"), onPhone.constData());
        QVERIFY(onPhone.contains("NICKNAME:小四"));
        QCOMPARE(ServerCard::parse(onPhone).contact().values(), here.values());
    }

    void serversWithoutSyncTokensCompareEtags()
    {
        test::EtagOnlyBook book;
        book.put(QStringLiteral("/book/a.vcf"),
                 "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a\r\nFN:孙八\r\n"
                 "TEL;TYPE=CELL:13300133000\r\nNOTE:a & b <c>\r\nEND:VCARD\r\n");
        test::FakeDavServer fake([&](const test::FakeRequest &r) { return book(r); });
        CardDavClient client({fake.url(book.path), {}, {}});
        MemoryContacts local;
        MemorySyncState state;
        QString refusal;
        QVERIFY(local.add(person("钱九", "13200132000"), &refusal));
        const auto run = [&] { return SyncEngine(client, book.path, local, state).run(); };

        SyncReport r = run();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.addedHere, 1);
        QCOMPARE(r.addedThere, 1);
        QCOMPARE(book.cards.size(), 2);
        QVERIFY(state.syncToken().isEmpty());

        // Nothing changed: the getctag alone says so, in one PROPFIND of depth 0.
        const qsizetype asked = fake.requests().size();
        QVERIFY(nothingDone(run()));
        QCOMPARE(fake.requests().size(), asked + 1);
        const test::FakeRequest quick = fake.requests().last();
        QCOMPARE(quick.method, QByteArray("PROPFIND"));
        QCOMPARE(quick.headers.value("depth"), QByteArray("0"));
        QVERIFY(quick.body.contains("getctag") && !quick.body.contains("sync-token"));

        // Changed there alone: the getctag tells, and the change comes in.
        QByteArray sun = book.cards.value(QStringLiteral("/book/a.vcf"));
        book.put(QStringLiteral("/book/a.vcf"), sun.replace("FN:孙八", "FN:孙八\r\nEMAIL:s8@example.cn"));
        r = run();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(r.changedHere, 1);
        QCOMPARE(local.findByName(QStringLiteral("孙八"))->email, QStringLiteral("s8@example.cn"));
        QVERIFY(nothingDone(run()));

        // Changed and deleted there, changed here.
        QByteArray card = book.cards.value(QStringLiteral("/book/a.vcf"));
        book.put(QStringLiteral("/book/a.vcf"), card.replace("13300133000", "13300133001"));
        const QString ours = book.cards.lastKey() == QStringLiteral("/book/a.vcf") ? book.cards.firstKey()
                                                                                   : book.cards.lastKey();
        Contact qian = *local.findByName(QStringLiteral("钱九"));
        qian.qq = QStringLiteral("99");
        QVERIFY(local.modify(qian, &refusal));
        book.remove(ours);
        r = run();
        QVERIFY2(r.error.ok(), qPrintable(r.error.message));
        QCOMPARE(local.findByName(QStringLiteral("孙八"))->mobile, QStringLiteral("13300133001"));
        // Changed here, deleted there: ours goes back up.
        QCOMPARE(book.cards.size(), 2);
        QVERIFY(book.cards.value(ours).contains("X-QQ:99"));
        QVERIFY(book.cards.value(QStringLiteral("/book/a.vcf")).contains("NOTE:a & b <c>"));
        QVERIFY(nothingDone(run()));
    }
};

QTEST_GUILESS_MAIN(TestSyncEngine)
#include "tst_sync_engine.moc"
