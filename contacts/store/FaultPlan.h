#pragma once

#include <QtGlobal>

struct sqlite3;

namespace quennet::store {

// Failures a store is made to suffer as a failing disk would cause them. The
// store consults its plan, when it has one, around each commit and copy; only
// the testing library makes plans (ContactStoreTesting.h), so the programs
// never fail on purpose.
class FaultPlan {
public:
    virtual ~FaultPlan() = default;
    // Called just before a COMMIT on db: arranges for it to fail inside
    // SQLite (and roll back) when that is planned.
    virtual void beforeCommit(sqlite3 *db) = 0;
    // Called after that COMMIT, whatever its outcome.
    virtual void afterCommit(sqlite3 *db) = 0;
    // How many bytes the copy starting now writes before it stops with a
    // write error; -1 for the whole file.
    virtual qint64 takeCopyLimit() = 0;
};

} // namespace quennet::store
