// The list view in report mode: rows that carry item data and texts (stored or supplied on demand by the
// parent), columns the user can drag, sorting through a compare callback, focus, activation and column
// clicks. The rows live in a table model; the view asks for the texts of visible cells only.
#include "platform/window_system.h"

#include "platform/text.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QTreeView>
#include <algorithm>
#include <memory>

namespace {

struct ListRow {
    SecondParameter parameter = 0;             // item data
    uint32_t state = 0;                        // item state bits
    uint32_t callbackCells = 0;                // bit i: the text of column i is supplied on demand
    std::unique_ptr<std::u16string[]> texts;   // stored texts, only for rows that have any
};

struct ListColumn {
    std::u16string heading; // its heading
    int width;              // pixels
};

class ListModel : public QAbstractTableModel {
  public:
    explicit ListModel(WindowRecord* record) : record_(record) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(rows.size()); }
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
        if (row < 0 || row >= int(rows.size()) || column < 0 || column >= 32) return std::u16string();
        const ListRow& listRow = rows[row];
        if (listRow.callbackCells & (1u << column)) {
            char16_t buffer[264] = {};
            ListViewDisplayInfo info{};
            info.item.mask = ListViewItemText;
            info.item.item = row;
            info.item.subItem = column;
            info.item.text = buffer;
            info.item.textMax = 260;
            info.item.parameter = listRow.parameter;
            NotifyParent(record_, &info.header, ListViewGetDisplayInfo);
            if (!info.item.text || info.item.text == TextCallback) return std::u16string();
            // The parent may point at its own text; read at most what a cell shows.
            std::u16string text;
            for (int i = 0; i < 1024 && info.item.text[i]; i++) text.push_back(info.item.text[i]);
            return text;
        }
        if (listRow.texts && column < int(columns.size())) return listRow.texts[column];
        return std::u16string();
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

    std::vector<ListRow> rows;
    std::vector<ListColumn> columns;
    uint32_t extendedStyle = 0;

  private:
    WindowRecord* record_;
};

class ListViewControl : public QTreeView {
  public:
    ListViewControl(WindowRecord* record, QWidget* parent) : QTreeView(parent), model(record), record_(record) {
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
        if (row >= 0 && row < int(model.rows.size())) notification.parameter = model.rows[row].parameter;
        NotifyParent(record_, &notification.header, ListViewItemActivate);
    }
    int FocusedRow() const {
        QModelIndex current = currentIndex();
        return current.isValid() ? current.row() : -1;
    }

    ListModel model;

  private:
    WindowRecord* record_;
};

ListViewControl* Face(WindowRecord* record) { return dynamic_cast<ListViewControl*>(record->widget); }

void SetCellText(ListModel& model, ListRow& row, int column, const char16_t* text) {
    if (column < 0 || column >= 32) return;
    if (text == TextCallback) {
        row.callbackCells |= 1u << column;
        return;
    }
    row.callbackCells &= ~(1u << column);
    if (column >= int(model.columns.size())) return;
    if (!row.texts) row.texts = std::make_unique<std::u16string[]>(model.columns.size());
    row.texts[column] = text ? std::u16string(text) : std::u16string();
}

} // namespace

QWidget* CreateListViewWidget(WindowRecord* record, QWidget* parentWidget) {
    auto* view = new ListViewControl(record, parentWidget);
    record->widget = view;
    return view;
}

bool ListViewDefaultProcessing(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                               MessageResult* result) {
    ListViewControl* view = Face(record);
    if (!view) return false;
    ListModel& model = view->model;
    switch (message) {
    case ListViewGetItemCount:
        *result = static_cast<MessageResult>(model.rows.size());
        return true;
    case ListViewDeleteAllItems:
        model.BeginReset();
        model.rows.clear();
        model.EndReset();
        *result = 1;
        return true;
    case ListViewInsertColumn: {
        const ListViewColumn* column = reinterpret_cast<const ListViewColumn*>(second);
        int index = static_cast<int>(first);
        if (!column || index < 0 || model.columns.size() >= 32) {
            *result = -1;
            return true;
        }
        index = std::min(index, int(model.columns.size()));
        model.BeginColumn(index);
        model.columns.insert(model.columns.begin() + index,
                             ListColumn{(column->mask & ListViewColumnText) && column->text ? column->text : u"",
                                        (column->mask & ListViewColumnWidth) ? column->width : 50});
        for (ListRow& row : model.rows)
            if (row.texts) {
                auto texts = std::make_unique<std::u16string[]>(model.columns.size());
                for (size_t i = 0, j = 0; i < model.columns.size(); i++)
                    if (int(i) != index) texts[i] = row.texts[j++];
                row.texts = std::move(texts);
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
        int index = std::min(item->item, int(model.rows.size()));
        ListRow row;
        if (item->mask & ListViewItemParameter) row.parameter = item->parameter;
        if (item->mask & ListViewItemState) row.state = item->state & item->stateMask;
        if (item->mask & ListViewItemText) SetCellText(model, row, 0, item->text);
        model.BeginInsert(index);
        model.rows.insert(model.rows.begin() + index, std::move(row));
        model.EndInsert();
        *result = index;
        return true;
    }
    case ListViewSetItemText: {
        const ListViewItem* item = reinterpret_cast<const ListViewItem*>(second);
        int index = static_cast<int>(first);
        if (!item || index < 0 || index >= int(model.rows.size())) {
            *result = 0;
            return true;
        }
        SetCellText(model, model.rows[index], item->subItem, item->text);
        model.ChangedCell(index, item->subItem);
        *result = 1;
        return true;
    }
    case ListViewGetItem: {
        ListViewItem* item = reinterpret_cast<ListViewItem*>(second);
        if (!item || item->item < 0 || item->item >= int(model.rows.size())) {
            *result = 0;
            return true;
        }
        const ListRow& row = model.rows[item->item];
        if (item->mask & ListViewItemParameter) item->parameter = row.parameter;
        if (item->mask & ListViewItemState) item->state = row.state;
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
            *result = start + 1 < int(model.rows.size()) ? start + 1 : -1;
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
        SecondParameter focusedParameter = focused >= 0 ? model.rows[focused].parameter : 0;
        emit model.layoutAboutToBeChanged();
        std::stable_sort(model.rows.begin(), model.rows.end(), [&](const ListRow& left, const ListRow& right) {
            return compare(left.parameter, right.parameter, sortParameter) < 0;
        });
        emit model.layoutChanged();
        if (focused >= 0)
            for (size_t i = 0; i < model.rows.size(); i++)
                if (model.rows[i].parameter == focusedParameter) {
                    view->setCurrentIndex(model.index(int(i), 0));
                    break;
                }
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
    QJsonArray columns;
    for (const ListColumn& column : model.columns)
        columns.append(QJsonObject{{"text", QString::fromStdU16String(column.heading)}, {"width", column.width}});
    object["columns"] = columns;
    QJsonArray rows;
    for (int row = 0; row < int(model.rows.size()); row++) {
        QJsonArray cells;
        for (int column = 0; column < int(model.columns.size()); column++)
            cells.append(QString::fromStdU16String(model.CellText(row, column)));
        rows.append(cells);
    }
    object["rows"] = rows;
    object["focused"] = view->FocusedRow();
}

bool UserActivateRow(WindowRecord* record, int row) {
    ListViewControl* view = Face(record);
    if (!view || row < 0 || row >= int(view->model.rows.size())) return false;
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
