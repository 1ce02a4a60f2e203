#include "contacts/store/LargeBlockAllocator.h"

#include <cstdlib>
#include <sys/mman.h>

namespace quennet::store {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

bool isLarge(std::size_t bytes)
{
    return bytes >= kHugePage;
}

} // namespace

void *allocateLargeBlock(std::size_t bytes)
{
    if (!isLarge(bytes)) {
        if (void *block = std::malloc(bytes ? bytes : 1))
            return block;
        throw std::bad_alloc();
    }
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    madvise(block, bytes, MADV_HUGEPAGE); // a hint; failure is harmless
    return block;
}

void freeLargeBlock(void *block, std::size_t bytes)
{
    if (!block)
        return;
    if (isLarge(bytes))
        munmap(block, bytes);
    else
        std::free(block);
}

} // namespace quennet::store
