// The list view's face and rows: a tree view over a table model that shows the store's rows, told of
// the rows the worker appends in batches; the texts of cells asked of the parent when shown; the user's
// column clicks, drags and activations told to the parent. Its messages are in list_view_messages.cpp.
#include "platform/list_view.h"

#include "platform/handover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTimer>
#include <algorithm>
#include <unordered_map>

namespace {

std::mutex storesMutex;
std::unordered_map<uintptr_t, std::shared_ptr<ListRowStore>> stores; // by window handle, while the face lives

// Carries a notice of new rows to the window thread.
class NewRowsEvent : public QEvent {
  public:
    static QEvent::Type type() {
        static int registered = QEvent::registerEventType();
        return static_cast<QEvent::Type>(registered);
    }
    NewRowsEvent() : QEvent(type()) {}
};

constexpr int NewRowsBatchMilliseconds = 40; // rows arriving one by one are told in batches
// The view lays out every row it shows for each batch it is told of, so a long list is told less often:
// a batch waits at least 200 ns per row shown (0.2 s at a million rows), which keeps the window thread's
// layouts to a small share of a long search (told every 40 ms, ten million rows took a third longer).
constexpr double BatchNanosecondsPerRow = 200;

class ListViewFace : public QTreeView {
  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!RunKeyCommand(this, event)) QTreeView::keyPressEvent(event);
    }

  public:
    ListViewFace(WindowRecord* record, QWidget* parent) : QTreeView(parent), model_(list) {
        list.record = record;
        list.store = std::make_shared<ListRowStore>();
        list.store->window = HandleOf(record);
        list.store->face = this;
        list.model = &model_;
        list.face = this;
        setModel(&model_);
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
            if (list.placingColumns || column < 0 || column >= int(list.columns.size())) return;
            // The user's width, less the share of the room the column was given, is its new least width.
            ListColumn& dragged = list.columns[size_t(column)];
            dragged.width = std::max(0, ToDevicePixels(width - dragged.share));
        });
        connect(header(), &QHeaderView::sectionClicked, [this](int column) { ClickColumn(column); });
        connect(this, &QTreeView::activated, [this](const QModelIndex& index) { Activate(index.row()); });
        tellTimer_.setSingleShot(true);
        tellTimer_.setInterval(NewRowsBatchMilliseconds);
        connect(&tellTimer_, &QTimer::timeout, [this] { CatchUpWithNewRows(list); });
        std::lock_guard<std::mutex> lock(storesMutex);
        stores[record->handle] = list.store;
    }
    ~ListViewFace() override {
        {
            std::lock_guard<std::mutex> lock(storesMutex);
            stores.erase(list.record->handle);
        }
        CancelRowSorts(list);
    }
    bool viewportEvent(QEvent* event) override {
        // The growing columns share the room the list has beyond its columns.
        if (event->type() == QEvent::Resize) PlaceColumns(list);
        if (event->type() == QEvent::ToolTip) {
            ShowCutCellText(static_cast<QHelpEvent*>(event));
            return true;
        }
        return QTreeView::viewportEvent(event);
    }
    bool event(QEvent* event) override {
        TakeOverEvent(event);
        if (event->type() == NewRowsEvent::type()) {
            // A view lays itself out again for every batch of rows it is told of.
            if (!tellTimer_.isActive()) {
                double rowsWait = list.shownRows * BatchNanosecondsPerRow / 1e6;
                tellTimer_.start(std::max(NewRowsBatchMilliseconds, int(rowsWait)));
            }
            return true;
        }
        if (TakeSortedRows(list, event)) return true;
        return QTreeView::event(event);
    }

    ListView list; // the list view's state

  private:
    // A cell whose text is cut shows it whole in a tooltip; a cell shown whole shows none.
    void ShowCutCellText(QHelpEvent* event) {
        QModelIndex index = indexAt(event->pos());
        QString text = index.isValid() ? QString::fromStdU16String(CellText(list, index.row(), index.column()))
                                       : QString();
        QRect cell = visualRect(index);
        // The item's text margins, as the style draws them (beside the focus frame), take a few pixels.
        int textMargins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
        if (text.isEmpty() || fontMetrics().horizontalAdvance(text) + textMargins <= cell.width()) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(event->globalPos(), text, viewport(), cell);
    }
    void ClickColumn(int column) {
        ListViewNotification notification{};
        notification.item = -1;
        notification.subItem = column;
        NotifyParent(list.record, &notification.header, ListViewColumnClick);
    }
    void Activate(int row) {
        ListViewNotification notification{};
        notification.item = row;
        notification.subItem = 0;
        {
            std::lock_guard<std::mutex> lock(list.store->lock);
            if (row >= 0 && row < int(list.store->rows.size()))
                notification.parameter = list.store->rows[row].parameter;
        }
        NotifyParent(list.record, &notification.header, ListViewItemActivate);
    }

    ListModel model_;
    QTimer tellTimer_; // a batch notice pending
};

