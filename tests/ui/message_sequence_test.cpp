// What the window layer's controls receive and send for a user's action, stated as data: each test does
// one action through the script driver and compares the messages heard with the expected sequence. A
// message is heard as "Class/id message detail"; the worker's calls are kept apart from the window
// thread's, since the two threads interleave as they like, but each one's order is fixed.
#include "app/identifiers.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The messages heard, by name; any other message is left out of the sequences (paints, text questions and
// the like that Qt's own timing decides).
struct MessageName {
    uint32_t message;
    const char* name;
};
// clang-format off
constexpr MessageName heardMessages[] = {
    {MessageSetText,              "set-text"},
    {MessageCommand,              "command"},
    {MessageNotify,               "notify"},
    {ProgressSetPosition,         "progress-position"},
    {ProgressSetRange32,          "progress-range"},
    {ComboBoxSetCurrentSelection, "combo-select"},
    {TabSetCurrentSelection,      "tab-select"},
    {ListViewInsertItem,          "insert-item"},
    {ListViewSetItemText,         "set-item-text"},
    {ListViewDeleteAllItems,      "delete-all-items"},
    {ListViewSortItems,           "sort-items"},
    {ListViewSortItemsByKey,      "sort-items-by-key"},
    {ListViewRedrawItems,         "redraw-items"},
    {ListViewGetNextItem,         "get-next-item"},
};
// clang-format on

struct NotificationName {
    int code;
    const char* name;
};
// clang-format off
constexpr NotificationName notificationNames[] = {
    {ListViewColumnClick,    "column-click"},
    {ListViewItemActivate,   "item-activate"},
    {ListViewGetDisplayInfo, "display-info"},
    {TabSelectionChanging,   "tab-changing"},
    {TabSelectionChanged,    "tab-changed"},
};
// clang-format on

// Control notification codes share numbers between kinds; the kind of the sender tells them apart.
std::string CommandCodeName(ControlKind kind, uint16_t code) {
    if (kind == ControlKind::Button && code == ButtonClicked) return "clicked";
    if (kind == ControlKind::Edit && code == EditChange) return "changed";
    if ((kind == ControlKind::ComboBox || kind == ControlKind::ListBox) && code == ComboBoxSelectionChange)
        return "selection-changed";
    return "code " + std::to_string(code);
}

// Records what windows hear. The names of the windows are taken on the window thread before the action,
// so that the worker's side reads only what no thread changes.
class MessageRecorder {
  public:
    MessageRecorder() {
        for (WindowRecord* record : AllWindowRecords()) {
            if (record->destroyed) continue;
            std::string name = Utf8FromWide(record->windowClass->name);
            if (record->id > 0 && record->windowClass->kind != ControlKind::Registered)
                name += "/" + std::to_string(record->id);
            names[HandleOf(record)] = Named{name, record->windowClass->kind};
        }
        windowThread = std::this_thread::get_id();
        ObserveMessages([this](Window window, uint32_t message, FirstParameter first,
                               SecondParameter second) { Hear(window, message, first, second); });
    }
    ~MessageRecorder() { ObserveMessages(nullptr); }

    std::vector<std::string> WindowThread() {
        std::lock_guard<std::mutex> lock(mutex);
        return windowThreadHeard;
    }
    std::vector<std::string> Worker() {
        std::lock_guard<std::mutex> lock(mutex);
        return workerHeard;
    }

  private:
    struct Named {
        std::string name;
        ControlKind kind;
    };

    void Hear(Window window, uint32_t message, FirstParameter first, SecondParameter second) {
        const char* messageName = nullptr;
        for (const MessageName& row : heardMessages)
            if (row.message == message) messageName = row.name;
        if (!messageName) return;
        std::string heard = NameOf(window) + " " + messageName;
        if (message == MessageCommand) {
            Window from = reinterpret_cast<Window>(second);
            heard += " " + std::to_string(first & 0xFFFF) + " " +
                     CommandCodeName(KindOf(from), static_cast<uint16_t>(first >> 16));
        } else if (message == MessageNotify) {
            const NotifyHeader* header = reinterpret_cast<const NotifyHeader*>(second);
            if (header->code == ListViewGetDisplayInfo) return; // asked whenever Qt paints a cell
            std::string code = std::to_string(header->code);
            for (const NotificationName& row : notificationNames)
                if (row.code == header->code) code = row.name;
            heard += " " + std::to_string(header->id) + " " + code;
        } else if (message == ProgressSetRange32 || message == ComboBoxSetCurrentSelection ||
                   message == TabSetCurrentSelection || message == ListViewSortItems ||
                   message == ListViewGetNextItem) {
            heard += " " + std::to_string(static_cast<long long>(first));
        } else if (message == ListViewSortItemsByKey) {
            heard += " " + std::to_string(reinterpret_cast<const ListViewSortByKey*>(second)->sortParameter);
        } else if (message == MessageSetText) {
            heard += " \"" + Utf8FromWide(reinterpret_cast<const char16_t*>(second)) + "\"";
        }
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string>& into =
            std::this_thread::get_id() == windowThread ? windowThreadHeard : workerHeard;
        // A run of progress steps is heard once: how many there are depends on sizes and timing, their
        // place in the order does not.
        if (message == ProgressSetPosition && !into.empty() && into.back() == heard) return;
        into.push_back(heard);
    }

