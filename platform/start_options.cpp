// The window program's option table and the checks of its values.
#include "platform/start_options.h"

#include "platform/command_line.h"
#include "platform/text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

enum StartOptionRow { DeviceRow, CardRow, ScreenRow, CodePageRow, ScriptRow, ZoomRow, StartOptionRowCount };

// clang-format off
static constexpr OptionRow StartOptionRows[] = {
    {"device",   0, true, "DIR",    "the device's root folder \"\\\" (default ~/.local/share/dialdex/device)"},
    {"card",     0, true, "DIR",    "an existing host folder shown as \"\\Storage Card\""},
    {"screen",   0, true, "WxH",    "the screen the device reports, such as 640x240 (landscape)"},
    {"codepage", 0, true, "N",      "the device's 8-bit code page (default 1251)"},
    {"script",   0, true, "FILE|-", "drive the program from a script, on the offscreen platform"},
    {"zoom",     0, true, "F",      "draw the screen F times as large, 0.5 to 8 by 0.25 (default: fitted to the\n"
                                    "                              screen; 1 with --screen or --script)"},
};
// clang-format on
static_assert(sizeof StartOptionRows / sizeof StartOptionRows[0] == StartOptionRowCount);

static constexpr ProgramDescription Dialdex = {
    "dialdex",
    "dialdex [OPTIONS] [FILE]",
    "Looks up subscribers in telephone-directory databases (.zdb, .db) on a handheld device shown in a\n"
    "window, or driven by a script without one.",
    StartOptionRows,
    StartOptionRowCount,
    "Exit status: 0 after a normal close; 1 when the main window class cannot be registered, the language\n"
    "file cannot be opened or the device folder cannot be made; 2 when a page class cannot be registered,\n"
    "for a bad option, without a display (see DISPLAY) or when a script line could not be carried out;\n"
    "16 when the main window cannot be created.",
};

// Reads "WIDTHxHEIGHT": two whole numbers from 1 to 99999 and nothing else. Returns 0, or -1.
static int ParseScreenSize(const std::string& text, int* width, int* height) {
    size_t cross = text.find('x');
    long long wide = 0, high = 0;
    if (cross == std::string::npos || ParseWholeNumber(text.substr(0, cross), 1, 99999, &wide) != 0 ||
        ParseWholeNumber(text.substr(cross + 1), 1, 99999, &high) != 0)
        return -1;
    *width = int(wide);
    *height = int(high);
    return 0;
}

// Checks one option's value and keeps it. Returns "" when it is good, else the reason it is not.
static std::string TakeStartOption(const ParsedOption& option, StartOptions* options) {
    const std::string& value = option.value;
    struct stat status;
    switch (StartOptionRow(option.row)) {
    case DeviceRow:
        if (value.empty()) return "the folder is empty";
        if (stat(value.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) return value + " is not a folder";
        options->device = value;
        return "";
    case CardRow:
        if (stat(value.c_str(), &status) != 0) return value + ": " + std::strerror(errno);
        if (!S_ISDIR(status.st_mode)) return value + " is not a folder";
        options->card = value;
        return "";
    case ScreenRow:
        if (ParseScreenSize(value, &options->screenWidth, &options->screenHeight) != 0)
            return "'" + value + "' is not WIDTHxHEIGHT, such as 640x240";
        return "";
    case CodePageRow: {
        long long codePage = 0;
        if (ParseWholeNumber(value, 1, 65535, &codePage) != 0 || SetDeviceCodePage(int(codePage)) != 0)
            return "'" + value + "' is not a single-byte code page this system can convert";
        options->codePage = int(codePage);
        return "";
    }
    case ScriptRow:
        if (value != "-" && access(value.c_str(), R_OK) != 0) return value + ": " + std::strerror(errno);
        if (value != "-" && stat(value.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            return value + " is a folder";
        options->script = value;
        return "";
    case ZoomRow: {
        // Quarters only: "1.25" and "2" are steps, "1.3" is not.
        long long quarters = 0;
        size_t point = value.find('.');
        std::string whole = value.substr(0, point);
        std::string fraction = point == std::string::npos ? "" : value.substr(point + 1);
        static const char* const steps[] = {"", "0", "00", "25", "5", "50", "75"};
        static const int stepQuarters[] = {0, 0, 0, 1, 2, 2, 3};
        int step = -1;
        for (int index = 0; index < 7; index++)
            if (fraction == steps[index] && (index > 0 || point == std::string::npos)) step = index;
        if (step < 0 || ParseWholeNumber(whole.empty() ? "0" : whole, 0, 8, &quarters) != 0)
            return "'" + value + "' is not a zoom from 0.5 to 8 in steps of 0.25";
        quarters = quarters * 4 + stepQuarters[step];
        if (quarters < 2 || quarters > 32)
            return "'" + value + "' is not a zoom from 0.5 to 8 in steps of 0.25";
        options->zoom = double(quarters) / 4;
        return "";
    }
    case StartOptionRowCount:
        break;
    }
    return "unknown option";
}

int ReportStartFailure(const std::string& text) {
    return ReportFailure(Dialdex, text);
}

int ParseStartOptions(int argumentCount, char** arguments, const std::string& defaultDevice,
                      StartOptions* options) {
    *options = StartOptions();
    options->device = defaultDevice;
    CommandLine commandLine;
    int code = ParseCommandLine(Dialdex, argumentCount, arguments, &commandLine);
    if (code >= 0) return code;
    for (const ParsedOption& option : commandLine.options) {
        std::string problem = TakeStartOption(option, options);
        if (!problem.empty())
            return RefuseCommandLine(Dialdex, OptionName(Dialdex, option.row) + ": " + problem);
    }
    if (commandLine.operands.size() > 1)
        return RefuseCommandLine(Dialdex,
                                 "one FILE at most, not " + std::to_string(commandLine.operands.size()));
    if (!commandLine.operands.empty()) options->file = commandLine.operands[0];
    if (SetDeviceCodePage(options->codePage) != 0)
        return RefuseCommandLine(Dialdex,
                                 "code page " + std::to_string(options->codePage) + " is not available");
    return -1;
}