QWidget* CreateListViewFace(WindowRecord* record, QWidget* parentWidget) {
    return new ListViewFace(record, parentWidget);
}

} // namespace

const ControlFunctions ListViewFunctions = {CreateListViewFace, ListViewMessage, nullptr};

// --- The model -----------------------------------------------------------------------------------------

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.shownRows;
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list_.columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
    return QString::fromStdU16String(CellText(list_, index.row(), index.column()));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= int(list_.columns.size()))
        return QVariant();
    return QString::fromStdU16String(list_.columns[section].heading);
}

// --- The state -----------------------------------------------------------------------------------------

ListView* ListViewOf(WindowRecord* record) {
    auto* face = dynamic_cast<ListViewFace*>(record->widget);
    return face ? &face->list : nullptr;
}

void ListViewTellNewRows(WindowRecord* record) {
    if (ListView* list = ListViewOf(record)) CatchUpWithNewRows(*list);
}

void CatchUpWithNewRows(ListView& list) {
    int total;
    {
        std::lock_guard<std::mutex> lock(list.store->lock);
        total = int(list.store->rows.size());
        list.store->newRowsNoticePosted = false;
    }
    if (total <= list.shownRows) return;
    int rowsBefore = list.shownRows;
    list.model->BeginInsertRange(list.shownRows, total - 1);
    list.shownRows = total;
    list.model->EndInsert();
    PlaceFocusOnFirstRow(list, rowsBefore);
}

std::u16string CellText(ListView& list, int row, int column) {
    if (column < 0 || column >= MaximumColumns) return std::u16string();
    SecondParameter parameter = 0;
    uint32_t callbackCells = 0;
    std::u16string kept;
    {
        std::lock_guard<std::mutex> lock(list.store->lock);
        if (row < 0 || row >= int(list.store->rows.size())) return std::u16string();
        const ListRow& listRow = list.store->rows[row];
        parameter = listRow.parameter;
        callbackCells = listRow.callbackCells;
        if (listRow.texts && column < int(listRow.texts->size())) kept = (*listRow.texts)[column];
    }
    if (!(callbackCells & (1u << column))) return kept;
    // The parent is asked without the lock held: its answer may itself call on the list.
    char16_t buffer[264] = {};
    ListViewDisplayInfo info{};
    info.item.mask = ListViewItemText;
    info.item.item = row;
    info.item.subItem = column;
    info.item.text = buffer;
    info.item.textMax = 260;
    info.item.parameter = parameter;
    NotifyParent(list.record, &info.header, ListViewGetDisplayInfo);
    if (!info.item.text || info.item.text == TextCallback) return std::u16string();
    // The parent may point at its own text; read at most what a cell shows.
    std::u16string text;
    for (int i = 0; i < 1024 && info.item.text[i]; i++)
        text.push_back(info.item.text[i]);
    return text;
}

void PlaceColumns(ListView& list) {
    int room = 0, growing = 0;
    if (DesktopFaceShown()) {
        room = list.face->viewport()->width();
        for (const ListColumn& column : list.columns) {
            room -= ToWindowPixels(column.width);
            growing += column.grows ? 1 : 0;
        }
    }
    room = std::max(0, room);
    list.placingColumns = true;
    for (size_t index = 0; index < list.columns.size(); index++) {
        ListColumn& column = list.columns[index];
        column.share = column.grows && growing > 0 ? room / growing : 0;
        room -= column.share;
        growing -= column.grows ? 1 : 0;
        list.face->header()->resizeSection(int(index), ToWindowPixels(column.width) + column.share);
    }
    list.placingColumns = false;
}

int FocusedRow(const ListView& list) {
    QModelIndex current = list.face->currentIndex();
    return current.isValid() ? current.row() : -1;
}

// --- Between threads -----------------------------------------------------------------------------------

std::shared_ptr<ListRowStore> FindRowStore(Window window) {
    std::lock_guard<std::mutex> lock(storesMutex);
    auto found = stores.find(reinterpret_cast<uintptr_t>(window));
    return found == stores.end() ? nullptr : found->second;
}

void PostNewRowsNotice(const ListRowStore& store) {
    PostToListFace(store, new NewRowsEvent);
}

void PostToListFace(const ListRowStore& store, QEvent* event) {
    // Posted under the registry's lock: the face leaves the registry before it goes away.
    std::lock_guard<std::mutex> lock(storesMutex);
    if (!stores.count(reinterpret_cast<uintptr_t>(store.window))) {
        delete event;
        return;
    }
    HandOverEvent(event);
    QCoreApplication::postEvent(store.face, event);
}
