// The Search page: the database selector, the five criteria edits, Start/Stop and Reset, and the query.
#include "search/search_page.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "db/database_list.h"
#include "platform/text.h"
#include "search/search_state.h"
#include "search/search_worker.h"
#include "settings/settings.h"

#include <new>

Window SearchPage;
Query SearchQuery;
int ChosenDatabaseIndex;
char16_t QuerySummary[256];
InstalledDatabase SearchedDatabase;

namespace {

constexpr int SummaryCapacity = 256;

// The criteria in capture order: edit, key text of the summary, and the room of its 8-bit criterion.
struct CriterionField {
    int editId;
    int keyTextId;
    int capacity;
};
// clang-format off
constexpr CriterionField criterionFields[CriteriaEditCount] = {
    {PhoneEditId,  TextPhoneKey,  PhoneCriterionSize },
    {NameEditId,   TextNameKey,   NameCriterionSize  },
    {StreetEditId, TextStreetKey, StreetCriterionSize},
    {HouseEditId,  TextHouseKey,  HouseCriterionSize },
    {FlatEditId,   TextFlatKey,   FlatCriterionSize  },
};
// clang-format on

// Appends text to the summary, cut to its buffer.
void AppendToSummary(const char16_t* text) {
    int length = WideLength(QuerySummary);
    CopyText(QuerySummary + length, SummaryCapacity - length, text);
}

MessageResult OnSearchPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, SearchControls, PageFixedStyle, true);
    // An edit takes no more characters than its criterion holds, so the summary (built from the edits'
    // texts) shows exactly what is searched. Each character is one byte in the device code page.
    for (const CriterionField& field : criterionFields)
        SendMessage(GetDlgItem(page, field.editId), EditLimitText,
                    static_cast<FirstParameter>(field.capacity - 1), 0);
    FormDatabaseListPath();
    LoadDatabaseList(page);
    return 0;
}

MessageResult OnStaticColour(Window, uint32_t, FirstParameter, SecondParameter) {
    return StockWhiteBrush;
}

MessageResult OnStartStop(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    SearchPage = page;
    StartOrStopSearch();
    return 0;
}

MessageResult OnReset(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    for (int id = PhoneEditId; id <= FlatEditId; id++)
        SetWindowText(GetDlgItem(page, id), u"");
    return 0;
}

// Escape stops a running search and does nothing else.
MessageResult OnStopKey(Window, int, Window, int) {
    if (CurrentSearchState() == SearchState::Running) RequestSearchStop();
    return 0;
}

// clang-format off
const CommandTableEntry searchCommands[] = {
    {StartStopButtonId, OnStartStop},
    {ResetButtonId,     OnReset    },
    {CommandStopSearch, OnStopKey  },
};
// clang-format on

MessageResult OnSearchCommand(Window page, uint32_t, FirstParameter first, SecondParameter second) {
    return DispatchCommand(searchCommands, page, first, second);
}

// On the window thread, where finding a control does not wait.
void FindSearchRunControls(Window searchPage, SearchRunControls* controls) {
    controls->searchPage = searchPage;
    for (int index = 0; index < DisabledWhileSearchingCount; index++)
        controls->disabledWhileSearching[index] = GetDlgItem(searchPage, FirstDisabledWhileSearching + index);
    controls->startStop = GetDlgItem(searchPage, StartStopButtonId);
    Window resultPage = PageWindows[PageResult];
    controls->status = GetDlgItem(resultPage, StatusTextId);
    controls->progress = GetDlgItem(resultPage, ProgressBarId);
    controls->queryDetails = GetDlgItem(resultPage, QueryDetailsId);
}

// clang-format off
const MessageTableEntry searchPageMessages[] = {
    {MessageCreate,       OnSearchPageCreate},
    {MessageStaticColour, OnStaticColour    },
    {MessageCommand,      OnSearchCommand   },
};
// clang-format on

MessageResult SearchPageProcedure(Window window, uint32_t message, FirstParameter first,
                                  SecondParameter second) {
    return WalkMessageTable(searchPageMessages, window, message, first, second);
}

} // namespace

int RegisterSearchPageClass(Instance instance) {
    return RegisterPageClass(instance, u"SearchWnd", SearchPageProcedure);
}

void StartOrStopSearch() {
    switch (CurrentSearchState()) {
    case SearchState::Idle:
        CaptureQuery();
        break;
    case SearchState::Running:
        RequestSearchStop();
        break;
    case SearchState::StopRequested:
        // A stopped worker that has not ended yet would end the new search with its last step: the
        // button starts a search only once the previous one has ended.
        break;
    }
}

void CaptureQuery() {
    char criteria[CriteriaEditCount][NameCriterionSize];
    QuerySummary[0] = 0;
    for (int index = 0; index < CriteriaEditCount; index++) {
        const CriterionField& field = criterionFields[index];
        char16_t text[256];
        GetWindowText(GetDlgItem(SearchPage, field.editId), text, 256);
        // The edits' limits keep the criteria within their buffers; the cut stays as a bound.
        WideToDevice(text, -1, criteria[index], field.capacity);
        if (text[0] == 0) continue;
        if (QuerySummary[0] != 0) AppendToSummary(u", ");
        AppendToSummary(MessageText(field.keyTextId));
        AppendToSummary(text);
    }
    char16_t summary[SummaryCapacity];
    CopyText(summary, QuerySummary);
    CopyText(QuerySummary, MessageText(TextQuery));
    AppendToSummary(summary);

    // Given-flags, and the phone pattern flag by the 8-bit digit test (an empty phone keeps the old flag).
    SetQueryCriteria(&SearchQuery, criteria[0], criteria[1], criteria[2], criteria[3], criteria[4]);

    if (QueryIsEmpty(&SearchQuery)) {
        ShowMessage(SearchPage, TextError, MessageText(TextNoCriteria), {});
        return;
    }
    ChosenDatabaseIndex = static_cast<int>(
        SendMessage(GetDlgItem(SearchPage, DatabaseSelectorId), ComboBoxGetCurrentSelection, 0, 0));
    const InstalledDatabase* chosen = DatabaseOfSelectorItem(ChosenDatabaseIndex);
    if (!chosen) {
        // There is no entry to search: say so instead of reading one that does not exist.
        ShowMessage(SearchPage, TextError, MessageText(TextNoDatabase), {});
        return;
    }
    // The worker reads its inputs long after Start, while Check or Install may move the list's entries.
    SearchInputs* inputs = new (std::nothrow) SearchInputs;
    if (!inputs) return;
    FindSearchRunControls(SearchPage, &inputs->controls);
    inputs->query = SearchQuery;
    inputs->database = *chosen;
    CopyText(inputs->summary, QuerySummary);
    SaveLastDatabase(ChosenDatabaseIndex, SearchPage);
    SelectPage(PageResult);
    // (A press served inside a box shown since may have begun a search already: one runs at a time.)
    if (!BeginSearch()) {
        delete inputs;
        return;
    }
    SearchedDatabase = inputs->database;
    ThreadHandle worker = CreateThread(RunSearch, inputs);
    if (!worker) {
        delete inputs;
        EndSearch();
        return;
    }
    SetThreadPriority(worker, ThreadPriorityNormal);
    CloseHandle(worker);
}

void RestoreSearchPage(const SearchRunControls& controls) {
    for (Window control : controls.disabledWhileSearching)
        EnableWindow(control, true);
    SetWindowText(controls.startStop, MessageText(TextStart));
}
