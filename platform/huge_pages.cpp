// The huge-page hint over madvise.
#include "platform/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>

void PreferHugePages(void* start, size_t bytes) {
    constexpr uintptr_t Page = 4096;
    uintptr_t first = (reinterpret_cast<uintptr_t>(start) + Page - 1) & ~(Page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(Page - 1);
    if (first < end) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}
