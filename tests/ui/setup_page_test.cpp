// The Setup page's database commands as a user meets them: Find DB over device trees built here,
// Install into the installed-database list, and Check of the installed files.
#include "tests/ui/support/harness.h"

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

const std::string ProgramFolder = "/Program Files/Dialdex";

// A language whose section holds no texts: every caption and message keeps its built-in English text.
std::string PlainDevice() {
    return MakeDevice("[RUSSIAN]\r\n");
}

// A demo directory made by dialdex-mkdb, as the demo device holds them.
void MakeDemoDatabase(const std::string& path, int recordCount, const std::string& title) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QProcess make;
    make.start(QString::fromStdString(BuiltProgram("dialdex-mkdb")),
               {"demo", QString::number(recordCount), QString::fromStdString(path), "--seed", "3", "--title",
                QString::fromStdString(title)});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
}

std::string IniPath(const std::string& device) {
    return device + ProgramFolder + "/dialdex.ini";
}

std::vector<std::string> Items(const QJsonObject& dump, const std::string& className, int id) {
    std::vector<std::string> items;
    for (const QJsonValue& item : FindWindow(dump, className, id)["items"].toArray())
        items.push_back(Text(item));
    return items;
}
std::vector<std::string> FoundLines(const QJsonObject& dump) {
    return Items(dump, "Listbox", 1302);
}
int Extent(const QJsonObject& dump) {
    return FindWindow(dump, "Listbox", 1302)["extent"].toInt();
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The database files under a host folder in the order the folder lists them, each subfolder's files at
// the place where the subfolder is met: what Find DB must produce on the same tree.
void ListInReadingOrder(const std::filesystem::path& folder, const std::string& devicePath,
                        std::vector<std::string>* paths) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (entry.is_directory()) {
            ListInReadingOrder(entry.path(), devicePath + "\\" + name, paths);
        } else if (name.size() > 3 && name.substr(name.size() - 3) == ".db") {
            paths->push_back(devicePath + "\\" + name);
        }
    }
}

std::string Box(const QJsonObject& box) {
    return Text(box["caption"]) + ": " + Text(box["text"]);
}
std::vector<std::string> Boxes(const ScriptRun& run) {
    std::vector<std::string> boxes;
    for (const QJsonObject& box : run.boxes)
        boxes.push_back(Box(box));
    return boxes;
}

} // namespace

TEST(FindDatabases, EmptyDeviceAndCandidateRules) {
    std::string device = PlainDevice();
    ScriptRun empty = RunScript(device, "tab 2\nclick SetupWnd/1303\ndump\n");
    ASSERT_EQ(empty.dumps.size(), 1u) << empty.errors;
    EXPECT_TRUE(FoundLines(empty.dumps[0]).empty());
    EXPECT_EQ(Extent(empty.dumps[0]), 0);
    EXPECT_TRUE(empty.boxes.empty());

    WriteHostFile(device + "/a.db", HeaderOnlyDatabase(1, "A"));
    WriteHostFile(device + "/.db", HeaderOnlyDatabase(2, "DOT")); // 3 characters: not a candidate
    WriteHostFile(device + "/b.zdb", HeaderOnlyDatabase(3, "B"));
    WriteHostFile(device + "/C.ZDB", HeaderOnlyDatabase(4, "C"));
    WriteHostFile(device + "/d.Db", HeaderOnlyDatabase(5, "D"));
    WriteHostFile(device + "/x.zdb/inner.db", HeaderOnlyDatabase(6, "INNER")); // a folder, entered
    WriteHostFile(device + "/bad.db", HeaderOnlyDatabase(7, "BAD", 10));       // wrong format mark
    WriteHostFile(device + "/short.db", "\x01\x00\x00");                       // too short
    WriteHostFile(device + "/e.txt", HeaderOnlyDatabase(8, "TXT"));            // valid, but not by its name
    WriteHostFile(device + "/Databases/g.db", HeaderOnlyDatabase(9, "G"));     // installed already
    WriteHostFile(device + "/Databases/G.db",
                  HeaderOnlyDatabase(10, "G UPPER")); // differs in letter case only
    WriteHostFile(IniPath(device), "\\Databases\\g.db;G\r\n");
    ScriptRun run = RunScript(device, "tab 2\nclick SetupWnd/1303\ndump\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_EQ(Sorted(FoundLines(run.dumps[0])),
              (std::vector<std::string>{"A [1] \\a.db", "B [3] \\b.zdb", "C [4] \\C.ZDB", "D [5] \\d.Db",
                                        "G UPPER [10] \\Databases\\G.db", "INNER [6] \\x.zdb\\inner.db"}));
    EXPECT_EQ(Extent(run.dumps[0]), 7 * 28);
    EXPECT_TRUE(run.boxes.empty()) << Boxes(run)[0];
    // Find DB only reads.
    EXPECT_EQ(ReadHostFile(IniPath(device)), "\\Databases\\g.db;G\r\n");
}

