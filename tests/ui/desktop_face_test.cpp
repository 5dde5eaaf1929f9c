// The desktop face in this process (menus, focus, keys, edits, sorting), with the desktop's additions
// switched on as they are in a window on a desktop.
#include "app/identifiers.h"
#include "app/program.h"
#include "platform/list_view.h"
#include "platform/script.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "search/search_state.h"
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
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

Window ResultList() {
    return GetDlgItem(PageWindows[PageResult], ResultListId);
}

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
        {"type SearchWnd/1102 a\nclick SearchWnd/1107\nwait",           "111"}, // the first row is current
        {"click SearchWnd/1106\ntype SearchWnd/1102 zz\nclick SearchWnd/1107\nwait", "000"}, // none found
        // A search of the big directory is still running when the menu opens; its keys do nothing.
        {"tab 0\nchoose SearchWnd/1100 1\nclear SearchWnd/1102\ntype SearchWnd/1102 м\nclick SearchWnd/1107\n"
         "command 503\ncommand 505",                                    "000"},
        {"wait",                                                        "111"},
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

// The control of a page by identifier (PAGE as in scripts).
WindowRecord* Control(int page, int id) {
    return FindWindowRecord(GetDlgItem(PageWindows[page], id));
}

// The control holding the window's focus as "Page/id" ("" for none).
std::string Focused() {
    QWidget* focus = FindWindowRecord(MainWindow)->widget->focusWidget();
    for (; focus; focus = focus->parentWidget())
        for (WindowRecord* record : AllWindowRecords())
            if (!record->destroyed && record->widget == focus && record->parent) {
                WindowRecord* parent = FindWindowRecord(record->parent);
                return Utf8FromWide(parent->windowClass->name) + "/" + std::to_string(record->id);
            }
    return "";
}

int CurrentRow() {
    return int(SendMessage(ResultList(), ListViewGetNextItem, static_cast<FirstParameter>(-1),
                           static_cast<SecondParameter>(ListViewNextFocused)));
}

TEST_F(DesktopFace, TheFocusIsWhereTheHandsAreAndNoKeyReachesTheExitTab) {
    // clang-format off
    const struct {
        const char* commands;
        const char* focus; // "*": not looked at
        int tab;
        int currentRow;    // -2: not looked at
    } cases[] = {
        {"",                                                     "SearchWnd/1101", 0, -1},
        {"type SearchWnd/1101 2*\nkey SearchWnd/1101 Return\nwait", "ResultWnd/1201", 1,  0},
        {"key ResultWnd/1201 Down",                              "ResultWnd/1201", 1,  1},
        {"key main/200 Right",                                   "SetupWnd/1302",  2, -2},
        {"key main/200 Right",                                   "*",              3, -2},
        {"key main/200 Right",                                   "SearchWnd/1101", 0, -2}, // round, not Exit
        {"key main/200 Left",                                    "*",              3, -2},
        {"key main/200 Left\nkey main/200 Left",                 "ResultWnd/1201", 1,  1},
    };
    // clang-format on
    for (const auto& row : cases) {
        if (*row.commands) Act(row.commands);
        if (std::string(row.focus) != "*") {
            EXPECT_EQ(Focused(), row.focus) << row.commands;
        }
        EXPECT_EQ(SendMessage(TabControl, TabGetCurrentSelection, 0, 0), row.tab) << row.commands;
        if (row.currentRow != -2) {
            EXPECT_EQ(CurrentRow(), row.currentRow) << row.commands;
        }
    }
    QWidget* tabRow = FindWindowRecord(TabControl)->widget->findChild<QWidget*>();
    EXPECT_EQ(tabRow->focusPolicy(), Qt::ClickFocus);
    // On the tab bar the arrows go from tab to tab and leave the focus there, on every page; an arrow
    // that a control on a page does not take (the Setup page's empty list) stays on that page.
    auto press = [](QWidget* widget, Qt::Key key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &up);
    };
    tabRow->setFocus(Qt::MouseFocusReason);
    for (int step = 1; step <= 5; step++) {
        press(tabRow, Qt::Key_Right);
        EXPECT_EQ(SendMessage(TabControl, TabGetCurrentSelection, 0, 0), (1 + step) % 4) << step;
        EXPECT_TRUE(tabRow->hasFocus()) << step;
    }
    Act("tab 2");
    QWidget* foundList = Control(PageSetup, FoundListId)->widget;
    foundList->setFocus(Qt::OtherFocusReason);
    press(foundList, Qt::Key_Right);
    EXPECT_EQ(SendMessage(TabControl, TabGetCurrentSelection, 0, 0), 2);
    EXPECT_EQ(Focused(), "SetupWnd/1302");
    // Ctrl held, then Tab: two presses without a release between, as a keyboard gives them.
    for (Qt::Key key : {Qt::Key_Control, Qt::Key_Tab}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(foundList, &down);
    }
    EXPECT_EQ(SendMessage(TabControl, TabGetCurrentSelection, 0, 0), 3);

    // Escape stops a running search from a page that has nothing to do with it.
    Act("tab 0\nchoose SearchWnd/1100 1\nclear SearchWnd/1101\ntype SearchWnd/1102 м\nclick SearchWnd/1107\n"
        "tab 2\nkey SetupWnd/1302 Escape\nwait");
    std::string status = ControlText("ResultWnd/1202");
    EXPECT_EQ(status.find("Scaned: 1000000,"), std::string::npos) << "not stopped: " << status;
    EXPECT_FALSE(QuitPosted());
}

