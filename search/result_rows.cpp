// The result rows' arena: blocks of two mebibytes filled with records one after another, so that a match
// costs a few dozen bytes and no allocation of its own, and a new search frees the lot at once.
#include "search/result_rows.h"

#include "platform/text.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <vector>

namespace {

// Blocks of 2 MiB, aligned to it: the host may back each with one huge page (a page fault per block
// instead of one per 4 KiB, which cost more than the rows themselves on a virtual machine).
constexpr size_t ArenaBlockBytes = 2 << 20;
// The longest record: five length bytes and every text at its longest.
constexpr size_t LongestRecordBytes = ResultColumnCount + ResultTextLimits[0] + ResultTextLimits[1] +
                                      ResultTextLimits[2] + ResultTextLimits[3] + ResultTextLimits[4];
static_assert(LongestRecordBytes <= ArenaBlockBytes, "a record fits a block");

// The arena (written by the search worker only; the window thread reads records through the rows).
struct ResultArena {
    std::vector<unsigned char*> blocks; // every block, the last one being filled
    size_t used = 0;                    // bytes used in the last block
};
ResultArena arena;

// Copies at most limit bytes of a terminated text behind its length byte. Returns the bytes written.
size_t PutText(unsigned char* destination, const char* text, int limit) {
    size_t length = text ? strnlen(text, size_t(limit)) : 0;
    destination[0] = static_cast<unsigned char>(length);
    std::memcpy(destination + 1, text, length);
    return length + 1;
}

} // namespace

const unsigned char* AppendResultRecord(const char* phoneText, const DatabaseRecord* record) {
    if (arena.blocks.empty() || ArenaBlockBytes - arena.used < LongestRecordBytes) {
        auto* block = static_cast<unsigned char*>(std::aligned_alloc(ArenaBlockBytes, ArenaBlockBytes));
        if (!block) return nullptr;
        madvise(block, ArenaBlockBytes, MADV_HUGEPAGE);
        try {
            arena.blocks.push_back(block);
        } catch (const std::bad_alloc&) {
            std::free(block);
            return nullptr;
        }
        arena.used = 0;
    }
    unsigned char* start = arena.blocks.back() + arena.used;
    const char* texts[ResultColumnCount] = {phoneText, record->name, record->street, record->house,
                                            record->flat};
    size_t size = 0;
    for (int column = 0; column < ResultColumnCount; column++)
        size += PutText(start + size, texts[column], ResultTextLimits[column]);
    arena.used += size;
    return start;
}

ResultText ResultRecordText(const unsigned char* record, int column) {
    if (!record || column < 0 || column >= ResultColumnCount) return {"", 0};
    for (int skipped = 0; skipped < column; skipped++)
        record += 1 + record[0];
    return {reinterpret_cast<const char*>(record + 1), record[0]};
}

int ResultRecordWide(const unsigned char* record, int column, char16_t* output, int capacity) {
    ResultText text = ResultRecordText(record, column);
    return DeviceToWide(text.bytes, text.length, output, capacity);
}

void FreeResultRecords() {
    for (unsigned char* block : arena.blocks)
        std::free(block);
    arena.blocks.clear();
    arena.blocks.shrink_to_fit();
    arena.used = 0;
}

size_t ResultRecordBytes() {
    return arena.blocks.size() * ArenaBlockBytes;
}
