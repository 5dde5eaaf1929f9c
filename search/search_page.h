// The Search page and the query it captures for the search worker.
#pragma once

#include "app/identifiers.h"
#include "db/database_list.h"
#include "platform/windows.h"
#include "search/scan.h"

constexpr int DisabledWhileSearchingCount = LastDisabledWhileSearching - FirstDisabledWhileSearching + 1;

// The controls a search touches, found on the window thread at Start: from the worker, finding a control
// by its id would wait for the window thread, every time.
struct SearchRunControls {
    Window searchPage;                                          // the page whose Start was pressed
    Window disabledWhileSearching[DisabledWhileSearchingCount]; // its controls 1100 to 1106, in id order
    Window startStop;                                           // its Start/Stop button
    Window status;                                              // the Result page's status text
    Window progress;                                            // the Result page's progress bar
    Window queryDetails;                                        // the Result page's query summary
};

// What one search works on, copied when Start is pressed and handed to the worker, which owns it from
// then on: nothing the window thread changes later (the next capture, Install or Check moving the
// installed-database list's entries) reaches a running search.
struct SearchInputs {
    SearchRunControls controls; // what the worker disables, fills and restores
    Query query;                // the captured criteria
    InstalledDatabase database; // the chosen entry (path and title) as it was at Start
    char16_t summary[256];      // the query summary the worker shows
};

// The window thread's own state of the Search page; the worker reads none of it.
extern Window SearchPage;          // the page whose Start/Stop button was pressed
extern Query SearchQuery;          // the criteria of the last capture
extern int ChosenDatabaseIndex;    // index in the installed-database list of the selector's selection
extern char16_t QuerySummary[256]; // "Query: " and the given criteria, shown on the Result page
extern InstalledDatabase SearchedDatabase; // the entry of the search last started: its rows are shown

// Start/Stop: starts a search when none runs, asks a running one to stop, and does nothing while a stopped
// one has not ended yet.
void StartOrStopSearch();
// Captures the criteria, builds the summary, refuses an empty query, records "Last db", brings the
// Result page forward and starts the worker with its own SearchInputs.
void CaptureQuery();
// Enables controls 1100 to 1106 of the page and gives 1107 the Start text (message text 915).
void RestoreSearchPage(const SearchRunControls& controls);
