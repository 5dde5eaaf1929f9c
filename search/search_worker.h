// The search worker: scans the chosen database on its own thread and fills the Result page.
#pragma once

// Thread body; its argument is not used.
unsigned long RunSearch(void* argument);
// Asks a running search to stop and waits for it, serving its window calls meanwhile (shutdown).
void StopSearchAndWait();
