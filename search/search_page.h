// The Search page and the query it captures for the search worker.
#pragma once

#include "db/database_list.h"
#include "platform/windows.h"
#include "search/scan.h"

#include <atomic>

// What one search works on, copied when Start is pressed and handed to the worker, which owns it from
// then on: Install or Check during the search change the installed-database list, not the search.
struct SearchInputs {
    InstalledDatabase database; // the chosen entry (path and title) as it was at Start
    char16_t summary[256];      // the query summary the worker shows
};

extern Window SearchPage;          // the page whose Start/Stop button was pressed
extern Query SearchQuery;          // written by CaptureQuery before the worker starts, then only read
extern int ChosenDatabaseIndex;    // index in the installed-database list of the selector's selection
extern char16_t QuerySummary[256]; // "Query: " and the given criteria, shown on the Result page
// 1 while no search runs, 0 while one runs; a stop request sets it to 1. Both threads write it, so it is
// an atomic with the same values and meaning.
extern std::atomic<int> StopFlag;
// True from the worker's start to its last step, so that a new search waits for the old one to end.
extern std::atomic<bool> SearchRunning;

// Start/Stop: starts a search when none runs, otherwise asks the running one to stop.
void StartOrStopSearch();
// Captures the criteria, builds the summary, refuses an empty query, records "Last db", brings the
// Result page forward and starts the worker with its own SearchInputs.
void CaptureQuery();
// Enables controls 1100 to 1106 and gives 1107 the Start text (message text 915).
void RestoreSearchPage();
