#pragma once

#include <QString>

#include <memory>

namespace quennet {

// What opens a store again without its password: the key derived from the
// password together with the salt and costs it was derived for, in locked
// memory that is wiped when the last copy goes. Copies share that memory.
// Once the password of the file is set again (by this program or another,
// even to the same text) the file has a new salt and the credential no
// longer opens it.
class StoreCredential {
public:
    // No password: opens only stores without one.
    StoreCredential();
    ~StoreCredential();
    StoreCredential(const StoreCredential &) = default;
    StoreCredential &operator=(const StoreCredential &) = default;
    StoreCredential(StoreCredential &&) noexcept = default;
    StoreCredential &operator=(StoreCredential &&) noexcept = default;

    bool holdsKey() const { return bool(m_unlock); }
    // True when password is the one this credential was derived from
    // (without a key: when it is empty). Derives a key with the same salt
    // and compares in constant time.
    bool matches(const QString &password) const;

    struct Unlock; // the key and its derivation parameters

private:
    friend class ContactStore;
    friend class ContactStoreImpl;
    explicit StoreCredential(std::shared_ptr<const Unlock> unlock);
    std::shared_ptr<const Unlock> m_unlock;
};

} // namespace quennet
