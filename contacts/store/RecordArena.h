#pragma once

#include <QtGlobal>

#include <vector>

namespace quennet::store {

// Bump allocator for the records read at open: a few large blocks instead of
// one heap block per record. Large blocks ask for transparent huge pages, so
// a 100,000-record store costs a handful of page faults rather than
// thousands. Memory is given back only all at once (release).
class RecordArena {
public:
    RecordArena() = default;
    ~RecordArena();
    RecordArena(const RecordArena &) = delete;
    RecordArena &operator=(const RecordArena &) = delete;

    char *allocate(qsizetype bytes);
    // Makes room for at least bytes in one block, when the memory is there:
    // one block of huge pages for what would take several, the first of
    // them in small pages.
    void reserve(qsizetype bytes);
    // Hands back the last bytes of the latest allocation, which the caller
    // asked for at their most and used less of.
    void giveBack(qsizetype bytes) { m_used -= bytes; }
    // Takes over other's blocks: what was allocated there lives as long as
    // this arena. other is left empty.
    void adopt(RecordArena &other);
    void release();
    // Hands the pages past the latest allocation back to the system: a
    // large block is filled in huge pages, and the last of them is mostly
    // untouched once the records are read.
    void trim();

private:
    struct Block {
        char *data;
        qsizetype size;
    };
    bool addBlock(qsizetype size);

    std::vector<Block> m_blocks;
    qsizetype m_used = 0; // in the last block
};

} // namespace quennet::store
