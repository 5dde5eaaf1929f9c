// A top-level window's menu bar: the items the program gave, kept for the script driver's dump, and on a
// desktop shown as a Qt menu bar above the window's client area, each item sending its command.
#include "platform/controls.h"

#include <QMenu>
#include <QMenuBar>

namespace {

bool desktopFaceShown = false;

// Builds the Qt menu bar on the window's face from its menu records.
void ShowMenuBar(WindowRecord* record) {
    auto* bar = new QMenuBar(record->widget);
    QMenu* menu = nullptr;
    Window window = HandleOf(record);
    for (const MenuRecord& item : record->menu) {
        if (item.level == 0) {
            menu = bar->addMenu(ToQString(item.text));
        } else if (!menu) {
            continue;
        } else if (item.separator) {
            menu->addSeparator();
        } else {
            uint16_t command = item.command;
            // The text after a tab is shown as the item's keys; the keys themselves are the program's.
            QObject::connect(menu->addAction(ToQString(item.text)), &QAction::triggered, [window, command] {
                SendMessage(window, MessageCommand, MakeFirstParameter(command, 0), 0);
            });
        }
    }
    bar->setGeometry(0, 0, record->width, bar->sizeHint().height());
    bar->show();
    record->menuBarHeight = bar->sizeHint().height();
    ApplyGeometry(record);
    for (Window child : record->children)
        if (WindowRecord* childRecord = FindWindowRecord(child)) ApplyGeometry(childRecord);
}

} // namespace

void SetDesktopFace(bool shown) {
    desktopFaceShown = shown;
}

bool DesktopFaceShown() {
    return desktopFaceShown;
}

bool SetWindowMenu(Window window, const MenuItem* items, int count) {
    bool done = false;
    RunOnInterfaceThread([&] {
        WindowRecord* record = FindWindowRecord(window);
        if (!record || record->parent || !record->menu.empty()) return;
        for (int index = 0; index < count; index++)
            record->menu.push_back(MenuRecord{items[index].level, items[index].text ? items[index].text : u"",
                                              items[index].text == nullptr, items[index].command});
        if (desktopFaceShown && record->widget) ShowMenuBar(record);
        done = true;
    });
    return done;
}
