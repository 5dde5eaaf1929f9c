// The installed-database list and "dialdex.ini".
#include "db/database_list.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/program.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <cstring>

InstalledDatabase InstalledDatabases[MaxInstalledDatabases];
InstalledDatabase OpenedDatabase;
int8_t InstalledDatabaseCount;
char16_t DatabaseListPath[520];

namespace {

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

namespace {

// The entries of the file as it is on disk now, taken as a load takes them (at most ten). Returns their
// count, or -1 when the file cannot be opened.
int ReadDatabaseListFile(InstalledDatabase (&entries)[MaxInstalledDatabases]) {
    StreamFile* file = OpenStreamFile(DatabaseListPath, "rb");
    if (!file) return -1;
    int count = 0;
    char line[LineBufferSize];
    while (count < MaxInstalledDatabases && ReadStreamLine(line, LineBufferSize, file))
        if (ParseDatabaseListLine(line, &entries[count])) count++;
    CloseStreamFile(file);
    return count;
}

// Whether one of the entries has that path.
bool HoldsPath(const InstalledDatabase* entries, int count, const char* path) {
    for (int index = 0; index < count; index++)
        if (std::strcmp(entries[index].path, path) == 0) return true;
    return false;
}

// Whether the path is that of a table entry marked in dropped (null: none is).
bool IsDropped(const char* path, const bool* dropped) {
    for (int index = 0; dropped && index < InstalledDatabaseCount; index++)
        if (dropped[index] && std::strcmp(path, InstalledDatabases[index].path) == 0) return true;
    return false;
}

// The read-change-write of both saves, under the file's exclusive lock: the entries on disk, without
// those whose paths are among the dropped table entries (dropped may be null), with added at the end
// (may be null) unless its path is there already. Codes: 0 saved; 1 no room for added (nothing
// written); -1 not saved (file is closed either way).
int RewriteDatabaseList(StreamFile* file, const InstalledDatabase* added, const bool* dropped) {
    SharedFileLock* lock = LockSharedFile(DatabaseListPath, true);
    if (lock == nullptr) {
        AbandonReplacementFile(file);
        return -1;
    }
    InstalledDatabase onDisk[MaxInstalledDatabases];
    int onDiskCount = ReadDatabaseListFile(onDisk);
    // A file that vanished, was emptied or cannot be read while the program runs is not the user's list:
    // the table in memory is (an empty table gives an empty list, as before).
    if (onDiskCount <= 0) {
        onDiskCount = InstalledDatabaseCount;
        for (int index = 0; index < onDiskCount; index++)
            onDisk[index] = InstalledDatabases[index];
    }
    InstalledDatabase kept[MaxInstalledDatabases];
    int keptCount = 0;
    for (int index = 0; index < onDiskCount; index++)
        if (!IsDropped(onDisk[index].path, dropped)) kept[keptCount++] = onDisk[index];
    int result = 0;
    if (result == 0 && added && !HoldsPath(kept, keptCount, added->path)) {
        if (keptCount < MaxInstalledDatabases)
            kept[keptCount++] = *added;
        else
            result = 1;
    }
    if (result == 0) {
        for (int index = 0; index < keptCount; index++) {
            char line[600];
            int length = FormatDatabaseListLine(kept[index], line, sizeof line);
            WriteStreamBytes(file, line, length);
        }
        result = CommitReplacementFile(file);
    } else {
        AbandonReplacementFile(file);
    }
    UnlockSharedFile(lock);
    return result;
}

} // namespace

int LoadDatabaseList(Window searchPage) {
    InstalledDatabase entries[MaxInstalledDatabases];
    SharedFileLock* lock = LockSharedFile(DatabaseListPath, false);
    int count = ReadDatabaseListFile(entries);
    UnlockSharedFile(lock);
    if (count < 0) return -1;
    char16_t lastDatabase[260];
    LoadLastDatabase(lastDatabase);

    InstalledDatabaseCount = 0;
    int selected = 0;
    for (int index = 0; index < count; index++) {
        InstalledDatabase& entry = InstalledDatabases[InstalledDatabaseCount];
        entry = entries[index];
        char16_t path[260];
        DeviceToWide(entry.path, -1, path, 260);
        // A missing "Last db" reads as the empty text, which names no entry, not one with an empty path.
        if (lastDatabase[0] != 0 && CompareWide(path, lastDatabase) == 0) selected = InstalledDatabaseCount;
        InstalledDatabaseCount++;
    }
    FillDatabaseSelector(searchPage, selected);
    return 0;
}

void FillDatabaseSelector(Window searchPage, int selected) {
    Window selector = GetDlgItem(searchPage, DatabaseSelectorId);
    SendMessage(selector, ComboBoxResetContent, 0, 0);
    char16_t title[260];
    for (int index = 0; index < InstalledDatabaseCount; index++) {
        DeviceToWide(InstalledDatabases[index].title, -1, title, 260);
        SendMessage(selector, ComboBoxAddString, 0, reinterpret_cast<SecondParameter>(title));
    }
    if (OpenedDatabase.path[0] != 0) {
        DeviceToWide(OpenedDatabase.title, -1, title, 260);
        SendMessage(selector, ComboBoxAddString, 0, reinterpret_cast<SecondParameter>(title));
    }
    SendMessage(selector, ComboBoxSetCurrentSelection, static_cast<FirstParameter>(selected), 0);
    UpdateWindow(selector);
}

void TakeHeaderTitle(const unsigned char header[DatabaseHeaderSize], char title[DatabaseTitleCapacity]) {
    HeaderTitle(header, title);
    for (int index = 0; title[index] != 0; index++)
        if (static_cast<unsigned char>(title[index]) < 0x20) title[index] = ' ';
}

int OpenDatabaseForRun(Window searchPage, const char16_t* devicePath) {
    InstalledDatabase entry = {};
    WideToDevice(devicePath, -1, entry.path, sizeof entry.path);
    char16_t path[260];
    unsigned char header[DatabaseHeaderSize];
    bool compressed = false;
    ClearFileError();
    int code = PathToOpen(entry, path) != 0 ? 10 : ValidateDatabaseFile(path, header, &compressed);
    if (code != 0) {
        // A host file is named by its host path and the reason, not by the device path it was given.
        char16_t shown[600];
        FileNameForBox(devicePath, ValidationFailureReason(code), shown, 600);
        ShowMessage(searchPage, TextError, MessageText(TextBadDatabase), {shown});
        return -1;
    }
    TakeHeaderTitle(header, entry.title);
    OpenedDatabase = entry;
    // Without a list file (a new device) the installed entries stay as they were: none.
    FillDatabaseSelector(searchPage, InstalledDatabaseCount);
    return 0;
}

const InstalledDatabase* DatabaseOfSelectorItem(int item) {
    if (item >= 0 && item < InstalledDatabaseCount) return &InstalledDatabases[item];
    if (item == InstalledDatabaseCount && OpenedDatabase.path[0] != 0) return &OpenedDatabase;
    return nullptr;
}

int FormatDatabaseListLine(const InstalledDatabase& entry, char* line, int capacity) {
    return FormatDevice(line, capacity, "%s;%s\r\n", {entry.path, entry.title});
}

int SaveDatabaseList(Window owner, const InstalledDatabase& added) {
    StreamFile* file = OpenReplacementFile(DatabaseListPath);
    int result = file ? RewriteDatabaseList(file, &added, nullptr) : -1;
    if (result < 0) ShowMessage(owner, TextError, MessageText(TextCannotSaveIni), {DatabaseListPath});
    return result;
}

int SaveDatabaseListWithout(StreamFile* file, const bool bad[MaxInstalledDatabases]) {
    if (!file) return -1;
    return RewriteDatabaseList(file, nullptr, bad);
}

int PathToOpen(const InstalledDatabase& entry, char16_t (&path)[260]) {
    char16_t whole[520];
    int length = DeviceToWide(entry.path, -1, whole, 520);
    path[0] = 0;
    if (length >= 260) return -1;
    CopyText(path, whole);
    return 0;
}
