#include "contacts/store/ContactStore.h"

#include "contacts/store/ContactStoreImpl.h"
#include "contacts/store/PackedRecord.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace quennet {

using namespace store;

namespace {

const QString &fieldNameAt(int index)
{
    static const QString names[kFieldCount] = {QStringLiteral("姓名"),  QStringLiteral("电话"),
                                               QStringLiteral("手机"),  QStringLiteral("QQ"),
                                               QStringLiteral("Email"), QStringLiteral("地址")};
    return names[index];
}

bool isFieldPos(int pos)
{
    return pos >= 1 && pos <= kFieldCount;
}

int fieldPosOf(const QString &name)
{
    for (int i = 0; i < kFieldCount; ++i)
        if (name == fieldNameAt(i))
            return i + 1;
    return 0;
}

bool unlockKey(const StoreMeta &meta, const QString &password, SealingKey *key)
{
    if (!meta.sealed)
        return true;
    QByteArray check;
    return !password.isEmpty() && key->derive(password, meta.kdf) &&
           key->unseal(meta.keyCheck, keyCheckAssociatedData(meta.storeId), &check) &&
           check == keyCheckPlainText();
}

int commitHookFailingOnce(void *flag)
{
    auto *failNext = static_cast<bool *>(flag);
    const bool fail = *failNext;
    *failNext = false;
    return fail ? 1 : 0;
}

} // namespace

// --- ContactStoreImpl -------------------------------------------------------

const StoredRecord *ContactStoreImpl::current() const
{
    return cursor >= 1 && cursor <= count() ? &records[size_t(cursor - 1)] : nullptr;
}

void ContactStoreImpl::reset()
{
    db.close();
    meta = StoreMeta();
    key.clear();
    records.clear();
    records.shrink_to_fit();
    arena.release();
    path.clear();
    cursor = 0;
}

QByteArray ContactStoreImpl::diskForm(const StoreMeta &m, const SealingKey &k, qint64 rowId,
                                      const QByteArray &packed) const
{
    return m.sealed ? k.seal(packed, recordAssociatedData(m.storeId, rowId)) : packed;
}

bool ContactStoreImpl::readDiskForm(qint64 rowId, QByteArrayView stored, QByteArray *packed)
{
    const qsizetype size = meta.sealed ? SealingKey::plainSize(stored) : stored.size();
    char *place = arena.allocate(size);
    if (!place)
        return false;
    if (meta.sealed) {
        if (!key.unsealInto(stored, recordAssociatedData(meta.storeId, rowId), place))
            return false;
    } else {
        memcpy(place, stored.data(), size_t(size));
    }
    *packed = QByteArray::fromRawData(place, size);
    return packed::isWellFormed(*packed);
}

bool ContactStoreImpl::load(Connection &reader)
{
    // The highest row id ever used bounds the number of rows; reserving
    // costs address space only until the entries are filled.
    Statement highest = reader.prepare("SELECT seq FROM sqlite_sequence WHERE name = 'records'");
    if (highest.step() == SQLITE_ROW)
        records.reserve(size_t(std::clamp<qint64>(highest.columnInt(0), 0, 10000000)));
    Statement select = reader.prepare("SELECT id, deleted, fields FROM records ORDER BY id");
    if (!select.isValid())
        return false;
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        StoredRecord record;
        record.rowId = select.columnInt(0);
        record.deleted = select.columnInt(1) != 0;
        // A record that does not unseal or parse fails the whole open: records
        // are never dropped silently.
        if (!readDiskForm(record.rowId, select.columnBlob(2), &record.packed))
            return false;
        records.push_back(std::move(record));
    }
    return rc == SQLITE_DONE;
}

bool ContactStoreImpl::commit(Transaction &tx)
{
    if (failNextCommit)
        sqlite3_commit_hook(db.handle(), commitHookFailingOnce, &failNextCommit);
    const bool ok = tx.commit();
    sqlite3_commit_hook(db.handle(), nullptr, nullptr);
    failNextCommit = false;
    return ok;
}

bool ContactStoreImpl::write(const std::function<bool()> &body)
{
    if (!db.isOpen())
        return false;
    Transaction tx(db);
    return tx.isActive() && sealingUnchanged() && body() && commit(tx);
}

bool ContactStoreImpl::sealingUnchanged()
{
    // Another program (the wab tool) may have changed the password since
    // open; writing with the old key then would leave records no single
    // password opens.
    Statement select = db.prepare("SELECT value FROM meta WHERE key = 'key_check'");
    const int rc = select.step();
    if (rc == SQLITE_DONE)
        return !meta.sealed;
    return rc == SQLITE_ROW && meta.sealed && select.columnBlob(0) == meta.keyCheck;
}

