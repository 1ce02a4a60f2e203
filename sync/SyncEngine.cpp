#include "sync/SyncEngine.h"

#include "sync/ServerCard.h"

#include <QElapsedTimer>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace quennet::sync {

namespace {

constexpr int kAttempts = 4;
// A batch of writes lands after this many cards or this long, whichever
// comes first: few commits, and the store's lock is given back often.
constexpr int kBatchCards = 500;
constexpr qint64 kBatchMs = 300;
// Sending, each card waits on its own request (a PUT may take the server a
// tenth of a second and more), so 300 ms would be a commit and its fsyncs
// every two or three cards. Whatever a kill takes of such a batch, the next
// sync finds again and merges as the same contact: a new card sent but not
// remembered by its UID, a changed one by its new version. Well within the
// 5 s another writer of the store waits for the lock while this one gets on.
constexpr qint64 kSendingBatchMs = 2000;

bool numbersMatch(const Contact &a, const Contact &b)
{
    if (!a.mobile.isEmpty() && a.mobile == b.mobile)
        return true;
    if (!a.phone.isEmpty() && a.phone == b.phone)
        return true;
    // Neither has a number at all: the name alone tells.
    return a.mobile.isEmpty() && a.phone.isEmpty() && b.mobile.isEmpty() && b.phone.isEmpty();
}

// Where the server no longer follows our token or offers no sync-collection,
// a full listing still tells what changed.
bool listInFull(const DavError &error)
{
    return error.kind == DavError::InvalidSyncToken || error.kind == DavError::ServerError ||
           error.kind == DavError::HttpError || error.kind == DavError::Forbidden ||
           error.kind == DavError::Malformed;
}

QString tooLarge(const QString &href)
{
    return QStringLiteral("服务器上的 %1 超过 %2 KB（多半是照片太大），未同步。")
        .arg(href)
        .arg(kMaxCardBytes / 1024);
}

} // namespace

QStringList SyncReport::lines() const
{
    QStringList out;
    if (!error.ok())
        out << QStringLiteral("同步未完成：%1").arg(error.message);
    out << QStringLiteral("本机：新增 %1，修改 %2，删除 %3。")
               .arg(addedHere)
               .arg(changedHere)
               .arg(deletedHere)
        << QStringLiteral("服务器：新增 %1，修改 %2，删除 %3。")
               .arg(addedThere)
               .arg(changedThere)
               .arg(deletedThere);
    if (!conflicts.isEmpty())
        out << QStringLiteral("两边都修改过（%1）：").arg(conflicts.size()) << conflicts;
    if (!skipped.isEmpty())
        out << QStringLiteral("未同步的名片（%1），服务器上保持原样：").arg(skipped.size()) << skipped;
    return out;
}

