// Keys that stand for commands: one application-wide filter reads every key press before the window it is
// meant for, and turns the keys the program named for that window into a command message; and the
// clipboard.
#include "platform/controls.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>
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
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* press = static_cast<QKeyEvent*>(event);
        const KeyCommand* row =
            FindKeyCommand(static_cast<QWidget*>(watched), Plain(press->keyCombination()));
        if (!row || !FindWindowRecord(row->target)) return false;
        Window target = row->target;
        uint16_t command = row->command;
        SendMessage(target, MessageCommand, MakeFirstParameter(command, 0), 0);
        return true;
    }
};

} // namespace

bool AddKeyCommand(Window window, const char16_t* keys, bool withChildren, Window target, uint16_t command) {
    QKeySequence sequence(ToQString(keys), QKeySequence::PortableText);
    if (!FindWindowRecord(window) || sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
        return false;
    static KeyCommandFilter* filter = nullptr;
    if (!filter) {
        filter = new KeyCommandFilter;
        QApplication::instance()->installEventFilter(filter);
    }
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
