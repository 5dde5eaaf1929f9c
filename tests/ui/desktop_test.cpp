// The window on a desktop, through the script driver: a database opened for one run (command line, drop),
// the keys, the clipboard, the language of the locale.
#include "platform/text.h"
#include "platform/window_system.h"
#include "tests/ui/support/harness.h"

#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

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
ScriptRun RunInLocale(const std::string& lang, const std::string& device, const std::string& script,
                      const std::vector<std::string>& arguments = {}) {
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
    ScriptRun run = RunScript(device, script, arguments);
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

TEST(DesktopOpen, HostNamesWithBackslashesNeverReachTheDevicesOwnFiles) {
    std::string device = MakeDesktopDevice();
    std::string listBefore = ReadHostFile(device + ListFile);
    std::string folder = MakeTemporaryFolder();
    // A host file named like a way out of the opened file's folder into the device's own database.
    std::string evil = MakeHostDatabase("..\\..\\Databases\\home.db", "EVIL");
    std::string export_ = folder + "/..\\..\\Program Files\\Dialdex\\dialdex.ini";
    WriteHostFile(folder + "/notes.db", "words, not a database");
    WriteHostFile(folder + "/method.zdb", std::string("\x1F\x8B\x07\x00\0\0\0\0\0\x03", 10));
    ScriptRun run = RunScript(device,
                              "drop " + evil + "\ndump\ntype SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\n"
                              "print ResultWnd/1201\nanswer " + export_ + "\ncommand 503\n"
                              "answer " + folder + "/no/such/x.csv\ncommand 503\n"
                              "drop " + folder + "/missing.db\ndrop " + folder + "/notes.db\ndrop " + folder +
                                  "/method.zdb\ndrop " + folder + "\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // The dropped host file is what is listed and searched; the device's home.db is not.
    EXPECT_EQ(Items(Selector(run, 0)), (std::vector<std::string>{"HOME", "EVIL"}));
    EXPECT_NE(run.output.find("3333333 | IVANOV C | LENINA | 5 | 6"), std::string::npos) << run.output;
    // The export went to the host file of that name; the installed-database list is untouched.
    EXPECT_EQ(ReadHostFile(device + ListFile), listBefore);
    EXPECT_EQ(ReadHostFile(export_).substr(0, 28), "Phone,Name,Street,House,Flat");
    // Boxes about host files name the host path and the reason.
    std::vector<std::string> expected = {
        "Could not write - " + folder + "/no/such/x.csv: No such file or directory",
        "Bad db file  - " + folder + "/missing.db: No such file or directory",
        "Bad db file  - " + folder + "/notes.db: shorter than a database header (29 bytes)",
        "Bad db file  - " + folder + "/method.zdb: unknown compression method",

        "Bad db file  - " + folder + ": a folder",
    };
    std::vector<std::string> texts;
    for (const QJsonObject& box : run.boxes)
        texts.push_back(Text(box["text"]));
    EXPECT_EQ(texts, expected) << run.output;
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
    EXPECT_EQ(clipboards[0], "") << "no row is focused yet: nothing to copy";
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

TEST(DesktopMenu, TheMenuSendsTheMainWindowsCommandsAndExportWritesTheRowsShown) {
    std::string device = MakeDesktopDevice();
    std::string city = MakeHostDatabase("city.db", "CITY");
    std::string folder = MakeTemporaryFolder();
    std::string csv = folder + "/found.csv";
    WriteHostFile(csv, "an older export\n");
    ScriptRun run = RunScript(device,
                              "dump\n"
                              "command 501\n"
                              "dump\n"
                              "type SearchWnd/1101 *\n"
                              "click SearchWnd/1107\n"
                              "wait\n"
                              "header ResultWnd/1201 1\n"
                              "command 503\n" // no answer: cancelled, the file stays
                              "print ResultWnd/1202\n"
                              "answer " +
                                  csv +
                                  "\n"
                                  "command 503\n"
                                  "answer " +
                                  folder +
                                  "/no/such/folder/x.csv\n"
                                  "command 503\n"
                                  "command 505\n"
                                  "clipboard\n",
                              {city});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_GE(run.dumps.size(), 2u) << run.output;
    QJsonObject main = FindWindow(run.dumps[0], "Dialdex", 0);
    EXPECT_EQ(main["zoom"].toDouble(), 1.0);
    QJsonArray menu = main["menu"].toArray();
    ASSERT_EQ(menu.size(), 3);
    std::string shape;
    for (const QJsonValue& bar : menu) {
        shape += Text(bar.toObject()["text"]) + ":";
        for (const QJsonValue& value : bar.toObject()["items"].toArray()) {
            QJsonObject item = value.toObject();
            shape += item["separator"].toBool() ? " -" : " " + std::to_string(item["id"].toInt());
            if (!Text(item["keys"]).empty()) shape += "(" + Text(item["keys"]) + ")";
        }
        shape += ";";
    }
    EXPECT_EQ(shape, "&File: 508(Ctrl+O) 503(Ctrl+E) 501 - 500(Ctrl+Q);&Edit: 504(Ctrl+C) 505(Ctrl+Shift+C);"
                     "&Help: 502;");
    EXPECT_EQ(FindWindow(run.dumps[1], "SysTabControl32", 200)["current"].toInt(), 2);

    // The rows as the list shows them (sorted by name), RFC 4180 quoting, CRLF line ends, UTF-8.
    EXPECT_EQ(ReadHostFile(csv), "Phone,Name,Street,House,Flat\r\n"
                                 "3333333,IVANOV C,LENINA,5,6\r\n"
                                 "2222222,\"PETROV, B\",MIRA,3,\r\n"
                                 "1111111,ZUEV A,LENINA,1,2\r\n");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"found.csv"}) << "a temporary file was left";
    EXPECT_NE(run.output.find("{\"dialog\":{\"answer\":null,\"caption\":\"Export results\"}}"),
              std::string::npos)
        << run.output;
    // A file that cannot be written is reported, not taken for written.
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_NE(Text(run.boxes[0]["text"]).find("Could not write"), std::string::npos);
    std::vector<std::string> clipboards = Clipboards(run);
    ASSERT_EQ(clipboards.size(), 1u);
    EXPECT_EQ(clipboards[0], "Phone\tName\tStreet\tHouse\tFlat\n3333333\tIVANOV C\tLENINA\t5\t6\n"
                             "2222222\tPETROV, B\tMIRA\t3\t\n1111111\tZUEV A\tLENINA\t1\t2\n");
}

TEST(DesktopMenu, EightDigitPhonesAreShownWholeInTheListTheDetailsTheCopyAndTheExport) {
    std::string device = MakeDesktopDevice();
    std::string folder = MakeTemporaryFolder();
    WriteHostFile(folder + "/in.csv", "phone,name,street,house,flat\n12345678,AB,C,1,2\n"
                                      "16777215,DE,F,3,4\n42,GH,I,5,6\n");
    ProcessRun made = RunProcess(BuiltProgram("dialdex-mkdb"),
                                 {"build", folder + "/in.csv", folder + "/eight.db", "--phone-digits", "8"}, 120);
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::string csv = folder + "/found.csv";
    ScriptRun run = RunScript(device,
                              "type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nprint ResultWnd/1201\n"
                              "activate ResultWnd/1201 0\ncommand 505\nclipboard\nanswer " +
                                  csv + "\ncommand 503\n",
                              {folder + "/eight.db"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // 12,345,678 was shown as 1234567, another subscriber's number.
    for (const char* row : {"12345678 | AB | C | 1 | 2", "16777215 | DE | F | 3 | 4", "00000042 | GH | I | 5 | 6"})
        EXPECT_NE(run.output.find(row), std::string::npos) << row << "\n" << run.output;
    ASSERT_EQ(run.boxes.size(), 1u) << run.output;
    EXPECT_EQ(Text(run.boxes[0]["text"]), "12345678\r\nAB\r\n\r\nC 1, 2");
    std::vector<std::string> clipboards = Clipboards(run);
    ASSERT_EQ(clipboards.size(), 1u);
    EXPECT_EQ(clipboards[0], "Phone\tName\tStreet\tHouse\tFlat\n12345678\tAB\tC\t1\t2\n16777215\tDE\tF\t3\t4\n"
                             "00000042\tGH\tI\t5\t6\n");
    EXPECT_EQ(ReadHostFile(csv), "Phone,Name,Street,House,Flat\r\n12345678,AB,C,1,2\r\n16777215,DE,F,3,4\r\n"
                                 "00000042,GH,I,5,6\r\n");
}

TEST(DesktopMenu, ExportRemovesAKilledExportsLeftoverAndNeverWritesOverTheSearchedDatabase) {
    std::string device = MakeDesktopDevice();
    std::string city = MakeHostDatabase("city.db", "CITY");
    std::string cityBytes = ReadHostFile(city);
    std::string folder = MakeTemporaryFolder();
    std::filesystem::create_symlink(city, folder + "/link.db");
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    std::string stale = folder + "/found.csv.tmp-" + std::to_string(dead);
    std::string running = folder + "/found.csv.tmp-" + std::to_string(getpid());
    WriteHostFile(stale, "half an export, killed");
    WriteHostFile(running, "an export of a program that runs");
    ScriptRun run = RunScript(device,
                              "type SearchWnd/1101 *\nclick SearchWnd/1107\nwait\nanswer " + city +
                                  "\ncommand 503\nanswer " + folder + "/link.db\ncommand 503\nanswer " + folder +
                                  "/found.csv\ncommand 503\n",
                              {city});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // The searched database, by its name or through a link, is refused and stays whole.
    std::vector<std::string> texts;
    for (const QJsonObject& box : run.boxes)
        texts.push_back(Text(box["text"]));
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Could not write - " + city + ": it is the database the results come from",
                         "Could not write - " + folder + "/link.db: it is the database the results come from"}));
    EXPECT_EQ(ReadHostFile(city), cityBytes);
    // The dead export's leftover is gone; a running program's stays.
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(ReadHostFile(folder + "/found.csv").substr(0, 28), "Phone,Name,Street,House,Flat");
}

