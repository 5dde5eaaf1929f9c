// A box that shows how far a long task of the program has come (an export of many rows): shown while
// the task runs and closed at its end. The script driver's runs show none.
#include "platform/controls.h"

#include <QApplication>
#include <QProgressDialog>

namespace {
QProgressDialog* progressBox = nullptr; // the box shown, or null
} // namespace

void ShowProgressBox(Window owner, const char16_t* caption, int done, int total) {
    RunOnInterfaceThread([&] {
        if (!DesktopFaceShown()) return;
        if (done >= total) {
            delete progressBox;
            progressBox = nullptr;
            return;
        }
        if (!progressBox) {
            WindowRecord* ownerRecord = FindWindowRecord(owner);
            progressBox = new QProgressDialog(
                ToQString(caption), QString(), 0, total,
                ownerRecord && ownerRecord->widget ? ownerRecord->widget->window() : nullptr);
            progressBox->setWindowModality(Qt::WindowModal);
            progressBox->setMinimumDuration(0);
        }
        progressBox->setMaximum(total);
        progressBox->setValue(done);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}
