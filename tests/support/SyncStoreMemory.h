#pragma once

// The store's side of a sync in memory for the window tests: settings, the
// kept server password and the sync state live here, the contacts are those
// of the session's store (so the main window's list shows what a sync did).

#include "contacts/ContactRules.h"
#include "contacts/store/ContactStore.h"
#include "support/SyncMemory.h"
#include "sync/SyncStore.h"

namespace quennet::test {

// The contacts of an open store under the window's adding and modifying rules.
class StoreContacts : public LocalContacts {
public:
    explicit StoreContacts(ContactStore &store) : m_store(store) {}

    QList<Contact> all() override
    {
        QList<Contact> contacts;
        for (int number = 1; number <= m_store.recordCount(); ++number)
            contacts << m_store.contactAt(number);
        return contacts;
    }
    qint64 add(const Contact &contact, QString *refusal) override
    {
        rules::Check check = rules::Check::Ok;
        if (rules::addContact(m_store, contact, &check))
            return m_store.rowIdAt(m_store.recordCount());
        *refusal = rules::checkMessage(check, rules::Branch::Adding).text;
        return 0;
    }
    bool modify(const Contact &contact, QString *refusal) override
    {
        rules::Check check = rules::Check::Ok;
        const rules::Outcome outcome =
            rules::modifyShownContact(m_store, contact, m_store.contact(contact.id), &check);
        if (outcome != rules::Outcome::Done)
            *refusal = rules::checkMessage(check, rules::Branch::Modifying).text;
        return outcome == rules::Outcome::Done;
    }
    bool remove(qint64 id) override { return m_store.remove(id); }

private:
    ContactStore &m_store;
};

class MemorySyncStore : public sync::SyncStore {
public:
    MemorySyncStore(ContactStore &store, const sync::SyncSettings &settings, bool canKeep)
        : m_settings(settings), m_canKeep(canKeep), m_file(store), m_contacts(store)
    {
    }

    sync::SyncSettings settings() const override { return m_settings; }
    bool saveSettings(const sync::SyncSettings &settings, QString *) override
    {
        m_settings = settings;
        return true;
    }
    bool canKeepPassword() const override { return m_canKeep; }
    QString keptPassword() const override { return m_kept; }
    bool keepPassword(const QString &password, QString *why) override
    {
        if (!m_canKeep && !password.isEmpty()) {
            *why = QStringLiteral("通讯录没有密码");
            return false;
        }
        m_kept = password;
        return true;
    }
    SyncState &state() override { return m_state; }
    LocalContacts &contacts() override { return m_contacts; }
    QString storePath() const override { return m_file.filePath(); }

    MemorySyncState &memoryState() { return m_state; }

private:
    sync::SyncSettings m_settings;
    bool m_canKeep;
    ContactStore &m_file;
    QString m_kept;
    MemorySyncState m_state;
    StoreContacts m_contacts;
};

} // namespace quennet::test
