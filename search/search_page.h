// The Search page and the query it captures for the search worker.
#pragma once

#include "platform/windows.h"

extern Window SearchPage; // the page whose Start/Stop button was pressed

// Start/Stop: starts a search when none runs, otherwise asks the running one to stop.
void StartOrStopSearch();
// Enables controls 1100 to 1106 and gives 1107 the Start text (message text 915).
void RestoreSearchPage();
