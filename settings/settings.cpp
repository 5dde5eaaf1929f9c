// The registry settings: the language, the last database and the result columns' widths.
#include "settings/settings.h"

#include "app/messages.h"
#include "app/program.h"
#include "db/database_list.h"
#include "platform/format.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "search/result_page.h"

#include <cstring>

namespace {

constexpr uint32_t LanguageValueBytes = 64;
constexpr uint32_t LastDatabaseReadBytes = 520;
constexpr uint32_t LastDatabaseWriteBytes = 512;
constexpr int MinimumStoredWidth = 4; // a width of 3 pixels or less is neither stored nor taken

// Creates or opens the settings key; tells the user (owner may be null) when it cannot.
// Returns 0 or the platform's error code.
long CreateSettingsKey(RegistryKey* key, Window owner) {
    long error = RegistryCreateKey(SettingsKeyPath, key);
    if (error != RegistrySuccess)
        ShowMessage(owner, TextError, u"RegCreateKeyEx '%s' - %d",
                    {SettingsKeyPath, static_cast<int>(error)});
    return error;
}

} // namespace

bool LoadLanguageSetting() {
    std::memset(CurrentLanguageName, 0, sizeof CurrentLanguageName);
    RegistryKey key;
    if (RegistryOpenKey(SettingsKeyPath, &key) == RegistrySuccess) {
        uint32_t byteCount = LanguageValueBytes;
        if (RegistryQueryValue(key, u"Language", nullptr, CurrentLanguageName, &byteCount) != RegistrySuccess)
            CurrentLanguageName[0] = 0;
        RegistryCloseKey(key);
    }
    // A value without its terminator inside the 64 bytes is cut to the buffer.
    CurrentLanguageName[31] = 0;
    if (CurrentLanguageName[0] != 0) return true;
    CopyText(CurrentLanguageName, u"RUSSIAN");
    return false;
}

int SaveLanguageSetting(Window owner) {
    RegistryKey key;
    if (CreateSettingsKey(&key, owner) != RegistrySuccess) return -1;
    // The user asked for this save and is told to restart after it: a value that could not be written
    // (a full or read-only device) is reported instead, or the choice would be lost without a word.
    long error =
        RegistrySetValue(key, u"Language", RegistryTypeString, CurrentLanguageName, LanguageValueBytes);
    RegistryCloseKey(key);
    if (error != RegistrySuccess) {
        ShowMessage(owner, TextError, u"RegSetValueEx '%s' - %d", {u"Language", static_cast<int>(error)});
        return -1;
    }
    return 0;
}

void LoadLastDatabase(char16_t* path) {
    std::memset(path, 0, 260 * sizeof(char16_t));
    RegistryKey key;
    if (RegistryOpenKey(SettingsKeyPath, &key) != RegistrySuccess) return;
    uint32_t byteCount = LastDatabaseReadBytes;
    if (RegistryQueryValue(key, u"Last db", nullptr, path, &byteCount) != RegistrySuccess) path[0] = 0;
    path[259] = 0;
    RegistryCloseKey(key);
}

void SaveLastDatabase(int databaseIndex, Window owner) {
    if (databaseIndex < 0 || databaseIndex >= InstalledDatabaseCount) return;
    RegistryKey key;
    if (CreateSettingsKey(&key, owner) != RegistrySuccess) return;
    char16_t path[260] = {};
    DeviceToWide(InstalledDatabases[databaseIndex].path, -1, path, 260);
    // A path of 256 characters or more is stored whole (with its terminator), not cut to 512 bytes.
    uint32_t byteCount = LastDatabaseWriteBytes;
    uint32_t needed = static_cast<uint32_t>((WideLength(path) + 1) * sizeof(char16_t));
    if (needed > byteCount) byteCount = needed;
    RegistrySetValue(key, u"Last db", RegistryTypeString, path, byteCount);
    RegistryCloseKey(key);
}

void LoadColumnWidths() {
    RegistryKey key;
    if (CreateSettingsKey(&key, nullptr) != RegistrySuccess) return;
    for (int column = 0; column < ResultFieldCount; column++) {
        char16_t name[16];
        FormatText(name, u"Col%dWidth", column);
        // Taken as signed, as it is written: FFFFFFFF is a width of -1, not a wide column.
        int32_t width = 0;
        uint32_t byteCount = 4;
        if (RegistryQueryValue(key, name, nullptr, &width, &byteCount) == RegistrySuccess &&
            width >= MinimumStoredWidth)
            ColumnWidths[column] = width;
    }
    RegistryCloseKey(key);
}

void SaveColumnWidths() {
    RegistryKey key;
    if (CreateSettingsKey(&key, ResultList) != RegistrySuccess) return;
    for (int column = 0; column < ResultFieldCount; column++) {
        int32_t width = static_cast<int32_t>(SendMessage(ResultList, ListViewGetColumnWidth, column, 0));
        if (width < MinimumStoredWidth) continue;
        char16_t name[16];
        FormatText(name, u"Col%dWidth", column);
        RegistrySetValue(key, name, RegistryTypeNumber, &width, 4);
    }
    RegistryCloseKey(key);
}
