// Export of the result rows: a CSV file (UTF-8, a heading line, the rows in the order shown) put in place
// of the chosen file whole or not at all.
#include "app/desktop_texts.h"
#include "app/messages.h"
#include "app/pages.h"
#include "app/result_text.h"
#include "db/database_list.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/text.h"
#include "search/search_page.h"

namespace {

struct ExportRun {
    StreamFile* file; // the replacement file written
    Window owner;     // the progress box's owner
};

bool WritePiece(const std::string& bytes, int rowsDone, int rowsInAll, void* context) {
    ExportRun* run = static_cast<ExportRun*>(context);
    int count = static_cast<int>(bytes.size());
    if (rowsDone < rowsInAll)
        ShowProgressBox(run->owner, DesktopText(TextExportCaption), rowsDone, rowsInAll);
    return WriteStreamBytes(run->file, bytes.data(), count) == count;
}

} // namespace

int ExportResults(Window owner) {
    char16_t filter[256];
    FormatWide(filter, 256, u"%s (*.csv);;%s (*)", {DesktopText(TextCsvFiles), DesktopText(TextAllFiles)});
    char16_t path[520];
    if (!GetSaveFileName(owner, DesktopText(TextExportCaption), u"results.csv", filter, path, 520)) return 1;
    // The rows' own database would be lost under its rows' text.
    char16_t searched[260];
    if (SearchedDatabase.path[0] != 0 && PathToOpen(SearchedDatabase, searched) == 0 &&
        IsSameFile(path, searched)) {
        char16_t shown[600];
        FileNameForBox(path, u"it is the database the results come from", shown, 600);
        ShowMessage(owner, TextError, DesktopText(TextCouldNotWrite), {shown});
        return -1;
    }
    Cursor previous = SetCursor(WaitCursor);
    ClearFileError();
    StreamFile* file = OpenReplacementFile(path);
    int result = -1;
    ExportRun run{file, owner};
    if (file && WriteResultRows(true, RowTextForm::Csv, WritePiece, &run) == 0)
        result = CommitReplacementFile(file);
    else if (file)
        AbandonReplacementFile(file);
    ShowProgressBox(owner, DesktopText(TextExportCaption), 1, 1);
    SetCursor(previous);
    if (result != 0) {
        // The chosen file is the user's host file: its host path and the reason, not a device path.
        char16_t shown[600];
        FileNameForBox(path, nullptr, shown, 600);
        ShowMessage(owner, TextError, DesktopText(TextCouldNotWrite), {shown});
    }
    return result;
}
