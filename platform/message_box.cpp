// Message boxes: modal, owned, captioned, with an OK button; the script driver and the tests answer them
// through a hook instead.
#include "platform/controls.h"

#include <QMessageBox>

namespace {
MessageBoxHook messageBoxHook = nullptr;
} // namespace

int MessageBox(Window owner, const char16_t* text, const char16_t* caption, uint32_t) {
    int result = MessageBoxResultOk;
    RunOnInterfaceThread([&] {
        if (messageBoxHook) {
            result = messageBoxHook(owner, text ? text : u"", caption ? caption : u"");
            return;
        }
        WindowRecord* ownerRecord = FindWindowRecord(owner);
        QMessageBox box(QMessageBox::NoIcon, PlainWindowTitle(caption ? caption : u""), ToQString(text),
                        QMessageBox::Ok,
                        ownerRecord && ownerRecord->widget ? ownerRecord->widget->window() : nullptr);
        // The texts come from the language file, database paths and the user: never markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
    return result;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook = hook;
}
