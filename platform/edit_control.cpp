// The edit control ("edit"): one line of text the user types, told to the parent as it changes; with
// the upper-case style, typed letters become upper case as they are typed. A text limit bounds what the
// user may type and what the program may set.
#include "platform/controls.h"
#include "platform/text.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

constexpr int EditMaximumLength = 32767; // what a line edit holds without a limit

class EditFace : public QLineEdit {
  public:
    EditFace(WindowRecord* record, QWidget* parent) : QLineEdit(parent), record_(record) {
        setFrame((record->style & StyleBorder) != 0);
        connect(this, &QLineEdit::textChanged, [this](const QString& text) {
            if (settingText_) return;
            record_->text = text.toStdU16String();
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

  private:
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
