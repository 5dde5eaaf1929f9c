// The progress bar ("msctls_progress32"): a 32-bit range and a position kept inside it.
#include "platform/controls.h"

#include <QProgressBar>
#include <algorithm>

namespace {

QWidget* CreateProgressFace(WindowRecord*, QWidget* parentWidget) {
    auto* bar = new QProgressBar(parentWidget);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

// The position as the platform reports it: never below the range.
int Position(const QProgressBar* bar) {
    return bar->value() < bar->minimum() ? bar->minimum() : bar->value();
}

// Codes: the range before (SetRange32, low and high words), the position before (SetPosition), the
// position, or an end of the range.
bool ProgressMessage(WindowRecord* record, uint32_t message, FirstParameter first, SecondParameter second,
                     MessageResult* result) {
    auto* bar = static_cast<QProgressBar*>(record->widget);
    switch (message) {
    case ProgressSetRange32: {
        int low = static_cast<int>(static_cast<intptr_t>(first));
        int high = static_cast<int>(second);
        *result =
            MakeFirstParameter(static_cast<uint16_t>(bar->minimum()), static_cast<uint16_t>(bar->maximum()));
        bar->setRange(low, high < low ? low : high);
        return true;
    }
    case ProgressSetPosition:
        *result = Position(bar);
        // The platform keeps the position inside the range.
        bar->setValue(
            std::clamp(static_cast<int>(static_cast<intptr_t>(first)), bar->minimum(), bar->maximum()));
        return true;
    case ProgressGetPosition:
        *result = Position(bar);
        return true;
    case ProgressGetRange:
        *result = first ? bar->minimum() : bar->maximum();
        return true;
    default:
        return false;
    }
}

} // namespace

const ControlFunctions ProgressFunctions = {CreateProgressFace, ProgressMessage, nullptr};
