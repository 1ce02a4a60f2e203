#include "contacts/store/Sealing.h"

namespace quennet::store {

KdfCost writtenKdfCost()
{
    return kReleaseKdfCost;
}

} // namespace quennet::store
