// The files that instances of the program share ("dialdex.ini" and the registry store). Crash safety:
// the program is killed (SIGKILL) at random moments while it installs a database, checks the list and
// shuts down (saving the column widths to the registry store); after every kill each file holds either
// its old or its new content whole, and the next start removes what the killed saves left. Two
// instances at once never lose each other's changes.
#include "tests/ui/support/harness.h"

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string ProgramFolder = "/Program Files/Dialdex";

int RunMilliseconds(std::chrono::steady_clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

} // namespace

TEST(CrashSafety, KillsDuringInstallCheckAndShutdownNeverTearTheFiles) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::string ini = device + ProgramFolder + "/dialdex.ini";
    std::string store = device + "/Windows/registry.txt";
    WriteHostFile(device + "/Databases/good.db", HeaderOnlyDatabase(1, "GOOD"));
    WriteHostFile(device + "/Databases/new.db", HeaderOnlyDatabase(2, "NEW"));
    const std::string oldIni = "\\Databases\\good.db;GOOD\r\n";
    WriteHostFile(ini, oldIni);

    // The old store: what a plain run leaves (the default column widths).
    ScriptRun plain = RunScript(device, "");
    ASSERT_EQ(plain.exitCode, 0) << plain.errors;
    const std::string oldStore = ReadHostFile(store);
    ASSERT_FALSE(oldStore.empty());

    // Find DB, Install, Check twice, a wider first column, and the shutdown that saves it.
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, "tab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1304\n"
                              "click SetupWnd/1305\nclick SetupWnd/1305\nresize ResultWnd/1201 0 97\n");
    const std::vector<std::string> arguments{"--device", device, "--script", scriptPath};
    // The fastest of three whole runs sets the kills' window: one run slowed by a busy machine would
    // put most kills after the program's end.
    int runMilliseconds = 0;
    for (int attempt = 0; attempt < 3; attempt++) {
        WriteHostFile(ini, oldIni);
        WriteHostFile(store, oldStore);
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(RunProcess(BuiltProgram("dialdex"), arguments, 120).exitCode, 0);
        int took = RunMilliseconds(start);
        if (attempt == 0 || took < runMilliseconds) runMilliseconds = took;
    }
    const std::string newIni = ReadHostFile(ini);
    const std::string newStore = ReadHostFile(store);
    ASSERT_EQ(newIni, oldIni + "\\Databases\\new.db;NEW\r\n");
    ASSERT_NE(newStore, oldStore);

    // The kills fall anywhere from the start to a little past the end of a whole run.
    std::mt19937 random(7070707);
    std::uniform_int_distribution<int> delay(0, runMilliseconds + runMilliseconds / 10);
    const int runs = 200;
    int killedWhileRunning = 0, torn = 0, iniNew = 0, storeNew = 0;
    auto campaign = std::chrono::steady_clock::now();
    for (int run = 0; run < runs; run++) {
        WriteHostFile(ini, oldIni);
        WriteHostFile(store, oldStore);
        killedWhileRunning += RunAndKill(BuiltProgram("dialdex"), arguments, delay(random));
        std::string iniText = ReadHostFile(ini);
        std::string storeText = ReadHostFile(store);
        bool iniWhole = iniText == oldIni || iniText == newIni;
        bool storeWhole = storeText == oldStore || storeText == newStore;
        if (!iniWhole || !storeWhole) torn++;
        EXPECT_TRUE(iniWhole) << "run " << run << ": " << iniText;
        EXPECT_TRUE(storeWhole) << "run " << run << ": " << storeText;
        iniNew += iniText == newIni;
        storeNew += storeText == newStore;
    }
    std::cout << "kills: " << runs << " runs, " << killedWhileRunning << " killed while running, " << torn
              << " torn; dialdex.ini new after " << iniNew << ", registry store new after " << storeNew
              << "; a whole run takes " << runMilliseconds << " ms, the campaign "
              << RunMilliseconds(campaign) << " ms\n";
    EXPECT_EQ(torn, 0);
    // The kills must have met the program at work, and both before and after each file's replacement.
    EXPECT_GT(killedWhileRunning, runs / 2);
    EXPECT_GT(iniNew, 0);
    EXPECT_LT(iniNew, runs);
    EXPECT_GT(storeNew, 0);
    EXPECT_LT(storeNew, runs);

    // What the kills leave behind: at most a temporary file per killed run, never in place of a file.
    int leftovers = 0;
    for (const std::string& folder : {device + ProgramFolder, device + "/Windows"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            leftovers += entry.path().filename().string().find(".tmp-") != std::string::npos;
    std::cout << "temporary files left by killed runs: " << leftovers << "\n";
    EXPECT_LE(leftovers, killedWhileRunning);

    // A plain start removes them, since no process of theirs runs any more, but not those of a process
    // that runs (this test's own stand for an instance saving at this moment).
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    WriteHostFile(ini + ".tmp-" + std::to_string(dead), "left by a kill");
    WriteHostFile(store + ".tmp-" + std::to_string(dead), "left by a kill");
    const std::string live = store + ".tmp-" + std::to_string(getpid());
    WriteHostFile(live, "being written");
    ScriptRun next = RunScript(device, "");
    ASSERT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_TRUE(std::filesystem::exists(live)) << "a live process's file was removed";
    std::filesystem::remove(live);
    for (const std::string& folder : {device + ProgramFolder, device + "/Windows"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

namespace {

// The value's hex text in the registry store under the settings key, or "" when it has none.
std::string StoredHex(const std::string& store, const std::string& name) {
    std::string prefix = "SOFTWARE\\\\Kestrel\\\\Dialdex\t" + name + "\t";
    size_t at = store.find("\n" + prefix);
    if (at == std::string::npos) return "";
    size_t start = store.find('\t', at + 1 + prefix.size()) + 1; // after the type
    return store.substr(start, store.find('\n', start) - start);
}

// The hex text of a wide (UTF-16LE) ASCII text with its terminator, as the store keeps it.
std::string WideHex(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char letter : text) {
        hex += digits[static_cast<unsigned char>(letter) >> 4];
        hex += digits[letter & 0xF];
        hex += "00";
    }
    return hex + "0000";
}

} // namespace

TEST(TwoInstances, ALanguageSavedWhileAnotherInstanceSearchesIsKept) {
    std::string device = MakeDevice(ShippedLanguageFile());
    std::string storePath = device + "/Windows/registry.txt";
    WriteHostFile(device + "/Databases/a.db", ExampleDatabase());
    WriteHostFile(device + ProgramFolder + "/dialdex.ini", "\\Databases\\a.db;A\r\n");
    ASSERT_EQ(RunScript(device, "").exitCode, 0);
    // A value of a megabyte makes every read-change-write of the store take a while, as on a slow card,
    // so that the other instance's saves fall inside it.
    WriteHostFile(storePath,
                  ReadHostFile(storePath) + "Padding\tBulk\t3\t" + std::string(2 << 20, 'A') + "\n");

    // Every search writes "Last db".
    std::string searches = "type SearchWnd/1102 A\n";
    for (int search = 0; search < 15; search++)
        searches += "tab 0\nclick SearchWnd/1107\nwait\n";
    std::string searchScript = MakeTemporaryFolder() + "/searches.txt";
    WriteHostFile(searchScript, searches);
    // The shipped sections, in selector order.
    const std::vector<std::string> languages = {"RUSSIAN", "ENGLISH", "UKRAINIAN"};
    for (int choice : {1, 2, 0}) {
        SCOPED_TRACE(languages[choice]);
        QProcess searching;
        searching.start(
            QString::fromStdString(BuiltProgram("dialdex")),
            {"--device", QString::fromStdString(device), "--script", QString::fromStdString(searchScript)});
        ASSERT_TRUE(searching.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ScriptRun saving = RunScript(device, "tab 2\nchoose SetupWnd/1308 " + std::to_string(choice) +
                                                 "\nclick SetupWnd/1309\n");
        EXPECT_EQ(saving.exitCode, 0) << saving.errors;
        EXPECT_EQ(saving.boxes.size(), 1u) << "the restart message";
        ASSERT_TRUE(searching.waitForFinished(120000));
        EXPECT_EQ(searching.exitCode(), 0) << searching.readAllStandardError().toStdString();
        std::string store = ReadHostFile(storePath);
        EXPECT_EQ(StoredHex(store, "Language").substr(0, WideHex(languages[choice]).size()),
                  WideHex(languages[choice]));
        EXPECT_EQ(StoredHex(store, "Last db").substr(0, WideHex("\\Databases\\a.db").size()),
                  WideHex("\\Databases\\a.db"));
        EXPECT_NE(store.find("\nPadding\tBulk\t3\t" + std::string(2 << 20, 'A') + "\n"), std::string::npos);
    }
}

TEST(TwoInstances, CheckInAnInstanceStartedEarlierKeepsADatabaseInstalledMeanwhile) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::string ini = device + ProgramFolder + "/dialdex.ini";
    std::string big = device + "/Databases/big.db";
    std::filesystem::create_directories(device + "/Databases");
    QProcess make;
    make.start(QString::fromStdString(BuiltProgram("dialdex-mkdb")),
               {"demo", "400000", QString::fromStdString(big), "--seed", "5", "--title", "BIG"});
    ASSERT_TRUE(make.waitForFinished(300000));
    ASSERT_EQ(make.exitCode(), 0);
    WriteHostFile(device + "/new.db", HeaderOnlyDatabase(2, "NEW"));
    WriteHostFile(ini, "\\bad.db;BAD\r\n\\Databases\\big.db;BIG\r\n");

    // The checking instance loads the list, searches the big database, then checks. While it reads the
    // database it is held still, and another instance installs new.db.
    std::string scriptPath = MakeTemporaryFolder() + "/script.txt";
    WriteHostFile(scriptPath, "choose SearchWnd/1100 1\ntype SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\n"
                              "tab 2\nclick SetupWnd/1305\ndump\n");
    QProcess checking;
    checking.start(
        QString::fromStdString(BuiltProgram("dialdex")),
        {"--device", QString::fromStdString(device), "--script", QString::fromStdString(scriptPath)});
    ASSERT_TRUE(checking.waitForStarted());
    ScriptRun installing;
    bool held = WhileReading(checking.processId(), big, [&] {
        kill(static_cast<pid_t>(checking.processId()), SIGSTOP);
        installing =
            RunScript(device, "tab 2\nclick SetupWnd/1303\nchoose SetupWnd/1302 0\nclick SetupWnd/1304\n");
        kill(static_cast<pid_t>(checking.processId()), SIGCONT);
    });
    ASSERT_TRUE(checking.waitForFinished(120000));
    ASSERT_TRUE(held) << "the search ended before the other instance could install";
    EXPECT_EQ(installing.exitCode, 0) << installing.errors;
    EXPECT_TRUE(installing.boxes.empty());

    ScriptRun checked;
    checked.exitCode = checking.exitCode();
    checked.output = checking.readAllStandardOutput().toStdString();
    ReadScriptOutput(&checked);
    EXPECT_EQ(checked.exitCode, 0);
    ASSERT_EQ(checked.boxes.size(), 2u) << checked.output;
    EXPECT_EQ(Text(checked.boxes[0]["text"]), "Bad db file  - \\bad.db");
    // Only the entry found bad is dropped; the one installed meanwhile stays, and the selector shows it.
    EXPECT_EQ(ReadHostFile(ini), "\\Databases\\big.db;BIG\r\n\\new.db;NEW\r\n");
    ASSERT_EQ(checked.dumps.size(), 1u);
    QJsonArray items = FindWindow(checked.dumps[0], "combobox", 1100)["items"].toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(Text(items[1]), "NEW");
}
