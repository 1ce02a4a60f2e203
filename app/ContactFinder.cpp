#include "app/ContactFinder.h"

#include "contacts/store/ContactStore.h"

#include <QThread>

#include <algorithm>

namespace quennet {

ContactFinder::ContactFinder(ContactStore &store, QObject *parent) : QObject(parent), m_store(store) {}

ContactFinder::~ContactFinder()
{
    // The look-up only fills the shared table; it ends on its own shortly.
    if (m_lookUp) {
        m_lookUp->wait();
        delete m_lookUp;
    }
}

void ContactFinder::invalidate()
{
    m_stale = true;
    m_lastQuery = search::Query();
    m_lastHits.clear();
}

bool ContactFinder::isCurrent() const
{
    // Another program's change reaches the store as a reload.
    return !m_stale && m_store.isOpen() && m_reloadsRead == m_store.reloadCount() &&
           m_index.size() == m_store.recordCount();
}

void ContactFinder::prepare()
{
    if (isCurrent() || !m_store.isOpen())
        return;
    invalidate();
    m_index.clear();
    const int count = m_store.recordCount();
    m_index.reserve(count);
    for (int number = 1; number <= count; ++number) {
        QString values[6];
        for (int pos = 0; pos < 6; ++pos)
            values[pos] = m_store.fieldOf(number, pos + 1);
        const QString *fields[] = {&values[0], &values[1], &values[2], &values[3], &values[4], &values[5]};
        m_index.append(fields);
    }
    m_index.squeeze();
    m_reloadsRead = m_store.reloadCount();
    m_stale = false;
    lookUpReadings();
}

void ContactFinder::lookUpReadings()
{
    m_table = search::PinyinTable::current();
    std::vector<char32_t> characters = m_index.nameCharacters();
    m_tableCurrent =
        std::all_of(characters.begin(), characters.end(), [this](char32_t c) { return m_table->has(c); });
    if (m_tableCurrent) {
        m_index.noteInitials(m_table);
        emit ready();
        return;
    }
    if (m_lookUp)
        return; // readingsLookedUp looks again
    m_lookUp =
        QThread::create([characters = std::move(characters)] { search::PinyinTable::extend(characters); });
    connect(m_lookUp, &QThread::finished, this, &ContactFinder::readingsLookedUp);
    m_lookUp->start();
}

void ContactFinder::readingsLookedUp()
{
    m_lookUp->deleteLater();
    m_lookUp = nullptr;
    if (!m_stale)
        lookUpReadings();
}

bool ContactFinder::isReady() const
{
    return isCurrent() && m_tableCurrent;
}

std::vector<int> ContactFinder::find(const QString &typed)
{
    if (!isReady())
        return {};
    const search::Query query = search::Query::parse(typed);
    const bool narrowing = query.narrows(m_lastQuery);
    m_lastHits = narrowing ? m_index.find(query, *m_table, &m_lastHits) : m_index.find(query, *m_table);
    m_lastQuery = query;
    return m_lastHits;
}

} // namespace quennet
