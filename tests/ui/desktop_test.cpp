// The window on a desktop, through the script driver: a database opened for one run (command line, drop),
// the keys, the clipboard, the language of the locale.
#include "tests/ui/support/harness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const char* const ListFile = "/Program Files/Dialdex/dialdex.ini";

// A database of three subscribers built from CSV at a host path outside any device.
std::string MakeHostDatabase(const std::string& name, const std::string& title) {
    std::string folder = MakeTemporaryFolder();
    std::string csv = folder + "/in.csv";
    WriteHostFile(csv, "phone,name,street,house,flat\n1111111,ZUEV A,LENINA,1,2\n"
                       "2222222,\"PETROV, B\",MIRA,3,\n3333333,IVANOV C,LENINA,5,6\n");
    std::string database = folder + "/" + name;
    ProcessRun made =
        RunProcess(BuiltProgram("dialdex-mkdb"), {"build", csv, database, "--title", title}, 120);
    EXPECT_EQ(made.exitCode, 0) << made.errors;
    return database;
}

// A device with the shipped language file's [RUSSIAN] section cut to the texts the tests read, and one
// installed database.
std::string MakeDesktopDevice() {
    std::string device = MakeDevice(LanguageFileOf({"[RUSSIAN]", "[ENGLISH]", "700=Search", "[UKR]"}));
    std::filesystem::create_directories(device + "/Databases");
    WriteHostFile(device + "/Databases/home.db", HeaderOnlyDatabase(0, "HOME"));
    WriteHostFile(device + ListFile, "\\Databases\\home.db;HOME\r\n");
    return device;
}

QJsonObject Selector(const ScriptRun& run, size_t dump) {
    return dump < run.dumps.size() ? FindWindow(run.dumps[dump], "combobox", 1100, "SearchWnd")
                                   : QJsonObject();
}

std::vector<std::string> Items(const QJsonObject& selector) {
    std::vector<std::string> items;
    for (const QJsonValue& item : selector["items"].toArray())
        items.push_back(Text(item));
    return items;
}

// The clipboard lines of a run, in order.
std::vector<std::string> Clipboards(const ScriptRun& run) {
    std::vector<std::string> texts;
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (object.contains("clipboard")) texts.push_back(Text(object["clipboard"]));
    }
    return texts;
}

// Runs with the locale variables set as given (unset when empty), restoring them after.
ScriptRun RunInLocale(const std::string& lang, const std::string& device, const std::string& script) {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string kept[3];
    bool had[3];
    for (int index = 0; index < 3; index++) {
        const char* value = std::getenv(names[index]);
        had[index] = value != nullptr;
        kept[index] = value ? value : "";
        unsetenv(names[index]);
    }
    if (!lang.empty()) setenv("LANG", lang.c_str(), 1);
    ScriptRun run = RunScript(device, script);
    for (int index = 0; index < 3; index++)
        if (had[index])
            setenv(names[index], kept[index].c_str(), 1);
        else
            unsetenv(names[index]);
    return run;
}

