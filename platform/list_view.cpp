// The list view in report mode: rows that carry item data and texts (stored or supplied on demand by the
// parent), columns the user can drag, sorting through a compare callback, focus, activation and column
// clicks. The rows live in a table model; the view asks for the texts of visible cells only.
#include "platform/window_system.h"

#include "platform/handover.h"
#include "platform/text.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct ListRow {
    SecondParameter parameter = 0;           // item data
    uint32_t state = 0;                      // item state bits
    uint32_t callbackCells = 0;              // bit i: the text of column i is supplied on demand
    std::unique_ptr<std::u16string[]> texts; // stored texts, only for rows that have any
};

// The rows of one list view. The search worker appends rows from its own thread: they go into the
// store under its lock at once (so the worker goes on only after its row is in), and the view is told
// of new rows in batches on the user-interface thread. The view only ever sees the first `shown` rows.
struct ListStore {
    std::mutex mutex;
    std::vector<ListRow> rows; // every row, in list order
    int shown = 0;             // rows the view has been told of (user-interface thread only)
    bool tellPosted = false;   // a batch notice is on its way to the user-interface thread
    Window window = nullptr;
    QObject* view = nullptr; // where batch notices go
};

std::mutex storesMutex;
std::unordered_map<uintptr_t, std::shared_ptr<ListStore>> stores; // by window handle

std::shared_ptr<ListStore> FindStore(Window window) {
    std::lock_guard<std::mutex> lock(storesMutex);
    auto found = stores.find(reinterpret_cast<uintptr_t>(window));
    return found == stores.end() ? nullptr : found->second;
}

struct ListColumn {
    std::u16string heading; // its heading
    int width;              // pixels
};

