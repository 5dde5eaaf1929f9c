// The search worker: scans the chosen database on its own thread, appends a row per match, shows
// progress and counts, and hands the Search page back at the end. It reads what Start handed it
// (SearchInputs, with the controls it touches) and what start-up set once (the result list, the
// orientation, the message texts), and touches controls only through window calls, which the platform
// carries out on the user-interface thread.
#include "search/search_worker.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/program.h"
#include "db/database_reader.h"
#include "platform/format.h"
#include "platform/memory_budget.h"
#include "platform/text.h"
#include "search/directory_cache.h"
#include "search/result_page.h"
#include "search/scan.h"
#include "search/search_page.h"
#include "search/search_state.h"

#include <memory>
#include <new>

namespace {

constexpr int StatusWidening = 140;     // the final counts take the hidden progress bar's place too
constexpr int ImmediateRedrawRows = 10; // the first rows show as they are found

// One run's state (the worker runs at most once at a time).
struct SearchRun {
    int refreshCounter = 0; // set to 1 at every refresh, increased by 1 for every row appended
    uint64_t budget = 0;    // bytes the rows and the cached directory may take together
    bool cut = false;       // a match was left out: no memory for it, or the budget met
    ScanCounts seen;        // the counts as last told (the final ones when memory ran out mid-scan)
    int phoneDigits = 0;    // from the header: the phone text's zero padding
    const SearchRunControls* controls = nullptr; // the status text, the bar and the Start/Stop button
};

const ControlRectangle& StatusRectangle() {
    for (const ControlDescription& control : ResultControls)
        if (control.id == StatusTextId) return control.rectangles[OrientationIndex];
    return ResultControls[0].rectangles[OrientationIndex];
}

void OnRecord(void* context, const ScanCounts* counts) {
    SearchRun& run = *static_cast<SearchRun*>(context);
    run.seen = *counts;
    if (!ProgressRefreshDue(counts->scanned, run.refreshCounter)) return;
    run.refreshCounter = 1;
    char16_t text[32];
    FormatText(text, u"%i/%i", counts->results, counts->scanned);
    SetWindowText(run.controls->status, text);
    UpdateWindow(run.controls->status);
    SendMessage(run.controls->progress, ProgressSetPosition, static_cast<FirstParameter>(counts->scanned), 0);
    UpdateWindow(run.controls->progress);
}

int OnMatch(void* context, const DatabaseRecord* record, const ScanCounts* counts) {
    SearchRun& run = *static_cast<SearchRun*>(context);
    char16_t phoneText[PhoneTextCapacity];
    char phoneBytes[PhoneTextCapacity];
    FormatPhoneText(record->phone, run.phoneDigits, phoneText, PhoneTextCapacity);
    WideToDevice(phoneText, -1, phoneBytes, PhoneTextCapacity);
    uint64_t rowBytes = uint64_t(counts->results) * ResultRowOverheadBytes;
    const unsigned char* stored = ResultRecordBytes() + rowBytes + CachedDirectoryBytes() < run.budget
                                      ? AppendResultRecord(phoneBytes, record)
                                      : nullptr;
    if (!stored) {
        run.cut = true;
        return 1;
    }

    // One call per row: the row, with every cell's text on demand, goes into the list's row store.
    ListViewItem row{};
    row.mask = ListViewItemText | ListViewItemParameter | ListViewItemState | ListViewItemEveryTextOnDemand;
    row.item = counts->results;
    row.text = TextCallback;
    row.parameter = reinterpret_cast<SecondParameter>(stored);
    int index = static_cast<int>(
        SendMessage(ResultList, ListViewInsertItem, 0, reinterpret_cast<SecondParameter>(&row)));
    // The list refused the row (no memory): the scan cannot go on; the end steps still run.
    if (index < 0) {
        run.cut = true;
        return 1;
    }
    run.refreshCounter++;
    run.seen = {counts->scanned, counts->results + 1};
    if (counts->results + 1 <= ImmediateRedrawRows) UpdateWindow(ResultList);
    return 0;
}

// Before the scan: the status text back at its place (the last search widened it), the progress bar shown
// from 0 to the header's record count, and the Stop caption.
void ShowScanStarting(SearchRun& run, const unsigned char header[DatabaseHeaderSize]) {
    const ControlRectangle& statusRectangle = StatusRectangle();
    MoveWindow(run.controls->status, statusRectangle.x, statusRectangle.y, statusRectangle.width,
               statusRectangle.height, true);
    SendMessage(run.controls->progress, ProgressSetRange32, 0, HeaderRecordCount(header));
    SendMessage(run.controls->progress, ProgressSetPosition, 0, 0);
    ShowWindow(run.controls->progress, ShowShow);
    SetWindowText(run.controls->startStop, MessageText(TextStop));
}

// After the page is restored and the file closed: the progress bar hidden, the final counts shown in the
// status text, widened over the bar's place.
void ShowScanEnded(SearchRun& run, const ScanCounts& counts) {
    ShowWindow(run.controls->progress, ShowHide);
    SendMessage(run.controls->progress, ProgressSetPosition, 0, 0);
    UpdateWindow(run.controls->progress);
    UpdateWindow(ResultList);
    const ControlRectangle& statusRectangle = StatusRectangle();
    MoveWindow(run.controls->status, statusRectangle.x, statusRectangle.y,
               statusRectangle.width + StatusWidening, statusRectangle.height, false);
    char16_t text[128];
    FormatText(text, MessageText(run.cut ? TextResultsCut : TextScanned), counts.scanned, counts.results);
    SetWindowText(run.controls->status, text);
    UpdateWindow(run.controls->status);
}

// The box that follows the final counts of a read that did not end sound, by the reader's end code
// (DatabaseReadEndCode); 0: none.
constexpr int ReadEndBoxTexts[] = {
    0,                      // sound
    0,                      // not looked at: the user stopped, or the rows met the memory budget
    TextDatabaseDamaged,    // a CRC-32 or length was wrong
    TextDatabaseDamaged,    // compressed data that cannot be inflated
    TextDatabaseEndedEarly, // no end mark
    TextDatabaseChanged,    // changed while it was read
    TextDatabaseEndedEarly, // a read error: the records stop there
};
static_assert(sizeof ReadEndBoxTexts / sizeof ReadEndBoxTexts[0] == DatabaseReadUnreadable + 1);

bool ShouldStop(void*) {
    return CurrentSearchState() == SearchState::StopRequested;
}

// Every way out of a run leaves the Search page usable and the search idle.
void EndRun(const SearchRunControls& controls) {
    RestoreSearchPage(controls);
    EndSearch();
}

uint64_t resultMemoryLimit = 0; // LimitResultMemory's bytes; 0 for the host's budget

} // namespace

