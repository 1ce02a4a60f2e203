#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace quennet {

// Overwrites a password (or any secret) held in memory and empties it; call
// as soon as it is no longer needed. A copy that shares its characters with
// another string is detached first and so not reached: wipe every copy.
void wipe(QString &secret);
void wipe(QByteArray &secret);
void wipe(std::string &secret);

} // namespace quennet
