// The script driver's reading of the screen: the window tree as one JSON line (per window its class, id,
// page, text, rectangle, visible, enabled, and what a control holds), a control as a person reads it,
// and a message box as one JSON line.
#include "platform/dump.h"

#include "platform/list_view.h"
#include "platform/script.h"
#include "platform/text.h"

#include <QComboBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProgressBar>
#include <QStringList>
#include <QTabBar>

namespace {

bool IsPageWindow(const WindowRecord* record) {
    if (record->windowClass->kind != ControlKind::Registered || !record->parent) return false;
    const WindowRecord* parent = FindWindowRecord(record->parent);
    return parent && parent->windowClass->kind == ControlKind::Tab;
}

QJsonValue PageOf(const WindowRecord* record) {
    for (const WindowRecord* walk = record; walk; walk = FindWindowRecord(walk->parent))
        if (IsPageWindow(walk)) return QString::fromStdU16String(walk->windowClass->name);
    return QJsonValue::Null;
}

// --- What each kind of control holds --------------------------------------------------------------------

void DescribeComboBox(WindowRecord* record, QJsonObject& object) {
    auto* combo = static_cast<QComboBox*>(record->widget);
    QJsonArray items;
    for (int i = 0; i < combo->count(); i++)
        items.append(combo->itemText(i));
    object["items"] = items;
    object["selected"] = combo->currentIndex();
}

void DescribeListBox(WindowRecord* record, QJsonObject& object) {
    auto* list = static_cast<QListWidget*>(record->widget);
    QJsonArray items;
    for (int i = 0; i < list->count(); i++)
        items.append(list->item(i)->text());
    object["items"] = items;
    QList<QListWidgetItem*> selected = list->selectedItems();
    object["selected"] = selected.isEmpty() ? -1 : list->row(selected.first());
    object["extent"] = ListBoxHorizontalExtent(record);
}

void DescribeProgressBar(WindowRecord* record, QJsonObject& object) {
    auto* bar = static_cast<QProgressBar*>(record->widget);
    object["range"] = QJsonArray{bar->minimum(), bar->maximum()};
    object["pos"] = bar->value() < bar->minimum() ? bar->minimum() : bar->value();
}

void DescribeTabControl(WindowRecord* record, QJsonObject& object) {
    QTabBar* bar = record->widget->findChild<QTabBar*>();
    QJsonArray tabs;
    for (int i = 0; bar && i < bar->count(); i++)
        tabs.append(WithoutLiteralAmpersands(bar->tabText(i)));
    object["tabs"] = tabs;
    QJsonArray widths; // as laid out in the row, which shows only what lies within the control
    for (int i = 0; bar && i < bar->count(); i++)
        widths.append(ToDevicePixels(bar->tabRect(i).width()));
    object["tabWidths"] = widths;
    object["current"] = bar ? bar->currentIndex() : -1;
}

// Rows and cells as the list would show them, after it has caught up with the worker's rows.
void DescribeListView(WindowRecord* record, QJsonObject& object) {
    ListView* list = ListViewOf(record);
    if (!list) return;
    CatchUpWithNewRows(*list);
    QJsonArray columns;
    for (const ListColumn& column : list->columns)
        columns.append(QJsonObject{
            {"text",  QString::fromStdU16String(column.heading)},
            {"width", column.width                             }
        });
    object["columns"] = columns;
    QJsonArray rows;
    for (int row = 0; row < list->shownRows; row++) {
        QJsonArray cells;
        for (int column = 0; column < int(list->columns.size()); column++)
            cells.append(QString::fromStdU16String(CellText(*list, row, column)));
        rows.append(cells);
    }
    object["rows"] = rows;
    object["focused"] = FocusedRow(*list);
}

struct Describer {
    ControlKind kind;
    void (*describe)(WindowRecord* record, QJsonObject& object);
};
// clang-format off
constexpr Describer describers[] = {
    {ControlKind::ComboBox, DescribeComboBox   },
    {ControlKind::ListBox,  DescribeListBox    },
    {ControlKind::Progress, DescribeProgressBar},
    {ControlKind::Tab,      DescribeTabControl },
    {ControlKind::ListView, DescribeListView   },
};
// clang-format on

void DescribeControl(WindowRecord* record, QJsonObject& object) {
    if (!record->widget) return;
    for (const Describer& describer : describers)
        if (describer.kind == record->windowClass->kind) describer.describe(record, object);
}

// A top-level window's menu bar: [{"text":"&File","items":[{"text":"&Setup","id":501,"keys":"",
// "enabled":true},{"separator":true}]}].
QJsonArray DescribeMenu(const WindowRecord* record) {
    QJsonArray menus;
    QJsonObject menu;
    QJsonArray items;
    for (const MenuRecord& item : record->menu) {
        if (item.level == 0) {
            if (!menu.isEmpty())
                menus.append(QJsonObject{
                    {"text",  menu["text"]},
                    {"items", items       }
                });
            menu = QJsonObject{
                {"text", QString::fromStdU16String(item.text)}
            };
            items = QJsonArray();
        } else if (item.separator) {
            items.append(QJsonObject{
                {"separator", true}
            });
        } else {
            items.append(QJsonObject{
                {"text",    QString::fromStdU16String(item.text)},
                {"id",      item.command                        },
                {"keys",    QString::fromStdU16String(item.keys)},
                {"enabled", item.enabled                        }
            });
        }
    }
    if (!menu.isEmpty())
        menus.append(QJsonObject{
            {"text",  menu["text"]},
            {"items", items       }
        });
    return menus;
}

} // namespace

