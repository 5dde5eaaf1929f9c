// The list view's messages, one function each, walked by one table. On the window thread (default
// processing) a function gets the list view; on the row store road from another thread
// (message_road.cpp) it gets only the rows, and the table says which functions serve that road: those
// that need nothing but the rows and their lock. Such a function answers false for a call it cannot serve
// without the list view, which then waits for the window thread.
#include "platform/list_view.h"
#include "platform/memory_budget.h"
#include "platform/text.h"

#include <QHeaderView>
#include <algorithm>
#include <limits>
#include <sys/mman.h>

namespace {

// The most rows a list holds (a row's index is an int): a row beyond it is refused, as is one for which
// there is no memory; the search then ends as usual.
constexpr size_t MaximumRows = size_t(std::numeric_limits<int>::max());

// Sets a cell's text: on demand (TextCallback), or kept when the list has that column.
void SetCellText(ListRow& row, int column, const char16_t* text, size_t columnCount) {
    if (column < 0 || column >= MaximumColumns) return;
    if (text == TextCallback) {
        row.callbackCells |= 1u << column;
        return;
    }
    row.callbackCells &= ~(1u << column);
    if (size_t(column) >= columnCount) return;
    if (!row.texts) row.texts = std::make_unique<std::vector<std::u16string>>(columnCount);
    (*row.texts)[size_t(column)] = text ? std::u16string(text) : std::u16string();
}

ListRow MakeRow(const ListViewItem& item, size_t columnCount) {
    ListRow row;
    if (item.mask & ListViewItemParameter) row.parameter = item.parameter;
    if (item.mask & ListViewItemState) row.state = item.state & item.stateMask;
    if (item.mask & ListViewItemText) SetCellText(row, 0, item.text, columnCount);
    if (item.mask & ListViewItemEveryTextOnDemand) row.callbackCells = ~0u;
    return row;
}

// Doubles the rows' room. The part not yet used may be backed by huge pages: a list of millions of rows
// otherwise takes a page fault every 170 rows.
void GrowRows(std::vector<ListRow>& rows) {
    rows.reserve(std::max<size_t>(rows.capacity() * 2, 1024));
    constexpr uintptr_t HugePage = 2 << 20;
    auto used = reinterpret_cast<uintptr_t>(rows.data() + rows.size());
    auto end = reinterpret_cast<uintptr_t>(rows.data() + rows.capacity());
    uintptr_t first = (used + HugePage - 1) & ~(HugePage - 1);
    if (first < end) madvise(reinterpret_cast<void*>(first), (end - first) & ~(HugePage - 1), MADV_HUGEPAGE);
}

// Appends a row at the end (the store's lock held). Returns its index, or -1 when refused.
int AppendRow(ListRowStore& store, const ListViewItem& item, size_t columnCount) {
    if (store.rows.size() >= MaximumRows) return -1;
    try {
        if (store.rows.size() == store.rows.capacity()) GrowRows(store.rows);
        store.rows.push_back(MakeRow(item, columnCount));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return int(store.rows.size()) - 1;
}

// --- One function per message. list is null on the row store road. -------------------------------------

// Codes: the number of rows.
bool CountRows(ListRowStore& store, ListView*, FirstParameter, SecondParameter, MessageResult* result) {
    std::lock_guard<std::mutex> lock(store.lock);
    *result = static_cast<MessageResult>(store.rows.size());
    return true;
}

// Codes: the new row's index; -1 for no item, a negative index, or a row refused (the list is full).
// Another thread may only append with texts on demand.
bool InsertRow(ListRowStore& store, ListView* list, FirstParameter, SecondParameter second,
               MessageResult* result) {
    const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
    if (!item || item->item < 0) {
        *result = -1;
        return true;
    }
    bool keepsText = (item->mask & ListViewItemText) && item->text != TextCallback;
    std::unique_lock<std::mutex> lock(store.lock);
    int end = int(store.rows.size());
    if (!list) {
        if (item->item != end || keepsText) return false;
        *result = AppendRow(store, *item, 0);
        bool tell = *result >= 0 && !store.newRowsNoticePosted;
        if (tell) store.newRowsNoticePosted = true;
        lock.unlock();
        if (tell) PostNewRowsNotice(store);
        return true;
    }
    if (item->item >= end) {
        *result = AppendRow(store, *item, list->columns.size());
        lock.unlock();
        CatchUpWithNewRows(*list);
        return true;
    }
    lock.unlock();
    // Before the end: the face is told of the row as it goes in. A sort under way would put the rows in an
    // order that no longer holds.
    CancelRowSorts(*list);
    ListRow row = MakeRow(*item, list->columns.size());
    list->model->BeginInsert(item->item);
    {
        std::lock_guard<std::mutex> relock(store.lock);
        store.rows.insert(store.rows.begin() + item->item, std::move(row));
        list->shownRows++;
    }
    list->model->EndInsert();
    *result = item->item;
    return true;
}

// Codes: 1 set; 0 for no item or no such row. Another thread may only ask for texts on demand.
bool SetRowText(ListRowStore& store, ListView* list, FirstParameter first, SecondParameter second,
                MessageResult* result) {
    const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
    int index = static_cast<int>(first);
    {
        std::lock_guard<std::mutex> lock(store.lock);
        if (!item || index < 0 || index >= int(store.rows.size())) {
            *result = 0;
            return true;
        }
        if (!list && item->text != TextCallback) return false;
        SetCellText(store.rows[size_t(index)], item->subItem, item->text, list ? list->columns.size() : 0);
        store.rowEdits++;
    }
    if (list) list->model->ChangedCell(index, item->subItem);
    *result = 1;
    return true;
}

// Codes: 1 read; 0 for no item or no such row. Another thread may not ask for a cell's text (it may be
// asked of the parent).
bool GetRow(ListRowStore& store, ListView* list, FirstParameter, SecondParameter second,
            MessageResult* result) {
    ListViewItem* item = reinterpret_cast<ListViewItem*>(second);
    if (!list && item && (item->mask & ListViewItemText)) return false;
    {
        std::lock_guard<std::mutex> lock(store.lock);
        if (!item || item->item < 0 || item->item >= int(store.rows.size())) {
            *result = 0;
            return true;
        }
        const ListRow& row = store.rows[size_t(item->item)];
        if (item->mask & ListViewItemParameter) item->parameter = row.parameter;
        if (item->mask & ListViewItemState) item->state = row.state;
    }
    if (list && (item->mask & ListViewItemText) && item->text && item->textMax > 0) {
        std::u16string text = CellText(*list, item->item, item->subItem);
        CopyText(item->text, item->textMax, text.c_str());
    }
    *result = 1;
    return true;
}

// Codes: 1.
bool DeleteAllRows(ListRowStore& store, ListView* list, FirstParameter, SecondParameter,
                   MessageResult* result) {
    CancelRowSorts(*list);
    list->model->BeginReset();
    {
        std::lock_guard<std::mutex> lock(store.lock);
        store.rows.clear();
        list->shownRows = 0;
    }
    list->sortedBy = -1;
    list->sortedDescending = false;
    list->face->header()->setSortIndicator(-1, Qt::AscendingOrder);
    list->model->EndReset();
    *result = 1;
    return true;
}

// Codes: the new column's index; -1 for no column, a negative index or a list of 32 columns.
bool InsertColumn(ListRowStore& store, ListView* list, FirstParameter first, SecondParameter second,
                  MessageResult* result) {
    const ListViewColumn* column = reinterpret_cast<const ListViewColumn*>(second);
    int index = static_cast<int>(first);
    if (!column || index < 0 || list->columns.size() >= size_t(MaximumColumns)) {
        *result = -1;
        return true;
    }
    index = std::min(index, int(list->columns.size()));
    list->model->BeginColumn(index);
    list->columns.insert(list->columns.begin() + index,
                         ListColumn{(column->mask & ListViewColumnText) && column->text ? column->text : u"",
                                    (column->mask & ListViewColumnWidth) ? column->width : 50,
                                    (column->mask & ListViewColumnFormat) &&
                                        (column->format & ListViewColumnGrows) != 0});
    {
        std::lock_guard<std::mutex> lock(store.lock);
        for (ListRow& row : store.rows)
            if (row.texts) row.texts->insert(row.texts->begin() + index, std::u16string());
        store.rowEdits++;
    }
    list->model->EndColumn();
    PlaceColumns(*list);
    *result = index;
    return true;
}

// Codes: the column's width; 0 for no such column.
bool GetColumnWidth(ListRowStore&, ListView* list, FirstParameter first, SecondParameter,
                    MessageResult* result) {
    int index = static_cast<int>(first);
    *result = (index >= 0 && index < int(list->columns.size())) ? list->columns[size_t(index)].width : 0;
    return true;
}

// Codes: 1 set; 0 for no such column.
bool SetColumnWidth(ListRowStore&, ListView* list, FirstParameter first, SecondParameter second,
                    MessageResult* result) {
    int index = static_cast<int>(first);
    if (index < 0 || index >= int(list->columns.size())) {
        *result = 0;
        return true;
    }
    list->columns[size_t(index)].width = static_cast<int>(second);
    PlaceColumns(*list);
    *result = 1;
    return true;
}

// Codes: the next row's index after the start (the focused row with ListViewNextFocused); -1 for none.
bool NextRow(ListRowStore&, ListView* list, FirstParameter first, SecondParameter second,
             MessageResult* result) {
    int start = static_cast<int>(static_cast<intptr_t>(first));
    uint32_t flags = static_cast<uint32_t>(second);
    if (flags & ListViewNextFocused) {
        int focused = FocusedRow(*list);
        *result = focused > start ? focused : -1;
    } else {
        *result = start + 1 < list->shownRows ? start + 1 : -1;
    }
    return true;
}

// What a sort takes beside the rows, a row, at most: its key and place, its item data and the sorted
// rows' room (64 bytes), counted at 80, the figure a device's sorts have always been refused by.
constexpr uint64_t SortRoomPerRow = 2 * (sizeof(ListViewSortKey) + sizeof(uint32_t)) + sizeof(ListRow);

// Codes: 1 the sort is under way; 0 without a compare callback; -1 refused for memory (the room it takes
// would pass the memory budget, or could not be had): the rows stay as they were. The rows present are
// sorted on a thread of their own, ascending and stable, and come back to the list in one step; rows the
// worker appends meanwhile go to the end. A newer sort, or the rows' deletion, cancels it. The focus stays
// on its row.
bool SortRowsBy(ListView* list, const ListViewSortByKey& sort, MessageResult* result) {
    if (!sort.compare) {
        *result = 0;
        return true;
    }
    ListRowStore& store = *list->store;
    {
        std::lock_guard<std::mutex> lock(store.lock);
        if (uint64_t(store.rows.size()) * SortRoomPerRow > CurrentMemoryBudget()) {
            *result = -1;
            return true;
        }
    }
    // On a desktop a second sort by the same column turns the order round (the heading shows which way,
    // once the rows are in it); the handheld sorts ascending every time.
    bool descending = DesktopFaceShown() && list->sortedBy == sort.sortParameter && !list->sortedDescending;
    try {
        *result = StartRowSort(*list, sort, descending);
    } catch (const std::bad_alloc&) {
        *result = -1;
    }
    if (*result == 1) {
        list->sortedBy = sort.sortParameter;
        list->sortedDescending = descending;
    }
    return true;
}

bool SortRows(ListRowStore&, ListView* list, FirstParameter first, SecondParameter second,
              MessageResult* result) {
    ListViewSortByKey sort{nullptr, reinterpret_cast<ListViewCompare>(second),
                           static_cast<SecondParameter>(first)};
    return SortRowsBy(list, sort, result);
}

// Codes: as ListViewSortItems; 0 without a ListViewSortByKey too.
bool SortRowsByKey(ListRowStore&, ListView* list, FirstParameter, SecondParameter second,
                   MessageResult* result) {
    const auto* sort = reinterpret_cast<const ListViewSortByKey*>(second);
    if (!sort) {
        *result = 0;
        return true;
    }
    return SortRowsBy(list, *sort, result);
}

// Codes: the extended style before. A mask of 0 changes every bit.
bool SetExtendedStyle(ListRowStore&, ListView* list, FirstParameter first, SecondParameter second,
                      MessageResult* result) {
    uint32_t mask = static_cast<uint32_t>(first);
    uint32_t style = static_cast<uint32_t>(second);
    *result = list->extendedStyle;
    if (mask == 0) mask = 0xFFFFFFFF;
    list->extendedStyle = (list->extendedStyle & ~mask) | (style & mask);
    return true;
}

// Codes: the extended style.
bool GetExtendedStyle(ListRowStore&, ListView* list, FirstParameter, SecondParameter, MessageResult* result) {
    *result = list->extendedStyle;
    return true;
}

// Codes: 1.
bool RedrawRows(ListRowStore&, ListView* list, FirstParameter, SecondParameter, MessageResult* result) {
    list->face->viewport()->update();
    *result = 1;
    return true;
}

using ListViewFunction = bool (*)(ListRowStore& store, ListView* list, FirstParameter first,
                                  SecondParameter second, MessageResult* result);
struct ListViewMessageRow {
    uint32_t message;
    ListViewFunction function;
    bool rowStoreRoad; // also served on the row store road, from another thread (list is null)
};
// clang-format off
constexpr ListViewMessageRow listViewMessages[] = {
    {ListViewGetItemCount,     CountRows,        true },
    {ListViewInsertItem,       InsertRow,        true },
    {ListViewSetItemText,      SetRowText,       true },
    {ListViewGetItem,          GetRow,           true },
    {ListViewDeleteAllItems,   DeleteAllRows,    false},
    {ListViewInsertColumn,     InsertColumn,     false},
    {ListViewGetColumnWidth,   GetColumnWidth,   false},
    {ListViewSetColumnWidth,   SetColumnWidth,   false},
    {ListViewGetNextItem,      NextRow,          false},
    {ListViewSortItems,        SortRows,         false},
    {ListViewSortItemsByKey,   SortRowsByKey,    false},
    {ListViewSetExtendedStyle, SetExtendedStyle, false},
    {ListViewGetExtendedStyle, GetExtendedStyle, false},
    {ListViewRedrawItems,      RedrawRows,       false},
};
// clang-format on

const ListViewMessageRow* FindListViewMessage(uint32_t message) {
    for (const ListViewMessageRow& row : listViewMessages)
        if (row.message == message) return &row;
    return nullptr;
}

} // namespace

bool ListViewMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result) {
    ListView* list = ListViewOf(record);
    if (!list) return false;
    // Whatever the program asks, the face first learns of the rows the worker added.
    CatchUpWithNewRows(*list);
    const ListViewMessageRow* row = FindListViewMessage(message);
    return row && row->function(*list->store, list, first, second, result);
}

bool ListViewRowStoreMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second,
                             MessageResult* result) {
    const ListViewMessageRow* row = FindListViewMessage(message);
    if (!row || !row->rowStoreRoad) return false;
    std::shared_ptr<ListRowStore> store = FindRowStore(window);
    return store && row->function(*store, nullptr, first, second, result);
}
