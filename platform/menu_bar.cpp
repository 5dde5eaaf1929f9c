// A top-level window's menu bar: the items the program gave, kept for the script driver's dump, and on a
// desktop shown as a Qt menu bar above the window's client area, each item sending its command. Before a
// menu opens the window is asked what can be chosen; F10 opens the first menu, Alt and a menu's key letter
// open that menu.
#include "platform/controls.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace {

bool desktopFaceShown = false;

// The item's text with the keys it names shown beside it, in the desktop's own spelling.
QString ItemText(const MenuRecord& item) {
    QString text = ToQString(item.text);
    if (item.keys.empty()) return text;
    QKeySequence keys(ToQString(item.keys), QKeySequence::PortableText);
    return text + u'\t' + keys.toString(QKeySequence::NativeText);
}

// Builds the Qt menu bar on the window's face from its menu records.
void ShowMenuBar(WindowRecord* record) {
    auto* bar = new QMenuBar(record->widget);
    QMenu* menu = nullptr;
    int menuIndex = -1;
    Window window = HandleOf(record);
    for (MenuRecord& item : record->menu) {
        if (item.level == 0) {
            menu = bar->addMenu(ToQString(item.text));
            menuIndex++;
            QObject::connect(menu, &QMenu::aboutToShow, [window, menuIndex] {
                SendMessage(window, MessageInitMenuPopup, static_cast<FirstParameter>(menuIndex), 0);
            });
        } else if (!menu) {
            continue;
        } else if (item.separator) {
            menu->addSeparator();
        } else {
            uint16_t command = item.command;
            QAction* action = menu->addAction(ItemText(item));
            action->setEnabled(item.enabled);
            item.action = action;
            QObject::connect(action, &QAction::triggered, [window, command] {
                SendMessage(window, MessageCommand, MakeFirstParameter(command, 0), 0);
            });
        }
    }
    // F10 opens the first menu, as on every desktop; the keys then walk the menus.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), record->widget);
    QObject::connect(f10, &QShortcut::activated, [bar] {
        if (!bar->actions().isEmpty()) {
            bar->setFocus(Qt::MenuBarFocusReason);
            bar->setActiveAction(bar->actions().first());
        }
    });
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
        for (int index = 0; index < count; index++) {
            MenuRecord item;
            item.level = items[index].level;
            item.text = items[index].text ? items[index].text : u"";
            item.separator = items[index].text == nullptr;
            item.command = items[index].command;
            if (items[index].keys) item.keys = items[index].keys;
            record->menu.push_back(item);
        }
        if (desktopFaceShown && record->widget) ShowMenuBar(record);
        done = true;
    });
    return done;
}

bool EnableMenuItem(Window window, uint16_t command, bool enabled) {
    bool found = false;
    RunOnInterfaceThread([&] {
        WindowRecord* record = FindWindowRecord(window);
        if (!record) return;
        for (MenuRecord& item : record->menu) {
            if (item.level == 0 || item.separator || item.command != command) continue;
            item.enabled = enabled;
            if (auto* action = qobject_cast<QAction*>(item.action.data())) action->setEnabled(enabled);
            found = true;
        }
    });
    return found;
}
