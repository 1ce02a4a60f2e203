#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>

namespace quennet::store {

// Argon2id cost of deriving the key from a password, kept in the store file
// with its salt so that later stores may choose other costs.
struct KdfParams {
    QByteArray salt;
    qint64 opsLimit = 0;
    qint64 memLimit = 0;

    // Only the costs this program writes are accepted: a file asking for
    // more work or memory (or for the tests' cheap cost, in a release build)
    // is damaged.
    bool isPlausible() const;
    bool operator==(const KdfParams &o) const
    {
        return salt == o.salt && opsLimit == o.opsLimit && memLimit == o.memLimit;
    }
};

struct KdfCost {
    qint64 opsLimit;
    qint64 memLimit;
};

// Costs for new passwords: an open takes about a fifth of a second on a
// small two-core machine (see BENCHMARKS.md).
constexpr KdfCost kReleaseKdfCost{3, qint64(64) << 20};

// The cost new passwords are derived at, fixed when a program is linked: the
// programs and benchmarks link the release cost (KdfCostRelease.cpp); the
// tests and the copies of the programs they run link the smallest cost
// Argon2id allows (KdfCostTesting.cpp), so that password tests do not spend
// their time deriving keys.
KdfCost writtenKdfCost();

// True for the release cost and for the cost written by a build that writes
// `written`: a release build refuses the stores the tests write.
bool isAcceptedKdfCost(qint64 opsLimit, qint64 memLimit, const KdfCost &written = writtenKdfCost());

KdfParams freshKdfParams();
QByteArray randomBytes(int count);

// A keyed hash of one record: its row, its mark and its fields.
struct RecordTag {
    unsigned char bytes[32];
};

// The record set of a protected store in 32 bytes: the exclusive or of every
// record's tag. Adding, changing or removing one record changes it in
// constant time; without the key nobody can compute a tag, so rows deleted,
// replayed from an older copy or flagged change it unnoticeably only with
// negligible chance.
struct RecordDigest {
    unsigned char bytes[32] = {};

    void toggle(const RecordTag &tag);
    QByteArray toBytes() const;
    bool operator==(const RecordDigest &o) const { return toBytes() == o.toBytes(); }
};

// The 256-bit record key, kept in locked memory that is wiped when freed.
class SealingKey {
public:
    SealingKey();
    ~SealingKey();
    SealingKey(SealingKey &&other) noexcept;
    SealingKey &operator=(SealingKey &&other) noexcept;
    SealingKey(const SealingKey &) = delete;
    SealingKey &operator=(const SealingKey &) = delete;

    bool derive(const QString &password, const KdfParams &params);
    bool isValid() const { return m_key != nullptr; }
    void clear();
    // A second key in its own locked memory; invalid when this one is (or
    // when no memory is left).
    SealingKey copy() const;
    // Both valid and equal, compared in constant time.
    bool sameAs(const SealingKey &other) const;

    // XChaCha20-Poly1305 with a fresh random nonce: nonce || ciphertext || tag.
    QByteArray seal(QByteArrayView plain, QByteArrayView associated) const;
    bool unseal(QByteArrayView sealed, QByteArrayView associated, QByteArray *plain) const;
    // Writes the plain text to out, which has room for plainSize(sealed) bytes.
    bool unsealInto(QByteArrayView sealed, QByteArrayView associated, char *out) const;
    static qsizetype plainSize(QByteArrayView sealed);
    static qsizetype sealedSize(qsizetype plainSize);

    RecordTag recordTag(qint64 rowId, bool deleted, QByteArrayView packed) const;
    // The same keyed hash over any message (the sync's rows: their messages
    // begin with a name no record's row id can spell).
    RecordTag messageTag(QByteArrayView message) const;

private:
    unsigned char *m_key = nullptr;
};

// Additional data that ties a sealed record to its store and its row, so a
// sealed blob cannot be moved to another row or into another store.
QByteArray recordAssociatedData(const QByteArray &storeId, qint64 rowId);
QByteArray keyCheckAssociatedData(const QByteArray &storeId);
QByteArray recordDigestAssociatedData(const QByteArray &storeId);
QByteArray keyCheckPlainText();

} // namespace quennet::store
