// The script driver's runner: loads a script, runs a command whenever the message loop has nothing else
// to do, and closes the main window at the end. What each command does is one function in one table;
// the reading of a line is script_line.cpp's, the user's input user_input.cpp's and the dump dump.cpp's.
#include "platform/script.h"

#include "platform/dump.h"
#include "platform/script_line.h"
#include "platform/text.h"
#include "platform/user_input.h"
#include "platform/window_system.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

std::vector<std::string> scriptLines;
size_t nextLine = 0;
bool scriptFinished = false;
size_t failedLines = 0;    // lines that could not be carried out
bool echoCommands = false; // DIALDEX_SCRIPT_ECHO=1 prints each command before it runs
// DIALDEX_SCRIPT_TIMES=1 prints, on standard error, when each command started and ended on the monotonic
// clock (the one other processes see too), so the benchmarks can time a search from its Start click:
//   script-time LINE START_SECONDS END_SECONDS COMMAND
// and how long the window thread went at most without serving its events during the command (the
// largest gap between the ticks of a timer on it, ticking every StallTickMilliseconds):
//   script-stall LINE SECONDS
bool printTimes = false;
constexpr int StallTickMilliseconds = 2;

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The window thread's longest gap between ticks since the command began.
struct StallWatch {
    QTimer ticks;
    double lastTick = 0;
    double longestGap = 0;
    void Begin() {
        lastTick = MonotonicSeconds();
        longestGap = 0;
    }
    void Tick() {
        double now = MonotonicSeconds();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    }
};
StallWatch* stallWatch = nullptr;

WindowRecord* MainWindowRecord() {
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && !record->parent && record->windowClass->kind == ControlKind::Registered)
            return record;
    return nullptr;
}

WindowRecord* FindPage(const std::string& page) {
    if (page == "main") return MainWindowRecord();
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && record->windowClass->kind == ControlKind::Registered &&
            SameTextIgnoringAsciiCase(record->windowClass->name, WideFromUtf8(page)))
            return record;
    return nullptr;
}

// The first control with that id on that page.
WindowRecord* FindTarget(const ScriptLine& parsed, std::string* error) {
    WindowRecord* page = FindPage(parsed.page);
    if (!page) {
        *error = "no page '" + parsed.page + "'";
        return nullptr;
    }
    for (Window child : page->children)
        if (WindowRecord* record = FindWindowRecord(child); record && record->id == parsed.controlId)
            return record;
    *error = "no control " + parsed.page + "/" + std::to_string(parsed.controlId);
    return nullptr;
}

int PrintBox(Window owner, const char16_t* text, const char16_t* caption) {
    std::string line = DescribeMessageBox(owner, text, caption);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return MessageBoxResultOk;
}

void CloseMainWindow() {
    if (WindowRecord* main = MainWindowRecord()) SendMessage(HandleOf(main), MessageClose, 0, 0);
}

// --- The commands: each returns 0, or -1 with a reason in error. ------------------------------------------

int RunTab(const ScriptLine& parsed, std::string*, std::string* error) {
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && record->windowClass->kind == ControlKind::Tab) {
            if (UserChooseTab(record, parsed.numbers[0])) return 0;
            break;
        }
    *error = "cannot choose tab in '" + parsed.line + "'";
    return -1;
}

int RunWait(const ScriptLine&, std::string*, std::string*) {
    WaitForThreadsServingMessages();
    WaitForRowSorts();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

int RunDump(const ScriptLine&, std::string* output, std::string*) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    *output += DumpWindowTree() + "\n";
    return 0;
}

int RunClose(const ScriptLine&, std::string*, std::string*) {
    CloseMainWindow();
    return 0;
}

int RunCommand(const ScriptLine& parsed, std::string*, std::string* error) {
    WindowRecord* main = MainWindowRecord();
    if (!main) {
        *error = "bad command line '" + parsed.line + "'";
        return -1;
    }
    SendMessage(HandleOf(main), MessageCommand,
                static_cast<FirstParameter>(static_cast<uint16_t>(parsed.numbers[0])), 0);
    return 0;
}

