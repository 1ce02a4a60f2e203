#pragma once

#include <QString>

namespace quennet {

// Why a store operation failed. The windows keep their own fixed messages;
// the reason is for the wab tool and for deciding what to do next.
enum class StoreError {
    None,
    Missing,          // no file at the path
    NotAFile,         // a directory, FIFO or other special file
    Unreadable,       // no permission to read, or the file cannot be opened
    NotAStore,        // some other kind of file (or empty)
    Damaged,          // a store whose content fails verification
    NewerFormat,      // written by a newer version of the program
    WrongPassword,    // the password given does not open it (or none given)
    ReadOnly,         // the file or its directory cannot be written
    DiskFull,         // no space left for the write
    Busy,             // another program holds the store locked
    OverCapacity,     // a value, record or count beyond what the store holds
    ChangedElsewhere, // another program changed the store since it was read
    NotOpen,          // no store is open
    Failed            // any other failure of the file or the disk
};

// The reason as one Chinese sentence, for the wab tool.
QString storeErrorText(StoreError error);

namespace store {
// Reason for an SQLite result code (extended codes allowed). A failed write
// that cannot create its journal means the directory is read-only.
StoreError errorFromSqlite(int code, bool writing = false);
} // namespace store

} // namespace quennet
