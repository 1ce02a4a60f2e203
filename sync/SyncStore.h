#pragma once

#include "sync/LocalContacts.h"
#include "sync/SyncState.h"

#include <QString>

namespace quennet::sync {

// Where and how often a store syncs. The server password is not in here:
// it lives in the desktop's secret service, or sealed in a protected store
// (keptPassword), or is asked at each sync.
struct SyncSettings {
    QString url; // as the user typed it: the server root or the address book
    QString user;
    QString book;            // href of the chosen address book; empty until one is chosen
    int intervalMinutes = 0; // automatic sync; 0 = off

    bool isSet() const { return !url.isEmpty(); }
    friend bool operator==(const SyncSettings &a, const SyncSettings &b)
    {
        return a.url == b.url && a.user == b.user && a.book == b.book &&
               a.intervalMinutes == b.intervalMinutes;
    }
    friend bool operator!=(const SyncSettings &a, const SyncSettings &b) { return !(a == b); }
};

// The store's side of a sync: its settings, the engine's memory between
// syncs and the contacts under the store's rules. The window and wab reach
// the store through this; the tests have one in memory.
class SyncStore {
public:
    virtual ~SyncStore() = default;

    virtual SyncSettings settings() const = 0;
    // false with *why when the store could not be written.
    virtual bool saveSettings(const SyncSettings &settings, QString *why) = 0;

    // Only a store with a password can keep the server password sealed.
    virtual bool canKeepPassword() const = 0;
    virtual QString keptPassword() const = 0;                             // empty: none kept
    virtual bool keepPassword(const QString &password, QString *why) = 0; // empty forgets it

    virtual SyncState &state() = 0;
    virtual LocalContacts &contacts() = 0;

    // The store's file, which one sync at a time may sync (SyncLock); empty
    // for a store without one.
    virtual QString storePath() const { return QString(); }
};

} // namespace quennet::sync
