// The edit control ("edit"): one line of text the user types, told to the parent as it changes; with
// the upper-case style, its text is upper case whatever brought it (typed, pasted, dropped, an input
// method). A text limit bounds what the user may type and what the program may set. A file dropped on it
// is dropped on its window (which opens a database dropped on it), not typed in as its name.
#include "platform/controls.h"
#include "platform/text.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

namespace {

constexpr int EditMaximumLength = 32767; // what a line edit holds without a limit

class EditFace : public QLineEdit {
  public:
    EditFace(WindowRecord* record, QWidget* parent) : QLineEdit(parent), record_(record) {
        setFrame((record->style & StyleBorder) != 0);
        connect(this, &QLineEdit::textChanged, [this](const QString&) {
            if (settingText_) return;
            KeepUpperCase();
            record_->text = this->text().toStdU16String();
            NotifyParentCommand(record_, EditChange);
        });
    }
    // The program's own text: the record already holds it, the parent is told once.
    void SetTextQuietly(const QString& text) {
        settingText_ = true;
        setText(text);
        settingText_ = false;
        NotifyParentCommand(record_, EditChange);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // Typed letters become upper case as they are typed, keeping the edit's undo.
        if ((record_->style & EditUpperCase) && !event->text().isEmpty() && event->text().at(0).isPrint()) {
            QString upper = QString::fromStdU16String(UpperCaseWide(event->text().toStdU16String()));
            QKeyEvent converted(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                                static_cast<ushort>(event->count()));
            QLineEdit::keyPressEvent(&converted);
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (CarriesLocalFile(event->mimeData()))
            event->acceptProposedAction();
        else
            QLineEdit::dragEnterEvent(event);
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (CarriesLocalFile(event->mimeData()))
            event->acceptProposedAction();
        else
            QLineEdit::dragMoveEvent(event);
    }
    void dropEvent(QDropEvent* event) override {
        if (DropFileOnWindow(record_, event->mimeData()))
            event->acceptProposedAction();
        else
            QLineEdit::dropEvent(event);
    }

  private:
    // What was not typed (a paste, a drop, an input method's text) is made upper case as one more
    // change of the same edit, so the parent hears one change with the text as it stays.
    void KeepUpperCase() {
        if (!(record_->style & EditUpperCase)) return;
        QString upper = QString::fromStdU16String(UpperCaseWide(text().toStdU16String()));
        if (upper == text()) return;
        int cursor = cursorPosition();
        settingText_ = true;
        selectAll();
        insert(upper);
        setCursorPosition(cursor);
        settingText_ = false;
    }

    WindowRecord* record_;     // its window
    bool settingText_ = false; // the program is setting the text: no change is told twice
};

QWidget* CreateEditFace(WindowRecord* record, QWidget* parentWidget) {
    return new EditFace(record, parentWidget);
}

// Codes: EditLimitText returns 0.
bool EditMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter,
                 MessageResult* result) {
    if (message != EditLimitText) return false;
    int limit = static_cast<int>(first);
    static_cast<EditFace*>(record->widget)->setMaxLength(limit <= 0 ? EditMaximumLength : limit);
    *result = 0;
    return true;
}

void ShowEditText(WindowRecord* record) {
    auto* edit = static_cast<EditFace*>(record->widget);
    QString text = ToQString(record->text);
    if (edit->text() != text) edit->SetTextQuietly(text);
    // A text longer than the edit's limit is cut to it; the window text is what the edit holds.
    if (edit->text() != text) record->text = edit->text().toStdU16String();
}

} // namespace

const ControlFunctions EditFunctions = {CreateEditFace, EditMessage, ShowEditText};
