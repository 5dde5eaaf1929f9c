// What a screen reader says for a control: the text of the static that labels it, or a name given.
#include "platform/controls.h"

#include <QLabel>

bool SetWindowLabel(Window control, Window label) {
    bool done = false;
    RunOnInterfaceThread([&] {
        WindowRecord* controlRecord = FindWindowRecord(control);
        WindowRecord* labelRecord = FindWindowRecord(label);
        if (!controlRecord || !labelRecord || !controlRecord->widget) return;
        auto* labelFace = qobject_cast<QLabel*>(labelRecord->widget);
        if (!labelFace) return;
        // Qt names an edit after the label whose buddy it is, but a selector by its chosen item and a list
        // by nothing: the name is set, and follows the label's text (ShowLabelText).
        labelFace->setBuddy(controlRecord->widget);
        controlRecord->widget->setAccessibleName(labelFace->text());
        done = true;
    });
    return done;
}

bool SetAccessibleName(Window window, const char16_t* name) {
    bool done = false;
    RunOnInterfaceThread([&] {
        WindowRecord* record = FindWindowRecord(window);
        if (!record || !record->widget) return;
        record->widget->setAccessibleName(ToQString(name ? name : u""));
        done = true;
    });
    return done;
}

void ShowLabelText(QLabel* label) {
    if (QWidget* labelled = label->buddy()) labelled->setAccessibleName(label->text());
}