std::string DumpWindowTree() {
    ApplyMergedUpdates();
    QJsonArray list;
    for (WindowRecord* record : AllWindowRecords()) {
        if (record->destroyed) continue;
        QJsonObject object;
        object["class"] = QString::fromStdU16String(record->windowClass->name);
        object["id"] = record->id;
        object["page"] = PageOf(record);
        object["text"] = QString::fromStdU16String(record->text);
        bool topLevel = record->parent == nullptr;
        object["x"] = topLevel && record->x == UseDefaultPosition ? 0 : record->x;
        object["y"] = topLevel && record->y == UseDefaultPosition ? 0 : record->y;
        object["w"] = record->width;
        object["h"] = record->height;
        object["visible"] = record->visible;
        object["enabled"] = record->enabled;
        DescribeControl(record, object);
        if (topLevel) {
            object["zoom"] = DisplayZoom();
            object["menu"] = DescribeMenu(record);
        }
        list.append(object);
    }
    QJsonObject tree{
        {"windows", list}
    };
    return QJsonDocument(tree).toJson(QJsonDocument::Compact).toStdString();
}

std::string DescribeControlText(WindowRecord* record) {
    QJsonObject object;
    DescribeControl(record, object);
    std::string text = Utf8FromWide(record->text) + "\n";
    if (object.contains("rows")) {
        text.clear();
        for (const QJsonValue& row : object["rows"].toArray()) {
            QStringList cells;
            for (const QJsonValue& cell : row.toArray())
                cells.append(cell.toString());
            text += cells.join(" | ").toStdString() + "\n";
        }
    } else if (object.contains("items")) {
        text.clear();
        for (const QJsonValue& item : object["items"].toArray())
            text += item.toString().toStdString() + "\n";
    }
    return text;
}

std::string DescribeMessageBox(Window owner, const char16_t* text, const char16_t* caption) {
    const WindowRecord* record = FindWindowRecord(owner);
    QJsonObject box;
    box["owner"] =
        record ? QJsonValue(QString::fromStdU16String(record->windowClass->name)) : QJsonValue::Null;
    box["caption"] = QString::fromUtf16(caption);
    box["text"] = QString::fromUtf16(text);
    return QJsonDocument(QJsonObject{
                             {"box", box}
    })
        .toJson(QJsonDocument::Compact)
        .toStdString();
}
