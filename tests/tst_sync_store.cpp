// The sync's state in the contact store: kept across opens (a card's text
// read only when asked for), sealed under a password with nothing of it in
// plain text, made in the transaction of the first sync write, verified by
// the check (a row deleted, changed or put back from an older copy), sealed
// again with the password, and landing together with the contacts' changes
// of its batch.

#include "contacts/store/ContactStoreTesting.h"
#include "contacts/store/SyncRows.h"
#include "support/RawSqlite.h"
#include "support/StoreFiles.h"
#include "support/StoreFixture.h"
#include "sync/StoreSync.h"

#include <QTest>

using namespace quennet;
using namespace quennet::sync;

namespace {

const QByteArray kCard =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:u-1\r\nFN:张三\r\nNOTE:只在名片里的备注\r\nEND:VCARD\r\n";

SyncedCard cardFor(const Contact &contact, const QString &href = QStringLiteral("/book/u-1.vcf"))
{
    return {href, QStringLiteral("\"e1\""), QStringLiteral("u-1"), contact.id, kCard, contact};
}

SyncSettings someSettings()
{
    return {QStringLiteral("https://dav.example.cn/"), QStringLiteral("alice"),
            QStringLiteral("/alice/contacts/"), 15};
}

bool hasSyncTables(const QString &path)
{
    return test::RawDb(path).integer("SELECT count(*) FROM sqlite_master WHERE name LIKE 'sync_%'") > 0;
}

} // namespace

class TestSyncStore : public QObject {
    Q_OBJECT

    test::StoreDir m_stores;

