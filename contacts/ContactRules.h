#pragma once

#include "contacts/Message.h"
#include "contacts/store/Contact.h"
#include "contacts/store/ContactStore.h"

#include <QList>
#include <QString>
#include <QStringList>

// The contact rules shared by the main window and the wab tool: what a typed
// contact must satisfy before it is written, how duplicates are looked for,
// how queries and deletions walk the store, and every text the user is told.
//
// The functions never show anything. They take the values exactly as typed
// (no trimming; comparisons are exact; lengths are GBK byte lengths) and leave
// the store's cursor where the window expects it afterwards.
namespace quennet::rules {

// The six values of the record form, in field order (id 0: as typed).
using ContactInput = Contact;

// Fields of the record found by a duplicate search; all empty when none was found.
struct FoundValues {
    bool found = false;
    int recordNumber = 0;
    QString name;
    QString phone;
    QString mobile;
    QString qq;
};

// The checks a typed contact goes through, in the order they run.
enum class Check {
    Ok,
    EmptyName,
    DuplicateName,
    DuplicatePhone,
    DuplicateMobile,
    MobileLength,
    DuplicateQQ,
    QQLength,
};

enum class Branch { Adding, Modifying };

constexpr int kMobileLength = 11;
constexpr int kMaxQQLength = 9;

// --- duplicate search ------------------------------------------------------
// From the record under the cursor on (record 1 when before-first): moves the
// cursor onto the first record whose field pos equals text exactly and
// returns true; otherwise returns false and leaves the cursor where it was.
bool findFromCursor(ContactStore &store, int pos, const QString &text);
// From the first record: the lowest-numbered record with the typed 姓名, else
// with the typed 电话, else 手机, else QQ. The cursor stays on the record found
// (or where the last failed find left it).
FoundValues findDuplicateForAdding(ContactStore &store, const ContactInput &input);
// The same chain, but a match on record selectedRecord (the contact being
// changed) is skipped and the chain goes on from the record after it. Ends
// with the cursor on record selectedRecord.
FoundValues findDuplicateForModifying(ContactStore &store, const ContactInput &input, int selectedRecord);

// --- check chains ------------------------------------------------------------
// Empty name first (no search then), then the duplicate search, then the
// duplicate and length checks against the one record found.
Check checkAdding(ContactStore &store, const ContactInput &input);
Check checkModifying(ContactStore &store, const ContactInput &input, int selectedRecord);
// The checks that follow the search, for a given search result.
Check checkAgainst(const ContactInput &input, const FoundValues &found);
// Which searched values of the input equal those of the record found (all
// false when none was found).
struct FoundMatch {
    bool name = false;
    bool phone = false;
    bool mobile = false;
    bool qq = false;
};
Check checkAgainst(const ContactInput &input, const FoundMatch &same);

class DuplicateIndex;

// --- writes ----------------------------------------------------------------
// Appends the six values; on success the cursor is on the new last record.
// On failure the cursor stays where it was.
bool appendContact(ContactStore &store, const ContactInput &input);
// The adding checks and the append in one write transaction, against the
// records as the file holds them then (other programs may be adding too).
// False with *check the refusing rule, or with Check::Ok when the write
// itself failed (store.lastError() says why).
bool addContact(ContactStore &store, const ContactInput &input, Check *check);

// What became of a change to a stored contact that the user was shown.
enum class Outcome {
    Done,
    Refused, // a rule refused the typed values
    Stale,   // another program changed or deleted the contact since it was shown
    Failed,  // the write failed (store.lastError() says why)
};
// Overwrites the contact shown (found by its id, wherever it now stands)
// with input. The modifying checks and the write run in one transaction,
// against the records as the file holds them then; nothing is written when
// the record no longer holds what was shown. Ends with the cursor on the
// record. A contact without id (no record was shown) is checked, then Failed.
Outcome modifyShownContact(ContactStore &store, const ContactInput &input, const Contact &shown,
                           Check *check);
// Deletes the contact shown, unless another program changed or deleted it.
Outcome deleteShownContact(ContactStore &store, const Contact &shown);
// The same three with the duplicate search through index, which follows
// their writes: for many writes in a row (DuplicateIndex).
bool addContact(ContactStore &store, DuplicateIndex &index, const ContactInput &input, Check *check);
Outcome modifyShownContact(ContactStore &store, DuplicateIndex &index, const ContactInput &input,
                           const Contact &shown, Check *check);
Outcome deleteShownContact(ContactStore &store, DuplicateIndex &index, const Contact &shown);

// --- queries -----------------------------------------------------------------
// The field a query searches; None while no query is being entered.
enum class QueryKind { None, Name, Phone, Mobile, QQ };
constexpr QueryKind kQueryKinds[] = {QueryKind::Name, QueryKind::Phone, QueryKind::Mobile, QueryKind::QQ};

// Store position of the field a query kind searches; 0 for None.
int queryField(QueryKind kind);
// Record numbers of every record whose field equals text exactly, in
// ascending order; the window shows the last. Moves the cursor (from the
// first record, each match then one further).
QList<int> query(ContactStore &store, QueryKind kind, const QString &text);

// --- deletion ----------------------------------------------------------------
// Deletes record number as the file numbers them when the deletion is
// written (other programs may be writing too): Refused, with *count the
// records then, when there is no such record.
Outcome deleteRecordNumber(ContactStore &store, int number, int *count);

// --- texts -------------------------------------------------------------------
Message checkMessage(Check check, Branch branch); // empty text for Check::Ok
Message addSucceeded();
Message addFailed();
Message modifySucceeded();
Message modifyFailed();
Message addingStateMessage();    // start adding/modifying or delete while adding
Message modifyingStateMessage(); // start adding/modifying while modifying

Message queryPrompt(QueryKind kind);
Message queryEmptyBox(QueryKind kind);
Message nothingFound();

QString deleteConfirmationText(const QString &name);
Message deleteConfirmation(const QString &name);
Message deleteSucceeded();
Message deleteFailed();
Message deleteWhileAdding();
// The contact shown was changed or deleted by another program meanwhile.
Message changedElsewhere();

} // namespace quennet::rules
