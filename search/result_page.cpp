// The Result page: the result list's columns, texts on demand, the details box, sorting by a clicked
// column, and the records the rows hold (result_rows.h).
#include "search/result_page.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "platform/text.h"
#include "settings/settings.h"

Window ResultList;
int ColumnWidths[ResultFieldCount] = {55, 100, 110, 40, 40};

namespace {

static_assert(ResultFieldCount == CriteriaEditCount, "the labels of the criteria head the columns, one each");

// The name and the street are the long texts: theirs is the room a larger list has.
constexpr int ColumnFormats[ResultFieldCount] = {0, ListViewColumnGrows, ListViewColumnGrows, 0, 0};

MessageResult OnResultPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, ResultControls, ResultPageFixedStyle, true);
    ResultList = GetDlgItem(page, ResultListId);
    LoadColumnWidths();
    Window searchPage = PageWindows[PageSearch];
    for (int column = 0; column < ResultFieldCount; column++) {
        char16_t heading[226];
        GetWindowText(GetDlgItem(searchPage, PhoneLabelId + column), heading, HeadingCapacities[column]);
        ListViewColumn description{};
        description.mask =
            ListViewColumnFormat | ListViewColumnWidth | ListViewColumnText | ListViewColumnSubItem;
        description.format = ListViewColumnLeft | ColumnFormats[column];
        description.width = ColumnWidths[column];
        description.text = heading;
        description.subItem = column;
        if (SendMessage(ResultList, ListViewInsertColumn, static_cast<FirstParameter>(column),
                        reinterpret_cast<SecondParameter>(&description)) == -1)
            return -1;
    }
    return 0;
}

void ShowDetails() {
    int focused = static_cast<int>(
        SendMessage(ResultList, ListViewGetNextItem, static_cast<FirstParameter>(-1), ListViewNextFocused));
    ListViewItem row{};
    row.mask = ListViewItemParameter;
    row.item = focused;
    SendMessage(ResultList, ListViewGetItem, 0, reinterpret_cast<SecondParameter>(&row));
    const auto* record = reinterpret_cast<const unsigned char*>(row.parameter);
    if (!record) return;
    char16_t texts[ResultFieldCount][ResultFieldCapacities[1]];
    for (int column = 0; column < ResultFieldCount; column++)
        ResultRecordWide(record, column, texts[column], FieldCapacities[column]);
    ShowMessage(ResultList, TextInfo, u"%s\r\n%s\r\n\r\n%s %s, %s",
                {texts[0], texts[1], texts[2], texts[3], texts[4]});
}

MessageResult OnResultListNotify(Window, uint32_t, FirstParameter, SecondParameter second) {
    NotifyHeader* header = reinterpret_cast<NotifyHeader*>(second);
    if (!header || header->id != ResultListId) return 0;
    switch (header->code) {
    case ListViewGetDisplayInfo: {
        // The record's bytes become wide text in the list's own buffer, only for this one showing.
        auto* info = reinterpret_cast<ListViewDisplayInfo*>(second);
        const auto* record = reinterpret_cast<const unsigned char*>(info->item.parameter);
        int column = info->item.subItem;
        if (record && column >= 0 && column < ResultFieldCount && info->item.text &&
            info->item.text != TextCallback && info->item.textMax > 0)
            ResultRecordWide(record, column, info->item.text, info->item.textMax);
        break;
    }
    case ListViewItemActivate:
        ShowDetails();
        break;
    case ListViewColumnClick: {
        auto* notification = reinterpret_cast<ListViewNotification*>(second);
        // By CompareRows, with the first 40 characters of each row's text as keys ahead of it (the same
        // order), on a thread of the list's own: the rows come back sorted while the window stays live.
        ListViewSortByKey sort{RowSortKey, CompareRows, static_cast<SecondParameter>(notification->subItem)};
        if (SendMessage(header->from, ListViewSortItemsByKey, 0, reinterpret_cast<SecondParameter>(&sort)) ==
            -1) {
            int rows = static_cast<int>(SendMessage(header->from, ListViewGetItemCount, 0, 0));
            ShowMessage(header->from, TextError, MessageText(TextSortNoMemory), {rows});
        }
        break;
    }
    default:
        break;
    }
    return 0;
}

const MessageTableEntry resultPageMessages[] = {
    {MessageCreate, OnResultPageCreate},
    {MessageNotify, OnResultListNotify},
};

MessageResult ResultPageProcedure(Window window, uint32_t message, FirstParameter first,
                                  SecondParameter second) {
    return WalkMessageTable(resultPageMessages, window, message, first, second);
}

} // namespace

int RegisterResultPageClass(Instance instance) {
    return RegisterPageClass(instance, u"ResultWnd", ResultPageProcedure);
}

int CompareRows(SecondParameter recordA, SecondParameter recordB, SecondParameter column) {
    const auto* first = reinterpret_cast<const unsigned char*>(recordA);
    const auto* second = reinterpret_cast<const unsigned char*>(recordB);
    if (!first || !second || column < 0 || column >= ResultFieldCount) return 0;
    // On the bytes as stored: the order of their wide forms, without converting them for every comparison.
    ResultText left = ResultRecordText(first, int(column));
    ResultText right = ResultRecordText(second, int(column));
    return CompareDeviceLocale(left.bytes, left.length, right.bytes, right.length);
}

ListViewSortKey RowSortKey(SecondParameter record, SecondParameter column) {
    unsigned char key[8 * ListViewSortKeyWords] = {};
    const auto* stored = reinterpret_cast<const unsigned char*>(record);
    if (stored && column >= 0 && column < ResultFieldCount) {
        ResultText text = ResultRecordText(stored, int(column));
        DeviceSortKey(text.bytes, text.length, key, int(sizeof key));
    }
    ListViewSortKey packed{};
    for (int index = 0; index < int(sizeof key); index++)
        packed.words[index / 8] = packed.words[index / 8] << 8 | key[index];
    return packed;
}

void FreeResultItems() {
    // Rows left holding freed records would be painted from freed memory by any paint still to come (the
    // list outlives the shutdown sequence), so the rows go first, as when the worker empties the list.
    if (ResultList) ClearResultList();
}

void ClearResultList() {
    SendMessage(ResultList, ListViewDeleteAllItems, 0, 0);
    FreeResultRecords();
}