qint64 ContactStoreImpl::nextRowId()
{
    // AUTOINCREMENT keeps the highest id ever used, so ids are never reused.
    Statement select = db.prepare("SELECT seq FROM sqlite_sequence WHERE name = 'records'");
    if (!select.isValid())
        return -1;
    const int rc = select.step();
    if (rc == SQLITE_DONE)
        return 1;
    return rc == SQLITE_ROW ? select.columnInt(0) + 1 : -1;
}

// --- file-level operations ----------------------------------------------------

ContactStore::ContactStore() : d(std::make_unique<ContactStoreImpl>()) {}

ContactStore::~ContactStore() = default;

bool ContactStore::hasPassword(const QString &path)
{
    if (probeFile(path) != Probe::Ok)
        return false;
    Connection reader;
    StoreMeta meta;
    return openForReading(path, &reader) && readMeta(reader, &meta) == MetaRead::Ok && meta.sealed;
}

bool ContactStore::create(const QString &path, const QString &password)
{
    StoreMeta meta;
    meta.format = kFormatVersion;
    meta.storeId = randomBytes(kStoreIdBytes);
    if (meta.storeId.size() != kStoreIdBytes)
        return false;
    if (!password.isEmpty()) {
        SealingKey key;
        meta.sealed = true;
        meta.kdf = freshKdfParams();
        if (!key.derive(password, meta.kdf))
            return false;
        meta.keyCheck = key.seal(keyCheckPlainText(), keyCheckAssociatedData(meta.storeId));
    }
    return createStoreFile(path, meta);
}

// --- open / close ---------------------------------------------------------------

bool ContactStore::open(const QString &path, const QString &password)
{
    close();
    // Everything is validated and read through a read-only connection; the
    // file is opened for writing only once it has proven to be a store that
    // this password opens.
    Connection reader;
    if (probeFile(path) != Probe::Ok || !openForReading(path, &reader) ||
        readMeta(reader, &d->meta) != MetaRead::Ok || !unlockKey(d->meta, password, &d->key) ||
        !d->load(reader)) {
        d->reset();
        return false;
    }
    reader.close();
    // SQLite falls back to read-only when the file is write-protected; the
    // store then opens for reading and every write reports failure.
    if (!d->db.open(path, Connection::Mode::ReadWrite) ||
        (!d->db.isReadOnly() && !prepareForWriting(d->db))) {
        d->reset();
        return false;
    }
    removeStaleJournal(d->db, path);
    d->path = path;
    goFirst();
    return true;
}

void ContactStore::close()
{
    d->reset();
}

bool ContactStore::isOpen() const
{
    return d->db.isOpen();
}

bool ContactStore::setPassword(const QString &newPassword)
{
    if (!isOpen())
        return false;
    StoreMeta newMeta = d->meta;
    SealingKey newKey;
    newMeta.sealed = !newPassword.isEmpty();
    newMeta.kdf = KdfParams();
    newMeta.keyCheck.clear();
    if (newMeta.sealed) {
        newMeta.kdf = freshKdfParams();
        if (!newKey.derive(newPassword, newMeta.kdf))
            return false;
        newMeta.keyCheck = newKey.seal(keyCheckPlainText(), keyCheckAssociatedData(newMeta.storeId));
    }
    const bool rewriteRecords = d->meta.sealed || newMeta.sealed;
    const bool ok = d->write([&] {
        if (rewriteRecords) {
            // Every row must be rewritten, or old and new sealing would mix.
            Statement count = d->db.prepare("SELECT count(*) FROM records");
            if (count.step() != SQLITE_ROW || count.columnInt(0) != d->count())
                return false;
            Statement update = d->db.prepare("UPDATE records SET fields = ? WHERE id = ?");
            for (const StoredRecord &record : d->records) {
                const QByteArray stored = d->diskForm(newMeta, newKey, record.rowId, record.packed);
                if (!update.bind(1, QByteArrayView(stored)).bind(2, record.rowId).run() ||
                    d->db.changes() != 1)
                    return false;
            }
        }
        return writeMeta(d->db, newMeta);
    });
    if (!ok)
        return false;
    d->meta = std::move(newMeta);
    d->key = std::move(newKey);
    return true;
}

// --- cursor ---------------------------------------------------------------------

int ContactStore::recordCount() const
{
    return d->count();
}

void ContactStore::goFirst()
{
    // In an empty store record 1 is the after-last position.
    d->cursor = 1;
}

void ContactStore::goLast()
{
    d->cursor = std::max(d->count(), 1);
}

void ContactStore::skip(int count)
{
    goTo(int(std::clamp<qint64>(qint64(d->cursor) + count, 0, qint64(d->count()) + 1)));
}

int ContactStore::recordNumber() const
{
    return d->cursor;
}

void ContactStore::goTo(int number)
{
    d->cursor = std::clamp(number, 0, d->count() + 1);
}

bool ContactStore::isBeforeFirst() const
{
    return d->cursor == 0;
}

