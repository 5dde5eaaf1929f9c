// Faults from the world around the program: a device folder it may not write, a database file that
// disappears or shrinks during a scan, folders Find DB may not read, a disk that fills while saving. Each
// must end in a box or the counts so far, and never cost the user's files.
#include "tests/ui/support/harness.h"

#include <QJsonDocument>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string ProgramFolder = "/Program Files/Dialdex";
constexpr uid_t NobodyId = 65534;

std::string IniPath(const std::string& device) {
    return device + ProgramFolder + "/dialdex.ini";
}
std::string StorePath(const std::string& device) {
    return device + "/Windows/registry.txt";
}

std::vector<std::string> Boxes(const ScriptRun& run) {
    std::vector<std::string> boxes;
    for (const QJsonObject& box : run.boxes)
        boxes.push_back(Text(box["caption"]) + ": " + Text(box["text"]));
    return boxes;
}

// Makes the path and every folder above it up to the root passable for another user.
void OpenToOthers(const std::filesystem::path& path) {
    for (std::filesystem::path folder = path; folder != folder.root_path(); folder = folder.parent_path()) {
        std::error_code ignored;
        if (std::filesystem::is_directory(folder, ignored))
            std::filesystem::permissions(
                folder, std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                std::filesystem::perm_options::add, ignored);
    }
}

// Permissions do not bind root: a test run by root runs the program as "nobody" to meet them.
struct Limits {
    bool asOtherUser = false; // run as "nobody" when the test runs as root
    long fileSizeLimit = -1;  // RLIMIT_FSIZE: writes beyond it fail as on a full disk
};

// RunScript with the process limits applied in the child before it runs the program.
ScriptRun RunLimited(const std::string& device, const std::string& script, const Limits& limits) {
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, script);
    OpenToOthers(scriptPath);
    OpenToOthers(BuiltProgram("dialdex"));
    QProcess process;
    process.setChildProcessModifier([limits] {
        if (limits.fileSizeLimit >= 0) {
            struct rlimit limit = {rlim_t(limits.fileSizeLimit), rlim_t(limits.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG, like ENOSPC
        }
        if (limits.asOtherUser && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(NobodyId) != 0 || setuid(NobodyId) != 0) _exit(121);
        }
    });
    process.start(
        QString::fromStdString(BuiltProgram("dialdex")),
        {"--device", QString::fromStdString(device), "--script", QString::fromStdString(scriptPath)});
    ScriptRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.errors = "timed out";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput().toStdString();
    run.errors = process.readAllStandardError().toStdString();
    ReadScriptOutput(&run);
    return run;
}

// A device with one installed database, a second one to install, and a registry store made by a run.
std::string PreparedDevice() {
    std::string device = MakeDevice(ShippedLanguageFile());
    WriteHostFile(device + "/Databases/good.db", HeaderOnlyDatabase(1, "GOOD"));
    WriteHostFile(device + "/Databases/new.db", HeaderOnlyDatabase(2, "NEW"));
    WriteHostFile(IniPath(device), "\\Databases\\good.db;GOOD\r\n\\Databases\\good.db;GOOD AGAIN\r\n");
    ScriptRun first = RunScript(device, "");
    EXPECT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_TRUE(std::filesystem::exists(StorePath(device)));
    OpenToOthers(device + ProgramFolder);
    OpenToOthers(device + "/Databases/new.db");
    OpenToOthers(device + "/Windows");
    return device;
}

// Language Save, Find DB + Install, Check, then the shutdown's save of the column widths.
const char* const SavingEverything =
    "tab 2\nchoose SetupWnd/1308 1\nclick SetupWnd/1309\nclick SetupWnd/1303\n"
    "choose SetupWnd/1302 0\nclick SetupWnd/1304\nclick SetupWnd/1305\n"
    "resize ResultWnd/1201 0 91\n";

