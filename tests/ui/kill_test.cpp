// Crash safety: the program is killed (SIGKILL) at random moments while it installs a database, checks
// the list and shuts down (saving the column widths to the registry store). After every kill,
// "dialdex.ini" and the registry store must each hold either their old or their new content whole.
#include "tests/ui/support/harness.h"

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <thread>

namespace {

const std::string ProgramFolder = "/Program Files/Dialdex";

std::string Database(int recordCount, const std::string& title) {
    std::string bytes(29, '\0');
    for (int index = 0; index < 4; index++)
        bytes[index] = static_cast<char>((recordCount >> (8 * index)) & 0xFF);
    bytes[4] = 11;
    bytes[5] = 7;
    bytes.replace(6, title.size(), title);
    return bytes + "\xFF";
}

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
    WriteHostFile(device + "/Databases/good.db", Database(1, "GOOD"));
    WriteHostFile(device + "/Databases/new.db", Database(2, "NEW"));
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
    QStringList arguments{"--device", QString::fromStdString(device), "--script",
                          QString::fromStdString(scriptPath)};
    auto start = std::chrono::steady_clock::now();
    QProcess whole;
    whole.start(QString::fromStdString(BuiltProgram("dialdex")), arguments);
    ASSERT_TRUE(whole.waitForFinished(120000));
    ASSERT_EQ(whole.exitCode(), 0);
    int runMilliseconds = RunMilliseconds(start);
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
        QProcess process;
        process.start(QString::fromStdString(BuiltProgram("dialdex")), arguments);
        ASSERT_TRUE(process.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        if (process.state() == QProcess::Running) killedWhileRunning++;
        process.kill();
        process.waitForFinished();
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
}
