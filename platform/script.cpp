// The script driver. Each command acts as the user's own input would, through the controls' Qt faces, so
// the program receives every notification that input gives.
#include "platform/script.h"

#include "platform/script_line.h"
#include "platform/text.h"
#include "platform/window_system.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

std::vector<std::string> scriptLines;
size_t nextLine = 0;
bool scriptFinished = false;
bool echoCommands = false; // DIALDEX_SCRIPT_ECHO=1 prints each command before it runs
// DIALDEX_SCRIPT_TIMES=1 prints, on standard error, when each command started and ended on the monotonic
// clock (the one other processes see too), so the benchmarks can time a search from its Start click:
//   script-time LINE START_SECONDS END_SECONDS COMMAND
bool printTimes = false;

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

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
    if (RunScriptCommand(line, &output, &error) != 0)
        std::fprintf(stderr, "script line %zu: %s\n", nextLine, error.c_str());
    if (printTimes)
        std::fprintf(stderr, "script-time %zu %.6f %.6f %s\n", nextLine, started, MonotonicSeconds(),
                     line.c_str());
    if (!output.empty()) {
        std::fwrite(output.data(), 1, output.size(), stdout);
        std::fflush(stdout);
    }
    return true;
}

// A control as a person reads it: its text, or a list's rows with their cells joined by " | ".
std::string DescribeControlText(WindowRecord* record) {
    QJsonObject object;
    DescribeControl(record, object);
    std::string text = Utf8FromWide(record->text) + "\n";
    if (object.contains("rows")) {
        text.clear();
        for (const QJsonValue& row : object["rows"].toArray()) {
            QStringList cells;
            for (const QJsonValue& cell : row.toArray())
                cells.append(cell.toString());
            text += cells.join(" | ").toStdString() + "\n";
        }
    } else if (object.contains("items")) {
        text.clear();
        for (const QJsonValue& item : object["items"].toArray())
            text += item.toString().toStdString() + "\n";
    }
    return text;
}

} // namespace

void PrintMessageBoxes() {
    SetMessageBoxHook(PrintBox);
}

int RunScriptCommand(const std::string& rawLine, std::string* output, std::string* error) {
    ScriptLine parsed;
    if (ParseScriptLine(rawLine, &parsed, error) != 0) return -1;
    const std::string& line = parsed.line;
    const int number = parsed.numbers[0], second = parsed.numbers[1];
    switch (parsed.command) {
    case ScriptCommand::None:
        return 0;
    case ScriptCommand::Tab: {
        WindowRecord* tab = nullptr;
        for (WindowRecord* record : AllWindowRecords())
            if (!record->destroyed && record->windowClass->kind == ControlKind::Tab) {
                tab = record;
                break;
            }
        if (!tab || !UserChooseTab(tab, number)) {
            *error = "cannot choose tab in '" + line + "'";
            return -1;
        }
        return 0;
    }
    case ScriptCommand::Wait:
        WaitForThreadsServingMessages();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return 0;
    case ScriptCommand::Dump:
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        *output += DumpWindowTree() + "\n";
        return 0;
    case ScriptCommand::Close:
        CloseMainWindow();
        return 0;
    case ScriptCommand::Command: {
        WindowRecord* main = MainWindowRecord();
        if (!main) {
            *error = "bad command line '" + line + "'";
            return -1;
        }
        SendMessage(HandleOf(main), MessageCommand,
                    static_cast<FirstParameter>(static_cast<uint16_t>(number)), 0);
        return 0;
    }
    case ScriptCommand::Shot: {
        WindowRecord* main = MainWindowRecord();
        if (!main || !main->widget) {
            *error = "nothing to photograph in '" + line + "'";
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
    default:
        break;
    }
    WindowRecord* record = FindTarget(parsed, error);
    if (!record) return -1;
    bool done = false;
    switch (parsed.command) {
    case ScriptCommand::Click:
        done = UserClick(record);
        break;
    case ScriptCommand::Type:
        done = UserType(record, WideFromUtf8(parsed.text));
        break;
    case ScriptCommand::Clear:
        done = UserClear(record);
        break;
    case ScriptCommand::Choose:
        done = UserChoose(record, number);
        break;
    case ScriptCommand::Activate:
        done = UserActivateRow(record, number);
        break;
    case ScriptCommand::Header:
        done = UserClickHeader(record, number);
        break;
    case ScriptCommand::Print:
        *output += DescribeControlText(record);
        return 0;
    case ScriptCommand::Resize:
        done = UserResizeColumn(record, number, second);
        break;
    default:
        break;
    }
    if (!done) {
        *error = "'" + line + "' did nothing (control disabled, of another kind, or index out of range)";
        return -1;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

int StartScript(const std::string& path) {
    scriptLines.clear();
    nextLine = 0;
    scriptFinished = false;
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
    PrintMessageBoxes();
    SetIdleHook(RunNextScriptLine);
    return 0;
}