class ListModel : public QAbstractTableModel {
  public:
    explicit ListModel(WindowRecord* record) : store(std::make_shared<ListStore>()), record_(record) {
        store->window = HandleOf(record);
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : store->shown; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
        return QString::fromStdU16String(CellText(index.row(), index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= int(columns.size()))
            return QVariant();
        return QString::fromStdU16String(columns[section].heading);
    }

    // The text a cell shows: stored, or asked of the parent for this one paint.
    std::u16string CellText(int row, int column) const {
        if (column < 0 || column >= 32) return std::u16string();
        SecondParameter parameter = 0;
        uint32_t callbackCells = 0;
        std::u16string stored;
        {
            std::lock_guard<std::mutex> lock(store->mutex);
            if (row < 0 || row >= int(store->rows.size())) return std::u16string();
            const ListRow& listRow = store->rows[row];
            parameter = listRow.parameter;
            callbackCells = listRow.callbackCells;
            if (listRow.texts && column < int(columns.size())) stored = listRow.texts[column];
        }
        // The parent is asked without the lock held: its answer may itself call on the list.
        if (callbackCells & (1u << column)) {
            char16_t buffer[264] = {};
            ListViewDisplayInfo info{};
            info.item.mask = ListViewItemText;
            info.item.item = row;
            info.item.subItem = column;
            info.item.text = buffer;
            info.item.textMax = 260;
            info.item.parameter = parameter;
            NotifyParent(record_, &info.header, ListViewGetDisplayInfo);
            if (!info.item.text || info.item.text == TextCallback) return std::u16string();
            // The parent may point at its own text; read at most what a cell shows.
            std::u16string text;
            for (int i = 0; i < 1024 && info.item.text[i]; i++)
                text.push_back(info.item.text[i]);
            return text;
        }
        return stored;
    }

    // Tells the view of the rows added since it was last told (user-interface thread).
    void TellNewRows() {
        int total;
        {
            std::lock_guard<std::mutex> lock(store->mutex);
            total = int(store->rows.size());
            store->tellPosted = false;
        }
        if (total <= store->shown) return;
        beginInsertRows(QModelIndex(), store->shown, total - 1);
        store->shown = total;
        endInsertRows();
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginInsert(int row) { beginInsertRows(QModelIndex(), row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginColumn(int column) { beginInsertColumns(QModelIndex(), column, column); }
    void EndColumn() { endInsertColumns(); }
    void ChangedLayout() {
        emit layoutAboutToBeChanged();
        emit layoutChanged();
    }
    void ChangedCell(int row, int column) { emit dataChanged(index(row, column), index(row, column)); }

    std::shared_ptr<ListStore> store;
    std::vector<ListColumn> columns;
    uint32_t extendedStyle = 0;

  private:
    WindowRecord* record_;
};

// Carries a batch notice of new rows to the user-interface thread.
class NewRowsEvent : public QEvent {
  public:
    static QEvent::Type type() {
        static int registered = QEvent::registerEventType();
        return static_cast<QEvent::Type>(registered);
    }
    NewRowsEvent() : QEvent(type()) {}
};

class ListViewControl : public QTreeView {
  public:
    ListViewControl(WindowRecord* record, QWidget* parent)
        : QTreeView(parent), model(record), record_(record) {
        setModel(&model);
        setRootIsDecorated(false);
        setUniformRowHeights(true);
        setItemsExpandable(false);
        setAllColumnsShowFocus(true);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setFrameStyle((record->style & StyleBorder) ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
        header()->setStretchLastSection(false);
        header()->setMinimumSectionSize(0);
        header()->setSectionsClickable(true);
        header()->setSectionsMovable(false);
        header()->setSortIndicatorShown(false);
        connect(header(), &QHeaderView::sectionResized, [this](int column, int, int width) {
            if (column >= 0 && column < int(model.columns.size())) model.columns[column].width = width;
        });
        connect(header(), &QHeaderView::sectionClicked, [this](int column) { ClickColumn(column); });
        connect(this, &QTreeView::activated, [this](const QModelIndex& index) { Activate(index.row()); });
        model.store->view = this;
        tellTimer_.setSingleShot(true);
        tellTimer_.setInterval(40);
        connect(&tellTimer_, &QTimer::timeout, [this] { model.TellNewRows(); });
        std::lock_guard<std::mutex> lock(storesMutex);
        stores[record->handle] = model.store;
    }
    ~ListViewControl() override {
        std::lock_guard<std::mutex> lock(storesMutex);
        stores.erase(record_->handle);
    }
    bool event(QEvent* event) override {
        TakeOverEvent(event);
        if (event->type() == NewRowsEvent::type()) {
            // Rows arriving one by one are told in batches: a view relays itself out for every batch.
            if (!tellTimer_.isActive()) tellTimer_.start();
            return true;
        }
        return QTreeView::event(event);
    }

    void ClickColumn(int column) {
        ListViewNotification notification{};
        notification.item = -1;
        notification.subItem = column;
        NotifyParent(record_, &notification.header, ListViewColumnClick);
    }
    void Activate(int row) {
        ListViewNotification notification{};
        notification.item = row;
        notification.subItem = 0;
        {
            std::lock_guard<std::mutex> lock(model.store->mutex);
            if (row >= 0 && row < int(model.store->rows.size()))
                notification.parameter = model.store->rows[row].parameter;
        }
        NotifyParent(record_, &notification.header, ListViewItemActivate);
    }
    int FocusedRow() const {
        QModelIndex current = currentIndex();
        return current.isValid() ? current.row() : -1;
    }

    ListModel model;

  private:
    WindowRecord* record_;
    QTimer tellTimer_; // pending batch notice
};

ListViewControl* Face(WindowRecord* record) {
    return dynamic_cast<ListViewControl*>(record->widget);
}

void SetCellText(const std::vector<ListColumn>& columns, ListRow& row, int column, const char16_t* text) {
    if (column < 0 || column >= 32) return;
    if (text == TextCallback) {
        row.callbackCells |= 1u << column;
        return;
    }
    row.callbackCells &= ~(1u << column);
    if (column >= int(columns.size())) return;
    if (!row.texts) row.texts = std::make_unique<std::u16string[]>(columns.size());
    row.texts[column] = text ? std::u16string(text) : std::u16string();
}

// The most rows a list holds: a row asked for beyond it is refused (the search then ends as usual).
constexpr size_t MaximumRows = 5'000'000;

// Appends a row to the store (any thread, under the store's lock). Returns its index, or -1 when
// refused. index must be the end of the list.
int AppendRow(ListStore& store, const std::vector<ListColumn>& columns, const ListViewItem* item) {
    if (store.rows.size() >= MaximumRows) return -1;
    ListRow row;
    if (item->mask & ListViewItemParameter) row.parameter = item->parameter;
    if (item->mask & ListViewItemState) row.state = item->state & item->stateMask;
    if (item->mask & ListViewItemText) SetCellText(columns, row, 0, item->text);
    try {
        store.rows.push_back(std::move(row));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return int(store.rows.size()) - 1;
}

} // namespace

QWidget* CreateListViewWidget(WindowRecord* record, QWidget* parentWidget) {
    auto* view = new ListViewControl(record, parentWidget);
    record->widget = view;
    return view;
}

bool ListViewStoreMessage(Window window, uint32_t message, FirstParameter first, SecondParameter second,
                          MessageResult* result) {
    std::shared_ptr<ListStore> store = FindStore(window);
    if (!store) return false;
    std::unique_lock<std::mutex> lock(store->mutex);
    switch (message) {
    case ListViewGetItemCount:
        *result = static_cast<MessageResult>(store->rows.size());
        return true;
    case ListViewInsertItem: {
        const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
        // Only appending at the end can go past the view; anything else is carried over.
        if (!item || item->item != int(store->rows.size()) ||
            (item->mask & ListViewItemText && item->text != TextCallback))
            return false;
        static const std::vector<ListColumn> noColumns;
        *result = AppendRow(*store, noColumns, item);
        if (*result >= 0 && !store->tellPosted) {
            store->tellPosted = true;
            lock.unlock();
            // Posted under the registry's lock: the view leaves the registry before it goes away.
            std::lock_guard<std::mutex> registryLock(storesMutex);
            if (stores.count(reinterpret_cast<uintptr_t>(window))) {
                auto* event = new NewRowsEvent;
                HandOverEvent(event);
                QCoreApplication::postEvent(store->view, event);
            }
        }
        return true;
    }
    case ListViewSetItemText: {
        const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
        int index = static_cast<int>(first);
        if (!item || item->text != TextCallback || index < 0 || index >= int(store->rows.size()))
            return false;
        if (item->subItem >= 0 && item->subItem < 32) store->rows[index].callbackCells |= 1u << item->subItem;
        *result = 1;
        return true;
    }
    case ListViewGetItem: {
        ListViewItem* item = reinterpret_cast<ListViewItem*>(second);
        if (!item || (item->mask & ListViewItemText)) return false;
        if (item->item < 0 || item->item >= int(store->rows.size())) {
            *result = 0;
            return true;
        }
        const ListRow& row = store->rows[item->item];
        if (item->mask & ListViewItemParameter) item->parameter = row.parameter;
        if (item->mask & ListViewItemState) item->state = row.state;
        *result = 1;
        return true;
    }
    default:
        return false;
    }
}

bool ListViewDefaultProcessing(WindowRecord* record, uint32_t message, FirstParameter first,
                               SecondParameter second, MessageResult* result) {
    ListViewControl* view = Face(record);
    if (!view) return false;
    ListModel& model = view->model;
    ListStore& store = *model.store;
    // Whatever the program asks, the view first learns of the rows the worker added.
    model.TellNewRows();
    switch (message) {
    case ListViewGetItemCount: {
        std::lock_guard<std::mutex> lock(store.mutex);
        *result = static_cast<MessageResult>(store.rows.size());
        return true;
    }
    case ListViewDeleteAllItems: {
        model.BeginReset();
        {
            std::lock_guard<std::mutex> lock(store.mutex);
            store.rows.clear();
            store.shown = 0;
        }
        model.EndReset();
        *result = 1;
        return true;
    }
    case ListViewInsertColumn: {
        const ListViewColumn* column = reinterpret_cast<const ListViewColumn*>(second);
        int index = static_cast<int>(first);
        if (!column || index < 0 || model.columns.size() >= 32) {
            *result = -1;
            return true;
        }
        index = std::min(index, int(model.columns.size()));
        model.BeginColumn(index);
        model.columns.insert(
            model.columns.begin() + index,
            ListColumn{(column->mask & ListViewColumnText) && column->text ? column->text : u"",
                       (column->mask & ListViewColumnWidth) ? column->width : 50});
        {
            std::lock_guard<std::mutex> lock(store.mutex);
            for (ListRow& row : store.rows)
                if (row.texts) {
                    auto texts = std::make_unique<std::u16string[]>(model.columns.size());
                    for (size_t i = 0, j = 0; i < model.columns.size(); i++)
                        if (int(i) != index) texts[i] = row.texts[j++];
                    row.texts = std::move(texts);
                }
        }
        model.EndColumn();
        view->header()->resizeSection(index, model.columns[index].width);
        *result = index;
        return true;
    }
    case ListViewGetColumnWidth: {
        int index = static_cast<int>(first);
        *result = (index >= 0 && index < int(model.columns.size())) ? model.columns[index].width : 0;
        return true;
    }
    case ListViewSetColumnWidth: {
        int index = static_cast<int>(first);
        if (index < 0 || index >= int(model.columns.size())) {
            *result = 0;
            return true;
        }
        view->header()->resizeSection(index, static_cast<int>(second));
        model.columns[index].width = static_cast<int>(second);
        *result = 1;
        return true;
    }
    case ListViewInsertItem: {
        const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
        if (!item || item->item < 0) {
            *result = -1;
            return true;
        }
        std::unique_lock<std::mutex> lock(store.mutex);
        int index = std::min(item->item, int(store.rows.size()));
        if (index == int(store.rows.size())) {
            *result = AppendRow(store, model.columns, item);
            lock.unlock();
            model.TellNewRows();
            return true;
        }
        lock.unlock();
        ListRow row;
        if (item->mask & ListViewItemParameter) row.parameter = item->parameter;
        if (item->mask & ListViewItemState) row.state = item->state & item->stateMask;
        if (item->mask & ListViewItemText) SetCellText(model.columns, row, 0, item->text);
        model.BeginInsert(index);
        {
            std::lock_guard<std::mutex> relock(store.mutex);
            store.rows.insert(store.rows.begin() + index, std::move(row));
            store.shown++;
        }
        model.EndInsert();
        *result = index;
        return true;
    }
    case ListViewSetItemText: {
        const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
        int index = static_cast<int>(first);
        {
            std::lock_guard<std::mutex> lock(store.mutex);
            if (!item || index < 0 || index >= int(store.rows.size())) {
                *result = 0;
                return true;
            }
            SetCellText(model.columns, store.rows[index], item->subItem, item->text);
        }
        model.ChangedCell(index, item->subItem);
        *result = 1;
        return true;
    }
    case ListViewGetItem: {
        ListViewItem* item = reinterpret_cast<ListViewItem*>(second);
        {
            std::lock_guard<std::mutex> lock(store.mutex);
            if (!item || item->item < 0 || item->item >= int(store.rows.size())) {
                *result = 0;
                return true;
            }
            const ListRow& row = store.rows[item->item];
            if (item->mask & ListViewItemParameter) item->parameter = row.parameter;
            if (item->mask & ListViewItemState) item->state = row.state;
        }
        if ((item->mask & ListViewItemText) && item->text && item->textMax > 0) {
            std::u16string text = model.CellText(item->item, item->subItem);
            CopyText(item->text, item->textMax, text.c_str());
        }
        *result = 1;
        return true;
    }
    case ListViewGetNextItem: {
        int start = static_cast<int>(static_cast<intptr_t>(first));
        uint32_t flags = static_cast<uint32_t>(second);
        if (flags & ListViewNextFocused) {
            int focused = view->FocusedRow();
            *result = focused > start ? focused : -1;
        } else {
            *result = start + 1 < store.shown ? start + 1 : -1;
        }
        return true;
    }
    case ListViewSortItems: {
        ListViewCompare compare = reinterpret_cast<ListViewCompare>(second);
        if (!compare) {
            *result = 0;
            return true;
        }
        SecondParameter sortParameter = static_cast<SecondParameter>(first);
        int focused = view->FocusedRow();
        emit model.layoutAboutToBeChanged();
        SecondParameter focusedParameter = 0;
        int newFocus = -1;
        {
            // The rows present are sorted; the worker's next row waits for the lock and then goes to the end.
            std::lock_guard<std::mutex> lock(store.mutex);
            if (focused >= 0 && focused < int(store.rows.size()))
                focusedParameter = store.rows[focused].parameter;
            std::stable_sort(store.rows.begin(), store.rows.end(),
                             [&](const ListRow& left, const ListRow& right) {
                                 return compare(left.parameter, right.parameter, sortParameter) < 0;
                             });
            if (focused >= 0)
                for (size_t i = 0; i < store.rows.size(); i++)
                    if (store.rows[i].parameter == focusedParameter) {
                        newFocus = int(i);
                        break;
                    }
        }
        emit model.layoutChanged();
        if (newFocus >= 0) view->setCurrentIndex(model.index(newFocus, 0));
        view->viewport()->update();
        *result = 1;
        return true;
    }
    case ListViewSetExtendedStyle: {
        uint32_t mask = static_cast<uint32_t>(first);
        uint32_t style = static_cast<uint32_t>(second);
        *result = model.extendedStyle;
        if (mask == 0) mask = 0xFFFFFFFF;
        model.extendedStyle = (model.extendedStyle & ~mask) | (style & mask);
        return true;
    }
    case ListViewGetExtendedStyle:
        *result = model.extendedStyle;
        return true;
    case ListViewRedrawItems:
        view->viewport()->update();
        *result = 1;
        return true;
    default:
        return false;
    }
}

void DescribeListView(WindowRecord* record, QJsonObject& object) {
    ListViewControl* view = Face(record);
    if (!view) return;
    ListModel& model = view->model;
    model.TellNewRows();
    QJsonArray columns;
    for (const ListColumn& column : model.columns)
        columns.append(QJsonObject{
            {"text",  QString::fromStdU16String(column.heading)},
            {"width", column.width                             }
        });
    object["columns"] = columns;
    QJsonArray rows;
    for (int row = 0; row < model.store->shown; row++) {
        QJsonArray cells;
        for (int column = 0; column < int(model.columns.size()); column++)
            cells.append(QString::fromStdU16String(model.CellText(row, column)));
        rows.append(cells);
    }
    object["rows"] = rows;
    object["focused"] = view->FocusedRow();
}

void ListViewTellNewRows(WindowRecord* record) {
    if (ListViewControl* view = Face(record)) view->model.TellNewRows();
}

bool UserActivateRow(WindowRecord* record, int row) {
    ListViewControl* view = Face(record);
    if (!view) return false;
    view->model.TellNewRows();
    if (row < 0 || row >= view->model.store->shown) return false;
    view->setCurrentIndex(view->model.index(row, 0));
    view->Activate(row);
    return true;
}

bool UserClickHeader(WindowRecord* record, int column) {
    ListViewControl* view = Face(record);
    if (!view || column < 0 || column >= int(view->model.columns.size())) return false;
    view->ClickColumn(column);
    return true;
}

bool UserResizeColumn(WindowRecord* record, int column, int width) {
    ListViewControl* view = Face(record);
    if (!view || column < 0 || column >= int(view->model.columns.size()) || width < 0) return false;
    view->header()->resizeSection(column, width);
    view->model.columns[column].width = width;
    return true;
}
