#include "contacts/store/KdfCostTesting.h"

namespace quennet::store {

KdfCost writtenKdfCost()
{
    return kTestKdfCost;
}

} // namespace quennet::store
