// Where faces lie: device rectangles at the zoom, and on a desktop the anchors that let a child follow a
// parent the user made larger; a desktop window's size, place and maximized state across runs.
#include "platform/controls.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <climits>

namespace {

bool rememberPlacement = false;

// A first start: room for the list and the criteria, as a share of the screen's free area.
constexpr double FirstWidthShare = 0.45;
constexpr double FirstHeightShare = 0.7;
constexpr int ComboBoxClosedHeight = 20; // device pixels: a combo box's height includes its drop-down list

// The store of window placements: QSettings in the user's configuration folder, one key per class.
QString PlacementKey(const WindowRecord* record) {
    return "window/" + QString::fromStdU16String(record->windowClass->name) + "/geometry";
}

QSettings& PlacementStore() {
    static QSettings store(QSettings::IniFormat, QSettings::UserScope, "dialdex", "dialdex");
    return store;
}

// How far the parent's face is larger than the parent's own rectangle, in window pixels.
QSize ParentGrowth(const WindowRecord* parent) {
    int menuBar = parent->parent ? 0 : parent->menuBarHeight;
    return QSize(std::max(0, parent->widget->width() - ToWindowPixels(parent->width)),
                 std::max(0, parent->widget->height() - menuBar - ToWindowPixels(parent->height)));
}

// The sibling created just before the window under the same parent, or null.
const WindowRecord* PreviousSibling(const WindowRecord* record, const WindowRecord* parent) {
    const WindowRecord* previous = nullptr;
    for (Window child : parent->children) {
        const WindowRecord* childRecord = FindWindowRecord(child);
        if (childRecord == record) return previous;
        if (childRecord) previous = childRecord;
    }
    return nullptr;
}

// The width a widening static text needs for its text, in window pixels.
int TextWidth(const WindowRecord* record) {
    if (!record->widget) return 0;
    constexpr int Margin = 2; // the label's own margins
    return record->widget->fontMetrics().horizontalAdvance(QString::fromStdU16String(record->text)) + Margin;
}

} // namespace

QRect PlacedRectangle(const WindowRecord* record) {
    const WindowRecord* parent = FindWindowRecord(record->parent);
    int below = parent && !parent->parent ? parent->menuBarHeight : 0;
    int left = ToWindowPixels(record->x), right = ToWindowPixels(record->x + record->width);
    int top = ToWindowPixels(record->y), bottom = ToWindowPixels(record->y + record->height);
    if (DesktopFaceShown() && record->anchors && parent && parent->widget) {
        QSize grown = ParentGrowth(parent);
        int bound = record->maximumGrowth > 0 ? ToWindowPixels(record->maximumGrowth) : INT_MAX;
        int across = std::min(grown.width(), bound), down = std::min(grown.height(), bound);
        if (record->anchors & AnchorMoveRight) left += across;
        if (record->anchors & (AnchorMoveRight | AnchorGrowRight)) right += across;
        if (record->anchors & AnchorMoveDown) top += down;
        if (record->anchors & (AnchorMoveDown | AnchorGrowDown)) bottom += down;
        int parentRight = parent->widget->width() - ToWindowPixels(std::max(0, record->x));
        if (record->anchors & AnchorWidenToText)
            right = std::max(right, std::min(left + TextWidth(record), parentRight));
        const WindowRecord* previous = PreviousSibling(record, parent);
        if ((record->anchors & AnchorYieldToPrevious) && previous && previous->visible)
            left = std::max(left, std::min(PlacedRectangle(previous).right() + 1 + ToWindowPixels(4), right));
    }
    if (record->windowClass->kind == ControlKind::ComboBox)
        bottom = top + std::min(bottom - top, ToWindowPixels(ComboBoxClosedHeight));
    return QRect(left, top + below, right - left, bottom - top);
}

void PlaceChildren(WindowRecord* record) {
    if (!record->parent && record->widget)
        if (auto* bar = record->widget->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly))
            bar->resize(record->widget->width(), bar->height());
    for (Window child : record->children) {
        WindowRecord* childRecord = FindWindowRecord(child);
        if (!childRecord || !childRecord->widget) continue;
        childRecord->widget->setGeometry(PlacedRectangle(childRecord));
        PlaceChildren(childRecord);
    }
}

void PlaceTopLevelFace(WindowRecord* record) {
    QWidget* face = record->widget;
    QSize least(ToWindowPixels(record->width), ToWindowPixels(record->height) + record->menuBarHeight);
    face->setMinimumSize(least);
    if (face->property("placed").toBool()) return;
    face->setProperty("placed", true);
    QByteArray remembered = rememberPlacement ? PlacementStore().value(PlacementKey(record)).toByteArray()
                                              : QByteArray();
    if (!remembered.isEmpty() && face->restoreGeometry(remembered)) return;
    // The window manager places a new window; its size gives the list and the criteria room.
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize first = least;
    if (rememberPlacement && screen) {
        QRect available = screen->availableGeometry();
        first = first.expandedTo(QSize(int(available.width() * FirstWidthShare),
                                       int(available.height() * FirstHeightShare)));
        first = first.boundedTo(available.size()).expandedTo(least);
    }
    face->resize(first);
}

void RememberWindowPlacement(bool remember) {
    rememberPlacement = remember;
}

void SaveWindowPlacements() {
    if (!rememberPlacement) return;
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && !record->parent && record->widget)
            PlacementStore().setValue(PlacementKey(record), record->widget->saveGeometry());
    PlacementStore().sync();
}

bool SetWindowAnchors(Window window, uint32_t anchors, int maximumGrowth) {
    bool found = false;
    RunOnInterfaceThread([&] {
        WindowRecord* record = FindWindowRecord(window);
        if (!record) return;
        found = true;
        record->anchors = anchors;
        record->maximumGrowth = maximumGrowth;
        ApplyGeometry(record);
    });
    return found;
}
