#include "tests/ui/support/in_process.h"

#include "app/messages.h"
#include "app/program.h"
#include "i18n/language_file.h"
#include "platform/device.h"
#include "platform/script.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "search/result_page.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

std::vector<RecordedBox> boxes;

int RecordBox(Window owner, const char16_t* text, const char16_t* caption) {
    WindowRecord* record = FindWindowRecord(owner);
    boxes.push_back(RecordedBox{record ? Utf8FromWide(record->windowClass->name) : "", Utf8FromWide(caption),
                                Utf8FromWide(text)});
    return MessageBoxResultOk;
}

} // namespace

int StartProgram(const std::string& device, int screenWidth, int screenHeight) {
    ResetWindowSystem();
    ResetMessageTexts();
    ResetLanguageSection();
    // The column width table starts at its defaults in a new process; so it does here.
    const int defaultWidths[ResultFieldCount] = {55, 100, 110, 40, 40};
    for (int column = 0; column < ResultFieldCount; column++)
        ColumnWidths[column] = defaultWidths[column];
    boxes.clear();
    SetMessageBoxHook(RecordBox);
    SetScreenSize(screenWidth, screenHeight);
    PrepareDeviceFolder(device, std::string(DIALDEX_SOURCE_FOLDER) + "/data/dialdex.lng");
    Instance instance = reinterpret_cast<Instance>(1);
    int result = RunStartupSequence(instance);
    if (result != 0) return result;
    if (!CreateMainWindow(instance, ShowNormal)) return ExitMainWindowFailed;
    QCoreApplication::processEvents();
    return 0;
}

void Act(const std::string& commands) {
    size_t start = 0;
    while (start < commands.size()) {
        size_t end = commands.find('\n', start);
        if (end == std::string::npos) end = commands.size();
        std::string line = commands.substr(start, end - start);
        start = end + 1;
        std::string output, error;
        EXPECT_EQ(RunScriptCommand(line, &output, &error), 0) << line << ": " << error;
    }
}

const std::vector<RecordedBox>& Boxes() {
    return boxes;
}

int StopProgram() {
    SetMessageObserver(nullptr);
    if (MainWindow && IsWindow(MainWindow) && !QuitPosted()) SendMessage(MainWindow, MessageClose, 0, 0);
    int code = QuitPosted() ? QuitCode() : -1;
    WaitForThreadsServingMessages();
    ResetWindowSystem();
    return code;
}

std::string ControlText(const std::string& target) {
    size_t slash = target.find('/');
    std::string page = target.substr(0, slash);
    int id = std::stoi(target.substr(slash + 1));
    for (WindowRecord* record : AllWindowRecords()) {
        if (record->destroyed || Utf8FromWide(record->windowClass->name) != page) continue;
        for (Window child : record->children)
            if (WindowRecord* control = FindWindowRecord(child); control && control->id == id)
                return Utf8FromWide(control->text);
    }
    return "<no control " + target + ">";
}

void ObserveMessages(std::function<void(Window, uint32_t, FirstParameter, SecondParameter)> observe) {
    SetMessageObserver(std::move(observe));
}
