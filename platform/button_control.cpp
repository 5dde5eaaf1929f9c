// The push button ("BUTTON"): a click is told to the parent; with the notify style, so are gaining and
// losing the focus. Its caption shows "&" as itself.
#include "platform/controls.h"

#include <QFocusEvent>
#include <QPushButton>

namespace {

class ButtonFace : public QPushButton {
  public:
    ButtonFace(WindowRecord* record, QWidget* parent) : QPushButton(parent), record_(record) {
        connect(this, &QPushButton::clicked, [this] { NotifyParentCommand(record_, ButtonClicked); });
    }
    void focusInEvent(QFocusEvent* event) override {
        QPushButton::focusInEvent(event);
        if (record_->style & ButtonNotify) NotifyParentCommand(record_, ButtonSetFocus);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QPushButton::focusOutEvent(event);
        if (record_->style & ButtonNotify) NotifyParentCommand(record_, ButtonKillFocus);
    }

  private:
    WindowRecord* record_; // its window
};

QWidget* CreateButtonFace(WindowRecord* record, QWidget* parentWidget) {
    return new ButtonFace(record, parentWidget);
}

void ShowButtonText(WindowRecord* record) {
    static_cast<ButtonFace*>(record->widget)->setText(WithLiteralAmpersands(ToQString(record->text)));
}

} // namespace

const ControlFunctions ButtonFunctions = {CreateButtonFace, nullptr, ShowButtonText};
