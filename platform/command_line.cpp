// The option table walked by getopt_long, the help and the usage, and the programs' error reports.
#include "platform/command_line.h"

#include "source_revision.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// Rows every program has after its own.
static constexpr OptionRow StandardRows[] = {
    {"help",    'h', false, nullptr, "show this help and exit"                          },
    {"version", 'V', false, nullptr, "show the version and the source revision and exit"},
};
static constexpr int StandardRowCount = sizeof StandardRows / sizeof StandardRows[0];
static constexpr int HelpRow = 0; // in StandardRows
static constexpr int VersionRow = 1;
static_assert(StandardRowCount == 2);

// getopt_long reports a long option by this number plus its row.
static constexpr int LongOptionBase = 1000;
// Room in the help for the options before their text.
static constexpr size_t HelpColumn = 30;

// A row of the program's table, or of the standard rows after it.
static const OptionRow& RowOf(const ProgramDescription& program, int row) {
    return row < program.rowCount ? program.rows[row] : StandardRows[row - program.rowCount];
}

std::string OptionName(const ProgramDescription& program, int row) {
    return std::string("--") + RowOf(program, row).longName;
}

static void PrintUsage(const ProgramDescription& program, std::FILE* stream) {
    const char* line = program.synopsis;
    bool first = true;
    while (*line != 0) {
        const char* end = std::strchr(line, '\n');
        size_t length = end != nullptr ? size_t(end - line) : std::strlen(line);
        std::fprintf(stream, "%s%.*s\n", first ? "usage: " : "       ", int(length), line);
        first = false;
        line += length + (end != nullptr ? 1 : 0);
    }
}

static void PrintHelp(const ProgramDescription& program) {
    PrintUsage(program, stdout);
    std::printf("%s\n\nOptions:\n", program.summary);
    for (int row = 0; row < program.rowCount + StandardRowCount; row++) {
        const OptionRow& option = RowOf(program, row);
        std::string left =
            option.shortLetter != 0 ? std::string("  -") + option.shortLetter + ", " : "      ";
        left += std::string("--") + option.longName;
        if (option.takesValue) left += std::string("=") + option.valueName;
        if (left.size() + 2 > HelpColumn)
            std::printf("%s\n%*s%s\n", left.c_str(), int(HelpColumn), "", option.help);
        else
            std::printf("%-*s%s\n", int(HelpColumn), left.c_str(), option.help);
    }
    if (program.epilogue != nullptr) std::printf("\n%s\n", program.epilogue);
}

int RefuseCommandLine(const ProgramDescription& program, const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program.name, reason.c_str());
    PrintUsage(program, stderr);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", program.name);
    return ExitError;
}

int ReportFailure(const ProgramDescription& program, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program.name, text.c_str());
    return ExitError;
}

// The long names that begin with what was typed ("--na" for "--name"), for the report of a long option
// that getopt_long did not take.
static std::string UnknownLongOption(const ProgramDescription& program, const char* argument) {
    std::string typed = argument + 2;
    typed = typed.substr(0, typed.find('='));
    std::string candidates;
    int count = 0;
    for (int row = 0; row < program.rowCount + StandardRowCount; row++) {
        if (std::strncmp(RowOf(program, row).longName, typed.c_str(), typed.size()) != 0) continue;
        candidates += (count++ > 0 ? ", " : "") + OptionName(program, row);
    }
    if (count > 1) return "option '--" + typed + "' is ambiguous: " + candidates;
    return "unknown option '--" + typed + "'";
}

// Ends --help and --version: what they wrote must have reached standard output (a full disk, a closed
// pipe), or the failure is told.
static int FinishAnswer(const ProgramDescription& program) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return ExitSuccess;
    int error = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "%s: standard output: %s\n", program.name, std::strerror(error));
    return ExitError;
}

int ParseCommandLine(const ProgramDescription& program, int argumentCount, char** arguments,
                     CommandLine* commandLine) {
    *commandLine = CommandLine();
    int rowCount = program.rowCount + StandardRowCount;
    // "-": operands come back in order as option 1 (whatever POSIXLY_CORRECT says); ":": a missing value
    // is told apart from an unknown option, and getopt_long prints nothing itself.
    std::string letters = "-:";
    std::vector<option> longOptions;
    int rowOfLetter[256];
    for (int& row : rowOfLetter)
        row = -1;
    for (int row = 0; row < rowCount; row++) {
        const OptionRow& entry = RowOf(program, row);
        longOptions.push_back({entry.longName, entry.takesValue ? required_argument : no_argument, nullptr,
                               LongOptionBase + row});
        if (entry.shortLetter == 0) continue;
        rowOfLetter[(unsigned char)entry.shortLetter] = row;
        letters += entry.shortLetter;
        if (entry.takesValue) letters += ':';
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    optind = 0; // starts getopt_long afresh, also for a second parse in one process
    opterr = 0;
    for (;;) {
        int code = getopt_long(argumentCount, arguments, letters.c_str(), longOptions.data(), nullptr);
        if (code == -1) break;
        if (code == 1) {
            commandLine->operands.push_back(optarg);
            continue;
        }
        if (code == '?' || code == ':') {
            int row = optopt >= LongOptionBase     ? optopt - LongOptionBase
                      : optopt > 0 && optopt < 256 ? rowOfLetter[optopt]
                                                   : -1;
            if (code == ':' && row >= 0)
                return RefuseCommandLine(program, "option '" + OptionName(program, row) +
                                                      "' needs a value (" + RowOf(program, row).valueName +
                                                      ")");
            if (row >= 0)
                return RefuseCommandLine(program, "option '" + OptionName(program, row) + "' takes no value");
            const char* argument = arguments[optind - 1];
            if (optopt == 0 && std::strncmp(argument, "--", 2) == 0)
                return RefuseCommandLine(program, UnknownLongOption(program, argument));
            return RefuseCommandLine(program, std::string("unknown option '-") + char(optopt) + "'");
        }
        int row = code >= LongOptionBase ? code - LongOptionBase : rowOfLetter[(unsigned char)code];
        if (row == program.rowCount + HelpRow) {
            errno = 0;
            PrintHelp(program);
            return FinishAnswer(program);
        }
        if (row == program.rowCount + VersionRow) {
            errno = 0;
            std::printf("%s (Dialdex) %s\nsource revision %s\n", program.name, DIALDEX_VERSION,
                        DIALDEX_REVISION);
            return FinishAnswer(program);
        }
        commandLine->options.push_back({row, optarg != nullptr ? optarg : ""});
    }
    for (int index = optind; index < argumentCount; index++)
        commandLine->operands.push_back(arguments[index]);
    return -1;
}

int ParseWholeNumber(const std::string& text, long long minimum, long long maximum, long long* value) {
    size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == start || text.size() - start > 18) return -1;
    long long result = 0;
    for (size_t index = start; index < text.size(); index++) {
        if (text[index] < '0' || text[index] > '9') return -1;
        result = result * 10 + (text[index] - '0');
    }
    if (start == 1) result = -result;
    if (result < minimum || result > maximum) return -1;
    *value = result;
    return 0;
}
