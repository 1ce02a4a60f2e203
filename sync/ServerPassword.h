#pragma once

#include <QString>

namespace quennet::sync {

class SyncStore;
struct SyncSettings;

// The server password in the desktop's secret service (QtKeychain), never
// in a file of ours. Each call waits for the service's answer.
class ServerPassword {
public:
    enum Result {
        Ok,
        NotFound,  // no password kept for the account
        NoService, // the desktop has no secret service: ask at each sync
        Failed,    // the service refused or failed (why says how)
    };

    // The entry of one account: the user at the address book's URL.
    static QString keyFor(const QString &url, const QString &user);

    static Result store(const QString &key, const QString &password, QString *why);
    static Result read(const QString &key, QString *password, QString *why);
    static Result forget(const QString &key, QString *why);
    // Forgets the entry of the account at wasUrl when the settings now name
    // another account (another server address or user); Ok when there is
    // nothing to forget.
    static Result forgetReplaced(const QString &wasUrl, const QString &wasUser, const QString &nowUrl,
                                 const QString &nowUser, QString *why);

    // Saves the settings into the store and, once they are saved, forgets
    // the entry of the account they replace (forgetReplaced). false with
    // *why when the store could not be written: nothing is forgotten then.
    // *notForgotten is left empty, or says why the old entry stayed.
    static bool saveSettings(SyncStore &store, const SyncSettings &settings, QString *why,
                             QString *notForgotten);
};

} // namespace quennet::sync
