// Keys that stand for commands: a filter on the faces of the windows the program named keys for (and the
// faces inside them) reads each key press before the face does, and turns the keys named into a command
// message; and the clipboard.
#include "platform/controls.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <vector>

namespace {

struct KeyCommand {
    Window window;        // where the keys are pressed
    QKeyCombination keys; // one combination, Backtab read as Shift+Tab
    bool withChildren;    // also when pressed in a window inside it
    Window target;        // who receives the command
    uint16_t command;     // the command's identifier
};
std::vector<KeyCommand> keyCommands;

// Shift+Tab arrives as Backtab with Shift held: one spelling for both.
QKeyCombination Plain(QKeyCombination keys) {
    if (keys.key() == Qt::Key_Backtab)
        return QKeyCombination(keys.keyboardModifiers() | Qt::ShiftModifier, Qt::Key_Tab);
    return QKeyCombination(keys.keyboardModifiers() & ~Qt::KeypadModifier, keys.key());
}

WindowRecord* RecordOfWidget(const QWidget* widget) {
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && record->widget == widget) return record;
    return nullptr;
}

// The command row that the keys pressed in widget name, or null: the innermost window's row wins.
const KeyCommand* FindKeyCommand(QWidget* widget, QKeyCombination keys) {
    bool pressedHere = true;
    for (QWidget* at = widget; at; at = at->parentWidget()) {
        WindowRecord* record = RecordOfWidget(at);
        // A window of Qt's own (a box, a dialog, a selector's open list) keeps its keys.
        if (!record && at->isWindow()) return nullptr;
        if (!record) continue;
        for (const KeyCommand& row : keyCommands)
            if (row.window == HandleOf(record) && row.keys == keys && (pressedHere || row.withChildren))
                return &row;
        pressedHere = false;
    }
    return nullptr;
}

class KeyCommandFilter : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease) pressUnderWay = nullptr;
        if (event->type() != QEvent::KeyPress) return false;
        auto* widget = static_cast<QWidget*>(watched);
        auto* press = static_cast<QKeyEvent*>(event);
        // A press that a control did not take goes on to the windows around it: its keys were looked up
        // where it was pressed (innermost window first), and are not taken again on the way (an arrow an
        // empty list leaves is not the tab bar's). Qt makes each press in the same place, so the press on
        // its way is the same press, of the same key, now at a window around where it was pressed.
        if (event == pressUnderWay && press->key() == keyUnderWay && pressedIn &&
            widget->isAncestorOf(pressedIn))
            return false;
        pressUnderWay = event;
        keyUnderWay = press->key();
        pressedIn = widget;
        return RunKeyCommand(widget, press);
    }

  private:
    const QEvent* pressUnderWay = nullptr; // the press being delivered, until its release
    int keyUnderWay = 0;
    QPointer<QWidget> pressedIn;
};
KeyCommandFilter* keyFilter = nullptr;

// The filter goes on the window's face and every face inside it, but not on a list view's: rows told
// from the worker reach that face as posted events, and a list view asks for its keys itself.
void WatchKeys(QWidget* widget) {
    if (!keyFilter) keyFilter = new KeyCommandFilter;
    std::vector<QWidget*> widgets{widget};
    for (QWidget* child : widget->findChildren<QWidget*>())
        widgets.push_back(child);
    for (QWidget* each : widgets) {
        WindowRecord* record = RecordOfWidget(each);
        if (record && record->windowClass->kind == ControlKind::ListView) continue;
        each->removeEventFilter(keyFilter);
        each->installEventFilter(keyFilter);
    }
}

} // namespace

bool RunKeyCommand(QWidget* widget, QKeyEvent* press) {
    const KeyCommand* row = FindKeyCommand(widget, Plain(press->keyCombination()));
    if (!row || !FindWindowRecord(row->target)) return false;
    Window target = row->target;
    uint16_t command = row->command;
    QPointer<QWidget> pressedIn = widget->hasFocus() ? widget : nullptr;
    SendMessage(target, MessageCommand, MakeFirstParameter(command, 0), 0);
    // The focus stays where the keys were pressed while that control is still shown (the arrows on the tab
    // bar go on from tab to tab); a command that hid it (a page left) lets the page shown take it.
    if (pressedIn && pressedIn->isVisible() && !pressedIn->hasFocus())
        pressedIn->setFocus(Qt::OtherFocusReason);
    return true;
}

bool AddKeyCommand(Window window, const char16_t* keys, bool withChildren, Window target, uint16_t command) {
    QKeySequence sequence(ToQString(keys), QKeySequence::PortableText);
    if (!FindWindowRecord(window) || sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
        return false;
    WindowRecord* record = FindWindowRecord(window);
    if (record->widget && record->windowClass->kind != ControlKind::ListView) WatchKeys(record->widget);
    keyCommands.push_back(KeyCommand{window, Plain(sequence[0]), withChildren, target, command});
    return true;
}

void ForgetKeyCommands() {
    keyCommands.clear();
}

bool SetClipboardText(const char16_t* text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    clipboard->setText(ToQString(text));
    return true;
}
