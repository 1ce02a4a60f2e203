#include "ui/Memory.h"

#include <malloc.h>

namespace quennet::ui {

void trimMemory()
{
    // Returns free memory at the top of the heap and whole free pages inside
    // it; nothing that is still in use is touched.
    malloc_trim(0);
}

} // namespace quennet::ui
