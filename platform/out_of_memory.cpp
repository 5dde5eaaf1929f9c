// Memory that runs out in the window program: an allocation refused anywhere in a window procedure, a Qt
// event or a thread the program started ends in a box, not in the process being aborted. A reserve kept
// from the start is given back first, so that the box itself has the memory it needs.
#include "platform/window_system.h"

#include <QApplication>
#include <cstdlib>
#include <new>

namespace {

constexpr size_t ReserveBytes = 8 << 20;
void* reserve = std::malloc(ReserveBytes);

const char16_t* boxCaption = u"Error";
const char16_t* boxText = u"Out of memory: the last action was not completed.";

} // namespace

void SetOutOfMemoryBox(const char16_t* caption, const char16_t* text) {
    boxCaption = caption;
    boxText = text;
}

void ShowOutOfMemoryBox(Window owner) {
    std::free(reserve);
    reserve = nullptr;
    try {
        MessageBox(owner, boxText, boxCaption, MessageBoxOk);
    } catch (const std::bad_alloc&) {
        // Not even the box could be shown: what was being done is dropped all the same.
    }
    if (!reserve) reserve = std::malloc(ReserveBytes);
}

bool DeviceApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryBox(nullptr);
        return false;
    }
}
