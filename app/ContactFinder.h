#pragma once

#include "contacts/ContactSearch.h"

#include <QObject>

#include <memory>
#include <vector>

class QThread;

namespace quennet {

class ContactStore;

// The search behind the main window's filter line. It reads the store into
// a search index once, after the window first showed its list, on a thread
// of its own that also looks up the readings the names' characters lack;
// from then on each key is answered from memory, looking only among the
// last hits while the typed text only grows.
class ContactFinder : public QObject {
    Q_OBJECT
public:
    explicit ContactFinder(ContactStore &store, QObject *parent = nullptr);
    ~ContactFinder() override;

    // The store's contacts changed: the index is read again when next needed.
    void invalidate();
    // Reads the index now unless it is current, and starts the look-up of
    // readings it lacks. ready() follows when both are done.
    void prepare();
    // Copies the store's fields and builds the index from them on another
    // thread; ready() follows once the index is in place.
    void prepareInBackground();
    // An index of the contacts as they now are is being built on another
    // thread: ready() follows.
    bool isComing() const;
    bool isReady() const;
    // Record positions (number - 1, ascending) that typed finds; empty
    // while not ready.
    std::vector<int> find(const QString &typed);

    const search::ContactIndex &index() const { return m_index; }

signals:
    void ready();

private:
    struct Build;
    bool isCurrent() const;
    void lookUpReadings();
    void readingsLookedUp();
    void built(const std::shared_ptr<Build> &build);
    void forgetHits();

    ContactStore &m_store;
    search::ContactIndex m_index;
    bool m_stale = true;
    int m_reloadsRead = -1;
    // Moves with every invalidate, so a build from older contacts is known.
    quint64 m_generation = 0;
    std::shared_ptr<const search::PinyinTable> m_table;
    bool m_tableCurrent = false;
    QThread *m_lookUp = nullptr;
    QThread *m_builder = nullptr;
    std::shared_ptr<Build> m_building;
    search::Query m_lastQuery;
    std::vector<int> m_lastHits;
};

} // namespace quennet