// Sends a drop of the data onto the control's face, as a drag ending there would.
void DropOn(WindowRecord* control, QMimeData* data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control->widget, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control->widget, &drop);
}

TEST_F(DesktopFace, AnUpperCaseEditIsUpperCaseHoweverItsTextCame) {
    WindowRecord* name = Control(PageSearch, NameEditId);
    // clang-format off
    const struct {
        const char* how;
        const char* text;
        const char* shown;
    } cases[] = {
        {"typed",        "ab",       "AB"      },
        {"pasted",       "иванов а", "ИВАНОВ А"},
        {"dropped",      "петров",   "ПЕТРОВ"  },
        {"input method", "сидоров",  "СИДОРОВ" },
    };
    // clang-format on
    for (const auto& row : cases) {
        Act("clear SearchWnd/1102");
        std::string how = row.how;
        if (how == "typed") {
            Act(std::string("type SearchWnd/1102 ") + row.text);
        } else if (how == "pasted") {
            QApplication::clipboard()->setText(QString::fromUtf8(row.text));
            Act("key SearchWnd/1102 Ctrl+V");
        } else if (how == "dropped") {
            QMimeData data;
            data.setText(QString::fromUtf8(row.text));
            DropOn(name, &data);
        } else {
            QInputMethodEvent composed;
            composed.setCommitString(QString::fromUtf8(row.text));
            QApplication::sendEvent(name->widget, &composed);
        }
        EXPECT_EQ(ControlText("SearchWnd/1102"), row.shown) << how;
    }

    // A file dropped on an edit is opened, not typed in.
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QString::fromStdString(Device().device + "/Databases/three.db"))});
    DropOn(name, &file);
    EXPECT_EQ(ControlText("SearchWnd/1102"), "СИДОРОВ");
    EXPECT_EQ(SendMessage(GetDlgItem(PageWindows[PageSearch], DatabaseSelectorId), ComboBoxGetCount, 0, 0),
              3);
}

// The names of the result rows as shown, joined by spaces.
std::string ShownNames() {
    std::string output, error;
    RunScriptCommand("print ResultWnd/1201", &output, &error);
    std::string names;
    for (size_t at = 0; (at = output.find(" | ", at)) != std::string::npos;) {
        size_t end = output.find(" | ", at + 3);
        names += (names.empty() ? "" : " ") + output.substr(at + 3, end - at - 3);
        at = output.find('\n', at);
        if (at == std::string::npos) break;
    }
    return names;
}

TEST_F(DesktopFace, ASecondClickOnAHeadingTurnsTheOrderRound) {
    QHeaderView* header = ListViewOf(FindWindowRecord(ResultList()))->face->header();
    // clang-format off
    const struct {
        const char* commands;
        const char* names;
        Qt::SortOrder arrow;
    } cases[] = {
        {"choose SearchWnd/1100 0\nclear SearchWnd/1102\ntype SearchWnd/1101 2*\nclick SearchWnd/1107\nwait\n"
         "header ResultWnd/1201 1",
                                    "ALPHA BRAVO CHARLIE", Qt::AscendingOrder },
        {"header ResultWnd/1201 1", "CHARLIE BRAVO ALPHA", Qt::DescendingOrder},
        {"header ResultWnd/1201 1", "ALPHA BRAVO CHARLIE", Qt::AscendingOrder },
        {"header ResultWnd/1201 2\nheader ResultWnd/1201 1", "ALPHA BRAVO CHARLIE", Qt::AscendingOrder },
        {"header ResultWnd/1201 1", "CHARLIE BRAVO ALPHA", Qt::DescendingOrder},
        // A new search starts unsorted; its first click sorts ascending.
        {"click SearchWnd/1107\nwait\nheader ResultWnd/1201 1", "ALPHA BRAVO CHARLIE", Qt::AscendingOrder },
    };
    // clang-format on
    for (const auto& row : cases) {
        Act(row.commands);
        EXPECT_EQ(ShownNames().substr(0, 40), row.names) << row.commands;
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), 1) << row.commands;
        EXPECT_EQ(header->sortIndicatorOrder(), row.arrow) << row.commands;
    }
}

} // namespace
