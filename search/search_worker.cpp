// The search worker.
#include "search/search_worker.h"

#include "search/search_page.h"

void StartOrStopSearch() {}
void RestoreSearchPage() {}
unsigned long RunSearch(void*) { return 0; }
void StopSearchAndWait() {}
