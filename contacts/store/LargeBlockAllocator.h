#pragma once

#include <cstddef>
#include <new>

namespace quennet::store {

// Memory for a table that grows to many megabytes (a record per contact, a
// duplicate index): blocks of 1 MiB and more come straight from the system
// in whole, aligned huge pages, so filling them costs a page fault per 2 MiB
// instead of one per 4 KiB. Smaller ones come from malloc.
bool isLargeBlock(std::size_t bytes);
void *allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void *block, std::size_t bytes);

template <typename T> struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U> LargeBlockAllocator(const LargeBlockAllocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T *>(allocateLargeBlock(n * sizeof(T)));
    }
    void deallocate(T *block, std::size_t n) noexcept { freeLargeBlock(block, n * sizeof(T)); }

    template <typename U> bool operator==(const LargeBlockAllocator<U> &) const noexcept { return true; }
    template <typename U> bool operator!=(const LargeBlockAllocator<U> &) const noexcept { return false; }
};

} // namespace quennet::store
