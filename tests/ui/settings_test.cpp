// The settings kept in the registry, as the program reads and writes them: defaults on a new device,
// the 64-byte "Language" value, "Last db" of any length, and a store that cannot be written.
#include "app/program.h"
#include "db/database_list.h"
#include "platform/device.h"
#include "platform/registry.h"
#include "platform/script.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QJsonDocument>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

QJsonObject DumpNow() {
    return QJsonDocument::fromJson(QByteArray::fromStdString(DumpWindowTree())).object();
}

std::vector<int> ColumnWidthsShown() {
    std::vector<int> widths;
    for (const QJsonValue& column : FindWindow(DumpNow(), "SysListView32", 1201)["columns"].toArray())
        widths.push_back(column["width"].toInt());
    return widths;
}

// The stored bytes of a value of the settings key, or "<error N>".
std::string StoredValue(const char16_t* name, uint32_t* type = nullptr) {
    RegistryKey key;
    long opened = RegistryOpenKey(SettingsKeyPath, &key);
    if (opened != RegistrySuccess) return "<error " + std::to_string(opened) + ">";
    std::string bytes(4096, '\0');
    uint32_t byteCount = static_cast<uint32_t>(bytes.size());
    long result = RegistryQueryValue(key, name, type, bytes.data(), &byteCount);
    RegistryCloseKey(key);
    if (result != RegistrySuccess) return "<error " + std::to_string(result) + ">";
    bytes.resize(byteCount);
    return bytes;
}

// Bytes of wide text as the registry keeps it (little-endian), count characters from text.
std::string WideBytes(const char16_t* text, size_t count) {
    std::string bytes;
    for (size_t index = 0; index < count; index++) {
        bytes += static_cast<char>(text[index] & 0xFF);
        bytes += static_cast<char>(text[index] >> 8);
    }
    return bytes;
}

// Stores a value before the program starts (the device folder must be prepared).
void StoreValue(const char16_t* name, uint32_t type, const void* data, uint32_t byteCount) {
    RegistryKey key;
    ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, &key), RegistrySuccess);
    ASSERT_EQ(RegistrySetValue(key, name, type, data, byteCount), RegistrySuccess);
    RegistryCloseKey(key);
}

const char* const KeyError = "RegCreateKeyEx 'SOFTWARE\\Kestrel\\Dialdex' - 5";

} // namespace

// First in this file: the column width table is program-wide and later tests store widths.
TEST(Settings, NewDeviceDefaults) {
    std::string device = MakeDevice(LanguageFileOf({"[ENGLISH]", "700=Find", "[RUSSIAN]", "700=Poisk"}));
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\a.db;First\r\n\\b.db;Second\r\n");
    std::string store = device + "/Windows/registry.txt";
    ASSERT_FALSE(std::filesystem::exists(store));

    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(std::u16string(CurrentLanguageName), u"RUSSIAN");
    QJsonObject dump = DumpNow();
    EXPECT_EQ(Text(FindWindow(dump, "SysTabControl32", 200)["tabs"].toArray()[0]), "Poisk");
    EXPECT_EQ(FindWindow(dump, "combobox", 1308)["selected"].toInt(), 1);
    EXPECT_EQ(FindWindow(dump, "combobox", 1100)["selected"].toInt(), 0);
    EXPECT_EQ(ColumnWidthsShown(), (std::vector<int>{55, 100, 110, 40, 40}));
    // Creating the Result page created the key, and nothing else was written yet.
    EXPECT_TRUE(std::filesystem::is_regular_file(store));
    EXPECT_EQ(StoredValue(u"Col0Width"), "<error 2>");
    EXPECT_EQ(StoredValue(u"Language"), "<error 2>");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(StopProgram(), 0);
    // Shutdown stored the five widths as 4-byte numbers.
    uint32_t type = 0;
    int32_t stored = 110;
    EXPECT_EQ(StoredValue(u"Col2Width", &type), std::string(reinterpret_cast<const char*>(&stored), 4));
    EXPECT_EQ(type, RegistryTypeNumber);

    // An empty "Language" value, and one longer than the 64 bytes read, both give RUSSIAN.
    char16_t empty[1] = {0};
    StoreValue(u"Language", RegistryTypeString, empty, 2);
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(std::u16string(CurrentLanguageName), u"RUSSIAN");
    EXPECT_EQ(StopProgram(), 0);
    std::u16string tooLong(49, u'E');
    StoreValue(u"Language", RegistryTypeString, tooLong.c_str(), 100);
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(std::u16string(CurrentLanguageName), u"RUSSIAN");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Settings, LanguageIsStoredAsSixtyFourBytesWithTheOlderNamesRest) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]", "700=Poisk", "[DE]", "700=Suche"}));
    ASSERT_EQ(StartProgram(device), 0);
    std::memset(CurrentLanguageName, 0, sizeof CurrentLanguageName);
    CopyText(CurrentLanguageName, u"BELARUSIAN");
    ASSERT_EQ(SaveLanguageSetting(PageWindows[PageSetup]), 0);
    CopyText(CurrentLanguageName, u"DE");
    ASSERT_EQ(SaveLanguageSetting(PageWindows[PageSetup]), 0);
    EXPECT_TRUE(Boxes().empty());
    uint32_t type = 0;
    char16_t expected[32] = {u'D', u'E', 0,    u'A', u'R',
                             u'U', u'S', u'I', u'A', u'N'}; // "BELARUSIAN" under "DE"
    EXPECT_EQ(StoredValue(u"Language", &type), WideBytes(expected, 32));
    EXPECT_EQ(type, RegistryTypeString);
    EXPECT_EQ(StopProgram(), 0);

    // The next start reads the name up to its terminator and selects that section.
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(std::u16string(CurrentLanguageName), u"DE");
    EXPECT_EQ(Text(FindWindow(DumpNow(), "SysTabControl32", 200)["tabs"].toArray()[0]), "Suche");
    EXPECT_EQ(StopProgram(), 0);
}