int RunShot(const ScriptLine& parsed, std::string* output, std::string* error) {
    WindowRecord* main = MainWindowRecord();
    if (!main || !main->widget) {
        *error = "nothing to photograph in '" + parsed.line + "'";
        return -1;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!main->widget->grab().save(QString::fromStdString(parsed.text), "PNG")) {
        *error = "cannot write '" + parsed.text + "'";
        return -1;
    }
    *output += "{\"shot\":\"" + parsed.text + "\"}\n";
    return 0;
}

int RunPrint(const ScriptLine& parsed, std::string* output, std::string* error) {
    WindowRecord* record = FindTarget(parsed, error);
    if (!record) return -1;
    *output += DescribeControlText(record);
    return 0;
}

int RunClipboard(const ScriptLine&, std::string* output, std::string*) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QString text = clipboard ? clipboard->text() : QString();
    QJsonObject line;
    line["clipboard"] = text;
    *output += QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString() + "\n";
    return 0;
}

// The next file dialog's answer; a dialog without one is cancelled.
std::string pendingAnswer;

int RunAnswer(const ScriptLine& parsed, std::string*, std::string*) {
    pendingAnswer = parsed.text;
    return 0;
}

std::string AnswerFileDialog(Window, const char16_t* caption) {
    std::string answer = pendingAnswer;
    pendingAnswer.clear();
    QJsonObject dialog;
    dialog["caption"] = QString::fromUtf16(caption);
    dialog["answer"] =
        answer.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(answer));
    QJsonObject line;
    line["dialog"] = dialog;
    std::string text = QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString() + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return answer;
}