void LimitResultMemory(uint64_t bytes) {
    resultMemoryLimit = bytes;
}

bool ProgressRefreshDue(int scanned, int refreshCounter) {
    return scanned % 1000 == 0 || refreshCounter % 51 == 0;
}

unsigned long RunSearch(void* argument) {
    std::unique_ptr<SearchInputs> inputs(static_cast<SearchInputs*>(argument));
    // The file is checked, opened and its header read before the first window call: this file work
    // overlaps the window thread's drawing of the Result page instead of waiting behind it. The windows
    // still see the same steps in the same order, whether the file opens or not.
    char16_t path[260];
    unsigned char header[DatabaseHeaderSize];
    bool compressed = false;
    bool valid =
        PathToOpen(inputs->database, path) == 0 && ValidateDatabaseFile(path, header, &compressed) == 0;
    DatabaseReader reader;
    bool opened = valid && OpenDatabaseReader(&reader, path, compressed) == 0;
    // The last directory's inflated bytes are dropped before another file is read, so its memory is free
    // for this run; the same file unchanged is read from them.
    uint64_t budget = resultMemoryLimit ? resultMemoryLimit : MemoryBudgetOf(HostMemoryLimits());
    if (opened) UseOrKeepDirectory(&reader, budget);
    else DropDirectoryCache();
    if (opened) ReadDatabaseHeader(&reader, header);

    const SearchRunControls& controls = inputs->controls;
    SearchRun run;
    run.controls = &controls;
    for (Window control : controls.disabledWhileSearching)
        EnableWindow(control, false);
    ClearResultList();
    uint32_t extendedStyle = static_cast<uint32_t>(SendMessage(ResultList, ListViewGetExtendedStyle, 0, 0));
    SendMessage(ResultList, ListViewSetExtendedStyle, 0, extendedStyle | ListViewExtendedFullRowSelect);

    if (!valid) {
        EndRun(controls);
        return 0;
    }
    if (!opened) {
        ShowMessage(controls.searchPage, TextInfo, MessageText(TextBadDatabase), {path});
        EndRun(controls);
        return 0;
    }
    SetWindowText(controls.queryDetails, inputs->summary);
    run.phoneDigits = HeaderPhoneDigits(header);
    ShowScanStarting(run, header);
    run.budget = budget;

    ScanCallbacks callbacks;
    callbacks.context = &run;
    callbacks.onRecord = OnRecord;
    callbacks.onMatch = OnMatch;
    callbacks.shouldStop = ShouldStop;
    ScanCounts counts;
    bool outOfMemory = false;
    int scanCode = 3;
    try {
        scanCode = ScanDatabase(&reader, &inputs->query, &callbacks, &counts);
    } catch (const std::bad_alloc&) {
        // Memory ran out beside the rows (a window call's own): the rows so far stay, the end steps run.
        run.cut = true;
        outOfMemory = true;
        counts = run.seen;
    }
    // A scan that met the end of the data learns whether those data were whole and sound, while the file
    // is still open: a compressed file is read on to its last trailer, and the file compared with what it
    // was at the start.
    int readEnd = DatabaseReadNotChecked;
    if ((scanCode == 0 || scanCode == 1) && FinishDatabaseRead(&reader, ShouldStop, nullptr)) {
        FileIdentity pathNow;
        IdentityOfPath(path, &pathNow);
        readEnd = DatabaseReadEnd(&reader, &pathNow);
    }
    // The inflated bytes are kept for the next search only when they were read whole and sound.
    EndDirectoryRun(&reader, readEnd == DatabaseReadSound ? scanCode : 1, run.cut,
                    ResultRecordBytes() + uint64_t(counts.results) * ResultRowOverheadBytes, budget);

    RestoreSearchPage(controls);
    CloseDatabaseReader(&reader);
    ShowScanEnded(run, counts);
    // The counts stay as every search ends; the box then says what they are worth.
    if (ReadEndBoxTexts[readEnd] != 0)
        ShowMessage(PageWindows[PageResult], TextError, MessageText(ReadEndBoxTexts[readEnd]), {path});
    EndSearch();
    if (outOfMemory) ShowOutOfMemoryBox(controls.searchPage);
    return 0;
}

void StopSearchAndWait() {
    if (CurrentSearchState() == SearchState::Idle) return;
    RequestSearchStop();
    WaitForThreadsServingMessages();
}
