// The installed-database list and "dialdex.ini".
#include "db/database_list.h"

#include "app/messages.h"
#include "app/program.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <cstring>

InstalledDatabase InstalledDatabases[MaxInstalledDatabases];
int8_t InstalledDatabaseCount;
char16_t DatabaseListPath[520];

namespace {

constexpr int DatabaseSelectorId = 1100;
constexpr int ShortestEntryLine = 7; // lines of 6 bytes or fewer (line end included) are skipped
constexpr int LineBufferSize = 512;

} // namespace

bool ParseDatabaseListLine(char* line, InstalledDatabase* entry) {
    if (static_cast<int>(std::strlen(line)) < ShortestEntryLine) return false;
    char* semicolon = std::strchr(line, ';');
    if (!semicolon) return false;
    *semicolon = 0;
    char* title = semicolon + 1;
    if (char* carriageReturn = std::strchr(title, '\r')) *carriageReturn = 0;
    CopyText(entry->path, line);
    CopyText(entry->title, title);
    return true;
}

void FormDatabaseListPath() {
    int length = CopyText(DatabaseListPath, ProgramFolder);
    CopyText(DatabaseListPath + length, 520 - length, u"dialdex.ini");
}

int LoadDatabaseList(Window searchPage) {
    StreamFile* file = OpenStreamFile(DatabaseListPath, "rb");
    if (!file) return -1;
    char16_t lastDatabase[260];
    LoadLastDatabase(lastDatabase);

    Window selector = GetDlgItem(searchPage, DatabaseSelectorId);
    InstalledDatabaseCount = 0;
    SendMessage(selector, ComboBoxResetContent, 0, 0);
    bool selected = false;
    char line[LineBufferSize];
    while (InstalledDatabaseCount < MaxInstalledDatabases && ReadStreamLine(line, LineBufferSize, file)) {
        InstalledDatabase& entry = InstalledDatabases[InstalledDatabaseCount];
        if (!ParseDatabaseListLine(line, &entry)) continue;
        char16_t title[260], path[260];
        DeviceToWide(entry.title, -1, title, 260);
        SendMessage(selector, ComboBoxAddString, 0, reinterpret_cast<SecondParameter>(title));
        DeviceToWide(entry.path, -1, path, 260);
        // A missing "Last db" reads as the empty text, which names no entry, not one with an empty path.
        if (lastDatabase[0] != 0 && CompareWide(path, lastDatabase) == 0) {
            SendMessage(selector, ComboBoxSetCurrentSelection,
                        static_cast<FirstParameter>(InstalledDatabaseCount), 0);
            selected = true;
        }
        InstalledDatabaseCount++;
    }
    if (!selected) SendMessage(selector, ComboBoxSetCurrentSelection, 0, 0);
    UpdateWindow(selector);
    CloseStreamFile(file);
    return 0;
}

int FormatDatabaseListLine(const InstalledDatabase& entry, char* line, int capacity) {
    return FormatDevice(line, capacity, "%s;%s\r\n", {entry.path, entry.title});
}

int SaveDatabaseList(Window owner) {
    StreamFile* file = OpenReplacementFile(DatabaseListPath);
    if (file) {
        for (int index = 0; index < InstalledDatabaseCount; index++) {
            char line[600];
            int length = FormatDatabaseListLine(InstalledDatabases[index], line, sizeof line);
            WriteStreamBytes(file, line, length);
        }
        if (CommitReplacementFile(file) == 0) return 0;
    }
    ShowMessage(owner, TextError, MessageText(TextCannotSaveIni), {DatabaseListPath});
    return -1;
}

int PathToOpen(const InstalledDatabase& entry, char16_t (&path)[260]) {
    char16_t whole[520];
    int length = DeviceToWide(entry.path, -1, whole, 520);
    path[0] = 0;
    if (length >= 260) return -1;
    CopyText(path, whole);
    return 0;
}
