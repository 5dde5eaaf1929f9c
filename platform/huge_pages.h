// Large buffers filled once and read at once (a directory's inflated bytes): the host may back them with
// huge pages, one page fault per 2 MiB instead of per 4 KiB.
#pragma once

#include <cstddef>

// A hint only; nothing changes when the host has no huge pages.
void PreferHugePages(void* start, size_t bytes);
