#pragma once

#include "contacts/ProgramDir.h"
#include "contacts/store/ContactStore.h"

#include <QString>

namespace quennet {

// The record form's state variables; all 0 when the program starts.
struct FormState {
    int adding = 0;
    int modifying = 0;
    int queryKind = 0;  // 1 姓名, 2 电话, 3 手机, 4 QQ
    int queryFound = 0;
    int selectedRecord = 0;
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

}  // namespace quennet
