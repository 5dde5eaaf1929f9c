// Where the keyboard's focus goes on a desktop: the program never names a focus, so the window layer puts
// it where the hands are: when a page (or the window) is shown, in its first edit, else its list; when a
// focused list gets its first rows, on the first row. The handheld face (--screen, --script) is left as
// it is.
#include "platform/list_view.h"

namespace {

// The kinds of control that take the focus when their page is shown, in order of preference.
constexpr ControlKind focusOrder[] = {ControlKind::Edit, ControlKind::ListView, ControlKind::ListBox};

// The first visible, enabled control of the kind inside the window, in creation order, or null.
WindowRecord* FirstControlOfKind(WindowRecord* window, ControlKind kind) {
    for (Window child : window->children) {
        WindowRecord* record = FindWindowRecord(child);
        if (!record || !record->visible) continue;
        if (record->windowClass->kind == kind && record->enabled && record->widget) return record;
        if (WindowRecord* inside = FirstControlOfKind(record, kind)) return inside;
    }
    return nullptr;
}

} // namespace

void PlaceFocusInShownWindow(WindowRecord* shown) {
    if (!DesktopFaceShown() || shown->windowClass->kind != ControlKind::Registered) return;
    for (ControlKind kind : focusOrder)
        if (WindowRecord* control = FirstControlOfKind(shown, kind)) {
            control->widget->setFocus(Qt::OtherFocusReason);
            return;
        }
}

void PlaceFocusOnFirstRow(ListView& list, int rowsBefore) {
    if (!DesktopFaceShown() || rowsBefore != 0 || list.shownRows == 0) return;
    if (list.face->currentIndex().isValid() || list.face->window()->focusWidget() != list.face) return;
    list.face->setCurrentIndex(list.model->index(0, 0));
}
