#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace quennet::exchange {

// Writes a file through a temporary file beside it and renames that over
// path only when write returned true and every byte reached the disk. On
// failure the temporary file is removed and an existing file stays whole.
bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write);

// True when both paths name one existing file (through links too). An export
// must never replace the contact store it was read from.
bool isSameFile(const QString &a, const QString &b);

} // namespace quennet::exchange
