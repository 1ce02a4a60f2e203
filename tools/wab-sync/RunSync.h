#pragma once

#include "tools/wab/Arguments.h"

namespace wab {

// "wab sync" itself: the store opened, the server asked, the report printed.
// Returns the command's exit code.
int runSync(const Arguments &args);

} // namespace wab