// The state's and the contacts' writes, landed a batch at a time. A batch
// left on an early return lands what it holds: each card in it is whole.
class SyncEngine::Batch {
public:
    explicit Batch(SyncState &state) : m_state(state) { open(); }
    ~Batch()
    {
        if (m_open)
            m_state.endBatch(&m_why);
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    // After each card: lands the batch once it is big or old enough.
    DavError step(qint64 budgetMs = kBatchMs)
    {
        if (++m_cards < kBatchCards && m_clock.elapsed() < budgetMs)
            return {};
        DavError e = end();
        if (e.ok())
            open();
        return e;
    }
    DavError end()
    {
        m_open = false;
        if (m_state.endBatch(&m_why))
            return {};
        return DavError::make(DavError::LocalStore, QStringLiteral("无法写入通讯录：%1").arg(m_why));
    }

private:
    void open()
    {
        m_state.beginBatch();
        m_open = true;
        m_cards = 0;
        m_clock.start();
    }

    SyncState &m_state;
    QElapsedTimer m_clock;
    QString m_why;
    int m_cards = 0;
    bool m_open = false;
};

SyncEngine::SyncEngine(CardDavClient &client, QString bookHref, LocalContacts &local, SyncState &state)
    : m_client(client), m_book(std::move(bookHref)), m_local(local), m_state(state)
{
}

QString SyncEngine::uidFor(const QString &clientId, qint64 contactId)
{
    static const QUuid space = QUuid::fromString(QLatin1String("{0d3c6a8e-91f2-4b57-8c0e-5a7d2e4f9b13}"));
    return QUuid::createUuidV5(space, clientId + QLatin1Char('/') + QString::number(contactId))
        .toString(QUuid::WithoutBraces);
}

const SyncedCard *SyncEngine::known(const QString &href) const
{
    const auto it = m_known.constFind(href);
    return it == m_known.cend() ? nullptr : &*it;
}

const Contact *SyncEngine::localContact(qint64 id) const
{
    const auto it = m_locals.constFind(id);
    return it == m_locals.cend() ? nullptr : &*it;
}

DavError SyncEngine::keptCard(const QString &href, QByteArray *card) const
{
    QString why;
    if (m_state.keptCard(href, card, &why))
        return {};
    return DavError::make(DavError::LocalStore, why);
}

void SyncEngine::remember(const SyncedCard &card)
{
    if (const SyncedCard *was = known(card.href); was && m_linked.value(was->contactId) == card.href)
        m_linked.remove(was->contactId);
    m_state.putCard(card);
    m_known.insert(card.href, card);
    m_linked.insert(card.contactId, card.href);
}

void SyncEngine::forget(const QString &href)
{
    if (const SyncedCard *was = known(href); was && m_linked.value(was->contactId) == href)
        m_linked.remove(was->contactId);
    m_state.removeCard(href);
    m_known.remove(href);
}

void SyncEngine::loadLocal()
{
    m_known.clear();
    m_linked.clear();
    for (const SyncedCard &card : m_state.cards()) {
        m_known.insert(card.href, card);
        m_linked.insert(card.contactId, card.href);
    }
    m_locals.clear();
    m_byUid.clear();
    m_byUidMade = false;
    m_byName.clear();
    for (const Contact &c : m_local.all())
        localAdded(c);
}

void SyncEngine::localAdded(const Contact &contact)
{
    m_locals.insert(contact.id, contact);
    if (m_byUidMade)
        m_byUid.insert(uidFor(m_clientId, contact.id), contact.id);
    m_byName.insert(contact.name, contact.id);
}

const QHash<QString, qint64> &SyncEngine::byUid()
{
    if (!m_byUidMade) {
        for (auto it = m_locals.cbegin(); it != m_locals.cend(); ++it)
            m_byUid.insert(uidFor(m_clientId, it.key()), it.key());
        m_byUidMade = true;
    }
    return m_byUid;
}

void SyncEngine::localChanged(const Contact &contact)
{
    if (const Contact *was = localContact(contact.id))
        m_byName.remove(was->name, contact.id);
    m_byName.insert(contact.name, contact.id);
    m_locals.insert(contact.id, contact);
}

void SyncEngine::localRemoved(qint64 id)
{
    if (const Contact *was = localContact(id))
        m_byName.remove(was->name, id);
    if (m_byUidMade)
        m_byUid.remove(uidFor(m_clientId, id));
    m_locals.remove(id);
}

DavError SyncEngine::stopIfCancelled() const
{
    if (m_progress.cancelled && m_progress.cancelled())
        return DavError::make(DavError::Cancelled, QStringLiteral("同步已取消。"));
    return {};
}

DavError SyncEngine::step()
{
    ++m_done;
    if (m_progress.stepsDone)
        m_progress.stepsDone(m_done, std::max(m_done, m_total));
    return stopIfCancelled();
}

// What pushLocal will send, as far as it can be told before the server's
// changes are in.
int SyncEngine::pendingLocal() const
{
    int pending = 0;
    for (const SyncedCard &k : m_known) {
        const Contact *local = localContact(k.contactId);
        pending += !local || !local->sameFields(k.synced);
    }
    for (auto it = m_locals.cbegin(); it != m_locals.cend(); ++it)
        pending += !m_linked.contains(it.key());
    return pending;
}

SyncReport SyncEngine::run(const SyncProgress &progress)
{
    m_report = SyncReport();
    m_progress = progress;
    m_done = m_total = 0;
    if (m_state.clientId().isEmpty()) {
        Batch first(m_state);
        m_state.setClientId(QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (DavError e = first.end(); !e.ok()) {
            m_report.error = e;
            return m_report;
        }
    }
    m_clientId = m_state.clientId();
    m_ctagAsked.clear();
    bool unchanged = false;
    if (DavError e = unchangedSinceLastSync(&unchanged); !e.ok() || unchanged) {
        m_report.error = e;
        if (e.ok() && m_progress.stepsDone)
            m_progress.stepsDone(0, 0);
        return m_report;
    }
    loadLocal();
    if (const QString why = m_state.cardsUnreadable(); !why.isEmpty()) {
        m_report.error = DavError::make(DavError::LocalStore, why);
        return m_report;
    }
    // The token of a listing is from before our own writes. A server that
    // tells changes by comparing the book then and now never reports a card
    // we wrote after it and the phone deleted before the next sync; so after
    // writing we list once more, and keep the token of a round that wrote
    // nothing (our own cards come back at the versions we know).
    for (int round = 0; round < kAttempts; ++round) {
        const int written = m_report.addedThere + m_report.changedThere + m_report.deletedThere;
        if (DavError e = runRound(); !e.ok()) {
            m_report.error = e;
            break;
        }
        if (m_report.addedThere + m_report.changedThere + m_report.deletedThere == written)
            break;
    }
    if (m_report.error.ok() && m_progress.stepsDone)
        m_progress.stepsDone(m_done, m_done);
    return m_report;
}

DavError SyncEngine::unchangedSinceLastSync(bool *unchanged)
{
    *unchanged = false;
    const QString mark = m_state.localMark();
    const QString ctag = m_state.ctag(), token = m_state.syncToken();
    if (mark.isEmpty() || (ctag.isEmpty() && token.isEmpty()) || m_local.fingerprint() != mark)
        return {};
    if (DavError e = stopIfCancelled(); !e.ok())
        return e;
    QString now;
    if (DavError e = m_client.bookMark(m_book, !ctag.isEmpty(), &now); !e.ok())
        return listInFull(e) ? DavError() : e; // a listing may still get through
    if (!ctag.isEmpty())
        m_ctagAsked = now;
    *unchanged = !now.isEmpty() && now == (ctag.isEmpty() ? token : ctag);
    return {};
}

QString SyncEngine::localFingerprint() const
{
    ContactsFingerprint fingerprint;
    for (const Contact &contact : m_locals)
        fingerprint.add(contact);
    return fingerprint.text();
}

DavError SyncEngine::ctagBeforeListing(QString *ctag)
{
    ctag->clear();
    if (!m_ctagAsked.isEmpty()) {
        *ctag = std::exchange(m_ctagAsked, QString());
        return {};
    }
    if (pendingLocal() > 0)
        return {};
    const DavError e = m_client.bookMark(m_book, true, ctag);
    return e.ok() || listInFull(e) ? DavError() : e;
}

DavError SyncEngine::runRound()
{
    m_reconciled.clear();
    if (DavError e = stopIfCancelled(); !e.ok())
        return e;
    Listing listing;
    const DavError listed = list(&listing);
    m_ctagAsked.clear(); // for the first listing only
    if (!listed.ok())
        return listed;
    // Cards we already hold at the version listed (our own writes among
    // them) are not fetched again.
    QStringList wanted;
    for (const CardRef &ref : listing.changed) {
        const SyncedCard *k = known(ref.href);
        if (!k || ref.etag.isEmpty() || k->etag != ref.etag)
            wanted << ref.href;
    }
    m_total = m_done + int(wanted.size() + listing.removed.size()) + pendingLocal();
    if (DavError e = stopIfCancelled(); !e.ok())
        return e;
    QList<ServerCardData> fetched;
    if (DavError e = m_client.fetchCards(m_book, wanted, &fetched); !e.ok())
        return e;
    Batch batch(m_state);
    for (const ServerCardData &card : fetched) {
        if (DavError e = applyServerCard(card); !e.ok())
            return e;
        if (DavError e = batch.step(); !e.ok())
            return e;
        if (DavError e = step(); !e.ok())
            return e;
    }
    for (const QString &href : listing.removed) {
        if (DavError e = applyRemoval(href); !e.ok())
            return e;
        if (DavError e = batch.step(); !e.ok())
            return e;
        if (DavError e = step(); !e.ok())
            return e;
    }
    if (DavError e = pushLocal(batch); !e.ok())
        return e;
    // Nothing left to send: the next sync may tell from the marks alone
    // that nothing changed.
    m_state.setListingMark(listing.token, listing.ctag, pendingLocal() == 0 ? localFingerprint() : QString());
    return batch.end();
}

DavError SyncEngine::list(Listing *listing)
{
    const QString token = m_state.syncToken();
    if (!token.isEmpty()) {
        if (DavError e = ctagBeforeListing(&listing->ctag); !e.ok())
            return e;
        BookChanges changes;
        const DavError e = m_client.syncCollection(m_book, token, &changes);
        if (e.ok()) {
            listing->changed = changes.changed;
            listing->removed = changes.removed;
            listing->token = changes.syncToken;
            return {};
        }
        if (!listInFull(e))
            return e;
    }
    AddressBook book;
    if (DavError e = m_client.bookState(m_book, &book); !e.ok())
        return e;
    listing->ctag = book.ctag;
    QList<CardRef> all;
    bool listed = false;
    if (!book.syncToken.isEmpty()) {
        BookChanges changes;
        const DavError e = m_client.syncCollection(m_book, QString(), &changes);
        if (e.ok()) {
            all = changes.changed;
            listing->token = changes.syncToken;
            listed = true;
        } else if (!listInFull(e)) {
            return e;
        }
    }
    if (!listed) {
        // No sync tokens here: an unchanged getctag means nothing changed.
        if (!book.ctag.isEmpty() && book.ctag == m_state.ctag() && token.isEmpty())
            return {};
        if (DavError e = m_client.listCards(m_book, &all); !e.ok())
            return e;
    }
    listing->changed = all;
    QSet<QString> present;
    for (const CardRef &ref : all)
        present.insert(ref.href);
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
        if (!present.contains(it.key()))
            listing->removed << it.key();
    return {};
}

Contact SyncEngine::merge(const Contact &base, const Contact &ours, const Contact &theirs)
{
    const QStringList b = base.values(), o = ours.values(), t = theirs.values();
    QStringList merged;
    for (int i = 0; i < o.size(); ++i) {
        if (o[i] == t[i] || t[i] == b[i]) {
            merged << o[i];
        } else if (o[i] == b[i]) {
            merged << t[i];
        } else {
            merged << o[i];
            const QString conflict = QStringLiteral("“%1”的%2两边都改了：保留本机的“%3”，服务器上是“%4”。")
                                         .arg(ours.name, contactFieldNames()[i], o[i], t[i]);
            if (!m_report.conflicts.contains(conflict))
                m_report.conflicts << conflict;
        }
    }
    return Contact::fromValues(merged, ours.id);
}

DavError SyncEngine::reconcile(SyncedCard server, Contact base, Contact local)
{
    m_reconciled.insert(server.href);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const ServerCard card = ServerCard::parse(server.card);
        const Contact theirs = card.contact();
        const Contact merged = merge(base, local, theirs);
        if (!merged.sameFields(local)) {
            QString refusal;
            if (!m_local.modify(merged, &refusal)) {
                // The server's change breaks a rule here: both sides stay as
                // they are, and the card's version stays the one we knew.
                m_report.skipped << QStringLiteral("服务器上对“%1”的修改未采用：%2").arg(local.name, refusal);
                return {};
            }
            localChanged(merged);
            local = merged;
            ++m_report.changedHere;
        }
        server.contactId = local.id;
        server.uid = card.uid();
        if (merged.sameFields(theirs)) {
            server.synced = merged;
            remember(server);
            return {};
        }
        const QByteArray bytes = card.edited(theirs, merged).bytes();
        QString etag;
        const DavError e = m_client.putCard(server.href, bytes, server.etag, &etag);
        if (e.ok()) {
            server.etag = etag;
            server.card = bytes;
            server.synced = merged;
            remember(server);
            ++m_report.changedThere;
            return {};
        }
        if (e.kind != DavError::PreconditionFailed)
            return e;
        // Changed on the server meanwhile: fetch it and merge again.
        QList<ServerCardData> again;
        if (DavError f = m_client.fetchCards(m_book, {server.href}, &again); !f.ok())
            return f;
        if (again.isEmpty())
            return {}; // deleted there meanwhile: the next sync sees it
        if (again[0].vcard.size() > kMaxCardBytes) {
            m_report.skipped << tooLarge(server.href);
            return {};
        }
        server.etag = again[0].etag;
        server.card = again[0].vcard;
    }
    return DavError::make(DavError::PreconditionFailed,
                          QStringLiteral("“%1”在服务器上一再被修改，请稍后再同步。").arg(local.name), 412);
}

DavError SyncEngine::applyServerCard(const ServerCardData &data)
{
    if (data.vcard.size() > kMaxCardBytes) {
        m_report.skipped << tooLarge(data.href);
        return {};
    }
    const ServerCard card = ServerCard::parse(data.vcard);
    if (!card.isValid()) {
        m_report.skipped << QStringLiteral("服务器上的 %1 不是 vCard 名片。").arg(data.href);
        return {};
    }
    const Contact theirs = card.contact();
    SyncedCard server{data.href, data.etag, card.uid(), 0, data.vcard, theirs};

    if (const SyncedCard *k = known(data.href)) {
        if (const Contact *local = localContact(k->contactId))
            return reconcile(server, k->synced, *local);
        // Deleted here, changed there: the server's change brings it back
        // (below, as a new card).
        forget(data.href);
    }

    // New to us. A card we sent without recording it is known by its UID;
    // else a local contact with the same 姓名 and a matching number is the
    // same person.
    const Contact *match = nullptr;
    const QHash<QString, qint64> &uids = byUid();
    if (const auto found = uids.constFind(server.uid); found != uids.cend() && !m_linked.contains(*found))
        match = localContact(*found);
    for (auto it = m_byName.constFind(theirs.name);
         !match && it != m_byName.cend() && it.key() == theirs.name; ++it) {
        const Contact *c = localContact(*it);
        if (c && !m_linked.contains(c->id) && numbersMatch(*c, theirs))
            match = c;
    }
    if (match)
        return reconcile(server, Contact(), *match);

    QString refusal;
    const qint64 id = m_local.add(theirs, &refusal);
    if (id == 0) {
        m_report.skipped << QStringLiteral("服务器上的“%1”未加入：%2").arg(theirs.name, refusal);
        return {};
    }
    Contact added = theirs;
    added.id = id;
    localAdded(added);
    server.contactId = id;
    remember(server);
    m_reconciled.insert(server.href);
    ++m_report.addedHere;
    return {};
}

DavError SyncEngine::applyRemoval(const QString &href)
{
    const SyncedCard *k = known(href);
    if (!k)
        return {};
    const SyncedCard was = *k;
    const Contact *local = localContact(was.contactId);
    if (local && !local->sameFields(was.synced)) {
        // Changed here, deleted there: ours goes back up, with the rest of
        // the card as it was.
        QByteArray kept;
        if (DavError e = keptCard(href, &kept); !e.ok())
            return e;
        const ServerCard card = ServerCard::parse(kept);
        const QByteArray bytes = card.edited(was.synced, *local).bytes();
        QString etag;
        if (DavError e = m_client.putCard(href, bytes, QString(), &etag); !e.ok())
            return e;
        remember({href, etag, was.uid, local->id, bytes, *local});
        m_reconciled.insert(href);
        ++m_report.addedThere;
        return {};
    }
    if (local) {
        if (!m_local.remove(local->id))
            return DavError::make(DavError::HttpError,
                                  QStringLiteral("无法删除本机的“%1”。").arg(local->name));
        localRemoved(was.contactId);
        ++m_report.deletedHere;
    }
    forget(href);
    return {};
}

DavError SyncEngine::pushLocal(Batch &batch)
{
    const QHash<QString, SyncedCard> cards = m_known;
    for (const SyncedCard &k : cards) {
        if (m_reconciled.contains(k.href))
            continue;
        const Contact *local = localContact(k.contactId);
        if (!local) {
            // Deleted here: the tombstone goes when the server confirmed.
            const DavError e = m_client.deleteCard(k.href, k.etag);
            if (e.kind == DavError::PreconditionFailed)
                continue; // changed there meanwhile: the next sync brings it back
            if (!e.ok())
                return e;
            forget(k.href);
            ++m_report.deletedThere;
        } else if (!local->sameFields(k.synced)) {
            SyncedCard kept = k;
            if (DavError e = keptCard(k.href, &kept.card); !e.ok())
                return e;
            if (DavError e = reconcile(kept, k.synced, *local); !e.ok())
                return e;
        } else {
            continue;
        }
        if (DavError e = batch.step(kSendingBatchMs); !e.ok())
            return e;
        if (DavError e = step(); !e.ok())
            return e;
    }
    // Contacts no card stands for yet go up as new cards, in store order.
    const QMap<qint64, Contact> locals = m_locals;
    for (const Contact &c : locals) {
        if (m_linked.contains(c.id))
            continue;
        if (DavError e = createCard(c); !e.ok())
            return e;
        if (DavError e = batch.step(kSendingBatchMs); !e.ok())
            return e;
        if (DavError e = step(); !e.ok())
            return e;
    }
    return {};
}

DavError SyncEngine::createCard(const Contact &local)
{
    const QString uid = uidFor(m_clientId, local.id);
    const QString href = CardDavClient::newCardHref(m_book, uid);
    const QByteArray bytes = ServerCard::fromContact(local, uid).bytes();
    QString etag;
    const DavError e = m_client.putCard(href, bytes, QString(), &etag);
    if (e.ok()) {
        remember({href, etag, uid, local.id, bytes, local});
        ++m_report.addedThere;
        return {};
    }
    if (e.kind != DavError::PreconditionFailed)
        return e;
    // Our card is there already (sent before, never recorded): bring the
    // two together.
    QList<ServerCardData> there;
    if (DavError f = m_client.fetchCards(m_book, {href}, &there); !f.ok())
        return f;
    if (there.isEmpty())
        return e;
    return reconcile({href, there[0].etag, uid, local.id, there[0].vcard, Contact()}, Contact(), local);
}

} // namespace quennet::sync