int RunDrop(const ScriptLine& parsed, std::string*, std::string* error) {
    if (!UserDropFile(MainWindowRecord(), parsed.text)) {
        *error = "nothing to drop on in '" + parsed.line + "'";
        return -1;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

// The commands that act on a control as the user would: false when the input did nothing.
bool ClickControl(WindowRecord* record, const ScriptLine&) {
    return UserClick(record);
}
bool TypeIntoControl(WindowRecord* record, const ScriptLine& parsed) {
    return UserType(record, WideFromUtf8(parsed.text));
}
bool ClearControl(WindowRecord* record, const ScriptLine&) {
    return UserClear(record);
}
bool ChooseInControl(WindowRecord* record, const ScriptLine& parsed) {
    return UserChoose(record, parsed.numbers[0]);
}
bool ActivateRow(WindowRecord* record, const ScriptLine& parsed) {
    return UserActivateRow(record, parsed.numbers[0]);
}
// The sort a click starts runs on a thread of its own; a script goes on once its rows are back, so that
// what it reads next is what a user sees when the busy cursor is gone.
bool ClickHeader(WindowRecord* record, const ScriptLine& parsed) {
    if (!UserClickHeader(record, parsed.numbers[0])) return false;
    WaitForRowSorts();
    return true;
}
bool PressKeys(WindowRecord* record, const ScriptLine& parsed) {
    return UserPressKeys(record, parsed.text);
}
bool ResizeColumn(WindowRecord* record, const ScriptLine& parsed) {
    return UserResizeColumn(record, parsed.numbers[0], parsed.numbers[1]);
}

using ScriptCommandFunction = int (*)(const ScriptLine& parsed, std::string* output, std::string* error);
using UserInputFunction = bool (*)(WindowRecord* record, const ScriptLine& parsed);
struct ScriptCommandRow {
    ScriptCommand command;
    ScriptCommandFunction run; // a command of its own
    UserInputFunction input;   // or the user's input on the target control
};
// clang-format off
constexpr ScriptCommandRow scriptCommands[] = {
    {ScriptCommand::Tab,      RunTab,     nullptr        },
    {ScriptCommand::Wait,     RunWait,    nullptr        },
    {ScriptCommand::Dump,     RunDump,    nullptr        },
    {ScriptCommand::Close,    RunClose,   nullptr        },
    {ScriptCommand::Command,  RunCommand, nullptr        },
    {ScriptCommand::Shot,     RunShot,    nullptr        },
    {ScriptCommand::Print,    RunPrint,   nullptr        },
    {ScriptCommand::Drop,     RunDrop,    nullptr        },
    {ScriptCommand::Answer,   RunAnswer,  nullptr        },
    {ScriptCommand::Click,    nullptr,    ClickControl   },
    {ScriptCommand::Type,     nullptr,    TypeIntoControl},
    {ScriptCommand::Clear,    nullptr,    ClearControl   },
    {ScriptCommand::Choose,   nullptr,    ChooseInControl},
    {ScriptCommand::Activate, nullptr,    ActivateRow    },
    {ScriptCommand::Header,   nullptr,    ClickHeader    },
    {ScriptCommand::Resize,   nullptr,    ResizeColumn   },
    {ScriptCommand::Key,      nullptr,    PressKeys      },
    {ScriptCommand::Clipboard,RunClipboard,nullptr       },
};
// clang-format on

int RunUserInput(UserInputFunction input, const ScriptLine& parsed, std::string* error) {
    WindowRecord* record = FindTarget(parsed, error);
    if (!record) return -1;
    if (!input(record, parsed)) {
        *error =
            "'" + parsed.line + "' did nothing (control disabled, of another kind, or index out of range)";
        return -1;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

// Runs the next command whenever the message loop has nothing else to do.
bool RunNextScriptLine() {
    if (scriptFinished || QuitPosted()) return false;
    if (nextLine >= scriptLines.size()) {
        scriptFinished = true;
        CloseMainWindow();
        return true;
    }
    const std::string& line = scriptLines[nextLine++];
    std::string output, error;
    if (echoCommands && !line.empty() && line[0] != '#') std::printf("> %s\n", line.c_str());
    double started = printTimes ? MonotonicSeconds() : 0;
    if (stallWatch) stallWatch->Begin();
    if (RunScriptCommand(line, &output, &error) != 0) {
        std::fprintf(stderr, "script line %zu: %s\n", nextLine, error.c_str());
        failedLines++;
    }
    if (printTimes)
        std::fprintf(stderr, "script-time %zu %.6f %.6f %s\n", nextLine, started, MonotonicSeconds(),
                     line.c_str());
    if (stallWatch) {
        stallWatch->Tick();
        std::fprintf(stderr, "script-stall %zu %.6f\n", nextLine, stallWatch->longestGap);
    }
    if (!output.empty()) {
        std::fwrite(output.data(), 1, output.size(), stdout);
        std::fflush(stdout);
    }
    return true;
}

} // namespace

void PrintMessageBoxes() {
    SetMessageBoxHook(PrintBox);
}

int RunScriptCommand(const std::string& rawLine, std::string* output, std::string* error) {
    ScriptLine parsed;
    if (ParseScriptLine(rawLine, &parsed, error) != 0) return -1;
    for (const ScriptCommandRow& row : scriptCommands)
        if (row.command == parsed.command)
            return row.run ? row.run(parsed, output, error) : RunUserInput(row.input, parsed, error);
    return 0; // a blank line or a comment
}

size_t FailedScriptLines() {
    return failedLines;
}

int StartScript(const std::string& path) {
    scriptLines.clear();
    nextLine = 0;
    scriptFinished = false;
    failedLines = 0;
    std::string line;
    if (path == "-") {
        while (std::getline(std::cin, line))
            scriptLines.push_back(line);
    } else {
        std::ifstream file(path);
        if (!file) return -1;
        while (std::getline(file, line))
            scriptLines.push_back(line);
    }
    const char* echo = std::getenv("DIALDEX_SCRIPT_ECHO");
    echoCommands = echo && std::string(echo) == "1";
    const char* times = std::getenv("DIALDEX_SCRIPT_TIMES");
    printTimes = times && std::string(times) == "1";
    if (printTimes && !stallWatch) {
        stallWatch = new StallWatch;
        QObject::connect(&stallWatch->ticks, &QTimer::timeout, [] { stallWatch->Tick(); });
        stallWatch->ticks.start(StallTickMilliseconds);
    }
    PrintMessageBoxes();
    SetFileDialogHook(AnswerFileDialog);
    SetIdleHook(RunNextScriptLine);
    return 0;
}
