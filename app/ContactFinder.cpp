#include "app/ContactFinder.h"

#include "contacts/store/ContactStore.h"

#include <QThread>

#include <algorithm>
#include <string>

namespace quennet {

// The fields of every record copied out of the store, and the index a
// thread builds from them. The copy comes in chunks that the thread lets go
// of as it reads them, so the copy and the index are not held whole at once.
struct ContactFinder::Build {
    struct Chunk {
        std::string bytes;
        std::vector<quint32> fieldEnds; // six per record, from the chunk's start
    };
    quint64 generation = 0;
    int reloads = -1;
    int records = 0;
    qsizetype fieldBytes = 0;
    std::vector<Chunk> chunks;
    search::ContactIndex index;
    std::shared_ptr<const search::PinyinTable> table;

    void copyFields(const ContactStore &store);
    void run();
};

void ContactFinder::Build::copyFields(const ContactStore &store)
{
    constexpr size_t kChunkBytes = 1 << 20;
    records = store.recordCount();
    for (int number = 1; number <= records; ++number) {
        if (chunks.empty() || chunks.back().bytes.size() >= kChunkBytes) {
            chunks.emplace_back();
            chunks.back().bytes.reserve(kChunkBytes + 4096);
        }
        Chunk &chunk = chunks.back();
        for (int pos = 1; pos <= kFieldCount; ++pos) {
            const QByteArrayView field = store.fieldBytesOf(number, pos);
            chunk.bytes.append(field.data(), size_t(field.size()));
            chunk.fieldEnds.push_back(quint32(chunk.bytes.size()));
        }
    }
    for (const Chunk &chunk : chunks)
        fieldBytes += qsizetype(chunk.bytes.size());
}

void ContactFinder::Build::run()
{
    index.reserve(records, fieldBytes);
    for (Chunk &chunk : chunks) {
        quint32 begin = 0;
        for (size_t at = 0; at < chunk.fieldEnds.size(); at += kFieldCount) {
            QByteArrayView fields[kFieldCount];
            for (int pos = 0; pos < kFieldCount; ++pos) {
                const quint32 end = chunk.fieldEnds[at + size_t(pos)];
                fields[pos] = QByteArrayView(chunk.bytes.data() + begin, qsizetype(end - begin));
                begin = end;
            }
            index.append(fields);
        }
        std::string().swap(chunk.bytes);
        std::vector<quint32>().swap(chunk.fieldEnds);
    }
    chunks.clear();
    index.squeeze();
    search::PinyinTable::extend(index.nameCharacters());
    table = search::PinyinTable::current();
    index.noteInitials(table);
}

ContactFinder::ContactFinder(ContactStore &store, QObject *parent) : QObject(parent), m_store(store) {}

ContactFinder::~ContactFinder()
{
    // Both only read what they were given; they end on their own shortly.
    for (QThread *thread : {m_lookUp, m_builder}) {
        if (thread) {
            thread->wait();
            delete thread;
        }
    }
}

void ContactFinder::forgetHits()
{
    m_lastQuery = search::Query();
    m_lastHits.clear();
}

void ContactFinder::invalidate()
{
    m_stale = true;
    ++m_generation;
    forgetHits();
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
        QByteArrayView fields[kFieldCount];
        for (int pos = 0; pos < kFieldCount; ++pos)
            fields[pos] = m_store.fieldBytesOf(number, pos + 1);
        m_index.append(fields);
    }
    m_index.squeeze();
    m_reloadsRead = m_store.reloadCount();
    m_stale = false;
    lookUpReadings();
}

bool ContactFinder::isComing() const
{
    return m_builder && m_building && m_building->generation == m_generation &&
           m_building->reloads == m_store.reloadCount();
}

void ContactFinder::prepareInBackground()
{
    if (isReady() || isComing() || !m_store.isOpen() || m_builder)
        return;
    auto build = std::make_shared<Build>();
    build->generation = m_generation;
    build->reloads = m_store.reloadCount();
    build->copyFields(m_store);
    m_building = build;
    m_builder = QThread::create([build] { build->run(); });
    connect(m_builder, &QThread::finished, this, [this, build] { built(build); });
    m_builder->start();
}

void ContactFinder::built(const std::shared_ptr<Build> &build)
{
    m_builder->deleteLater();
    m_builder = nullptr;
    m_building.reset();
    if (isReady())
        return;
    const bool current = build->generation == m_generation && m_store.isOpen() &&
                         build->reloads == m_store.reloadCount() &&
                         build->index.size() == m_store.recordCount();
    if (!current) {
        // The contacts changed meanwhile: what was typed waits for the next,
        // unless the index was read at once since.
        if (!isCurrent())
            prepareInBackground();
        return;
    }
    m_index = std::move(build->index);
    m_table = build->table;
    m_tableCurrent = true;
    m_reloadsRead = build->reloads;
    m_stale = false;
    forgetHits();
    emit ready();
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