TEST(FindDatabases, DiscoveryOrderLongestLineAndThirtyFiles) {
    std::string device = PlainDevice();
    std::vector<std::string> names = {"one.db", "sub/two.db",  "sub/deeper/three.db", "sub/four.db",
                                      "zz.db",  "mid/five.db", "sub/deeper/six.db",   "seven.db"};
    for (const std::string& name : names)
        WriteHostFile(device + "/" + name, HeaderOnlyDatabase(1, "T"));
    // The longest line: "T [1] " and a path of 34 characters.
    WriteHostFile(device + "/" + std::string(30, 'n') + ".db", HeaderOnlyDatabase(1, "T"));
    std::vector<std::string> expected;
    ListInReadingOrder(device, "", &expected);
    ScriptRun run = RunScript(device, "tab 2\nclick SetupWnd/1303\ndump\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    std::vector<std::string> lines = FoundLines(run.dumps[0]);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t index = 0; index < lines.size(); index++)
        EXPECT_EQ(lines[index], "T [1] " + expected[index]);
    EXPECT_EQ(Extent(run.dumps[0]), 280);

    // Thirty files: every one listed, and the line chosen is the file installed.
    std::string many = PlainDevice();
    for (int index = 0; index < 30; index++)
        WriteHostFile(many + "/Cards/f" + std::to_string(index) + ".db",
                      HeaderOnlyDatabase(index, "F" + std::to_string(index)));
    ScriptRun thirty = RunScript(many, "tab 2\nclick SetupWnd/1303\ndump\nchoose SetupWnd/1302 24\n"
                                       "click SetupWnd/1304\ndump\n");
    ASSERT_EQ(thirty.dumps.size(), 2u) << thirty.errors;
    std::vector<std::string> found = FoundLines(thirty.dumps[0]);
    ASSERT_EQ(found.size(), 30u);
    std::string chosen = found[24];
    size_t open = chosen.find(" ["), close = chosen.find("] ");
    std::string title = chosen.substr(0, open), path = chosen.substr(close + 2);
    EXPECT_EQ(chosen, title + " [" + title.substr(1) + "] \\Cards\\f" + title.substr(1) + ".db");
    EXPECT_EQ(ReadHostFile(IniPath(many)), path + ";" + title + "\r\n");
    EXPECT_EQ(FoundLines(thirty.dumps[1]).size(), 29u);
}

TEST(FindDatabases, PathsThatCannotBeInstalledLinksAndLoops) {
    std::string device = PlainDevice();
    // Folder names of 100 characters: the third level's file passes 259 characters, the sixth level's
    // folder passes 519 and is not entered.
    std::string level(100, 'L');
    std::string host = device, devicePath;
    for (int depth = 1; depth <= 6; depth++) {
        host += "/" + level;
        devicePath += "\\" + level;
        WriteHostFile(host + "/d" + std::to_string(depth) + ".db", HeaderOnlyDatabase(depth, "DEEP"));
    }
    WriteHostFile(device + "/semi;colon.db", HeaderOnlyDatabase(1, "SEMI"));
    WriteHostFile(device + "/\xE6\x95\xB0.db", HeaderOnlyDatabase(1, "CJK")); // no byte in code page 1251
    WriteHostFile(device + "/\xD0\x91\xD0\xB0\xD0\xB7\xD0\xB0.db", HeaderOnlyDatabase(1, "CYRILLIC"));
    WriteHostFile(device + "/title.db", HeaderOnlyDatabase(1, "TWO\r\nLINES"));
    // A control character in a name would split its line of "dialdex.ini" as a semicolon would.
    WriteHostFile(device + "/line\nfeed.db", HeaderOnlyDatabase(1, "LINE FEED"));
    WriteHostFile(device + "/tab\tbed.db", HeaderOnlyDatabase(1, "TAB"));
    // A backslash in a host name: the device would read "\a\b.db" as the file b.db in folder a, so the
    // name is not listed and the real \a\b.db is listed once.
    WriteHostFile(device + "/a\\b.db", HeaderOnlyDatabase(1, "BACKSLASH"));
    WriteHostFile(device + "/a/b.db", HeaderOnlyDatabase(1, "REAL"));
    // Links: a loop to the parent, a link to itself, a link to a folder outside the device, and a link
    // to a database inside the device (a file, listed under its own name).
    std::string outside = MakeTemporaryFolder();
    WriteHostFile(outside + "/outside.db", HeaderOnlyDatabase(1, "OUTSIDE"));
    std::filesystem::create_directories(device + "/Loop");
    std::filesystem::create_directory_symlink("..", device + "/Loop/up");
    std::filesystem::create_directory_symlink(".", device + "/Loop/self");
    std::filesystem::create_directory_symlink(outside, device + "/Loop/out");
    WriteHostFile(device + "/Loop/in.db", HeaderOnlyDatabase(2, "LOOP"));
    std::filesystem::create_symlink(device + "/Loop/in.db", device + "/linked.db");

    ScriptRun run = RunScript(device, "tab 2\nclick SetupWnd/1303\ndump\nchoose SetupWnd/1302 0\n"
                                      "click SetupWnd/1304\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    std::string twoLevels = "\\" + level + "\\" + level;
    EXPECT_EQ(Sorted(FoundLines(run.dumps[0])),
              Sorted({"DEEP [1] \\" + level + "\\d1.db", "DEEP [2] " + twoLevels + "\\d2.db",
                      "CYRILLIC [1] \\База.db", "TWO  LINES [1] \\title.db", "LOOP [2] \\Loop\\in.db",
                      "LOOP [2] \\linked.db", "REAL [1] \\a\\b.db"}));
    EXPECT_TRUE(run.boxes.empty());
    // Whatever was installed is one whole line.
    std::string ini = ReadHostFile(IniPath(device));
    EXPECT_EQ(std::count(ini.begin(), ini.end(), '\n'), 1) << ini;
}

TEST(InstallDatabase, FullListNoSelectionAndInstall) {
    // Ten installed entries: box 905 with 10 under the fixed caption "Info", even when 901 is translated.
    std::string device = MakeDevice("[RUSSIAN]\r\n901=Notice\r\n905=At most %i databases\r\n");
    std::string ini;
    for (int index = 0; index < 10; index++) {
        std::string name = "i" + std::to_string(index) + ".db";
        WriteHostFile(device + "/" + name, HeaderOnlyDatabase(index, "I"));
        ini += "\\" + name + ";I\r\n";
    }
    WriteHostFile(IniPath(device), ini);
    WriteHostFile(device + "/new.db", HeaderOnlyDatabase(1, "NEW"));
    ScriptRun full =
        RunScript(device, "tab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1304\n"
                          "dump\n");
    ASSERT_EQ(full.dumps.size(), 1u) << full.errors;
    EXPECT_EQ(Boxes(full), (std::vector<std::string>{"Info: At most 10 databases"}));
    EXPECT_EQ(ReadHostFile(IniPath(device)), ini);
    EXPECT_EQ(FoundLines(full.dumps[0]), (std::vector<std::string>{"NEW [1] \\new.db"}));
    EXPECT_EQ(Items(full.dumps[0], "combobox", 1100).size(), 10u);

    // No selection: nothing happens.
    std::string fresh = PlainDevice();
    WriteHostFile(fresh + "/Databases/first.db", HeaderOnlyDatabase(11, "FIRST"));
    WriteHostFile(fresh + "/Databases/second.db", HeaderOnlyDatabase(22, "SECOND"));
    MakeDemoDatabase(fresh + "/My Documents/suburbs.db", 500, "SUBURBS DEMO");
    WriteHostFile(IniPath(fresh), "\\Databases\\first.db;FIRST\r\n\\Databases\\second.db;SECOND\r\n");
    ScriptRun none = RunScript(fresh, "tab 2\nclick SetupWnd/1303\nclick SetupWnd/1304\ndump\n");
    ASSERT_EQ(none.dumps.size(), 1u) << none.errors;
    EXPECT_TRUE(none.boxes.empty());
    EXPECT_EQ(FoundLines(none.dumps[0]),
              (std::vector<std::string>{"SUBURBS DEMO [500] \\My Documents\\suburbs.db"}));
    EXPECT_EQ(ReadHostFile(IniPath(fresh)),
              "\\Databases\\first.db;FIRST\r\n\\Databases\\second.db;SECOND\r\n");

    // A search on the second database records it as "Last db"; Install keeps it selected, adds the new
    // one at the end of the selector and of the file, and leaves the found list empty and unselected.
    ScriptRun install =
        RunScript(fresh, "choose SearchWnd/1100 1\ntype SearchWnd/1102 A\nclick SearchWnd/1107\n"
                         "wait\ntab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\n"
                         "click SetupWnd/1304\ndump\n");
    ASSERT_EQ(install.dumps.size(), 1u) << install.errors;
    EXPECT_TRUE(install.boxes.empty()) << Boxes(install)[0];
    EXPECT_EQ(ReadHostFile(IniPath(fresh)), "\\Databases\\first.db;FIRST\r\n\\Databases\\second.db;"
                                            "SECOND\r\n\\My Documents\\suburbs.db;SUBURBS DEMO\r\n");
    EXPECT_EQ(Items(install.dumps[0], "combobox", 1100),
              (std::vector<std::string>{"FIRST", "SECOND", "SUBURBS DEMO"}));
    EXPECT_EQ(FindWindow(install.dumps[0], "combobox", 1100)["selected"].toInt(), 1);
    EXPECT_TRUE(FoundLines(install.dumps[0]).empty());
    EXPECT_EQ(Extent(install.dumps[0]), 0);
}

TEST(CheckDatabases, DropsMissingEntriesKeepsGoodOnesAndTheFoundList) {
    std::string device = PlainDevice();
    std::string ini;
    for (int index = 1; index <= 5; index++) {
        std::string path = "\\Db\\p" + std::to_string(index) + ".db";
        if (index != 2 && index != 4)
            WriteHostFile(device + "/Db/p" + std::to_string(index) + ".db", HeaderOnlyDatabase(index, "P"));
        ini += path + ";Title " + std::to_string(index) + "\r\n";
    }
    WriteHostFile(IniPath(device), ini);
    WriteHostFile(device + "/Other/free.db", HeaderOnlyDatabase(9, "FREE"));
    ScriptRun run =
        RunScript(device, "tab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1305\n"
                          "dump\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_EQ(Boxes(run), (std::vector<std::string>{
                              "Error: Bad db file  - \\Db\\p2.db", "Error: Bad db file  - \\Db\\p4.db",
                              "Info: Found: 2 wrong db files\r\n\r\nBad entrances deleted."}));
    for (const QJsonObject& box : run.boxes)
        EXPECT_EQ(Text(box["owner"]), "SetupWnd");
    EXPECT_EQ(ReadHostFile(IniPath(device)),
              "\\Db\\p1.db;Title 1\r\n\\Db\\p3.db;Title 3\r\n\\Db\\p5.db;Title 5\r\n");
    EXPECT_EQ(Items(run.dumps[0], "combobox", 1100),
              (std::vector<std::string>{"Title 1", "Title 3", "Title 5"}));
    EXPECT_EQ(FoundLines(run.dumps[0]), (std::vector<std::string>{"FREE [9] \\Other\\free.db"}));
    EXPECT_EQ(FindWindow(run.dumps[0], "Listbox", 1302)["selected"].toInt(), 0);
    // No file is left beside it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(device + ProgramFolder))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2); // dialdex.lng and dialdex.ini

    // All valid: one box, the same lines.
    std::string good = ReadHostFile(IniPath(device));
    ScriptRun valid = RunScript(device, "tab 2\nclick SetupWnd/1305\n");
    EXPECT_EQ(Boxes(valid), (std::vector<std::string>{"Info: All installed db files - ok!"}));
    EXPECT_EQ(ReadHostFile(IniPath(device)), good);

    // An empty list: the file stays empty and all is well; no file at all: an empty one is made.
    std::string empty = PlainDevice();
    WriteHostFile(IniPath(empty), "");
    EXPECT_EQ(Boxes(RunScript(empty, "tab 2\nclick SetupWnd/1305\n")),
              (std::vector<std::string>{"Info: All installed db files - ok!"}));
    EXPECT_EQ(ReadHostFile(IniPath(empty)), "");
    std::string missing = PlainDevice();
    EXPECT_EQ(Boxes(RunScript(missing, "tab 2\nclick SetupWnd/1305\n")),
              (std::vector<std::string>{"Info: All installed db files - ok!"}));
    EXPECT_TRUE(std::filesystem::is_regular_file(IniPath(missing)));

    // A file that cannot be replaced: message 903 under "Error", no summary, nothing else changes.
    std::string blocked = PlainDevice();
    std::filesystem::create_directories(IniPath(blocked) + "/inside");
    EXPECT_EQ(Boxes(RunScript(blocked, "tab 2\nclick SetupWnd/1305\n")),
              (std::vector<std::string>{
                  "Error: Could not open ini file for save - \\Program Files\\Dialdex\\dialdex.ini"}));
    EXPECT_TRUE(std::filesystem::is_directory(IniPath(blocked) + "/inside"));
}