TEST(DesktopZoom, TheScreenIsDrawnAtTheZoomWhileTheProgramKeepsDevicePixels) {
    std::string device = MakeDesktopDevice();
    std::string folder = MakeTemporaryFolder();
    for (std::string zoom : {"1", "2", "1.25"}) {
        ScriptRun run = RunScript(device, "dump\nshot " + folder + "/z.png\n", {"--zoom", zoom});
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        ASSERT_EQ(run.dumps.size(), 1u);
        QJsonObject main = FindWindow(run.dumps[0], "Dialdex", 0);
        EXPECT_EQ(main["zoom"].toDouble(), std::stod(zoom));
        EXPECT_EQ(main["w"].toInt(), 240);
        EXPECT_EQ(main["h"].toInt(), 295);
        EXPECT_EQ(FindWindow(run.dumps[0], "BUTTON", 1107)["w"].toInt(), 70) << "controls keep device pixels";
        QImage shot(QString::fromStdString(folder + "/z.png"));
        EXPECT_EQ(shot.width(), std::lround(240 * std::stod(zoom))) << zoom;
        EXPECT_EQ(shot.height(), std::lround(295 * std::stod(zoom))) << zoom;
    }
}

// The shipped language file's section as texts by identifier, in UTF-8.
std::map<int, std::string> ShippedSection(const std::string& name) {
    std::map<int, std::string> texts;
    std::istringstream lines(ShippedLanguageFile());
    std::string line;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + name + "]";
            continue;
        }
        size_t equals = line.find('=');
        if (!inside || equals == std::string::npos || equals == 0) continue;
        char16_t wide[512];
        int length = DeviceToWide(line.data() + equals + 1, int(line.size() - equals - 1), wide, 512);
        texts[std::atoi(line.c_str())] = Utf8FromWide(std::u16string_view(wide, size_t(length)));
    }
    return texts;
}