bool ContactStore::isAfterLast() const
{
    return d->cursor == d->count() + 1;
}

bool ContactStore::find(const std::function<bool(const ContactStore &)> &condition)
{
    const int start = d->cursor;
    for (int number = std::max(start, 1); number <= d->count(); ++number) {
        d->cursor = number;
        if (condition(*this))
            return true;
    }
    d->cursor = start;
    return false;
}

bool ContactStore::find(int fieldPos, const QString &text)
{
    if (!isFieldPos(fieldPos))
        return false;
    const QByteArray wanted = text.toUtf8();
    for (int number = std::max(d->cursor, 1); number <= d->count(); ++number) {
        if (packed::fieldBytes(d->records[size_t(number - 1)].packed, fieldPos - 1) == wanted) {
            d->cursor = number;
            return true;
        }
    }
    return false;
}

// --- fields -----------------------------------------------------------------------

QString ContactStore::field(const QString &name) const
{
    return field(fieldPosOf(name));
}

QString ContactStore::field(int pos) const
{
    const StoredRecord *record = d->current();
    return record && isFieldPos(pos) ? packed::field(record->packed, pos - 1) : QString();
}

QString ContactStore::fieldOf(int number, int pos) const
{
    if (number < 1 || number > d->count() || !isFieldPos(pos))
        return QString();
    return packed::field(d->records[size_t(number - 1)].packed, pos - 1);
}

QStringList ContactStore::recordAt(int number) const
{
    QStringList values;
    if (number < 1 || number > d->count())
        return values;
    values.reserve(kFieldCount);
    for (int pos = 1; pos <= kFieldCount; ++pos)
        values.append(packed::field(d->records[size_t(number - 1)].packed, pos - 1));
    return values;
}

int ContactStore::fieldCount() const
{
    return kFieldCount;
}

QString ContactStore::fieldName(int pos) const
{
    return isFieldPos(pos) ? fieldNameAt(pos - 1) : QString();
}

// --- writes -------------------------------------------------------------------------

bool ContactStore::append(const QStringList &values)
{
    StoredRecord record;
    if (!packed::pack(values, &record.packed))
        return false;
    const bool ok = d->write([&] {
        record.rowId = d->nextRowId();
        if (record.rowId <= 0)
            return false;
        const QByteArray stored = d->diskForm(d->meta, d->key, record.rowId, record.packed);
        Statement insert = d->db.prepare("INSERT INTO records (id, deleted, fields) VALUES (?, 0, ?)");
        return insert.bind(1, record.rowId).bind(2, QByteArrayView(stored)).run();
    });
    if (!ok)
        return false;
    d->records.push_back(std::move(record));
    d->cursor = d->count();
    return true;
}

bool ContactStore::modify(const QStringList &values)
{
    const StoredRecord *record = d->current();
    QByteArray packedValues;
    if (!record || !packed::pack(values, &packedValues))
        return false;
    const bool ok = d->write([&] {
        const QByteArray stored = d->diskForm(d->meta, d->key, record->rowId, packedValues);
        Statement update = d->db.prepare("UPDATE records SET fields = ? WHERE id = ?");
        return update.bind(1, QByteArrayView(stored)).bind(2, record->rowId).run() && d->db.changes() == 1;
    });
    if (!ok)
        return false;
    d->records[size_t(d->cursor - 1)].packed = std::move(packedValues);
    return true;
}

bool ContactStore::markDeleted()
{
    const StoredRecord *record = d->current();
    if (!record)
        return false;
    const bool ok = d->write([&] {
        Statement update = d->db.prepare("UPDATE records SET deleted = 1 WHERE id = ?");
        return update.bind(1, record->rowId).run() && d->db.changes() == 1;
    });
    if (!ok)
        return false;
    d->records[size_t(d->cursor - 1)].deleted = true;
    return true;
}

bool ContactStore::isMarkedDeleted() const
{
    const StoredRecord *record = d->current();
    return record && record->deleted;
}

bool ContactStore::purge()
{
    if (!d->write([&] { return d->db.exec("DELETE FROM records WHERE deleted = 1"); }))
        return false;
    auto &records = d->records;
    records.erase(
        std::remove_if(records.begin(), records.end(), [](const StoredRecord &r) { return r.deleted; }),
        records.end());
    goTo(d->cursor);
    return true;
}

bool ContactStore::clear()
{
    if (!d->write([&] { return d->db.exec("DELETE FROM records"); }))
        return false;
    d->records.clear();
    d->records.shrink_to_fit();
    goTo(d->cursor);
    return true;
}

// --- names ---------------------------------------------------------------------------

QString ContactStore::storeName() const
{
    return d->path.isEmpty() ? QString() : QFileInfo(d->path).completeBaseName();
}

QString ContactStore::filePath() const
{
    return d->path;
}

} // namespace quennet
