// The search state: one atomic, since the window thread and the worker both change it.
#include "search/search_state.h"

#include <atomic>

namespace {
std::atomic<SearchState> searchState{SearchState::Idle};
} // namespace

SearchState CurrentSearchState() {
    return searchState;
}

bool BeginSearch() {
    SearchState idle = SearchState::Idle;
    return searchState.compare_exchange_strong(idle, SearchState::Running);
}

void RequestSearchStop() {
    SearchState running = SearchState::Running;
    searchState.compare_exchange_strong(running, SearchState::StopRequested);
}

void EndSearch() {
    searchState = SearchState::Idle;
}
