#pragma once

#include "contacts/store/Contact.h"
#include "contacts/store/StoreCredential.h"
#include "contacts/store/StoreError.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>

namespace quennet {

// Positions of the six contact fields, 1-based as the store numbers them.
enum FieldPos {
    FieldName = 1,
    FieldPhone = 2,
    FieldMobile = 3,
    FieldQQ = 4,
    FieldEmail = 5,
    FieldAddress = 6
};

constexpr int kFieldCount = 6;

// Largest value one field may hold, in UTF-8 bytes. Larger values are refused.
constexpr int kMaxFieldBytes = 64 * 1024;
// Largest number of records one store holds.
constexpr qint64 kMaxRecords = 10000000;

// What a call on a store file (no open store needed) reports: its answer,
// and why it could not do its work. The calls on the open store report in
// one way too: their result, and lastError() for why.
struct FileResult {
    bool ok = false;                     // done, or yes
    StoreError error = StoreError::None; // None when the file could be read (and written)
    explicit operator bool() const { return ok; }
};

// What a store file holds of its sync (wab check).
struct SyncSummary {
    bool tables = false;   // set up or synced at least once
    bool readable = false; // url, user and book could be read (a sealed store needs its password)
    QString url, user, book;
    int cards = 0;
    int pendingDeletes = 0; // cards whose contact is gone: deletes the server has not confirmed yet
};

// Result of checking a store file without opening it for use (wab check).
// ok: no problem found; else error is the first reason found. Missing,
// NotAFile, Unreadable, Busy, ReadOnly and Failed mean the file could not be
// examined at all.
struct StoreCheck : FileResult {
    bool hasPassword = false;
    int recordCount = -1; // -1 when it could not be read
    QStringList problems; // human-readable, Chinese
    SyncSummary sync;
    bool couldNotExamine() const;
};

// The credential of a store file for a password; ok when the password opens
// it (a store without a password: no key, and ok).
struct CredentialResult : FileResult {
    StoreCredential credential;
};

class ContactStoreImpl;
class PendingRecords;
struct ContactStoreTestAccess;
struct Unlocking;

// The one contact store: an SQLite file holding records of six text fields,
// optionally sealed under a password. After open every record is held in
// memory; cursor moves, counts and searches never touch the file. Every write
// is one durable transaction and changes memory only after it committed.
class ContactStore {
public:
    ContactStore();
    ~ContactStore();
    ContactStore(const ContactStore &) = delete;
    ContactStore &operator=(const ContactStore &) = delete;

    // --- file-level operations (no open store needed) -------------------
    // ok when the file at path is a store protected by a non-empty password.
    // Reads the file only; not ok for a missing or unreadable file, with
    // error None when the file was read (whatever the answer). (Like open
    // and check, it first rolls back a write that a crash interrupted.)
    static FileResult hasPassword(const QString &path);
    // Creates a new empty store (mode 0600). Refuses an existing file.
    static FileResult create(const QString &path, const QString &password = QString());
    // Verifies integrity, format version and (when given) the password.
    static StoreCheck check(const QString &path, const QString &password = QString());

    // --- open / close ------------------------------------------------------
    // On success this store holds the file's records and the cursor is on
    // record 1 (or after-last when empty). Fails without writing anything:
    // missing, empty, damaged or foreign files, newer formats, a wrong or
    // missing password. A store without a password ignores one given. A
    // write-protected file opens, and its writes then fail.
    // Before the records are read the file is verified (structure, schema,
    // meta data, bounds of everything read): a damaged store never opens.
    bool open(const QString &path, const QString &password = QString());
    // The same with a credential instead of the password (see
    // StoreCredential): a store whose password was set again since the
    // credential was made fails with WrongPassword.
    bool open(const QString &path, const StoreCredential &credential);
    // What opens this store again without its password: its key while a
    // password protects it, else (or when not open) no key.
    StoreCredential credential() const;
    // The credential of the store file at path for password, so the caller
    // can wipe the password before the store is read. No key and
    // WrongPassword when the password does not open it; no key and None
    // for a store without a password.
    static CredentialResult credentialFor(const QString &path, const QString &password);
    void close();
    bool isOpen() const;
    // Why the last open or write failed; None after a success.
    StoreError lastError() const;
    // Reads the file again when another program has committed a change since
    // this store read it (SQLite's data version); the cursor keeps its
    // number. True when memory now holds what the file holds; *reloaded
    // tells whether it was read again. A file that no longer verifies closes
    // the store (false, with the reason).
    bool refresh(bool *reloaded = nullptr);
    // How many times the records were read again since open.
    int reloadCount() const;
    // Re-seals every record under newPassword (empty: remove) in one
    // transaction: after a crash either the old or the new password opens it.
    bool setPassword(const QString &newPassword);

    // --- cursor ------------------------------------------------------------
    // In an empty store goFirst and goLast leave the cursor after-last
    // (record number 1 = N + 1); skip -1 from there is before-first.
    int recordCount() const;
    void goFirst();
    void goLast();
    void skip(int count = 1);
    // Number of the record under the cursor: 1..N on a record, 0 before the
    // first, N + 1 after the last.
    int recordNumber() const;
    // Numbers outside 1..N leave the cursor on no record: below 1
    // before-first, above N after-last.
    void goTo(int number);
    bool isBeforeFirst() const;
    bool isAfterLast() const;
    // The record under the cursor; id 0 and empty fields when on no record.
    Contact current() const;