TEST(CheckDatabases, ValidatesExactlyThePathTheSearchOpens) {
    // An entry of 303 characters whose first 259 characters name another database: the search may not
    // open that one, and Check may not pass the entry as good when no search can open it.
    std::string device = PlainDevice();
    std::string folders = "/" + std::string(100, 'L') + "/" + std::string(100, 'M') + "/";
    std::string shortName = std::string(53, 'x') + ".db";
    std::string longName = shortName + "-" + std::string(40, 'y') + ".db";
    ASSERT_EQ(folders.size() + shortName.size(), 259u);
    WriteHostFile(device + folders + shortName, ExampleDatabase()); // one subscriber, named A
    WriteHostFile(device + folders + longName, HeaderOnlyDatabase(1, "LONG"));
    std::string path = folders + longName;
    std::replace(path.begin(), path.end(), '/', '\\');
    WriteHostFile(IniPath(device), path + ";LONG\r\n");
    ScriptRun run = RunScript(device, "type SearchWnd/1102 A\nclick SearchWnd/1107\nwait\ndump\ntab 2\n"
                                      "click SetupWnd/1305\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_TRUE(FindWindow(run.dumps[0], "SysListView32", 1201)["rows"].toArray().isEmpty());
    EXPECT_EQ(Boxes(run),
              (std::vector<std::string>{"Error: Bad db file  - " + path,
                                        "Info: Found: 1 wrong db files\r\n\r\nBad entrances deleted."}));
    EXPECT_EQ(ReadHostFile(IniPath(device)), "");
}

TEST(CheckDatabases, KeepsTheDatabaseOfARunningSearch) {
    std::string device = PlainDevice();
    std::string database = device + "/Databases/big.zdb";
    MakeDemoDatabase(database, 300000, "BIG");
    std::string ini = "\\Databases\\big.zdb;BIG\r\n";
    WriteHostFile(IniPath(device), ini);
    // Check runs right after Start, while the worker opens and scans the file (how far it has come
    // depends on the machine's load, so only the outcome is checked: the file is kept either way).
    std::string script = "type SearchWnd/1102 ZZZZZ\nclick SearchWnd/1107\n";
    ScriptRun run = RunScript(device, script + "tab 2\nclick SetupWnd/1305\nwait\nprint ResultWnd/1202\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Boxes(run), (std::vector<std::string>{"Info: All installed db files - ok!"}));
    EXPECT_EQ(ReadHostFile(IniPath(device)), ini);
    EXPECT_NE(run.output.find("Scaned: 300000"), std::string::npos) << run.output;
}

TEST(CheckDatabases, AKillWhileCheckingLeavesTheFileWhole) {
    std::string device = PlainDevice();
    std::string oldText, newText;
    for (int index = 0; index < 10; index++) {
        std::string line = "\\Db\\k" + std::to_string(index) + ".db;K " + std::to_string(index) + "\r\n";
        if (index % 3 != 0) {
            WriteHostFile(device + "/Db/k" + std::to_string(index) + ".db", HeaderOnlyDatabase(index, "K"));
            newText += line;
        }
        oldText += line;
    }
    std::string script = "tab 2\n";
    for (int repeat = 0; repeat < 100; repeat++)
        script += "click SetupWnd/1305\n";
    std::string scriptPath = MakeTemporaryFolder() + "/check.txt";
    WriteHostFile(scriptPath, script);
    const std::vector<std::string> arguments{"--device", device, "--script", scriptPath};

    // How long a whole run takes, so that the kills fall anywhere in it.
    WriteHostFile(IniPath(device), oldText);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunProcess(BuiltProgram("dialdex"), arguments, 120).exitCode, 0);
    int runMilliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
    ASSERT_EQ(ReadHostFile(IniPath(device)), newText);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delay(0, std::max(runMilliseconds, 1));
    int killedWhileRunning = 0;
    for (int attempt = 0; attempt < 20; attempt++) {
        WriteHostFile(IniPath(device), oldText);
        killedWhileRunning += RunAndKill(BuiltProgram("dialdex"), arguments, delay(random));
        std::string text = ReadHostFile(IniPath(device));
        EXPECT_TRUE(text == oldText || text == newText) << "attempt " << attempt << ": " << text;
    }
    EXPECT_GT(killedWhileRunning, 0);
}
