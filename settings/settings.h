// The settings kept in the registry under the local-machine key "SOFTWARE\Kestrel\Dialdex".
#pragma once

#include "platform/windows.h"

inline constexpr const char16_t* SettingsKeyPath = u"SOFTWARE\\Kestrel\\Dialdex";

// Reads "Language" into the current language name; "RUSSIAN" when missing or empty.
// Returns true when a value was stored, false when RUSSIAN stands in for a missing one.
bool LoadLanguageSetting();
// Writes the current language name as "Language" (64 bytes). Returns 0, or -1 when the key cannot be
// created or opened or the value cannot be written (the owner's box then tells the user).
int SaveLanguageSetting(Window owner);
// Reads "Last db" into a buffer of 260 characters (the empty text when missing).
void LoadLastDatabase(char16_t* path /* 260 */);
// Writes the chosen installed database's path as "Last db".
void SaveLastDatabase(int databaseIndex, Window owner);
// Reads Col0Width to Col4Width into the column width table (values greater than 3, taken as signed).
void LoadColumnWidths();
// Writes each result column's current width that is greater than 3.
void SaveColumnWidths();
