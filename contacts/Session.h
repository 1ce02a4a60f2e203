#pragma once

#include "contacts/ContactRules.h"
#include "contacts/ProgramDir.h"
#include "contacts/store/ContactStore.h"

#include <QString>

namespace quennet {

// The record form's state; all off when the program starts. Adding,
// modifying and a query are separate flags: a query started by its hot key
// while adding leaves adding on, and Confirm then runs the adding first.
struct FormState {
    bool adding = false;                                 // a new contact is being entered
    bool modifying = false;                              // the shown contact is being changed
    rules::QueryKind queryKind = rules::QueryKind::None; // a query value is being entered
    bool queryFound = false;
    int selectedRecord = 0; // the record the form or the list last pointed at
};

// State shared between the handlers of all windows: the program directory,
// the one open store, the credential that opened it (the login password
// itself is wiped once the key is derived) and the record form state.
// One object per run; tests build a fresh one.
struct Session {
    explicit Session(const QString &programDir) : dir(programDir) {}
    explicit Session(const ProgramDir &programDir) : dir(programDir) {}

    ProgramDir dir;
    ContactStore store;
    StoreCredential loginCredential;
    int failedLoginCount = 0;
    FormState form;
};

} // namespace quennet
