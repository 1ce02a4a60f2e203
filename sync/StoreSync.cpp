#include "sync/StoreSync.h"

#include "contacts/ContactRules.h"
#include "contacts/DuplicateIndex.h"
#include "contacts/store/SyncTables.h"
#include "sync/ServerPassword.h"

#include <QUrl>

namespace quennet::sync {

static_assert(kMaxCardBytes == store::kMaxKeptCardBytes, "the engine skips what the store cannot keep");

namespace {

// Who and where: a change of any of these is another address book.
QString accountOf(const SyncSettings &s)
{
    const QUrl url(s.url);
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
               .toString() +
           QLatin1Char('\n') + s.user + QLatin1Char('\n') + s.book;
}

QString textOf(StoreError error)
{
    if (error == StoreError::Damaged)
        return QStringLiteral("通讯录中的同步记录已损坏或被改动，不能同步（wab check 可以查看）。");
    return storeErrorText(error);
}

} // namespace

StoreSync::StoreSync(ContactStore &store) : m_store(store), m_rows(store) {}

bool StoreSync::verify(QString *why)
{
    m_read = false;
    ensureRead(true);
    if (m_readError != StoreError::None)
        *why = textOf(m_readError);
    return m_readError == StoreError::None;
}

bool StoreSync::verifyValues(QString *why)
{
    m_read = false;
    ensureRead();
    if (m_readError != StoreError::None)
        *why = textOf(m_readError);
    return m_readError == StoreError::None;
}

void StoreSync::ensureRead(bool cards) const
{
    if (m_read && (m_cardsRead || !cards) && (m_store.inBatch() || m_rows.fileVersion() == m_readVersion))
        return;
    m_values.clear();
    m_cards.clear();
    m_readVersion = m_rows.fileVersion();
    SyncSnapshot snapshot;
    const bool read = cards ? m_rows.read(&snapshot) : m_rows.readValues(&snapshot);
    m_readError = read ? StoreError::None : m_rows.lastError();
    m_read = true;
    m_cardsRead = cards;
    m_values = snapshot.values;
    for (const SyncCardRow &row : std::as_const(snapshot.cards))
        m_cards.insert(row.href, {row.href, row.etag, row.uid, row.contactId, row.card,
                                  Contact::fromValues(row.synced, row.contactId)});
}

QString StoreSync::value(Value name) const
{
    ensureRead();
    return m_values.value(SyncRows::nameOf(name));
}

void StoreSync::failed(StoreError error)
{
    if (!hasFailed())
        m_failure = error == StoreError::None ? StoreError::Failed : error;
}

bool StoreSync::setValue(Value name, const QString &text)
{
    ensureRead();
    if (m_readError != StoreError::None)
        failed(m_readError);
    if (hasFailed())
        return false;
    if (value(name) == text)
        return true;
    if (!m_rows.setValue(name, text)) {
        failed(m_rows.lastError());
        return false;
    }
    if (text.isEmpty())
        m_values.remove(SyncRows::nameOf(name));
    else
        m_values.insert(SyncRows::nameOf(name), text);
    return true;
}

// --- SyncStore ------------------------------------------------------------------

SyncSettings StoreSync::settings() const
{
    SyncSettings s;
    s.url = value(Value::Url);
    s.user = value(Value::User);
    s.book = value(Value::Book);
    s.intervalMinutes = value(Value::Interval).toInt();
    return s;
}

bool StoreSync::saveSettings(const SyncSettings &settings, QString *why)
{
    const SyncSettings was = this->settings();
    beginBatch();
    if (!hasFailed() && was.isSet() && accountOf(was) != accountOf(settings)) {
        if (m_rows.forgetCards()) {
            m_cards.clear();
            m_values.remove(SyncRows::nameOf(Value::SyncToken));
            m_values.remove(SyncRows::nameOf(Value::Ctag));
            m_values.remove(SyncRows::nameOf(Value::LocalMark));
        } else {
            failed(m_rows.lastError());
        }
    }
    // A server password sealed here belongs to the account it was kept for.
    if (was.isSet() &&
        ServerPassword::keyFor(was.url, was.user) != ServerPassword::keyFor(settings.url, settings.user))
        setValue(Value::ServerPassword, QString());
    setValue(Value::Url, settings.url);
    setValue(Value::User, settings.user);
    setValue(Value::Book, settings.book);
    setValue(Value::Interval,
             settings.intervalMinutes > 0 ? QString::number(settings.intervalMinutes) : QString());
    return endBatch(why);
}

bool StoreSync::canKeepPassword() const
{
    return m_rows.sealed();
}

QString StoreSync::keptPassword() const
{
    return canKeepPassword() ? value(Value::ServerPassword) : QString();
}

bool StoreSync::keepPassword(const QString &password, QString *why)
{
    if (!canKeepPassword() && !password.isEmpty()) {
        *why = QStringLiteral("通讯录没有密码，不能在其中保存服务器密码。");
        return false;
    }
    beginBatch();
    setValue(Value::ServerPassword, password);
    return endBatch(why);
}

// --- SyncState ------------------------------------------------------------------

QString StoreSync::clientId() const
{
    return value(Value::ClientId);
}

QString StoreSync::syncToken() const
{
    return value(Value::SyncToken);
}

QString StoreSync::ctag() const
{
    return value(Value::Ctag);
}

QString StoreSync::localMark() const
{
    return value(Value::LocalMark);
}

QList<SyncedCard> StoreSync::cards() const
{
    ensureRead(true);
    return m_cards.values();
}

QString StoreSync::cardsUnreadable() const
{
    ensureRead(true);
    return m_readError == StoreError::None ? QString() : textOf(m_readError);
}

bool StoreSync::keptCard(const QString &href, QByteArray *card, QString *why) const
{
    card->clear();
    ensureRead(true);
    StoreError error = m_readError;
    if (error == StoreError::None && !m_cards.contains(href))
        error = StoreError::Damaged;
    if (error == StoreError::None && !m_rows.readCard(href, card))
        error = m_rows.lastError();
    if (error == StoreError::None)
        return true;
    *why = textOf(error);
    return false;
}

void StoreSync::setClientId(const QString &id)
{
    setValue(Value::ClientId, id);
}

void StoreSync::setListingMark(const QString &syncToken, const QString &ctag, const QString &localMark)
{
    setValue(Value::SyncToken, syncToken);
    setValue(Value::Ctag, ctag);
    setValue(Value::LocalMark, localMark);
}

void StoreSync::putCard(const SyncedCard &card)
{
    ensureRead();
    if (m_readError != StoreError::None)
        failed(m_readError);
    if (hasFailed())
        return;
    const SyncCardRow row{card.href, card.etag, card.uid, card.contactId, card.card, card.synced.values()};
    if (!m_rows.putCard(row))
        return failed(m_rows.lastError());
    SyncedCard kept = card;
    kept.synced.id = card.contactId;
    kept.card.clear(); // read again when asked for
    m_cards.insert(card.href, kept);
}

void StoreSync::removeCard(const QString &href)
{
    ensureRead();
    if (m_readError != StoreError::None)
        failed(m_readError);
    if (hasFailed())
        return;
    if (!m_rows.removeCard(href))
        return failed(m_rows.lastError());
    m_cards.remove(href);
}

void StoreSync::beginBatch()
{
    m_failure = StoreError::None;
    m_ownBatch = !m_store.inBatch();
    if (m_ownBatch && !m_store.beginBatch()) {
        m_ownBatch = false;
        failed(m_store.lastError());
    }
    // Another program may have committed since the rows were read; while the
    // batch holds the lock nobody can.
    if (m_read && m_rows.fileVersion() != m_readVersion)
        m_read = false;
}

bool StoreSync::endBatch(QString *why)
{
    const bool own = std::exchange(m_ownBatch, false);
    if (own && hasFailed())
        m_store.abandonBatch();
    else if (own && !m_store.endBatch())
        failed(m_store.lastError());
    if (!hasFailed()) {
        // What was kept now holds this batch's writes too.
        if (own && m_read)
            m_readVersion = m_rows.fileVersion();
        return true;
    }
    const StoreError error = std::exchange(m_failure, StoreError::None);
    if (why)
        *why = textOf(error);
    m_read = false; // what was kept may hold writes that did not land
    return false;
}

// --- LocalContacts ----------------------------------------------------------------

QList<Contact> StoreSync::all()
{
    if (!m_store.inBatch())
        m_store.refresh();
    QList<Contact> contacts;
    contacts.reserve(m_store.recordCount());
    m_shown.clear();
    // Built at the first add or change of this sync: the window may have
    // written since the last.
    m_index = rules::DuplicateIndex();
    for (int number = 1; number <= m_store.recordCount(); ++number) {
        const Contact c = m_store.contactAt(number);
        contacts.append(c);
        m_shown.insert(c.id, c);
    }
    return contacts;
}

QString StoreSync::fingerprint()
{
    if (!m_store.inBatch())
        m_store.refresh();
    ContactsFingerprint fingerprint;
    for (int number = 1; number <= m_store.recordCount(); ++number)
        fingerprint.add(m_store.rowIdAt(number),
                        {m_store.fieldBytesOf(number, FieldName), m_store.fieldBytesOf(number, FieldPhone),
                         m_store.fieldBytesOf(number, FieldMobile), m_store.fieldBytesOf(number, FieldQQ),
                         m_store.fieldBytesOf(number, FieldEmail),
                         m_store.fieldBytesOf(number, FieldAddress)});
    return fingerprint.text();
}

Contact StoreSync::shown(qint64 id) const
{
    const auto it = m_shown.constFind(id);
    return it != m_shown.cend() ? *it : m_store.contact(id);
}

qint64 StoreSync::add(const Contact &contact, QString *refusal)
{
    if (hasFailed()) {
        *refusal = storeErrorText(m_failure);
        return 0;
    }
    rules::Check check = rules::Check::Ok;
    Contact input = contact;
    input.id = 0;
    if (!rules::addContact(m_store, m_index, input, &check)) {
        if (check != rules::Check::Ok) {
            *refusal = rules::checkMessage(check, rules::Branch::Adding).text;
        } else {
            failed(m_store.lastError());
            *refusal = storeErrorText(m_store.lastError());
        }
        return 0;
    }
    input.id = m_store.rowIdAt(m_store.recordCount());
    m_shown.insert(input.id, input);
    return input.id;
}

bool StoreSync::modify(const Contact &contact, QString *refusal)
{
    if (hasFailed()) {
        *refusal = storeErrorText(m_failure);
        return false;
    }
    const Contact was = shown(contact.id);
    if (was.id == 0) {
        *refusal = rules::changedElsewhere().text;
        return false;
    }
    rules::Check check = rules::Check::Ok;
    switch (rules::modifyShownContact(m_store, m_index, contact, was, &check)) {
    case rules::Outcome::Done:
        m_shown.insert(contact.id, contact);
        return true;
    case rules::Outcome::Refused:
        *refusal = rules::checkMessage(check, rules::Branch::Modifying).text;
        return false;
    case rules::Outcome::Stale:
        *refusal = rules::changedElsewhere().text;
        return false;
    case rules::Outcome::Failed:
        break;
    }
    failed(m_store.lastError());
    *refusal = storeErrorText(m_store.lastError());
    return false;
}

bool StoreSync::remove(qint64 id)
{
    if (hasFailed())
        return false;
    const Contact was = shown(id);
    if (was.id == 0 || m_store.numberOf(id) == 0)
        return m_store.numberOf(id) == 0; // gone already
    switch (rules::deleteShownContact(m_store, m_index, was)) {
    case rules::Outcome::Done:
        m_shown.remove(id);
        return true;
    case rules::Outcome::Failed:
        failed(m_store.lastError());
        return false;
    default:
        return false;
    }
}

} // namespace quennet::sync
