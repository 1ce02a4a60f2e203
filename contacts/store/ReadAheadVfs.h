#pragma once

namespace quennet::store {

// The name of a VFS over the system's own for connections that only read: a
// database file read page after page (the structure check, the load of every
// record) comes in from the file in runs of pages, one system call per run
// instead of one per page. Only while the connection holds its lock on the
// file, which keeps every writer out; each lock or unlock forgets the run.
// nullptr if it could not be registered: the connection then reads as SQLite
// does by itself.
const char *readAheadVfsName();

} // namespace quennet::store
