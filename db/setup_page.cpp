// The Setup page: Find DB walks the device for valid database files that are not installed yet, Install
// adds the chosen one to the installed-database list, Check drops the installed files that no longer
// validate. The language selector and its Save button are in language_choice.cpp.
#include "app/identifiers.h"
#include "app/messages.h"
#include "app/page_framework.h"
#include "app/pages.h"
#include "app/program.h"
#include "db/database_file.h"
#include "db/database_list.h"
#include "i18n/language_choice.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/text.h"

#include <vector>

namespace {

constexpr int PathCapacity = 520;         // one path buffer per folder level: at most 519 characters
constexpr int OpenablePathCapacity = 260; // an installed path is opened only when it fits 259 characters
constexpr int FoundLineCapacity = 320;    // title (22), record count (11), path (259) and the separators
constexpr int PixelsPerCharacter = 7;

// The found-database list: entry i describes line i of the found list box. It grows with the scan, so
// every valid file found can be listed, and it is rebuilt from nothing by every Find DB.
std::vector<InstalledDatabase> FoundDatabases;
int LongestFoundLine;

// The pointer shows the program busy while a command works, and the arrow while a box waits for the
// user.
void ShowBusy() {
    SetCursor(WaitCursor);
}
void ShowIdle() {
    SetCursor(ArrowCursor);
}

// A file is a candidate by its name alone: longer than 3 characters, ending in ".zdb" or ".db" in any
// letter case.
bool IsCandidateName(const char16_t* name) {
    return WideLength(name) > 3 &&
           (IsCompressedDatabasePath(name) || EndsWithIgnoringAsciiCase(name, u".db"));
}

bool IsInstalled(const char16_t* path) {
    for (int index = 0; index < InstalledDatabaseCount; index++) {
        char16_t installedPath[PathCapacity];
        DeviceToWide(InstalledDatabases[index].path, -1, installedPath, PathCapacity);
        if (CompareWideLocale(path, installedPath, false) == 0) return true;
    }
    return false;
}

// Whether an entry made from this path could be installed and opened again: a path is opened only when
// it fits 259 characters, the list keeps paths in the device code page, and its file separates path from
// title at the first semicolon and entries at line ends. A path that breaks any of these would be
// listed, installed and then name another file (or none), so it is not offered.
bool IsInstallablePath(const char16_t* path, int length) {
    if (length >= OpenablePathCapacity) return false;
    if (!WideFitsDevice(path, length)) return false;
    for (int index = 0; index < length; index++)
        if (path[index] == u';' || path[index] < 0x20) return false;
    return true;
}

// Validates one candidate and, when it is a database that is not installed yet, lists it.
void ConsiderCandidate(Window foundList, const char16_t* path, int length) {
    if (!IsInstallablePath(path, length) || IsInstalled(path)) return;
    unsigned char header[DatabaseHeaderSize];
    bool compressed = false;
    if (ValidateDatabaseFile(path, header, &compressed) != 0) return;

    InstalledDatabase entry = {};
    TakeHeaderTitle(header, entry.title);
    WideToDevice(path, -1, entry.path, sizeof entry.path);
    char16_t line[FoundLineCapacity];
    int lineLength = FormatText(line, u"%s [%i] %s", entry.title, HeaderRecordCount(header), path);
    FoundDatabases.push_back(entry);
    if (lineLength > LongestFoundLine) LongestFoundLine = lineLength;
    SendMessage(foundList, ListBoxAddString, 0, reinterpret_cast<SecondParameter>(line));
}

// `ScanFolder`: lists the database files of the folder and, at the place where each subfolder is met,
// of that subfolder. folder is "" for the root or "\name\...". Entries whose full path would not fit a
// level's buffer are skipped. The platform reports no link to a folder, so the walk can neither loop
// nor leave the device; its depth is bounded by the path length.
void ScanFolder(Window foundList, const char16_t* folder, int folderLength) {
    char16_t path[PathCapacity];
    CopyText(path, folder);
    if (folderLength + 4 >= PathCapacity) return;
    CopyText(path + folderLength, PathCapacity - folderLength, u"\\*.*");
    FindData found;
    FolderSearch* search = FindFirstFile(path, &found);
    if (search == nullptr) return;
    do {
        if (CompareWide(found.fileName, u".") == 0 || CompareWide(found.fileName, u"..") == 0) continue;
        bool isFolder = (found.attributes & FileAttributeFolder) != 0;
        if (!isFolder && !IsCandidateName(found.fileName)) continue;
        int nameLength = WideLength(found.fileName);
        if (folderLength + 1 + nameLength >= PathCapacity) continue;
        path[folderLength] = u'\\';
        CopyText(path + folderLength + 1, PathCapacity - folderLength - 1, found.fileName);
        int length = folderLength + 1 + nameLength;
        if (isFolder) {
            ScanFolder(foundList, path, length);
        } else {
            ConsiderCandidate(foundList, path, length);
        }
    } while (FindNextFile(search, &found));
    int extent = FoundDatabases.empty() ? 0 : PixelsPerCharacter * LongestFoundLine;
    SendMessage(foundList, ListBoxSetHorizontalExtent, static_cast<FirstParameter>(extent), 0);
    FindClose(search);
}

// `FindDatabases` without the click test: Install runs it again in full.
void RebuildFoundList(Window page) {
    Window foundList = GetDlgItem(page, FoundListId);
    FoundDatabases.clear();
    SendMessage(foundList, ListBoxResetContent, 0, 0);
    LongestFoundLine = 0;
    // The extent is set even when the root cannot be enumerated, so that it never outlives its lines.
    SendMessage(foundList, ListBoxSetHorizontalExtent, 0, 0);
    ScanFolder(foundList, u"", 0);
}

// Returns 0.
MessageResult FindDatabases(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    ShowBusy();
    RebuildFoundList(page);
    ShowIdle();
    return 0;
}

// Returns 0.
MessageResult InstallDatabase(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    if (InstalledDatabaseCount >= MaxInstalledDatabases) {
        ShowMessageFixedCaption(page, u"Info", MessageText(TextMaxDatabases), {MaxInstalledDatabases});
        return 0;
    }
    MessageResult selected = SendMessage(GetDlgItem(page, FoundListId), ListBoxGetCurrentSelection, 0, 0);
    if (selected < 0 || selected >= static_cast<MessageResult>(FoundDatabases.size())) return 0;
    ShowBusy();
    InstalledDatabase added = FoundDatabases[static_cast<size_t>(selected)];
    InstalledDatabases[InstalledDatabaseCount] = added;
    InstalledDatabaseCount++;
    RebuildFoundList(page);
    ShowIdle();
    // Another instance may have filled the list meanwhile.
    if (SaveDatabaseList(page, added) == 1)
        ShowMessageFixedCaption(page, u"Info", MessageText(TextMaxDatabases), {MaxInstalledDatabases});
    LoadDatabaseList(PageWindows[PageSearch]);
    return 0;
}

// Whether the file may be written is asked first, as opening it for writing would, before any entry is
// opened. The entries are then validated with no lock held, since each bad one's box waits for the
// user and another instance must not wait meanwhile; only then is the file, as it is on disk by now,
// rewritten without the entries found bad. The replacement takes the place of "dialdex.ini" only then:
// while the boxes wait, and if the program dies meanwhile, the old file stays whole. A file that cannot
// be put in place is reported like one that cannot be opened, and then there is no summary, since
// nothing was deleted. Returns 0.
MessageResult CheckDatabases(Window page, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    ShowBusy();
    StreamFile* file = OpenReplacementFile(DatabaseListPath);
    if (file == nullptr) {
        ShowIdle();
        ShowMessage(page, TextError, MessageText(TextCannotSaveIni), {DatabaseListPath});
    } else {
        bool bad[MaxInstalledDatabases] = {};
        int badCount = 0;
        for (int index = 0; index < InstalledDatabaseCount; index++) {
            char16_t path[OpenablePathCapacity];
            unsigned char header[DatabaseHeaderSize];
            bool compressed = false;
            if (PathToOpen(InstalledDatabases[index], path) == 0 &&
                ValidateDatabaseFile(path, header, &compressed) == 0)
                continue;
            char16_t shownPath[PathCapacity];
            DeviceToWide(InstalledDatabases[index].path, -1, shownPath, PathCapacity);
            ShowIdle();
            ShowMessage(page, TextError, MessageText(TextBadDatabase), {shownPath});
            ShowBusy();
            bad[index] = true;
            badCount++;
        }
        int committed = SaveDatabaseListWithout(file, bad);
        ShowIdle();
        if (committed != 0) {
            ShowMessage(page, TextError, MessageText(TextCannotSaveIni), {DatabaseListPath});
        } else if (badCount == 0) {
            ShowMessage(page, TextInfo, MessageText(TextAllDatabasesGood), {});
        } else {
            ShowMessage(page, TextInfo, MessageText(TextWrongDatabases), {badCount});
        }
    }
    LoadDatabaseList(PageWindows[PageSearch]);
    return 0;
}

MessageResult OnSetupPageCreate(Window page, uint32_t, FirstParameter, SecondParameter) {
    CreatePageControls(page, SetupControls, PageFixedStyle, true);
    FillLanguageList(LanguageFile, page);
    return 0;
}

// Selecting or double-clicking a found line has no effect of its own.
MessageResult IgnoreFoundListCommand(Window, int, Window, int) {
    return 0;
}

// clang-format off
const CommandTableEntry setupCommands[] = {
    {FindDatabasesButtonId, FindDatabases         },
    {InstallButtonId,       InstallDatabase       },
    {CheckButtonId,         CheckDatabases        },
    {FoundListId,          IgnoreFoundListCommand},
    {SaveLanguageButtonId, SaveLanguage          },
};
// clang-format on

MessageResult OnSetupCommand(Window page, uint32_t, FirstParameter first, SecondParameter second) {
    return DispatchCommand(setupCommands, page, first, second);
}

const MessageTableEntry setupPageMessages[] = {
    {MessageCreate,  OnSetupPageCreate},
    {MessageCommand, OnSetupCommand   },
};

MessageResult SetupPageProcedure(Window window, uint32_t message, FirstParameter first,
                                 SecondParameter second) {
    return WalkMessageTable(setupPageMessages, window, message, first, second);
}

} // namespace

int RegisterSetupPageClass(Instance instance) {
    return RegisterPageClass(instance, u"SetupWnd", SetupPageProcedure);
}