void ExpectSavesRefused(const ScriptRun& run, const std::string& device, const std::string& ini,
                        const std::string& store) {
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    std::vector<std::string> boxes = Boxes(run);
    std::vector<std::string> texts;
    for (const QJsonObject& box : run.boxes)
        texts.push_back(Text(box["text"]));
    ASSERT_EQ(texts.size(), 3u) << ::testing::PrintToString(boxes);
    EXPECT_EQ(texts[0], "RegSetValueEx 'Language' - 5");
    // Install and Check both say the list could not be saved, in the shipped Russian text.
    for (int index : {1, 2})
        EXPECT_NE(texts[index].find("\\Program Files\\Dialdex\\dialdex.ini"), std::string::npos)
            << texts[index];
    EXPECT_EQ(texts[1], texts[2]);
    // Nothing is lost: the list and the registry store are what they were.
    EXPECT_EQ(ReadHostFile(IniPath(device)), ini);
    EXPECT_EQ(ReadHostFile(StorePath(device)), store);
}

} // namespace

TEST(Faults, ADeviceFolderThatCannotBeWritten) {
    std::string device = PreparedDevice();
    std::string ini = ReadHostFile(IniPath(device));
    std::string store = ReadHostFile(StorePath(device));
    namespace fs = std::filesystem;
    for (const std::string& folder :
         {device, device + "/Program Files", device + ProgramFolder, device + "/Windows"})
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                    fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
    fs::permissions(IniPath(device), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(StorePath(device),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ScriptRun run = RunLimited(device, SavingEverything, {true, -1});
    for (const std::string& folder :
         {device, device + "/Program Files", device + ProgramFolder, device + "/Windows"})
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    ExpectSavesRefused(run, device, ini, store);
}

TEST(Faults, AFullDiskWhileSaving) {
    std::string device = PreparedDevice();
    std::string ini = ReadHostFile(IniPath(device));
    std::string store = ReadHostFile(StorePath(device));
    ASSERT_GT(ini.size(), 40u);
    ASSERT_GT(store.size(), 40u);
    // No file may grow past 40 bytes: every save of the list and the store fails part way.
    ScriptRun run = RunLimited(device, SavingEverything, {false, 40});
    ExpectSavesRefused(run, device, ini, store);
    // No temporary file is left beside them.
    for (const std::string& folder : {device + ProgramFolder, device + "/Windows"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(Faults, AReadOnlyListIsNotRewrittenAndOneInAClosedFolderIsWrittenInPlace) {
    namespace fs = std::filesystem;
    const char* const installAndCheck =
        "tab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1304\nclick SetupWnd/1305\n";
    // A list the user may only read, in a folder that would take a new file: Install and Check each say
    // it cannot be saved, and it stays as it was.
    std::string device = PreparedDevice();
    std::string ini = ReadHostFile(IniPath(device));
    fs::permissions(device + ProgramFolder, fs::perms::all);
    fs::permissions(IniPath(device), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ScriptRun run = RunLimited(device, installAndCheck, {true, -1});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.boxes.size(), 2u) << ::testing::PrintToString(Boxes(run));
    for (const QJsonObject& box : run.boxes)
        EXPECT_NE(Text(box["text"]).find("\\Program Files\\Dialdex\\dialdex.ini"), std::string::npos)
            << Text(box["text"]);
    EXPECT_EQ(ReadHostFile(IniPath(device)), ini);
    EXPECT_EQ(fs::status(IniPath(device)).permissions(),
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    // A list the user may write, in a folder that takes no new file: both are saved in place.
    std::string closed = PreparedDevice();
    if (geteuid() == 0) {
        ASSERT_EQ(chown(IniPath(closed).c_str(), NobodyId, NobodyId), 0);
    }
    fs::permissions(IniPath(closed), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                         fs::perms::others_read);
    fs::permissions(closed + ProgramFolder, fs::perms::owner_read | fs::perms::owner_exec |
                                                fs::perms::group_read | fs::perms::group_exec |
                                                fs::perms::others_read | fs::perms::others_exec);
    ScriptRun inPlace = RunLimited(closed, installAndCheck, {true, -1});
    fs::permissions(closed + ProgramFolder, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.errors;
    ASSERT_EQ(inPlace.boxes.size(), 1u) << ::testing::PrintToString(Boxes(inPlace));
    EXPECT_EQ(Text(inPlace.boxes[0]["text"]).find("dialdex.ini"), std::string::npos) << "Check's summary";
    EXPECT_EQ(ReadHostFile(IniPath(closed)), ini + "\\Databases\\new.db;NEW\r\n");
}

TEST(Faults, FoldersFindDatabasesMayNotRead) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    WriteHostFile(device + "/a/one.db", HeaderOnlyDatabase(1, "ONE"));
    WriteHostFile(device + "/locked/hidden.db", HeaderOnlyDatabase(2, "HIDDEN"));
    WriteHostFile(device + "/locked/deeper/deep.db", HeaderOnlyDatabase(3, "DEEP"));
    WriteHostFile(device + "/z/two.db", HeaderOnlyDatabase(4, "TWO"));
    WriteHostFile(device + "/unreadable.db", HeaderOnlyDatabase(5, "UNREADABLE"));
    OpenToOthers(device + "/a/one.db");
    OpenToOthers(device + "/z/two.db");
    OpenToOthers(device + "/locked/deeper/deep.db");
    OpenToOthers(device + ProgramFolder + "/dialdex.lng");
    // The program may write its registry store (the device root is open to all); only reading is barred.
    std::filesystem::permissions(device, std::filesystem::perms::all);
    std::filesystem::permissions(device + "/locked", std::filesystem::perms::none);
    std::filesystem::permissions(device + "/unreadable.db", std::filesystem::perms::none);
    ScriptRun run = RunLimited(device, "tab 2\nclick SetupWnd/1303\ndump\n", {true, -1});
    std::filesystem::permissions(device + "/locked", std::filesystem::perms::owner_all);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u) << run.errors;
    std::vector<std::string> found;
    for (const QJsonValue& item : FindWindow(run.dumps[0], "Listbox", 1302)["items"].toArray())
        found.push_back(Text(item));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"ONE [1] \\a\\one.db", "TWO [4] \\z\\two.db"}));
    EXPECT_TRUE(run.boxes.empty());
}

TEST(Faults, ADatabaseThatShrinksOrDisappearsDuringAScan) {
    const int subscribers = 400000;
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::string database = device + "/Databases/big.db";
    std::filesystem::create_directories(device + "/Databases");
    QProcess make;
    make.start(QString::fromStdString(BuiltProgram("dialdex-mkdb")),
               {"demo", QString::number(subscribers), QString::fromStdString(database), "--seed", "5"});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0);
    std::string original = ReadHostFile(database);
    WriteHostFile(IniPath(device), "\\Databases\\big.db;BIG\r\n");
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, "type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nprint ResultWnd/1202\n");

    struct Case {
        const char* name;
        std::function<void()> change;
        bool allRecords; // an unlinked file stays readable through the open handle
    };
    std::vector<Case> cases = {
        {"truncated to a third",    [&] { std::filesystem::resize_file(database, original.size() / 3); }, false},
        {"truncated to the header", [&] { std::filesystem::resize_file(database, 29); },                  false},
        {"deleted",                 [&] { std::filesystem::remove(database); },                           true },
    };
    for (const Case& change : cases) {
        SCOPED_TRACE(change.name);
        WriteHostFile(database, original);
        QProcess process;
        process.start(
            QString::fromStdString(BuiltProgram("dialdex")),
            {"--device", QString::fromStdString(device), "--script", QString::fromStdString(scriptPath)});
        ASSERT_TRUE(process.waitForStarted());
        bool changed = WhileReading(process.processId(), database, change.change);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        std::string output = process.readAllStandardOutput().toStdString();
        if (!changed) {
            ADD_FAILURE() << "the scan ended before the file could be changed";
            continue;
        }
        // The counts, as every search ends, and then a box: the file is not what it was at the start.
        size_t statusStart = output.find("Scaned: ");
        ASSERT_NE(statusStart, std::string::npos) << output;
        std::string status = output.substr(statusStart);
        EXPECT_NE(output.find("{\"box\":{\"caption\":\"Error\",\"owner\":\"ResultWnd\",\"text\":\"The db file "
                              "changed during the search, the results may be wrong - \\\\Databases\\\\big.db\"}}"),
                  std::string::npos)
            << output;
        int scanned = -1, results = -1;
        ASSERT_EQ(std::sscanf(status.c_str(), "Scaned: %d, results: %d", &scanned, &results), 2) << status;
        EXPECT_EQ(scanned, results);
        if (change.allRecords) {
            EXPECT_EQ(scanned, subscribers);
        } else {
            EXPECT_GT(scanned, 0);
            EXPECT_LT(scanned, subscribers);
        }
    }
}
