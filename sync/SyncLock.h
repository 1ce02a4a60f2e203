#pragma once

#include <QLockFile>
#include <QString>

namespace quennet::sync {

// One sync of a store at a time, whichever program runs it (the window,
// wab sync): a lock file beside the store ("wab.vdb.sync-lock"), held while
// the sync runs. One left by a sync that was killed is taken over: its
// process is gone.
class SyncLock {
public:
    // storePath empty: a store without a file, nothing to lock.
    explicit SyncLock(const QString &storePath);

    // False with *why (the text for the user) when another sync of the
    // store runs, or the lock file cannot be made.
    bool tryLock(QString *why);

    static QString lockPathFor(const QString &storePath);
    static QString busyText();

private:
    QString m_path;
    QLockFile m_file;
};

} // namespace quennet::sync
