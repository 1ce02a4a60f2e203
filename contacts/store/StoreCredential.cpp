#include "contacts/store/StoreCredential.h"

#include "contacts/store/ContactStoreImpl.h"

namespace quennet {

StoreCredential::StoreCredential() = default;

StoreCredential::~StoreCredential() = default;

StoreCredential::StoreCredential(std::shared_ptr<const Unlock> unlock) : m_unlock(std::move(unlock)) {}

bool StoreCredential::matches(const QString &password) const
{
    if (!m_unlock)
        return password.isEmpty();
    store::SealingKey typed;
    return typed.derive(password, m_unlock->kdf) && typed.sameAs(m_unlock->key);
}

} // namespace quennet
