// The Result page: the result list's columns, texts on demand, the details box, sorting by a clicked
// column, and the result items the rows own.
#include "search/result_page.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <vector>

Window ResultList;
int ColumnWidths[ResultFieldCount] = {55, 100, 110, 40, 40};

namespace {

static_assert(ResultFieldCount == CriteriaEditCount, "the labels of the criteria head the columns, one each");

MessageResult OnResultPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, ResultControls, ResultPageFixedStyle, true);
    ResultList = GetDlgItem(page, ResultListId);
    LoadColumnWidths();
    Window searchPage = PageWindows[PageSearch];
    for (int column = 0; column < ResultFieldCount; column++) {
        char16_t heading[226];
        GetWindowText(GetDlgItem(searchPage, PhoneLabelId + column), heading, FieldCapacities[column]);
        ListViewColumn description{};
        description.mask =
            ListViewColumnFormat | ListViewColumnWidth | ListViewColumnText | ListViewColumnSubItem;
        description.format = ListViewColumnLeft;
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
    const ResultItem* item = reinterpret_cast<const ResultItem*>(row.parameter);
    if (!item) return;
    ShowMessage(ResultList, TextInfo, u"%s\r\n%s\r\n\r\n%s %s, %s",
                {item->phone, item->name, item->street, item->house, item->flat});
}

MessageResult OnResultListNotify(Window, uint32_t, FirstParameter, SecondParameter second) {
    NotifyHeader* header = reinterpret_cast<NotifyHeader*>(second);
    if (!header || header->id != ResultListId) return 0;
    switch (header->code) {
    case ListViewGetDisplayInfo: {
        auto* info = reinterpret_cast<ListViewDisplayInfo*>(second);
        const ResultItem* item = reinterpret_cast<const ResultItem*>(info->item.parameter);
        const char16_t* field = item ? ResultItemField(item, info->item.subItem) : nullptr;
        // The list gets a pointer into the result item: nothing is copied.
        if (field) info->item.text = const_cast<char16_t*>(field);
        break;
    }
    case ListViewItemActivate:
        ShowDetails();
        break;
    case ListViewColumnClick: {
        auto* notification = reinterpret_cast<ListViewNotification*>(second);
        SendMessage(header->from, ListViewSortItems, static_cast<FirstParameter>(notification->subItem),
                    reinterpret_cast<SecondParameter>(CompareRows));
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

const char16_t* ResultItemField(const ResultItem* item, int column) {
    switch (column) {
    case 0:
        return item->phone;
    case 1:
        return item->name;
    case 2:
        return item->street;
    case 3:
        return item->house;
    case 4:
        return item->flat;
    default:
        return nullptr;
    }
}

int CompareRows(SecondParameter itemA, SecondParameter itemB, SecondParameter column) {
    const auto* first = reinterpret_cast<const ResultItem*>(itemA);
    const auto* second = reinterpret_cast<const ResultItem*>(itemB);
    if (!first || !second || column < 0 || column >= ResultFieldCount) return 0;
    return CompareWideLocale(ResultItemField(first, int(column)), ResultItemField(second, int(column)), true);
}

void FreeResultItems() {
    // Rows left holding freed items would be painted from freed memory by any paint still to come (the
    // list outlives the shutdown sequence), so the rows go first, as when the worker empties the list.
    if (ResultList) ClearResultList();
}

void ClearResultList() {
    int count = static_cast<int>(SendMessage(ResultList, ListViewGetItemCount, 0, 0));
    std::vector<ResultItem*> items;
    items.reserve(count > 0 ? count : 0);
    for (int index = 0; index < count; index++) {
        ListViewItem row{};
        row.mask = ListViewItemParameter;
        row.item = index;
        SendMessage(ResultList, ListViewGetItem, 0, reinterpret_cast<SecondParameter>(&row));
        items.push_back(reinterpret_cast<ResultItem*>(row.parameter));
    }
    SendMessage(ResultList, ListViewDeleteAllItems, 0, 0);
    for (ResultItem* item : items)
        delete item;
}