TEST(Settings, AStoreThatCannotBeWrittenIsReportedByEachWriter) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    WriteHostFile(device + "/city.db", ExampleDatabase());
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\city.db;CITY\r\n");
    std::filesystem::create_directories(device + "/Windows/registry.txt");

    // Reading the column widths at start-up reports with no owner; the defaults stay.
    ASSERT_EQ(StartProgram(device), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "");
    EXPECT_EQ(Boxes()[0].caption, "Error");
    EXPECT_EQ(Boxes()[0].text, KeyError);
    EXPECT_EQ(std::u16string(CurrentLanguageName), u"RUSSIAN");
    EXPECT_EQ(ColumnWidthsShown(), (std::vector<int>{55, 100, 110, 40, 40}));

    // Starting a search reports on the Search page, and the search runs all the same.
    Act("type SearchWnd/1102 A\nclick SearchWnd/1107\nwait");
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].owner, "SearchWnd");
    EXPECT_EQ(Boxes()[1].caption, "Error");
    EXPECT_EQ(Boxes()[1].text, KeyError);
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 1, results: 1");

    // Shutdown reports on the result list and still ends with 0.
    EXPECT_EQ(StopProgram(), 0);
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[2].owner, "SysListView32");
    EXPECT_EQ(Boxes()[2].text, KeyError);
    EXPECT_TRUE(std::filesystem::is_directory(device + "/Windows/registry.txt"));

    // The store's folder is a file: the same at start-up, and the file is left alone.
    std::string other = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    WriteHostFile(other + "/Windows", "not a folder");
    ASSERT_EQ(StartProgram(other), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "");
    EXPECT_EQ(Boxes()[0].text, KeyError);
    EXPECT_EQ(StopProgram(), 0);
    EXPECT_EQ(ReadHostFile(other + "/Windows"), "not a folder");
}

TEST(Settings, LastDatabaseOfAnyLengthIsStoredWholeAndSelectsItsEntry) {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    // Paths meet the window system and the registry as at most 259 wide characters.
    std::string longPath = "\\" + std::string(258, 'D');
    std::string longerPath = "\\" + std::string(299, 'E');
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini",
                  "\\short.db;Short\r\n" + longPath + ";Long\r\n" + longerPath + ";Longer\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    ASSERT_EQ(InstalledDatabaseCount, 3);
    EXPECT_EQ(FindWindow(DumpNow(), "combobox", 1100)["selected"].toInt(), 0);

    // A short path is written as 512 bytes: the path, its terminator and the rest of the buffer.
    SaveLastDatabase(0, PageWindows[PageSearch]);
    uint32_t type = 0;
    std::string stored = StoredValue(u"Last db", &type);
    EXPECT_EQ(type, RegistryTypeString);
    ASSERT_EQ(stored.size(), 512u);
    EXPECT_EQ(stored.substr(0, 20), WideBytes(u"\\short.db", 10));

    // A path of 259 characters does not fit 512 bytes: it is written whole with its terminator (520
    // bytes) and read back whole.
    SaveLastDatabase(1, PageWindows[PageSearch]);
    std::u16string longWide = WideFromUtf8(longPath);
    EXPECT_EQ(StoredValue(u"Last db"), WideBytes(longWide.c_str(), longWide.size() + 1));
    char16_t lastDatabase[260];
    LoadLastDatabase(lastDatabase);
    EXPECT_EQ(std::u16string(lastDatabase), longWide);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(StopProgram(), 0);

    // The next start selects the entry with that long path.
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(FindWindow(DumpNow(), "combobox", 1100)["selected"].toInt(), 1);

    // A 300-byte path becomes its first 259 characters on the way to wide text; stored so, it still names
    // its own entry at the next start.
    SaveLastDatabase(2, PageWindows[PageSearch]);
    std::u16string cutWide = WideFromUtf8(longerPath.substr(0, 259));
    EXPECT_EQ(StoredValue(u"Last db"), WideBytes(cutWide.c_str(), cutWide.size() + 1));
    EXPECT_EQ(StopProgram(), 0);
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(FindWindow(DumpNow(), "combobox", 1100)["selected"].toInt(), 2);
    EXPECT_EQ(StopProgram(), 0);

    // A value longer than the 520 bytes read (never written by the program) is not taken: item 0.
    std::u16string tooLong(350, u'D');
    tooLong[0] = u'\\';
    StoreValue(u"Last db", RegistryTypeString, tooLong.c_str(), 702);
    ASSERT_EQ(StartProgram(device), 0);
    LoadLastDatabase(lastDatabase);
    EXPECT_EQ(lastDatabase[0], 0);
    EXPECT_EQ(FindWindow(DumpNow(), "combobox", 1100)["selected"].toInt(), 0);
    EXPECT_EQ(StopProgram(), 0);
}