    // A store with 张三 and, through the sync, settings, a client id, marks
    // and 张三's card; its path.
    QString syncedStore(const QString &password)
    {
        const QString path =
            m_stores.create(password, {{QStringLiteral("张三"), {}, QStringLiteral("13800138000")}});
        ContactStore store;
        if (!store.open(path, password))
            return {};
        StoreSync sync(store);
        QString why;
        if (!sync.saveSettings(someSettings(), &why))
            return {};
        SyncState &state = sync.state();
        state.beginBatch();
        state.setClientId(QStringLiteral("client-1"));
        state.putCard(cardFor(store.contactAt(1)));
        state.setListingMark(QStringLiteral("token-1"), QStringLiteral("ctag-1"), QStringLiteral("mark-1"));
        return state.endBatch(&why) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_stores.isValid()); }

    void stateIsKeptAcrossOpens_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("no password") << QString();
        QTest::newRow("password") << QStringLiteral("pw");
    }
    void stateIsKeptAcrossOpens()
    {
        QFETCH(QString, password);
        const QString path = syncedStore(password);
        QVERIFY(!path.isEmpty());
        ContactStore store;
        QVERIFY(store.open(path, password));
        StoreSync sync(store);
        QString why;
        QVERIFY2(sync.verify(&why), qPrintable(why));
        QCOMPARE(sync.settings(), someSettings());
        QCOMPARE(sync.state().clientId(), QStringLiteral("client-1"));
        QCOMPARE(sync.state().syncToken(), QStringLiteral("token-1"));
        QCOMPARE(sync.state().ctag(), QStringLiteral("ctag-1"));
        const QList<SyncedCard> cards = sync.state().cards();
        QCOMPARE(cards.size(), 1);
        // The card's text is read only when asked for.
        QVERIFY(cards[0].card.isEmpty());
        QByteArray text;
        QVERIFY2(sync.state().keptCard(cards[0].href, &text, &why), qPrintable(why));
        QCOMPARE(text, kCard);
        QVERIFY(!sync.state().keptCard(QStringLiteral("/book/none.vcf"), &text, &why));
        QVERIFY(text.isEmpty() && !why.isEmpty());
        QCOMPARE(cards[0].etag, QStringLiteral("\"e1\""));
        QCOMPARE(cards[0].contactId, store.rowIdAt(1));
        QCOMPARE(cards[0].synced.values(), store.contactAt(1).values());
        // Only a protected store keeps the server password.
        QCOMPARE(sync.canKeepPassword(), !password.isEmpty());
        QCOMPARE(sync.keepPassword(QStringLiteral("srv-pw"), &why), !password.isEmpty());
        QCOMPARE(StoreSync(store).keptPassword(), password.isEmpty() ? QString() : QStringLiteral("srv-pw"));

        // The contact goes: its card stays, a delete the server has not confirmed.
        QVERIFY(store.remove(store.rowIdAt(1)));
        const StoreCheck check = ContactStore::check(path, password);
        QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
        QVERIFY(check.sync.tables && check.sync.readable);
        QCOMPARE(check.sync.url, someSettings().url);
        QCOMPARE(check.sync.cards, 1);
        QCOMPARE(check.sync.pendingDeletes, 1);
        // Another account forgets what was synced with the old one.
        SyncSettings other = someSettings();
        other.book = QStringLiteral("/alice/work/");
        QVERIFY(sync.saveSettings(other, &why));
        QVERIFY(StoreSync(store).state().cards().isEmpty());
        QVERIFY(StoreSync(store).state().syncToken().isEmpty());
        // Another book of the same account keeps its server password;
        // another user does not: it is never sent for someone else.
        QCOMPARE(StoreSync(store).keptPassword(), password.isEmpty() ? QString() : QStringLiteral("srv-pw"));
        other.user = QStringLiteral("bob");
        QVERIFY(sync.saveSettings(other, &why));
        QCOMPARE(StoreSync(store).keptPassword(), QString());
    }

    void sealedStoreHoldsNoPlainText()
    {
        const QString path = syncedStore(QStringLiteral("pw"));
        QVERIFY(!path.isEmpty());
        const QByteArray bytes = test::readAll(path);
        for (const QByteArray &plain :
             {QByteArray("只在名片里的备注"), QByteArray("dav.example.cn"), QByteArray("BEGIN:VCARD"),
              QByteArray("token-1"), QByteArray("13800138000")})
            QVERIFY2(!bytes.contains(plain), plain.constData());
        QVERIFY(test::readAll(syncedStore(QString())).contains("只在名片里的备注"));
    }

    void tablesComeWithTheFirstSyncWriteInOneTransaction()
    {
        // A store as made before any sync (and as earlier versions wrote it).
        const QString path = m_stores.create(QString(), {{QStringLiteral("甲")}});
        QVERIFY(!hasSyncTables(path));
        ContactStore store;
        QVERIFY(store.open(path));
        StoreSync sync(store);
        QString why;
        QVERIFY(sync.verify(&why));
        QVERIFY(!sync.settings().isSet());
        QVERIFY(sync.state().cards().isEmpty());
        QVERIFY(!hasSyncTables(path)); // reading writes nothing

        ContactStoreTestAccess::failNextCommit(store);
        QVERIFY(!sync.saveSettings(someSettings(), &why));
        QVERIFY(!hasSyncTables(path));
        QVERIFY(ContactStore::check(path).ok);
        QVERIFY(sync.saveSettings(someSettings(), &why));
        QVERIFY(hasSyncTables(path));
        QCOMPARE(StoreSync(store).settings(), someSettings());
        QVERIFY(ContactStore::check(path).ok);
    }

    void batchLandsWithItsContactsOrNotAtAll()
    {
        const QString path = m_stores.create();
        ContactStore store;
        QVERIFY(store.open(path));
        StoreSync sync(store);
        QString why;
        for (const bool commitFails : {true, false}) {
            sync.state().beginBatch();
            QString refusal;
            const qint64 id = sync.contacts().add(Contact::fromValues({QStringLiteral("乙")}), &refusal);
            QVERIFY(id > 0);
            Contact added = store.contact(id);
            sync.state().putCard(cardFor(added));
            // Refused by the rules, inside the batch: nothing of it.
            QCOMPARE(sync.contacts().add(Contact::fromValues({QStringLiteral("乙")}), &refusal), 0);
            if (commitFails)
                ContactStoreTestAccess::failNextCommit(store);
            QCOMPARE(sync.state().endBatch(&why), !commitFails);
            ContactStore reread;
            QVERIFY(reread.open(path));
            QCOMPARE(reread.recordCount(), commitFails ? 0 : 1);
            QCOMPARE(store.recordCount(), reread.recordCount());
            QCOMPARE(StoreSync(reread).state().cards().size(), commitFails ? 0 : 1);
            QCOMPARE(sync.state().cards().size(), commitFails ? 0 : 1);
        }
    }

    void newPasswordSealsTheStateAgain()
    {
        const QString path = syncedStore(QStringLiteral("old"));
        QVERIFY(!path.isEmpty());
        ContactStore store;
        QVERIFY(store.open(path, QStringLiteral("old")));
        QString why;
        QVERIFY(StoreSync(store).keepPassword(QStringLiteral("srv-pw"), &why));
        for (const QString &password : {QStringLiteral("new"), QString()}) {
            QVERIFY(store.setPassword(password));
            const StoreCheck check = ContactStore::check(path, password);
            QVERIFY2(check.ok, qPrintable(check.problems.join('\n')));
            ContactStore reopened;
            QVERIFY(reopened.open(path, password));
            StoreSync sync(reopened);
            QVERIFY(sync.verify(&why));
            QByteArray text;
            QVERIFY(sync.state().keptCard(sync.state().cards().value(0).href, &text, &why));
            QCOMPARE(text, kCard);
            // Never in plain text: the kept server password goes with the password.
            QCOMPARE(sync.keptPassword(), password.isEmpty() ? QString() : QStringLiteral("srv-pw"));
        }
        QVERIFY(!test::readAll(path).contains("srv-pw"));
    }

    void tamperedRowsAreFound_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("sql");
        const QByteArray older =
            "UPDATE sync_meta SET value = (SELECT value FROM sync_meta WHERE key = 'ctag') "
            "WHERE key = 'sync_token'";
        const struct {
            const char *name;
            bool sealedOnly;
            QByteArray sql;
        } cases[] = {
            {"card deleted", true, "DELETE FROM sync_cards"},
            {"etag changed", true, "UPDATE sync_cards SET etag = CAST('x' AS BLOB)"},
            {"card's text changed", true, "UPDATE sync_cards SET card = CAST('x' AS BLOB)"},
            {"contact changed", true, "UPDATE sync_cards SET contact = contact + 1"},
            {"value moved to another name", true, older},
            {"value deleted", true, "DELETE FROM sync_meta WHERE key = 'client_id'"},
            {"unknown value", false, "INSERT INTO sync_meta VALUES ('colour', CAST('red' AS BLOB))"},
            {"card as text", false, "UPDATE sync_cards SET card = CAST(card AS TEXT)"},
            {"synced values cut short", false, "UPDATE sync_cards SET synced = zeroblob(3)"},
            {"contact id zero", false, "UPDATE sync_cards SET contact = 0"},
            {"a table dropped", false, "DROP TABLE sync_cards"},
        };
        for (const auto &c : cases)
            for (const QString &password : {QString(), QStringLiteral("pw")})
                if (!c.sealedOnly || !password.isEmpty())
                    QTest::addRow("%s, %s", c.name, password.isEmpty() ? "no password" : "password")
                        << password << c.sql;
    }
    void tamperedRowsAreFound()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, sql);
        const QString path = syncedStore(password);
        QVERIFY(!path.isEmpty());
        QVERIFY(test::RawDb(path).exec(sql.constData()));
        QVERIFY(!ContactStore::check(path, password).ok);
        ContactStore store;
        if (!store.open(path, password))
            return; // the schema itself is damaged: the store does not open at all
        QString why;
        QVERIFY(!StoreSync(store).verify(&why));
        QVERIFY(!why.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncStore)
#include "tst_sync_store.moc"