    std::string NameOf(Window window) const {
        auto found = names.find(window);
        return found == names.end() ? "?" : found->second.name;
    }
    ControlKind KindOf(Window window) const {
        auto found = names.find(window);
        return found == names.end() ? ControlKind::Any : found->second.kind;
    }

    std::map<Window, Named> names; // written before the observer starts; read only after
    std::thread::id windowThread;
    std::mutex mutex;
    std::vector<std::string> windowThreadHeard;
    std::vector<std::string> workerHeard;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines)
        joined += line + "\n";
    return joined;
}

// A device with the built-in English texts and one installed database of three subscribers.
std::string MakeThreeSubscriberDevice() {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::filesystem::create_directories(device + "/Databases");
    WriteHostFile(device + "/Databases/three.db", DatabaseBytes({
                                                      {2000001, "CHARLIE", "OAK", "3", "1"},
                                                      {2000002, "ALPHA",   "ELM", "1", "" },
                                                      {2000003, "BRAVO",   "ASH", "2", "7"},
    }));
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini", "\\Databases\\three.db;THREE\r\n");
    return device;
}

// Does commands and returns what the window thread heard and what the worker sent, each as one text.
struct Heard {
    std::string windowThread;
    std::string worker;
};
Heard HeardWhile(const std::string& commands) {
    MessageRecorder recorder;
    Act(commands);
    return Heard{Joined(recorder.WindowThread()), Joined(recorder.Worker())};
}

} // namespace

TEST(MessageSequence, TypingChoosingAndChangingTabAreToldToTheParent) {
    ASSERT_EQ(StartProgram(MakeThreeSubscriberDevice()), 0);

    // Each typed letter is one change told to the page; the program's own tab change (Start) is told to
    // nobody, the user's is told to the main window before and after.
    // clang-format off
    const struct {
        const char* commands;
        const char* windowThread;
    } cases[] = {
        {"type SearchWnd/1102 AL",  "SearchWnd command 1102 changed\n"
                                    "SearchWnd command 1102 changed\n"},
        {"choose SearchWnd/1100 0", "SearchWnd command 1100 selection-changed\n"},
        {"tab 2",                   "Dialdex notify 200 tab-changing\n"
                                    "Dialdex notify 200 tab-changed\n"},
        {"tab 0",                   "Dialdex notify 200 tab-changing\n"
                                    "Dialdex notify 200 tab-changed\n"},
    };
    // clang-format on
    for (const auto& one : cases) {
        Heard heard = HeardWhile(one.commands);
        EXPECT_EQ(heard.windowThread, one.windowThread) << one.commands;
        EXPECT_EQ(heard.worker, "") << one.commands;
    }
    StopProgram();
}

TEST(MessageSequence, StartOnTheWindowThreadThenTheWorkersCallsInTheirRoadsOrder) {
    ASSERT_EQ(StartProgram(MakeThreeSubscriberDevice()), 0);
    Act("type SearchWnd/1102 AL");

    Heard heard = HeardWhile("click SearchWnd/1107\nwait");
    // The click is the page's command; the page shows the results, empties the list and resets the bar
    // before the worker starts.
    EXPECT_EQ(heard.windowThread, "SearchWnd command 1107 clicked\n"
                                  "SysTabControl32/200 tab-select 1\n"
                                  "SysListView32/1201 delete-all-items\n"
                                  "msctls_progress32/1203 progress-range 0\n");
    // The worker's texts and progress are merged, its row goes to the row store in one call, every
    // column's text on demand; the final counts come last.
    EXPECT_EQ(heard.worker, "static/1205 set-text \"Query: name=AL\"\n"
                            "msctls_progress32/1203 progress-position\n"
                            "BUTTON/1107 set-text \"Stop\"\n"
                            "static/1202 set-text \"0/1\"\n"
                            "msctls_progress32/1203 progress-position\n"
                            "SysListView32/1201 insert-item\n"
                            "BUTTON/1107 set-text \"Start\"\n"
                            "msctls_progress32/1203 progress-position\n"
                            "static/1202 set-text \"Scaned: 3, results: 1\"\n");
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 3, results: 1");
    StopProgram();
}

TEST(MessageSequence, ASortClickAndARowsActivationGoThroughTheResultPage) {
    ASSERT_EQ(StartProgram(MakeThreeSubscriberDevice()), 0);
    Act("type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait");

    // The heading's click is told to the page, which asks the list to sort by that column (by keys).
    Heard sort = HeardWhile("header ResultWnd/1201 1");
    EXPECT_EQ(sort.windowThread, "ResultWnd notify 1201 column-click\n"
                                 "SysListView32/1201 sort-items-by-key 1\n");
    // Activating a row is told to the page, which asks the list for the focused row and shows its details.
    size_t boxesBefore = Boxes().size();
    Heard activate = HeardWhile("activate ResultWnd/1201 0");
    EXPECT_EQ(activate.windowThread, "ResultWnd notify 1201 item-activate\n"
                                     "SysListView32/1201 get-next-item -1\n");
    ASSERT_EQ(Boxes().size(), boxesBefore + 1);
    EXPECT_NE(Boxes().back().text.find("ALPHA"), std::string::npos) << Boxes().back().text;
    EXPECT_EQ(sort.worker + activate.worker, "");
    StopProgram();
}
