// The file dialogs that ask what to open and where to save: the host's own, in the folder of the file
// opened or saved last, or the script driver's answer.
#include "platform/controls.h"
#include "platform/device.h"
#include "platform/text.h"

#include <QFile>
#include <QFileDialog>

namespace {

FileDialogHook fileDialogHook = nullptr;

enum class DialogKind { Open, Save };

// The folder the dialog starts in: that of the file opened or saved last; Qt's own choice without one.
QString StartingFolder() {
    std::string last = LastOpenedHostFile();
    size_t slash = last.rfind('/');
    if (slash == std::string::npos) return QString();
    return QFile::decodeName(QByteArray::fromStdString(last.substr(0, slash == 0 ? 1 : slash)));
}

// Asks for a host file; gives its device path in path. False when cancelled or too long for path.
bool AskForFile(DialogKind kind, Window owner, const char16_t* caption, const char16_t* suggestedName,
                const char16_t* filter, char16_t* path, int capacity) {
    std::string chosen;
    RunOnInterfaceThread([&] {
        if (fileDialogHook) {
            chosen = fileDialogHook(owner, caption ? caption : u"");
            return;
        }
        WindowRecord* ownerRecord = FindWindowRecord(owner);
        QWidget* parent = ownerRecord && ownerRecord->widget ? ownerRecord->widget->window() : nullptr;
        QString folder = StartingFolder();
        QString answer;
        if (kind == DialogKind::Save) {
            QString suggested = ToQString(suggestedName);
            if (!folder.isEmpty()) suggested = folder + u'/' + suggested;
            answer = QFileDialog::getSaveFileName(parent, ToQString(caption), suggested, ToQString(filter));
        } else {
            answer = QFileDialog::getOpenFileName(parent, ToQString(caption), folder, ToQString(filter));
        }
        // The name's bytes as the host file system has them (not every name is UTF-8).
        chosen = QFile::encodeName(answer).toStdString();
    });
    if (chosen.empty() || capacity <= 0) return false;
    std::u16string devicePath = OpenHostFile(chosen);
    if (int(devicePath.size()) >= capacity) return false;
    CopyText(path, capacity, devicePath.c_str());
    return true;
}

} // namespace

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook = hook;
}

bool GetSaveFileName(Window owner, const char16_t* caption, const char16_t* suggestedName,
                     const char16_t* filter, char16_t* path, int capacity) {
    return AskForFile(DialogKind::Save, owner, caption, suggestedName, filter, path, capacity);
}

bool GetOpenFileName(Window owner, const char16_t* caption, const char16_t* filter, char16_t* path,
                     int capacity) {
    return AskForFile(DialogKind::Open, owner, caption, nullptr, filter, path, capacity);
}
