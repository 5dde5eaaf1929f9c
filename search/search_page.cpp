// The Search page: the database selector, the five criteria edits, Start/Stop and Reset.
#include "search/search_page.h"

#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "db/database_list.h"

Window SearchPage;

namespace {

constexpr int FirstCriteriaEditId = 1101;
constexpr int LastCriteriaEditId = 1105;

MessageResult OnSearchPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, SearchControls, PageFixedStyle, true);
    FormDatabaseListPath();
    LoadDatabaseList(page);
    return 0;
}

MessageResult OnStaticColour(Window, uint32_t, FirstParameter, SecondParameter) { return StockWhiteBrush; }

MessageResult OnStartStop(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    SearchPage = page;
    StartOrStopSearch();
    return 0;
}

MessageResult OnReset(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    for (int id = FirstCriteriaEditId; id <= LastCriteriaEditId; id++) SetWindowText(GetDlgItem(page, id), u"");
    return 0;
}

const CommandTableEntry searchCommands[] = {
    {1107, OnStartStop},
    {1106, OnReset    },
};

MessageResult OnSearchCommand(Window page, uint32_t, FirstParameter first, SecondParameter second) {
    return DispatchCommand(searchCommands, page, first, second);
}

// clang-format off
const MessageTableEntry searchPageMessages[] = {
    {MessageCreate,       OnSearchPageCreate},
    {MessageStaticColour, OnStaticColour    },
    {MessageCommand,      OnSearchCommand   },
};
// clang-format on

MessageResult SearchPageProcedure(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
    return WalkMessageTable(searchPageMessages, window, message, first, second);
}

} // namespace

int RegisterSearchPageClass(Instance instance) {
    return RegisterPageClass(instance, u"SearchWnd", SearchPageProcedure);
}
