// The desktop face in this process (menus, focus, keys, edits, sorting), with the desktop's additions
// switched on as they are in a window on a desktop.
#include "app/identifiers.h"
#include "app/program.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "search/search_state.h"
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QApplication>
#include <QClipboard>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

// A device with the built-in English texts, three subscribers installed and a big demo directory the
// tests open when a search must still be running when they look.
struct DesktopDevice {
    std::string device;
    std::string big;
};
DesktopDevice MakeDesktopFaceDevice() {
    DesktopDevice made;
    made.device = MakeDevice("[RUSSIAN]\r\n");
    std::filesystem::create_directories(made.device + "/Databases");
    WriteHostFile(made.device + "/Databases/three.db", DatabaseBytes({
                                                           {2000001, "CHARLIE", "OAK", "3", "1"},
                                                           {2000002, "ALPHA",   "ELM", "1", "" },
                                                           {2000003, "BRAVO",   "ASH", "2", "7"},
    }));
    made.big = made.device + "/Databases/big.zdb";
    EXPECT_EQ(
        RunProcess(BuiltProgram("dialdex-mkdb"), {"demo", "1000000", made.big, "--seed", "5"}, 300).exitCode,
        0);
    WriteHostFile(made.device + "/Program Files/Dialdex/dialdex.ini",
                  "\\Databases\\three.db;THREE\r\n\\Databases\\big.zdb;BIG\r\n");
    return made;
}

const DesktopDevice& Device() {
    static DesktopDevice device = MakeDesktopFaceDevice();
    return device;
}

// What the next file dialog answers (empty: cancelled).
std::string dialogAnswer;
std::string AnswerDialog(Window, const char16_t*) {
    return dialogAnswer;
}

class DesktopFace : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDesktopFace(true);
        SetFileDialogHook(AnswerDialog);
        ASSERT_EQ(StartProgram(Device().device), 0);
    }
    void TearDown() override {
        StopProgram();
        SetDesktopFace(false);
        SetFileDialogHook(nullptr);
    }
};

// "Copy CopyAll Export" as 0/1 each, as the menu shows them when it opens.
std::string MenuState() {
    SendMessage(MainWindow, MessageInitMenuPopup, 1, 0);
    std::string state;
    WindowRecord* record = FindWindowRecord(MainWindow);
    for (uint16_t command : {CommandCopy, CommandCopyAll, CommandExportResults})
        for (const MenuRecord& item : record->menu)
            if (item.level == 1 && item.command == command) state += item.enabled ? "1" : "0";
    return state;
}

TEST_F(DesktopFace, CopyAndExportCanBeChosenOnlyWithRowsAndNoSearchRunning) {
    QApplication::clipboard()->setText("before");
    std::string csv = MakeTemporaryFolder() + "/rows.csv";
    dialogAnswer = csv;
    // clang-format off
    const struct {
        const char* commands;
        const char* menu; // Copy, Copy all, Export
    } cases[] = {
        {"",                                                            "000"},
        {"type SearchWnd/1102 a\nclick SearchWnd/1107\nwait",           "011"}, // no row is current
        {"click SearchWnd/1106\ntype SearchWnd/1102 zz\nclick SearchWnd/1107\nwait", "000"}, // none found
        // A search of the big directory is still running when the menu opens; its keys do nothing.
        {"tab 0\nchoose SearchWnd/1100 1\nclear SearchWnd/1102\ntype SearchWnd/1102 м\nclick SearchWnd/1107\n"
         "command 503\ncommand 505",                                    "000"},
        {"wait",                                                        "011"},
    };
    // clang-format on
    for (const auto& row : cases) {
        if (*row.commands) Act(row.commands);
        EXPECT_EQ(MenuState(), row.menu) << row.commands;
    }
    EXPECT_FALSE(std::filesystem::exists(csv)) << "exported while the search ran";
    EXPECT_EQ(QApplication::clipboard()->text(), "before") << "copied while the search ran";
    EXPECT_EQ(CurrentSearchState(), SearchState::Idle);
    dialogAnswer.clear();
}

} // namespace
