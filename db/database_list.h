// The installed-database list: at most ten entries, kept in "dialdex.ini" beside the program as lines
// "path;title\r\n" in the device code page.
#pragma once

#include "db/database_file.h"
#include "platform/files.h"
#include "platform/windows.h"

#include <cstdint>

constexpr int MaxInstalledDatabases = 10;

struct InstalledDatabase {
    char title[64]; // database title, at most 63 bytes
    char path[520]; // full device path, at most 519 bytes
};

extern InstalledDatabase InstalledDatabases[MaxInstalledDatabases];
extern int8_t InstalledDatabaseCount;  // entries 0 to count - 1 are valid, in file order
extern char16_t DatabaseListPath[520]; // "<program folder>dialdex.ini", formed when the Search page is made

// The database opened for this run (its path empty when there is none): listed in the selector after the
// installed entries, searched like them, never written to "dialdex.ini" nor kept as "Last db".
extern InstalledDatabase OpenedDatabase;

// Fills the Search page's selector with the installed entries and then the opened one, and selects the
// item given.
void FillDatabaseSelector(Window searchPage, int selected);
// Validates the file at the device path as Install does and makes it the opened database, listed last
// in the Search page's selector and selected there. Codes: 0 opened; -1 the file is no database (the
// user has been told "Bad db file - path"; the opened database stays as it was).
int OpenDatabaseForRun(Window searchPage, const char16_t* devicePath);
// The entry that an item of the selector names: an installed one, the opened one (the item after the
// installed ones), or null.
const InstalledDatabase* DatabaseOfSelectorItem(int item);
// The header's title as the list keeps it: control characters, which would break a line of
// "dialdex.ini" in two, become blanks.
void TakeHeaderTitle(const unsigned char header[DatabaseHeaderSize], char title[DatabaseTitleCapacity]);

// Forms DatabaseListPath from the program folder.
void FormDatabaseListPath();
// Other instances of the program may change the file at any time: every change reads it as it is on disk
// under its lock and writes it whole (or not at all) before the lock goes, so that no instance's change is
// lost, and the table is then rebuilt from the file.

// Rebuilds the table from the file and refills the Search page's database selector (control 1100),
// selecting the entry named by "Last db", else item 0. Returns 0, or -1 when the file cannot be opened
// (the table and the selector then stay as they were).
int LoadDatabaseList(Window searchPage);
// Install's save: the file as it is on disk (the table in memory when the file holds no entry: vanished,
// emptied or unreadable) with the added entry at its end (unless its path is there already). Codes:
//   0 saved
//   1 the file holds ten entries already: nothing is written, the caller tells the user
//  -1 the file cannot be written: the owner's user has been told "Could not open ini file for save - %s"
int SaveDatabaseList(Window owner, const InstalledDatabase& added);
// Check's save: the file as it is on disk (or the table, as for Install's) without the entries whose paths are those of the table entries
// marked bad, written through file (from OpenReplacementFile, which Check opens before it validates
// anything). Entries added by another instance meanwhile stay. Returns 0, or -1 (the old file stays);
// file is closed either way.
int SaveDatabaseListWithout(StreamFile* file, const bool bad[MaxInstalledDatabases]);
// The path of an entry as a file is opened by it, search and Check alike: wide text of at most 259
// characters. Returns 0, or -1 when the path does not fit whole (path is then empty): such an entry names
// no file that can be opened, rather than another file named by its first 259 characters.
int PathToOpen(const InstalledDatabase& entry, char16_t (&path)[260]);
// Takes one line of the file (as read: at most 511 bytes, its line end kept) into the entry; false when
// the line is skipped (6 bytes or fewer, or no semicolon). Texts longer than their fields are cut.
bool ParseDatabaseListLine(char* line, InstalledDatabase* entry);
// The line "path;title\r\n" of an entry, for every writer of the file. Returns its length in bytes.
int FormatDatabaseListLine(const InstalledDatabase& entry, char* line, int capacity);
