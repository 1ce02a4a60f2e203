#include "contacts/store/LargeBlockAllocator.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace quennet::store {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// From this size on a block is cheaper in whole huge pages, even with most
// of the last one unused: every 4 KiB page touched costs a fault of its own.
constexpr std::size_t kLargeFrom = std::size_t(1) << 20;

std::size_t inHugePages(std::size_t bytes)
{
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

void unmap(std::uintptr_t from, std::uintptr_t to)
{
    if (to > from)
        munmap(reinterpret_cast<void *>(from), to - from);
}

} // namespace

bool isLargeBlock(std::size_t bytes)
{
    return bytes >= kLargeFrom;
}

void *allocateLargeBlock(std::size_t bytes)
{
    if (!isLargeBlock(bytes)) {
        if (void *block = std::malloc(bytes ? bytes : 1))
            return block;
        throw std::bad_alloc();
    }
    if (bytes > SIZE_MAX - 2 * kHugePage)
        throw std::bad_alloc();
    // Huge pages fill only ranges aligned on one: the mapping is a huge page
    // longer, so that such a range fits in it, and the slack goes back.
    const std::size_t size = inHugePages(bytes);
    const std::size_t mapped = size + kHugePage;
    void *raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const std::uintptr_t start = std::uintptr_t(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    unmap(start, aligned);
    unmap(aligned + size, start + mapped);
    void *block = reinterpret_cast<void *>(aligned);
    madvise(block, size, MADV_HUGEPAGE); // a hint; failure is harmless
    return block;
}

void freeLargeBlock(void *block, std::size_t bytes)
{
    if (!block)
        return;
    if (isLargeBlock(bytes))
        munmap(block, inHugePages(bytes));
    else
        std::free(block);
}

} // namespace quennet::store
