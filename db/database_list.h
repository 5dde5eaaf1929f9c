// The installed-database list: at most ten entries, kept in "dialdex.ini" beside the program as lines
// "path;title\r\n" in the device code page.
#pragma once

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

// Forms DatabaseListPath from the program folder.
void FormDatabaseListPath();
// Rebuilds the table from the file and refills the Search page's database selector (control 1100),
// selecting the entry named by "Last db", else item 0. Returns 0, or -1 when the file cannot be opened
// (the table and the selector then stay as they were).
int LoadDatabaseList(Window searchPage);
// Writes the valid entries to the file, whole or not at all (a temporary file renamed over it).
// Returns 0, or -1 after telling the owner's user "Could not open ini file for save - %s".
int SaveDatabaseList(Window owner);
// The path of an entry as a file is opened by it, search and Check alike: wide text of at most 259
// characters. Returns 0, or -1 when the path does not fit whole (path is then empty): such an entry names
// no file that can be opened, rather than another file named by its first 259 characters.
int PathToOpen(const InstalledDatabase& entry, char16_t (&path)[260]);
// Takes one line of the file (as read: at most 511 bytes, its line end kept) into the entry; false when
// the line is skipped (6 bytes or fewer, or no semicolon). Texts longer than their fields are cut.
bool ParseDatabaseListLine(char* line, InstalledDatabase* entry);
// The line "path;title\r\n" of an entry, for every writer of the file. Returns its length in bytes.
int FormatDatabaseListLine(const InstalledDatabase& entry, char* line, int capacity);
