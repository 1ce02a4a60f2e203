#pragma once

#include "contacts/store/Sealing.h"

namespace quennet::store {

// The smallest cost Argon2id allows (one pass over 8 KiB): what the tests
// and the copies of the programs they run write. Release builds refuse it.
constexpr KdfCost kTestKdfCost{1, qint64(8) << 10};

} // namespace quennet::store