TEST(DesktopOpen, AFileOnTheCommandLineOrDroppedIsSearchedForThisRunOnly) {
    std::string device = MakeDesktopDevice();
    std::string listBefore = ReadHostFile(device + ListFile);
    std::string city = MakeHostDatabase("city.zdb", "CITY");
    std::string town = MakeHostDatabase("town.db", "TOWN");

    // Given on the command line: listed after the installed one, selected, and searched.
    ScriptRun run = RunScript(device,
                              "dump\ntype SearchWnd/1102 ivanov\nclick SearchWnd/1107\nwait\n"
                              "print ResultWnd/1201\ndrop " +
                                  town + "\ndump\n",
                              {city});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(run.boxes.empty()) << run.output;
    EXPECT_EQ(Items(Selector(run, 0)), (std::vector<std::string>{"HOME", "CITY"}));
    EXPECT_EQ(Selector(run, 0)["selected"].toInt(), 1);
    EXPECT_NE(run.output.find("3333333 | IVANOV C | LENINA | 5 | 6"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("ZUEV"), std::string::npos) << run.output;
    // A dropped file takes the opened one's place.
    EXPECT_EQ(Items(Selector(run, 1)), (std::vector<std::string>{"HOME", "TOWN"}));
    EXPECT_EQ(Selector(run, 1)["selected"].toInt(), 1);

    // Nothing of it is kept: the list file is as it was, and the next run lists the installed one only
    // with nothing named by "Last db" that is not there.
    EXPECT_EQ(ReadHostFile(device + ListFile), listBefore);
    ScriptRun next = RunScript(device, "dump\n");
    EXPECT_EQ(Items(Selector(next, 0)), (std::vector<std::string>{"HOME"}));
    EXPECT_EQ(Selector(next, 0)["selected"].toInt(), 0);
    EXPECT_TRUE(next.boxes.empty()) << next.output;

    // A new device without a list file: the opened database is the only one, and it is searched.
    std::string fresh = MakeDevice(LanguageFileOf({"[RUSSIAN]"}));
    ScriptRun alone = RunScript(fresh,
                                "dump\ntype SearchWnd/1101 2222222\nclick SearchWnd/1107\nwait\n"
                                "print ResultWnd/1201\n",
                                {town});
    EXPECT_TRUE(alone.boxes.empty()) << alone.output;
    EXPECT_EQ(Items(Selector(alone, 0)), (std::vector<std::string>{"TOWN"}));
    EXPECT_NE(alone.output.find("2222222 | PETROV, B | MIRA | 3 | "), std::string::npos) << alone.output;
}

TEST(DesktopOpen, AFileThatIsNoDatabaseGetsTheBadDbFileBox) {
    std::string device = MakeDesktopDevice();
    std::string folder = MakeTemporaryFolder();
    struct Case {
        std::string name;
        std::string bytes; // none: the file does not exist
    };
    for (const Case& bad : {
             Case{"notes.db",   "not a database at all, only words"},
             Case{"short.zdb",  "\x1f\x8b"                         },
             Case{"missing.db", ""                                 }
    }) {
        std::string path = folder + "/" + bad.name;
        if (!bad.bytes.empty()) WriteHostFile(path, bad.bytes);
        for (bool dropped : {false, true}) {
            ScriptRun run = dropped ? RunScript(device, "drop " + path + "\ndump\n")
                                    : RunScript(device, "dump\n", {path});
            ASSERT_EQ(run.exitCode, 0) << bad.name << run.errors;
            ASSERT_EQ(run.boxes.size(), 1u) << bad.name << run.output;
            EXPECT_EQ(Text(run.boxes[0]["caption"]), "Error");
            EXPECT_NE(Text(run.boxes[0]["text"]).find("Bad db file"), std::string::npos);
            EXPECT_NE(Text(run.boxes[0]["text"]).find(bad.name), std::string::npos)
                << Text(run.boxes[0]["text"]);
            EXPECT_EQ(Items(Selector(run, 0)), (std::vector<std::string>{"HOME"})) << bad.name;
        }
    }
}

TEST(DesktopKeys, EnterStartsCtrlTabCyclesAndCopyTakesRowsAsShown) {
    std::string device = MakeDesktopDevice();
    std::string city = MakeHostDatabase("city.db", "CITY");
    ScriptRun run = RunScript(device,
                              "type SearchWnd/1103 lenina\n"
                              "key SearchWnd/1103 Return\n"
                              "wait\n"
                              "dump\n"
                              // Sorted by name: copies keep the order shown, not the order found.
                              "header ResultWnd/1201 1\n"
                              "key ResultWnd/1201 Ctrl+C\n"
                              "clipboard\n"
                              "key ResultWnd/1201 Down\n"
                              "key ResultWnd/1201 Ctrl+C\n"
                              "clipboard\n"
                              "key ResultWnd/1201 Ctrl+Shift+C\n"
                              "clipboard\n"
                              "key main/200 Ctrl+Tab\n"
                              "key main/200 Ctrl+Tab\n"
                              "dump\n"
                              "key main/200 Ctrl+Tab\n"
                              "dump\n"
                              "key main/200 Ctrl+Tab\n"
                              "key main/200 Ctrl+Shift+Tab\n"
                              "dump\n"
                              "clear SearchWnd/1103\n"
                              "key SearchWnd/1100 Return\n"
                              "wait\n",
                              {city});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 4u) << run.output << run.errors;
    // Enter in an edit is the Start button's click: the search ran and the Result page is shown.
    EXPECT_EQ(FindWindow(run.dumps[0], "SysTabControl32", 200)["current"].toInt(), 1);
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "static", 1202)["text"]), "Scaned: 3, results: 2");
    std::string heading = "Phone\tName\tStreet\tHouse\tFlat\n";
    std::vector<std::string> clipboards = Clipboards(run);
    ASSERT_EQ(clipboards.size(), 3u) << run.output;
    EXPECT_EQ(clipboards[0], heading) << "no row is focused yet";
    EXPECT_EQ(clipboards[1], heading + "3333333\tIVANOV C\tLENINA\t5\t6\n");
    EXPECT_EQ(clipboards[2], heading + "3333333\tIVANOV C\tLENINA\t5\t6\n1111111\tZUEV A\tLENINA\t1\t2\n");
    // Ctrl+Tab goes round Search, Result, Setup, About and back, never to Exit; Ctrl+Shift+Tab goes back.
    EXPECT_EQ(FindWindow(run.dumps[1], "SysTabControl32", 200)["current"].toInt(), 3);
    EXPECT_EQ(FindWindow(run.dumps[2], "SysTabControl32", 200)["current"].toInt(), 0);
    EXPECT_EQ(FindWindow(run.dumps[3], "SysTabControl32", 200)["current"].toInt(), 0);
    // Enter in the selector is Start too: without a criterion the program says so.
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_EQ(Text(run.boxes[0]["text"]), "You must input some criteria(s)");
}

