#pragma once

#include <QString>

namespace quennet {

// Keeps a second copy of the program from running for the same user.
//
// The lock is a POSIX record lock (fcntl F_SETLK) on "<name>.lock" in the
// user's runtime directory ($XDG_RUNTIME_DIR, else /tmp/quennet-<uid>/, made
// 0700). Record locks belong to the process: they are not inherited by
// children the program starts, and the system drops them when the process
// dies, so an instance that was killed never blocks the next start. The file
// stays open until the process ends; it is opened once per name, because
// closing any descriptor of the file would drop the process's lock.
//
// Returns true when this process holds the lock (also on a repeated call),
// false when another process holds it; waits at most about 100 ms for it.
// When no lock file can be made at all, the rule cannot be enforced and the
// program is let through (true), with a warning on stderr.
bool acquireSingleInstance(const QString &name);

// Where the lock file for name lies (the runtime directory is not created).
QString singleInstanceLockPath(const QString &name);

} // namespace quennet
