// The list view in report mode ("SysListView32"), inside platform/: rows that carry item data and texts
// (kept, or asked of the parent when shown), columns the user can drag, sorting through a compare
// callback, focus, activation and column clicks.
//   list_view.cpp           its face (a tree view over a table model) and the store of its rows
//   list_view_messages.cpp  its messages, one function each, for both threads' roads
// The script driver reads a list view through ListViewOf and acts on its face as a user.
#pragma once

#include "platform/controls.h"

#include <QAbstractTableModel>
#include <QTreeView>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// A row is small (24 bytes): a search may append millions, whose texts the parent keeps.
struct ListRow {
    SecondParameter parameter = 0;                      // item data
    uint32_t state = 0;                                 // item state bits
    uint32_t callbackCells = 0;                         // bit i: column i's text is asked of the parent
    std::unique_ptr<std::vector<std::u16string>> texts; // kept texts by column; null for a row keeping none
};
static_assert(sizeof(ListRow) <= 24, "a row of a million-row list stays small");
constexpr int MaximumColumns = 32; // one bit each in callbackCells

// The rows, which both threads use: the search worker appends rows from its own thread (the row store
// road), so every access to them holds the lock. The face is told of new rows in batches, on the window
// thread; it only ever shows the first `shownRows` rows (ListView).
struct ListRowStore {
    std::mutex lock;
    std::vector<ListRow> rows;        // every row, in list order
    bool newRowsNoticePosted = false; // a notice of new rows is on its way to the face
    Window window = nullptr;          // the list view's window
    QObject* face = nullptr;          // where notices of new rows go
    // Sorts run on a thread of their own (list_view_sort.cpp). A sort belongs to the generation it was
    // started in: a newer sort, a row put in before the end, or the rows' deletion starts a new one.
    std::atomic<uint64_t> sortGeneration{0};
    int sortsReadingItems = 0;            // sort threads that may still read the rows' item data
    std::condition_variable sortsStopped; // told when one of them stops
    uint64_t rowEdits = 0;                // counts changes to rows in place (their texts)
};

struct ListColumn {
    std::u16string heading;
    int width;          // device pixels: the least it is shown at
    bool grows = false; // on a desktop it takes a share of the room beyond the columns' widths
    int share = 0;      // window pixels it is shown wider than its width (its share of that room)
};

struct ListView;
struct RowSort;

// The rows as the face shows them: the first shownRows rows, their texts asked for on demand. The message
// functions tell it what they change through the wrappers below.
class ListModel : public QAbstractTableModel {
  public:
    explicit ListModel(ListView& list) : list_(list) {}
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginInsert(int row) { beginInsertRows(QModelIndex(), row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginInsertRange(int first, int last) { beginInsertRows(QModelIndex(), first, last); }
    void BeginColumn(int column) { beginInsertColumns(QModelIndex(), column, column); }
    void EndColumn() { endInsertColumns(); }
    void LayoutAboutToChange() { emit layoutAboutToBeChanged(); }
    void LayoutChanged() { emit layoutChanged(); }
    void ChangedCell(int row, int column) { emit dataChanged(index(row, column), index(row, column)); }

  private:
    ListView& list_;
};

// One list view's state. All but the store belongs to the window thread.
struct ListView {
    WindowRecord* record = nullptr;
    std::shared_ptr<ListRowStore> store; // shared with the worker's road, which may outlive the face
    int shownRows = 0;                   // rows the face has been told of
    std::vector<ListColumn> columns;
    uint32_t extendedStyle = 0;
    bool placingColumns = false; // PlaceColumns is sizing the columns: no width change is the user's
    ListModel* model = nullptr;  // the table model the face shows
    QTreeView* face = nullptr;
    // The last sort, which a desktop's second click on the same heading turns round (until the rows go).
    SecondParameter sortedBy = -1; // the sort parameter (the column), -1 for none
    bool sortedDescending = false;
    std::shared_ptr<RowSort> sort; // the sort under way whose rows the list waits for, if any
};

// The list view of a window, or null when it is none (window thread).
ListView* ListViewOf(WindowRecord* record);
// Tells the face of the rows the store took since it was last told.
void CatchUpWithNewRows(ListView& list);
// The text a cell shows: kept, or asked of the parent for this one showing.
std::u16string CellText(ListView& list, int row, int column);
// On a desktop, a list that has the focus and just got its first rows makes the first one current
// (desktop_focus.cpp).
void PlaceFocusOnFirstRow(ListView& list, int rowsBefore);
// The focused row, -1 for none.
int FocusedRow(const ListView& list);
// Shows the columns at their widths at the zoom; on a desktop the growing columns share the room the
// list has beyond them. Every change of a width or of the list's size goes through it.
void PlaceColumns(ListView& list);
// Posts a notice of new rows to the face, unless the face is gone (any thread, without the store's lock;
// the caller has set newRowsNoticePosted).
void PostNewRowsNotice(const ListRowStore& store);
// Posts an event to the list's face, or deletes it when the face is gone (any thread, without the store's
// lock).
void PostToListFace(const ListRowStore& store, QEvent* event);
// The sort (list_view_sort.cpp), window thread. Starts sorting the rows present on a thread of its own,
// cancelling a sort under way; the rows come back as an event to the face. Codes: 1 started; -1 refused
// for memory (the sort's room could not be had).
int StartRowSort(ListView& list, const ListViewSortByKey& sort, bool descending);
// Cancels any sort under way and waits until none reads the rows' item data any more.
void CancelRowSorts(ListView& list);
// Takes a sort's rows back, when the event carries them; false for any other event.
bool TakeSortedRows(ListView& list, QEvent* event);
// The store of a window's list view, for another thread; null when it has none.
std::shared_ptr<ListRowStore> FindRowStore(Window window);
// The list view's messages (list_view_messages.cpp).
bool ListViewMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result);