TEST(DesktopKeys, EscapeStopsARunningSearchAndNothingElse) {
    std::string device = MakeDesktopDevice();
    std::string big = MakeTemporaryFolder() + "/big.zdb";
    ASSERT_EQ(RunProcess(BuiltProgram("dialdex-mkdb"),
                         {"demo", "400000", big, "--seed", "3", "--title", "BIG"}, 300)
                  .exitCode,
              0);
    ScriptRun run = RunScript(device,
                              "key SearchWnd/1102 Escape\n"
                              "dump\n"
                              "type SearchWnd/1102 м\n"
                              "click SearchWnd/1107\n"
                              "key ResultWnd/1201 Escape\n"
                              "wait\n"
                              "dump\n",
                              {big});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 2u) << run.output;
    // Escape while idle starts nothing (no box, the Search page stays).
    EXPECT_TRUE(run.boxes.empty()) << run.output;
    EXPECT_EQ(FindWindow(run.dumps[0], "SysTabControl32", 200)["current"].toInt(), 0);
    std::string status = Text(FindWindow(run.dumps[1], "static", 1202)["text"]);
    EXPECT_EQ(status.find("Scaned: 400000"), std::string::npos) << "not stopped: " << status;
    EXPECT_EQ(Text(FindWindow(run.dumps[1], "BUTTON", 1107)["text"]), "Start");
}

TEST(DesktopLanguage, TheLocaleChoosesTheSectionUntilOneIsStored) {
    struct Case {
        std::string lang;
        std::string firstTab;
    };
    // The device's file has RUSSIAN (built-in texts), ENGLISH ("Search") and no UKRAINIAN section.
    for (const Case& row : {
             Case{"en_GB.UTF-8", "Search"    },
             Case{"en",          "Search"    },
             Case{"uk_UA.UTF-8", "Поиск"},
             Case{"ru_RU.UTF-8", "Поиск"},
             Case{"C.UTF-8",     "Поиск"},
             Case{"",            "Поиск"}
    }) {
        std::string device = MakeDesktopDevice();
        WriteHostFile(device + "/Program Files/Dialdex/dialdex.lng",
                      LanguageFileOf({"[RUSSIAN]", "700=\xCF\xEE\xE8\xF1\xEA", "[ENGLISH]", "700=Search"}));
        ScriptRun run = RunInLocale(row.lang, device, "dump\n");
        ASSERT_EQ(run.dumps.size(), 1u) << row.lang << run.errors;
        QJsonArray tabs = FindWindow(run.dumps[0], "SysTabControl32", 200)["tabs"].toArray();
        EXPECT_EQ(Text(tabs[0]), row.firstTab) << row.lang;
    }
    // A stored value wins over the locale: Save on the Setup page stores the language in use.
    std::string device = MakeDesktopDevice();
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.lng",
                  LanguageFileOf({"[RUSSIAN]", "700=\xCF\xEE\xE8\xF1\xEA", "[ENGLISH]", "700=Search"}));
    RunInLocale("ru_RU.UTF-8", device, "click SetupWnd/1309\n");
    ScriptRun run = RunInLocale("en_US.UTF-8", device, "dump\n");
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    EXPECT_EQ(Text(FindWindow(run.dumps[0], "SysTabControl32", 200)["tabs"].toArray()[0]), "Поиск");
}

} // namespace
