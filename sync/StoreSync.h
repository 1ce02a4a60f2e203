#pragma once

#include "contacts/DuplicateIndex.h"
#include "contacts/store/ContactStore.h"
#include "contacts/store/SyncRows.h"
#include "sync/SyncStore.h"

#include <QHash>
#include <QMap>

namespace quennet::sync {

// The sync's side of an open contact store: the settings, the kept server
// password and the engine's memory in the store's own tables (sealed under
// its password), and the contacts under the rules of the window's adding,
// modifying and deleting (their duplicate search through an index). A batch (SyncState::beginBatch) is one
// transaction of the store, so a contact and its card land together.
//
// The values (settings, marks) are read first, each verified by its seal;
// the kept cards, and the digest over all rows, only when the engine asks
// for the cards: a sync with nothing to do never reads them. Even then a
// card's text is read (and unsealed) only when the engine asks for it, for
// a card it merges against ours. What was read is kept until another
// program writes to the file; then it is read (and verified) again.
class StoreSync : public SyncStore, private SyncState, private LocalContacts {
public:
    explicit StoreSync(ContactStore &store);

    // False with *why when the sync's rows could not be read or do not
    // verify (the store is damaged there): nothing is synced then. Reads
    // every row; verifyValues only the values.
    bool verify(QString *why);
    bool verifyValues(QString *why);

    SyncSettings settings() const override;
    // Settings for another account or address book forget what was synced
    // with the old one (its cards and its listing marks); another account
    // (server address or user) forgets the server password sealed here.
    bool saveSettings(const SyncSettings &settings, QString *why) override;
    bool canKeepPassword() const override;
    QString keptPassword() const override;
    bool keepPassword(const QString &password, QString *why) override;
    SyncState &state() override { return *this; }
    LocalContacts &contacts() override { return *this; }
    QString storePath() const override { return m_store.filePath(); }

private:
    // SyncState
    QString clientId() const override;
    QString syncToken() const override;
    QString ctag() const override;
    QString localMark() const override;
    QList<SyncedCard> cards() const override;
    QString cardsUnreadable() const override;
    bool keptCard(const QString &href, QByteArray *card, QString *why) const override;
    void setClientId(const QString &id) override;
    void setListingMark(const QString &syncToken, const QString &ctag, const QString &localMark) override;
    void putCard(const SyncedCard &card) override;
    void removeCard(const QString &href) override;
    void beginBatch() override;
    bool endBatch(QString *why) override;

    // LocalContacts
    QList<Contact> all() override;
    QString fingerprint() override;
    qint64 add(const Contact &contact, QString *refusal) override;
    bool modify(const Contact &contact, QString *refusal) override;
    bool remove(qint64 id) override;

    using Value = SyncRows::Value;
    // Reads the values (and with cards the cards too) again when the file
    // changed since they were read, or reads them the first time.
    void ensureRead(bool cards = false) const;
    QString value(Value name) const;
    bool setValue(Value name, const QString &text);
    // The first failed write of a batch: the later ones are not tried, and
    // the batch ends with it.
    void failed(StoreError error);
    bool hasFailed() const { return m_failure != StoreError::None; }
    Contact shown(qint64 id) const;

    ContactStore &m_store;
    mutable SyncRows m_rows;
    mutable QMap<QString, QString> m_values;
    mutable QMap<QString, SyncedCard> m_cards;
    mutable bool m_read = false, m_cardsRead = false;
    mutable StoreError m_readError = StoreError::None; // why the rows could not be read
    mutable qint64 m_readVersion = -1;
    QHash<qint64, Contact> m_shown; // each contact as the engine last saw it
    // The adding and modifying rules' duplicate search, kept along with the
    // sync's writes: no scan of the store per card.
    rules::DuplicateIndex m_index;
    StoreError m_failure = StoreError::None;
    bool m_ownBatch = false;
};

} // namespace quennet::sync
