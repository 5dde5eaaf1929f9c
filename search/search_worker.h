// The search worker: scans the chosen database on its own thread and fills the Result page.
#pragma once

#include <cstdint>

// Thread body; its argument is the SearchInputs made at Start, which it frees when it ends.
unsigned long RunSearch(void* argument);
// The most bytes a search's rows may take; 0 (the default) for half of what the host has room for
// (memory_budget.h). A search that meets it ends with the counts so far and says the results were cut.
void LimitResultMemory(uint64_t bytes);
// Asks a running search to stop and waits for it, serving its window calls meanwhile (shutdown).
void StopSearchAndWait();
// Progress is refreshed at the first record, every 1000th record, and the first record after every
// 50 rows appended since the last refresh.
bool ProgressRefreshDue(int scanned, int refreshCounter);
