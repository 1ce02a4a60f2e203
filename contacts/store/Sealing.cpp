#include "contacts/store/Sealing.h"

#include "contacts/store/Secret.h"

#include <QtEndian>

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace quennet::store {

namespace {

constexpr int kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr int kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char *bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

} // namespace

bool isAcceptedKdfCost(qint64 opsLimit, qint64 memLimit, const KdfCost &written)
{
    const auto is = [&](const KdfCost &cost) {
        return opsLimit == cost.opsLimit && memLimit == cost.memLimit;
    };
    return is(kReleaseKdfCost) || is(written);
}

bool KdfParams::isPlausible() const
{
    return salt.size() == crypto_pwhash_SALTBYTES && isAcceptedKdfCost(opsLimit, memLimit);
}

QByteArray randomBytes(int count)
{
    if (!sodiumReady())
        return {}; // callers check the size
    QByteArray out(count, Qt::Uninitialized);
    randombytes_buf(out.data(), size_t(count));
    return out;
}

KdfParams freshKdfParams()
{
    KdfParams params;
    params.salt = randomBytes(crypto_pwhash_SALTBYTES);
    const KdfCost cost = writtenKdfCost();
    params.opsLimit = cost.opsLimit;
    params.memLimit = cost.memLimit;
    return params;
}

SealingKey::SealingKey() = default;

SealingKey::~SealingKey()
{
    clear();
}

SealingKey::SealingKey(SealingKey &&other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}

SealingKey &SealingKey::operator=(SealingKey &&other) noexcept
{
    if (this != &other) {
        clear();
        m_key = std::exchange(other.m_key, nullptr);
    }
    return *this;
}

void SealingKey::clear()
{
    if (m_key) {
        sodium_free(m_key); // wipes the memory first
        m_key = nullptr;
    }
}

SealingKey SealingKey::copy() const
{
    SealingKey out;
    if (!m_key)
        return out;
    out.m_key = static_cast<unsigned char *>(sodium_malloc(2 * kKeyBytes));
    if (out.m_key)
        memcpy(out.m_key, m_key, 2 * kKeyBytes);
    return out;
}

bool SealingKey::sameAs(const SealingKey &other) const
{
    return m_key && other.m_key && sodium_memcmp(m_key, other.m_key, 2 * kKeyBytes) == 0;
}

bool SealingKey::derive(const QString &password, const KdfParams &params)
{
    clear();
    if (!sodiumReady() || !params.isPlausible())
        return false;
    // The record key, then the key of the record-set digest derived from it.
    auto *key = static_cast<unsigned char *>(sodium_malloc(2 * kKeyBytes));
    if (!key)
        return false;
    QByteArray secret = password.toUtf8();
    const int rc =
        crypto_pwhash(key, kKeyBytes, secret.constData(), quint64(secret.size()), bytes(params.salt),
                      quint64(params.opsLimit), size_t(params.memLimit), crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(secret.data(), size_t(secret.size()));
    if (rc != 0) {
        sodium_free(key);
        return false;
    }
    static const char context[] = "quennet-record-set-digest";
    crypto_generichash(key + kKeyBytes, kKeyBytes, reinterpret_cast<const unsigned char *>(context),
                       sizeof context - 1, key, kKeyBytes);
    m_key = key;
    return true;
}

RecordTag SealingKey::recordTag(qint64 rowId, bool deleted, QByteArrayView packed) const
{
    RecordTag tag{};
    if (!m_key)
        return tag;
    unsigned char head[9];
    qToLittleEndian<qint64>(rowId, head);
    head[8] = deleted ? 1 : 0;
    crypto_generichash_state state;
    crypto_generichash_init(&state, m_key + kKeyBytes, kKeyBytes, sizeof tag.bytes);
    crypto_generichash_update(&state, head, sizeof head);
    crypto_generichash_update(&state, bytes(packed), quint64(packed.size()));
    crypto_generichash_final(&state, tag.bytes, sizeof tag.bytes);
    return tag;
}

RecordTag SealingKey::messageTag(QByteArrayView message) const
{
    RecordTag tag{};
    if (m_key)
        crypto_generichash(tag.bytes, sizeof tag.bytes, bytes(message), quint64(message.size()),
                           m_key + kKeyBytes, kKeyBytes);
    return tag;
}

void RecordDigest::toggle(const RecordTag &tag)
{
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] ^= tag.bytes[i];
}

QByteArray RecordDigest::toBytes() const
{
    return QByteArray(reinterpret_cast<const char *>(bytes), sizeof bytes);
}

QByteArray recordDigestAssociatedData(const QByteArray &storeId)
{
    return QByteArrayLiteral("quennet-record-digest:") + storeId;
}

QByteArray SealingKey::seal(QByteArrayView plain, QByteArrayView associated) const
{
    if (!m_key)
        return {};
    QByteArray out(kNonceBytes + plain.size() + kTagBytes, Qt::Uninitialized);
    auto *nonce = reinterpret_cast<unsigned char *>(out.data());
    randombytes_buf(nonce, kNonceBytes);
    unsigned long long sealedSize = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceBytes, &sealedSize, bytes(plain),
                                               quint64(plain.size()), bytes(associated),
                                               quint64(associated.size()), nullptr, nonce, m_key);
    out.truncate(kNonceBytes + qsizetype(sealedSize));
    return out;
}

qsizetype SealingKey::plainSize(QByteArrayView sealed)
{
    return std::max<qsizetype>(0, sealed.size() - kNonceBytes - kTagBytes);
}

qsizetype SealingKey::sealedSize(qsizetype plainSize)
{
    return kNonceBytes + plainSize + kTagBytes;
}

bool SealingKey::unsealInto(QByteArrayView sealed, QByteArrayView associated, char *out) const
{
    if (!m_key || sealed.size() < kNonceBytes + kTagBytes)
        return false;
    unsigned long long plainBytes = 0;
    const unsigned char *nonce = bytes(sealed);
    return crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char *>(out), &plainBytes,
                                                      nullptr, nonce + kNonceBytes,
                                                      quint64(sealed.size() - kNonceBytes), bytes(associated),
                                                      quint64(associated.size()), nonce, m_key) == 0;
}

bool SealingKey::unseal(QByteArrayView sealed, QByteArrayView associated, QByteArray *plain) const
{
    QByteArray out(plainSize(sealed), Qt::Uninitialized);
    if (!unsealInto(sealed, associated, out.data()))
        return false;
    *plain = std::move(out);
    return true;
}

QByteArray recordAssociatedData(const QByteArray &storeId, qint64 rowId)
{
    QByteArray ad = QByteArrayLiteral("quennet-record:") + storeId;
    char row[8];
    qToLittleEndian<qint64>(rowId, row);
    ad.append(row, 8);
    return ad;
}

QByteArray keyCheckAssociatedData(const QByteArray &storeId)
{
    return QByteArrayLiteral("quennet-key-check:") + storeId;
}

QByteArray keyCheckPlainText()
{
    return QByteArrayLiteral("Quennet contact store key check, version 1");
}

} // namespace quennet::store

namespace quennet {

void wipe(QString &secret)
{
    if (!secret.isEmpty() && secret.isDetached())
        sodium_memzero(secret.data(), size_t(secret.size()) * sizeof(QChar));
    secret.clear();
}

void wipe(QByteArray &secret)
{
    if (!secret.isEmpty() && secret.isDetached())
        sodium_memzero(secret.data(), size_t(secret.size()));
    secret.clear();
}

void wipe(std::string &secret)
{
    if (!secret.empty())
        sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

} // namespace quennet
