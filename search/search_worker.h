// The search worker: scans the chosen database on its own thread and fills the Result page.
#pragma once

// Thread body; its argument is the SearchInputs made at Start, which it frees when it ends.
unsigned long RunSearch(void* argument);
// Asks a running search to stop and waits for it, serving its window calls meanwhile (shutdown).
void StopSearchAndWait();
// Progress is refreshed at the first record, every 1000th record, and the first record after every
// 50 rows appended since the last refresh.
bool ProgressRefreshDue(int scanned, int refreshCounter);
