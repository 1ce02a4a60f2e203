#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace quennet {
class ContactStore;
}

namespace quennet::exchange {

// Who may read a file written here.
enum class FileAccess {
    // A new file gets what the umask leaves of 0666; a replaced file keeps its mode.
    Umask,
    // 0600 from the first byte on, whatever the umask, also when it replaces a file.
    OwnerOnly,
};

// What is read from a store with a password stays as private as the store
// itself: OwnerOnly while the store is open under a password, else Umask.
FileAccess accessFor(const ContactStore &store);

// Writes a file through a temporary file beside it and renames that over
// path only when write returned true and every byte reached the disk. On
// failure the temporary file is removed and an existing file stays whole;
// *why (when given) then tells what the file system refused, in a few
// Chinese words ("磁盘已满"), or is empty when write gave up on its own.
// A symbolic link at path stays: the file it leads to is replaced.
bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write,
                         FileAccess access = FileAccess::Umask, QString *why = nullptr);

// The reason for a failed file operation (an errno value), as *why above.
QString fileErrorText(int error);

// True when both paths name one existing file (through links too). An export
// must never replace the contact store it was read from.
bool isSameFile(const QString &a, const QString &b);

} // namespace quennet::exchange
