// Whether a search runs and whether it has been asked to stop: one state that both threads read. The
// window thread begins a search and asks it to stop; the worker ends it. Each change has one function.
#pragma once

enum class SearchState {
    Idle,          // no worker runs: Start begins a search
    Running,       // a worker scans: Start/Stop asks it to stop
    StopRequested, // the worker ends after the record in hand; Start begins nothing until it has
};

SearchState CurrentSearchState();
// Idle to Running, just before the worker starts. False, changing nothing, when the state is not Idle.
bool BeginSearch();
// Running to StopRequested; nothing in any other state.
void RequestSearchStop();
// To Idle: the worker's last step, whatever ended the run (also when the worker could not start).
void EndSearch();
