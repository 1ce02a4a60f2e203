#pragma once

// The sync engine's two sides in memory: the contacts under the store's
// adding and modifying rules, and the sync state.

#include "contacts/ContactRules.h"
#include "sync/LocalContacts.h"
#include "sync/SyncState.h"

namespace quennet::test {

using sync::LocalContacts;
using sync::SyncedCard;
using sync::SyncState;

class MemorySyncState : public SyncState {
public:
    QString clientId() const override { return m_clientId; }
    QString syncToken() const override { return m_token; }
    QString ctag() const override { return m_ctag; }
    QString localMark() const override { return m_localMark; }
    // As a store gives them: without their texts, which keptCard gives.
    QList<SyncedCard> cards() const override
    {
        QList<SyncedCard> cards = m_cards.values();
        for (SyncedCard &card : cards)
            card.card.clear();
        return cards;
    }
    bool keptCard(const QString &href, QByteArray *card, QString *why) const override
    {
        *card = m_cards.value(href).card;
        *why = QStringLiteral("no card kept at ") + href;
        return m_cards.contains(href);
    }

    void setClientId(const QString &id) override { m_clientId = id; }
    void setListingMark(const QString &syncToken, const QString &ctag, const QString &localMark) override
    {
        m_token = syncToken;
        m_ctag = ctag;
        m_localMark = localMark;
    }
    void putCard(const SyncedCard &card) override { m_cards.insert(card.href, card); }
    void removeCard(const QString &href) override { m_cards.remove(href); }

private:
    QString m_clientId, m_token, m_ctag, m_localMark;
    QMap<QString, SyncedCard> m_cards;
};

// Contacts under the adding and modifying rules of the store
// (rules::checkAgainst after the same duplicate search).
class MemoryContacts : public LocalContacts {
public:
    QList<Contact> all() override { return m_contacts; }
    qint64 add(const Contact &contact, QString *refusal) override;
    bool modify(const Contact &contact, QString *refusal) override;
    bool remove(qint64 id) override;

    const Contact *find(qint64 id) const;
    const Contact *findByName(const QString &name) const;

private:
    bool refused(const Contact &contact, bool modifying, QString *refusal) const;

    QList<Contact> m_contacts;
    qint64 m_nextId = 1;
};

inline bool MemoryContacts::refused(const Contact &contact, bool modifying, QString *refusal) const
{
    using rules::Check;
    Check check = contact.name.isEmpty() ? Check::EmptyName : Check::Ok;
    if (check == Check::Ok) {
        // The first other record with the name, else the 电话, 手机, QQ.
        rules::FoundValues found;
        const auto search = [&](auto field) {
            for (const Contact &c : m_contacts)
                if ((!modifying || c.id != contact.id) && field(c) == field(contact) && !found.found) {
                    found = {true, 0, c.name, c.phone, c.mobile, c.qq};
                }
        };
        search([](const Contact &c) { return c.name; });
        if (!found.found && !contact.phone.isEmpty())
            search([](const Contact &c) { return c.phone; });
        if (!found.found && !contact.mobile.isEmpty())
            search([](const Contact &c) { return c.mobile; });
        if (!found.found && !contact.qq.isEmpty())
            search([](const Contact &c) { return c.qq; });
        check = rules::checkAgainst(contact, found);
    }
    if (check == Check::Ok)
        return false;
    *refusal = rules::checkMessage(check, modifying ? rules::Branch::Modifying : rules::Branch::Adding).text;
    return true;
}

inline qint64 MemoryContacts::add(const Contact &contact, QString *refusal)
{
    if (refused(contact, false, refusal))
        return 0;
    Contact stored = contact;
    stored.id = m_nextId++;
    m_contacts << stored;
    return stored.id;
}

inline bool MemoryContacts::modify(const Contact &contact, QString *refusal)
{
    for (Contact &c : m_contacts)
        if (c.id == contact.id) {
            if (refused(contact, true, refusal))
                return false;
            c = contact;
            return true;
        }
    *refusal = QStringLiteral("联系人已不在。");
    return false;
}

inline bool MemoryContacts::remove(qint64 id)
{
    for (qsizetype i = 0; i < m_contacts.size(); ++i)
        if (m_contacts[i].id == id) {
            m_contacts.removeAt(i);
            return true;
        }
    return false;
}

inline const Contact *MemoryContacts::find(qint64 id) const
{
    for (const Contact &c : m_contacts)
        if (c.id == id)
            return &c;
    return nullptr;
}

inline const Contact *MemoryContacts::findByName(const QString &name) const
{
    for (const Contact &c : m_contacts)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace quennet::test
