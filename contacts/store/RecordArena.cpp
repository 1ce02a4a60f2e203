#include "contacts/store/RecordArena.h"

#include "contacts/store/LargeBlockAllocator.h"

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

namespace quennet::store {

namespace {

constexpr qsizetype kFirstBlock = qsizetype(256) << 10;
constexpr qsizetype kLargestBlock = qsizetype(8) << 20;
constexpr qsizetype kLargestReserve = qsizetype(1) << 30;

} // namespace

RecordArena::~RecordArena()
{
    release();
}

bool RecordArena::addBlock(qsizetype size)
{
    char *data = nullptr;
    try {
        data = static_cast<char *>(allocateLargeBlock(size_t(size)));
        m_blocks.push_back({data, size});
    } catch (const std::bad_alloc &) {
        freeLargeBlock(data, size_t(size));
        return false;
    }
    m_used = 0;
    return true;
}

char *RecordArena::allocate(qsizetype bytes)
{
    if (m_blocks.empty() || m_blocks.back().size - m_used < bytes) {
        const qsizetype grown =
            m_blocks.empty() ? kFirstBlock : std::min(m_blocks.back().size * 2, kLargestBlock);
        if (!addBlock(std::max(grown, bytes)))
            return nullptr;
    }
    char *out = m_blocks.back().data + m_used;
    m_used += bytes;
    return out;
}

void RecordArena::reserve(qsizetype bytes)
{
    if (!m_blocks.empty() && m_blocks.back().size - m_used >= bytes)
        return;
    // A hint: without the room, the blocks grow as they are filled.
    addBlock(std::clamp(bytes, kFirstBlock, kLargestReserve));
}

void RecordArena::adopt(RecordArena &other)
{
    // Before this arena's last block, whose free tail is still handed out.
    m_blocks.insert(m_blocks.empty() ? m_blocks.end() : m_blocks.end() - 1, other.m_blocks.begin(),
                    other.m_blocks.end());
    if (m_blocks.size() == other.m_blocks.size())
        m_used = other.m_used;
    other.m_blocks.clear();
    other.m_used = 0;
}

void RecordArena::trim()
{
    // Only a block of huge pages: it has its pages to itself (a smaller
    // block may share its last page with the heap's own data).
    if (m_blocks.empty() || !isLargeBlock(size_t(m_blocks.back().size)))
        return;
    const Block &last = m_blocks.back();
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr from = (quintptr(last.data) + quintptr(m_used) + page - 1) & ~(page - 1);
    const quintptr end = (quintptr(last.data) + quintptr(last.size)) & ~(page - 1);
    if (from < end)
        madvise(reinterpret_cast<void *>(from), size_t(end - from), MADV_DONTNEED); // a hint too
}

void RecordArena::release()
{
    for (const Block &block : m_blocks)
        freeLargeBlock(block.data, size_t(block.size));
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_used = 0;
}

} // namespace quennet::store
