// The file dialog that asks where to save: the host's own, or the script driver's answer.
#include "platform/controls.h"
#include "platform/device.h"
#include "platform/text.h"

#include <QFile>
#include <QFileDialog>

namespace {
FileDialogHook fileDialogHook = nullptr;
} // namespace

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook = hook;
}

bool GetSaveFileName(Window owner, const char16_t* caption, const char16_t* suggestedName,
                     const char16_t* filter, char16_t* path, int capacity) {
    std::string chosen;
    RunOnInterfaceThread([&] {
        if (fileDialogHook) {
            chosen = fileDialogHook(owner, caption ? caption : u"");
            return;
        }
        WindowRecord* ownerRecord = FindWindowRecord(owner);
        QWidget* parent = ownerRecord && ownerRecord->widget ? ownerRecord->widget->window() : nullptr;
        // The name's bytes as the host file system has them (not every name is UTF-8).
        chosen = QFile::encodeName(QFileDialog::getSaveFileName(parent, ToQString(caption),
                                                                ToQString(suggestedName), ToQString(filter)))
                     .toStdString();
    });
    if (chosen.empty() || capacity <= 0) return false;
    std::u16string devicePath = OpenHostFile(chosen);
    if (int(devicePath.size()) >= capacity) return false;
    CopyText(path, capacity, devicePath.c_str());
    return true;
}
