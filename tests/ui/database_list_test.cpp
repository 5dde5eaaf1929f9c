// The installed-database list through the program: "dialdex.ini" as the Search page loads it into its
// selector (skipped lines, cut lines, the entry named by "Last db") and as saving writes it.
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
#include <unistd.h>

namespace {

const char* const ListFile = "/Program Files/Dialdex/dialdex.ini";

struct Selector {
    std::vector<std::string> items;
    int selected = -2;
};

Selector SelectorOf(const QJsonObject& dump) {
    Selector selector;
    QJsonObject combo = FindWindow(dump, "combobox", 1100, "SearchWnd");
    for (const QJsonValue& item : combo["items"].toArray())
        selector.items.push_back(Text(item));
    selector.selected = combo["selected"].toInt();
    return selector;
}

Selector SelectorNow() {
    return SelectorOf(QJsonDocument::fromJson(QByteArray::fromStdString(DumpWindowTree())).object());
}

// A device with the given list file and "Last db" (none when empty).
std::string MakeListDevice(const std::string& listFile, const std::u16string& lastDatabase = u"") {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    WriteHostFile(device + ListFile, listFile);
    if (!lastDatabase.empty()) {
        PrepareDeviceFolder(device, "");
        RegistryKey key;
        EXPECT_EQ(RegistryCreateKey(SettingsKeyPath, &key), RegistrySuccess);
        char16_t value[260] = {};
        CopyText(value, lastDatabase.c_str());
        RegistrySetValue(key, u"Last db", RegistryTypeString, value, 512);
        RegistryCloseKey(key);
    }
    return device;
}

std::string Entry(int index) {
    return std::string(InstalledDatabases[index].path) + "|" + InstalledDatabases[index].title;
}

std::string NumberedLines(int count) {
    std::string lines;
    for (int index = 0; index < count; index++)
        lines += "\\db\\" + std::to_string(index) + ".db;Title " + std::to_string(index) + "\r\n";
    return lines;
}

} // namespace

