#pragma once

#include "contacts/ContactRules.h"
#include "contacts/store/ContactStore.h"

#include <QString>

// The maintenance operations shared by the settings windows and the wab
// tool: changing the password, backing the store up and clearing it, with
// every text the user is told. Nothing here shows anything.
namespace quennet::maintenance {

// --- password ----------------------------------------------------------------
// What the user typed into the password window, and what the store is now.
struct PasswordRequest {
    bool storeHasPassword = false; // asked of the file at each attempt
    QString typedOld;              // not consulted when the store has no password
    StoreCredential login;         // what the store was opened with
    QString newPassword;
    QString repeated;
};

enum class PasswordOutcome { WrongOldPassword, Mismatch, Changed, ChangeFailed };

// The checks in their order: the old password (only when the store has one)
// against the login credential, then the repetition. Exact comparisons.
PasswordOutcome checkPasswordChange(const PasswordRequest &request);
// The re-sealing of the open store under the new password, checks passed.
PasswordOutcome setNewPassword(ContactStore &store, const PasswordRequest &request);
// The checks, then the re-sealing.
PasswordOutcome changePassword(ContactStore &store, const PasswordRequest &request);
// The message for an outcome; a failure shows a stop icon when the store had
// a password and an exclamation mark when it had none.
Message passwordMessage(PasswordOutcome outcome, bool storeHadPassword);

// --- backup --------------------------------------------------------------------
// A byte copy of the open store's file (password protection included) to
// destination; see ContactStore::copyTo.
bool backUp(ContactStore &store, const QString &destination);
Message backupSucceeded();
Message backupFailed();
QString backupFilter();           // for the save dialog
QString backupDefaultExtension(); // likewise

// --- clearing ------------------------------------------------------------------
// Deletes every record in one transaction; the freed text is overwritten in
// the file. False leaves the store as it was.
bool clearAll(ContactStore &store);
Message clearFirstConfirmation();  // Yes and No, No the default
Message clearSecondConfirmation(); // OK and Cancel, Cancel the default
Message clearSucceeded();
Message clearFailed();

} // namespace quennet::maintenance