    // --- search --------------------------------------------------------------
    // Number of the first record from number from on (record 1 when from is
    // below it) whose field pos holds exactly text: no trimming, case counts.
    // 0 when none does or pos is outside 1..6. The cursor stays where it is.
    int findRecord(int pos, const QString &text, int from = 1) const;
    // One field and the text it must equal.
    struct FieldText {
        int fieldPos;
        QString text;
    };
    // The searches of wanted in turn, each from the cursor, the first success
    // ending them and moving the cursor onto its record (a failed one leaves
    // the cursor where it was): found in one pass over the records.
    bool findFirstOf(std::initializer_list<FieldText> wanted);

    // --- fields --------------------------------------------------------------
    // Field pos of record number, without moving the cursor; "" outside
    // 1..N or 1..6. For readers that walk the records (lists, exports).
    QString fieldOf(int number, int pos) const;
    // The same field as the UTF-8 bytes the store holds, without a copy:
    // valid until the next write, reload or close.
    QByteArrayView fieldBytesOf(int number, int pos) const;
    int fieldCount() const;
    QString fieldName(int pos) const; // "" outside 1..6

    // --- contacts ------------------------------------------------------------
    // Row id of record number; 0 outside 1..N.
    qint64 rowIdAt(int number) const;
    // Number of the record with that row id; 0 when none has it (any more).
    int numberOf(qint64 rowId) const;
    // Record number with its row id; id 0 and empty fields outside 1..N.
    Contact contactAt(int number) const;
    // The contact with that row id; id 0 and empty fields when none has it.
    Contact contact(qint64 rowId) const;

    // --- writes (durable on return; false leaves file and memory unchanged) --
    // Each write first reads in, inside its transaction, what other programs
    // committed since this store read the file. The id of a contact given to
    // a write is not looked at: the store numbers new rows itself.
    bool append(const Contact &contact); // cursor moves to the new record
    // Appends only when allowed holds for the records as the file holds them
    // at the moment of writing. False with lastError() None when allowed
    // refused.
    bool appendIf(const Contact &contact, const std::function<bool(ContactStore &)> &allowed);
    // Appends every contact in one transaction: all of them or none. The
    // cursor moves to the last new record (stays put when contacts is
    // empty). Fails with ChangedElsewhere when another program wrote since
    // the records were read: the caller checked the contacts against those.
    bool appendMany(const QList<Contact> &contacts);
    // The same with contacts packed beforehand; on success the store keeps
    // their memory as its records' and records is left empty.
    bool appendMany(PendingRecords &records);
    // Writes to the record with that row id, wherever it now stands, once
    // allowed agreed on the records as the file holds them. False with
    // lastError() None when allowed refused, ChangedElsewhere when no record
    // has the row id any more. The cursor keeps its number.
    bool replace(qint64 rowId, const Contact &contact);
    bool replaceIf(qint64 rowId, const Contact &contact, const std::function<bool(ContactStore &)> &allowed);
    // Removes the record with that row id, and every record marked before,
    // in one transaction.
    bool remove(qint64 rowId);
    bool removeIf(qint64 rowId, const std::function<bool(ContactStore &)> &allowed);
    // Removes the record that has number as the file numbers them when the
    // write runs, once allowed agreed; ChangedElsewhere when there is no such
    // record then.
    bool removeNumberIf(int number, const std::function<bool(ContactStore &)> &allowed);
    bool markDeleted(); // record under the cursor
    bool isMarkedDeleted() const;
    // Removes marked records and numbers the rest 1..N in their order; the
    // cursor keeps its number (after-last when that is past the end).
    bool purge();
    bool clear(); // removes all records

    // --- batches -----------------------------------------------------------
    // The writes between beginBatch and endBatch share one transaction, so
    // they reach the file together at endBatch or not at all: many writes
    // cost one commit, and a crash in between leaves none of them. Each
    // write still behaves as alone (a refused or failed one leaves nothing
    // of itself), and memory follows each at once. The write lock is held
    // from beginBatch on: keep batches short.
    bool beginBatch();
    // Commits the batch. False when it could not: then nothing of it is in
    // the file, and memory holds what the file holds again.
    bool endBatch();
    // Rolls the batch back: nothing of it reaches the file, and memory
    // holds what the file holds again.
    void abandonBatch();
    bool inBatch() const;

    // --- copies ------------------------------------------------------------
    // Copies the store file byte for byte to destination while holding a read
    // lock, so the copy is a committed state even if another program writes.
    // The bytes go to a temporary file beside destination that replaces it
    // only when complete (mode 0600). Refuses a destination that is the store
    // file itself (or another name of it).
    bool copyTo(const QString &destination);

    // --- names -------------------------------------------------------------
    QString storeName() const; // base name without extension: "wab"
    QString filePath() const;  // the path given to open

private:
    friend struct ContactStoreTestAccess;
    friend class SyncRows;
    bool openUnlocking(const QString &path, const Unlocking &with);
    // A write to the record with the row id that rowId gives (body gets its
    // index) after allowed agreed, on the records as the file holds them
    // inside the transaction.
    bool writeToRow(const std::function<qint64()> &rowId, const std::function<bool(ContactStore &)> &allowed,
                    const std::function<bool(size_t index)> &body, size_t *index);
    bool removeRow(const std::function<qint64()> &rowId, const std::function<bool(ContactStore &)> &allowed);
    std::unique_ptr<ContactStoreImpl> d;
};

} // namespace quennet