TEST(DatabaseList, MissingAndEmptyFiles) {
    // No file: an empty selector and table, and a load says -1.
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    EXPECT_EQ(InstalledDatabaseCount, 0);
    Selector selector = SelectorNow();
    EXPECT_TRUE(selector.items.empty());
    EXPECT_EQ(selector.selected, -1);
    EXPECT_EQ(LoadDatabaseList(PageWindows[PageSearch]), -1);
    // A file that goes away leaves the table and the selector as they were.
    WriteHostFile(device + ListFile, "\\a.db;First\r\n\\b.db;Second\r\n");
    EXPECT_EQ(LoadDatabaseList(PageWindows[PageSearch]), 0);
    std::filesystem::remove(device + ListFile);
    EXPECT_EQ(LoadDatabaseList(PageWindows[PageSearch]), -1);
    EXPECT_EQ(InstalledDatabaseCount, 2);
    EXPECT_EQ(SelectorNow().items, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(StopProgram(), 0);

    // An empty file: no entries, and the load succeeds.
    ASSERT_EQ(StartProgram(MakeListDevice("")), 0);
    EXPECT_EQ(InstalledDatabaseCount, 0);
    EXPECT_TRUE(SelectorNow().items.empty());
    EXPECT_EQ(LoadDatabaseList(PageWindows[PageSearch]), 0);
    EXPECT_EQ(InstalledDatabaseCount, 0);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(StopProgram(), 0);
}

TEST(DatabaseList, TwelveLinesGiveTenEntriesAndLastDbSelectsOne) {
    // What a user sees (the program's own script driver): ten items, the one "Last db" names selected.
    std::string device = MakeListDevice(NumberedLines(12), u"\\db\\4.db");
    ScriptRun run = RunScript(device, "dump\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    Selector shown = SelectorOf(run.dumps[0]);
    ASSERT_EQ(shown.items.size(), 10u);
    EXPECT_EQ(shown.items[0], "Title 0");
    EXPECT_EQ(shown.items[9], "Title 9");
    EXPECT_EQ(shown.selected, 4);

    // In the program: entries 0 to 9 in file order; the lines after the tenth entry are never read, so
    // "Last db" naming the eleventh selects item 0.
    ASSERT_EQ(StartProgram(MakeListDevice(NumberedLines(12), u"\\db\\10.db")), 0);
    ASSERT_EQ(InstalledDatabaseCount, 10);
    for (int index = 0; index < 10; index++)
        EXPECT_EQ(Entry(index), "\\db\\" + std::to_string(index) + ".db|Title " + std::to_string(index));
    EXPECT_EQ(SelectorNow().selected, 0);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(DatabaseList, LineRules) {
    std::string lines = "a;b\r\n"                            // 5 bytes: skipped
                        "ab;cd\r\n"                          // 7 bytes: taken
                        "no semicolon at all\r\n"            // skipped
                        "\\x.db;Bare LF\n"                   // the line feed stays in the title
                        "\\y.db;Title; with; semicolons\r\n" // only the first semicolon splits
                        ";Empty path\r\n"                    // an entry with an empty path
                        "\\z.db;Cut\rhere\r\n"               // the first carriage return ends the title
                        "\r\n"
                        "\\w.db;\r\n"; // an empty title
    // "Last db" differing only in letter case matches nothing: item 0.
    ASSERT_EQ(StartProgram(MakeListDevice(lines, u"\\X.DB")), 0);
    ASSERT_EQ(InstalledDatabaseCount, 6);
    EXPECT_EQ(Entry(0), "ab|cd");
    EXPECT_EQ(Entry(1), "\\x.db|Bare LF\n");
    EXPECT_EQ(Entry(2), "\\y.db|Title; with; semicolons");
    EXPECT_EQ(Entry(3), "|Empty path");
    EXPECT_EQ(Entry(4), "\\z.db|Cut");
    EXPECT_EQ(Entry(5), "\\w.db|");
    Selector selector = SelectorNow();
    EXPECT_EQ(selector.items, (std::vector<std::string>{"cd", "Bare LF\n", "Title; with; semicolons",
                                                        "Empty path", "Cut", ""}));
    EXPECT_EQ(selector.selected, 0);
    EXPECT_EQ(StopProgram(), 0);
    // No "Last db" stored: the missing value names no entry, not the one with the empty path.
    ASSERT_EQ(StartProgram(MakeListDevice(lines)), 0);
    EXPECT_EQ(SelectorNow().selected, 0);
    EXPECT_EQ(StopProgram(), 0);

    // Two entries with the path "Last db" names: the later one is selected.
    ASSERT_EQ(StartProgram(MakeListDevice("\\same.db;First\r\n\\other.db;Other\r\n\\same.db;Second\r\n",
                                          u"\\same.db")),
              0);
    EXPECT_EQ(SelectorNow().selected, 2);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(DatabaseList, LinesLongerThanTheFieldsAreCut) {
    // 700 bytes: the first 511 come as one piece (path, and a title cut to 63 bytes), the rest as a piece
    // without a semicolon, which is skipped.
    std::string cutTitle = "\\" + std::string(299, 'P') + ";" + std::string(397, 'T') + "\r\n";
    ASSERT_EQ(cutTitle.size(), 700u);
    // 606 bytes with the semicolon in the second piece: that piece is an entry of its own.
    std::string splitLine = std::string(600, 'Q') + ";AB\r\n";
    ASSERT_EQ(StartProgram(MakeListDevice(cutTitle + splitLine + "\\ok.db;OK\r\n")), 0);
    ASSERT_EQ(InstalledDatabaseCount, 3);
    EXPECT_EQ(Entry(0), "\\" + std::string(299, 'P') + "|" + std::string(63, 'T'));
    EXPECT_EQ(InstalledDatabases[0].title[63], 0);
    EXPECT_EQ(Entry(1), std::string(89, 'Q') + "|AB");
    EXPECT_EQ(Entry(2), "\\ok.db|OK");
    EXPECT_EQ(SelectorNow().items, (std::vector<std::string>{std::string(63, 'T'), "AB", "OK"}));
    EXPECT_EQ(StopProgram(), 0);
}

TEST(DatabaseList, SavingAddsToTheFileAsItIsOnDiskWholeOrNotAtAll) {
    std::string original = "\\a.db;First\r\n\\b.db;Second; part\r\n";
    std::string device = MakeListDevice(original);
    ASSERT_EQ(StartProgram(device), 0);
    ASSERT_EQ(InstalledDatabaseCount, 2);
    Window setup = PageWindows[PageSetup];
    InstalledDatabase added = {};
    CopyText(added.path, "\\c.db");
    CopyText(added.title, "Third");

    // An entry whose path is there already adds nothing: the same lines come back, and no temporary
    // file is left beside the list.
    EXPECT_EQ(SaveDatabaseList(setup, InstalledDatabases[1]), 0);
    EXPECT_EQ(ReadHostFile(device + ListFile), original);
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(device + "/Program Files/Dialdex"))
        names.push_back(file.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dialdex.ini", "dialdex.lng"}));

    // The file cannot be written (a folder stands where its new text would go): box 903 under "Error"
    // owned by the caller's window; the old file and the table stay.
    std::string temporary = HostPathOf(DatabaseListPath) + ".tmp-" + std::to_string(getpid());
    std::filesystem::create_directories(temporary);
    EXPECT_EQ(SaveDatabaseList(setup, added), -1);
    std::filesystem::remove(temporary);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, "SetupWnd");
    EXPECT_EQ(Boxes()[0].caption, "Error");
    EXPECT_EQ(Boxes()[0].text, "Could not open ini file for save - \\Program Files\\Dialdex\\dialdex.ini");
    EXPECT_EQ(ReadHostFile(device + ListFile), original);
    EXPECT_EQ(InstalledDatabaseCount, 2);

    // The file changed on disk since the table was loaded (another instance dropped \b.db and added
    // \d.db): the entry is added to what is on disk, not to the table.
    WriteHostFile(device + ListFile, "\\a.db;First\r\n\\d.db;Fourth\r\n");
    EXPECT_EQ(SaveDatabaseList(setup, added), 0);
    EXPECT_EQ(ReadHostFile(device + ListFile), "\\a.db;First\r\n\\d.db;Fourth\r\n\\c.db;Third\r\n");
    // Ten entries on disk: nothing is written, and the caller is told there is no room.
    WriteHostFile(device + ListFile, NumberedLines(10));
    EXPECT_EQ(SaveDatabaseList(setup, added), 1);
    EXPECT_EQ(ReadHostFile(device + ListFile), NumberedLines(10));
    // The file vanished or was emptied while the program runs: the new file is the table in memory with
    // the entry (it was a list of one: every other installed database was lost).
    for (bool emptied : {false, true}) {
        std::filesystem::remove(device + ListFile);
        if (emptied) WriteHostFile(device + ListFile, "");
        EXPECT_EQ(SaveDatabaseList(setup, added), 0);
        EXPECT_EQ(ReadHostFile(device + ListFile), "\\a.db;First\r\n\\b.db;Second; part\r\n\\c.db;Third\r\n")
            << (emptied ? "emptied" : "vanished");
    }
    EXPECT_EQ(LoadDatabaseList(PageWindows[PageSearch]), 0);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(StopProgram(), 0);
}

TEST(DatabaseList, InstallAndCheckKeepTheListWhenTheFileVanishesIsEmptiedOrCannotBeWritten) {
    const std::string listed = "\\Db\\a.db;A\r\n\\Db\\b.db;B\r\n";
    const std::string install = "click SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1304";
    const std::string check = "click SetupWnd/1305";
    const std::string cannotSave = "Could not open ini file for save - \\Program Files\\Dialdex\\dialdex.ini";
    enum Change { Removed, Emptied, Blocked };
    struct {
        Change change;
        std::string command;
        std::string file; // what the list file holds afterwards
        std::vector<std::string> selector;
        std::vector<std::string> boxes;
    } cases[] = {
        {Removed, install, listed + "\\Db\\c.db;C\r\n", {"A", "B", "C"}, {}},
        {Emptied, install, listed + "\\Db\\c.db;C\r\n", {"A", "B", "C"}, {}},
        // Check wrote an empty file and said every installed file was good.
        {Removed, check, listed, {"A", "B"}, {"All installed db files - ok!"}},
        {Emptied, check, listed, {"A", "B"}, {"All installed db files - ok!"}},
        // A file that cannot be written (a folder stands where its new text would go): 903, and the
        // reload shows the file as it was, without the new entry.
        {Blocked, install, listed, {"A", "B"}, {cannotSave}},
        {Blocked, check, listed, {"A", "B"}, {cannotSave}},
    };
    for (const auto& test : cases) {
        std::string device = MakeListDevice(listed);
        for (const char* name : {"a", "b", "c"})
            WriteHostFile(device + "/Db/" + name + ".db", HeaderOnlyDatabase(1, std::string(1, char(name[0] - 32))));
        ASSERT_EQ(StartProgram(device), 0);
        ASSERT_EQ(InstalledDatabaseCount, 2);
        std::string blocker = HostPathOf(DatabaseListPath) + ".tmp-" + std::to_string(getpid());
        if (test.change == Blocked) std::filesystem::create_directories(blocker);
        if (test.change != Blocked) std::filesystem::remove(device + ListFile);
        if (test.change == Emptied) WriteHostFile(device + ListFile, "");
        Act("tab 2\n" + test.command);
        std::filesystem::remove(blocker);
        EXPECT_EQ(ReadHostFile(device + ListFile), test.file) << test.command << " " << test.change;
        EXPECT_EQ(SelectorNow().items, test.selector) << test.command << " " << test.change;
        EXPECT_EQ(InstalledDatabaseCount, int(test.selector.size())) << test.command << " " << test.change;
        std::vector<std::string> boxes;
        for (const RecordedBox& box : Boxes())
            boxes.push_back(box.text);
        EXPECT_EQ(boxes, test.boxes) << test.command << " " << test.change;
        for (const RecordedBox& box : Boxes())
            EXPECT_EQ(box.owner, "SetupWnd");
        EXPECT_EQ(StopProgram(), 0);
    }
}