std::string Formatted(std::string format, const std::string& first, const std::string& second) {
    for (const std::string& number : {first, second})
        if (size_t at = format.find("%i"); at != std::string::npos) format.replace(at, 2, number);
    return format;
}

TEST(DesktopTexts, EveryShippedTextFitsItsControlInTheProgramsFont) {
    QFontMetrics metrics(ProgramFont());
    std::string table;
    std::map<std::string, std::pair<int, int>> widest; // control: widest text, room
    auto check = [&](const std::string& language, const std::string& control, const std::string& text,
                     int needed, int room) {
        EXPECT_LE(needed, room) << language << " " << control << " \"" << text << "\" is cut";
        auto& [most, width] = widest[control];
        if (needed > most) most = needed;
        width = room;
    };
    std::string database = MakeHostDatabase("city.db", "CITY");
    for (std::string language : {"RUSSIAN", "ENGLISH", "UKRAINIAN"}) {
        std::map<int, std::string> texts = ShippedSection(language);
        ASSERT_FALSE(texts.empty()) << language;
        for (std::string screen : {"240x320", "640x240"}) {
            std::string device = MakeDevice(ShippedLanguageFile());
            ScriptRun run = RunInLocale(language.substr(0, 2) == "UK" ? "uk_UA.UTF-8"
                                        : language == "ENGLISH"       ? "en_GB.UTF-8"
                                                                      : "ru_RU.UTF-8",
                                        device, "type SearchWnd/1101 *\nclick SearchWnd/1107\nwait\ndump\n",
                                        {"--screen", screen, database});
            ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
            for (const QJsonValue& value : run.dumps[0]["windows"].toArray()) {
                QJsonObject window = value.toObject();
                std::string kind = Text(window["class"]);
                std::string name =
                    Text(window["page"]) + "/" + std::to_string(window["id"].toInt()) + " " + screen;
                QString text = window["text"].toString();
                int width = window["w"].toInt();
                if (kind == "static" && window["id"].toInt() == 1202) {
                    // The final status with the largest counts a million-subscriber directory gives.
                    std::string status = Formatted(texts.count(908) ? texts[908] : "Scaned: %i, results: %i",
                                                   "1000000", "999999");
                    check(language, name, status, metrics.horizontalAdvance(QString::fromStdString(status)),
                          width);
                    // A search cut by the memory budget ends with its own counts, seven digits each.
                    std::string cut = Formatted(texts.count(918) ? texts[918] : "Memory full! Read %i, found %i",
                                                "9999999", "9999999");
                    check(language, name, cut, metrics.horizontalAdvance(QString::fromStdString(cut)), width);
                } else if (kind == "static" && window["id"].toInt() != 1205 && window["id"].toInt() != 1401 &&
                           !text.isEmpty()) {
                    // (1205 shows the user's query, 1401 is the icon.)
                    // Captions wrap: all their lines must fit the height.
                    QRect needed = metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text);
                    if (text.contains('\n'))
                        check(language, name, text.toStdString(), needed.height(), window["h"].toInt());
                    else
                        check(language, name, text.toStdString(), metrics.horizontalAdvance(text), width);
                } else if (kind == "BUTTON") {
                    std::vector<QString> captions{text};
                    if (window["id"].toInt() == 1107)
                        captions = {QString::fromStdString(texts.count(915) ? texts[915] : "Start"),
                                    QString::fromStdString(texts.count(916) ? texts[916] : "Stop")};
                    // The button's frame and bevel take two pixels each side.
                    for (const QString& caption : captions)
                        check(language, name, caption.toStdString(), metrics.horizontalAdvance(caption) + 4,
                              width);
                } else if (kind == "SysTabControl32") {
                    // The row shows what lies within the window: the control starts two pixels left of it.
                    int total = 0;
                    for (const QJsonValue& tab : window["tabWidths"].toArray())
                        total += tab.toInt();
                    check(language, name + " (all tabs)", "", total, width - 2);
                }
            }
        }
    }
    for (const auto& [control, sizes] : widest)
        table += "  " + control + ": widest " + std::to_string(sizes.first) + ", room " +
                 std::to_string(sizes.second) + "\n";
    std::printf("text widths in device pixels (height for wrapped captions):\n%s", table.c_str());
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
