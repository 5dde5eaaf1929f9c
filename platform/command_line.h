// One option parser and one exit-code scheme for the three programs (dialdex, dialdex-find,
// dialdex-mkdb): a table of options walked by getopt_long. Short and long options, "--opt=value" and
// "--opt value", "-" as an operand, "--" ending the options; --help and --version are added to every
// table. Problems are reported as "PROGRAM: reason" followed by the usage, on standard error.
#pragma once

#include <string>
#include <vector>

// Exit codes, as grep's.
constexpr int ExitSuccess = 0; // done (dialdex-find: at least one match)
constexpr int ExitNoMatch = 1; // dialdex-find: nothing matched
constexpr int ExitError = 2;   // a bad option or value, a file that cannot be read or written, damage

// One option of a program.
struct OptionRow {
    const char* longName;  // without the leading "--"
    char shortLetter;      // 0 when the option has only its long name
    bool takesValue;       // the option needs a value
    const char* valueName; // the value's name in the help ("DIR"); null when it takes none
    const char* help;      // one line for --help
};

struct ProgramDescription {
    const char* name;     // the program's name in messages
    const char* synopsis; // the usage lines, each after "usage: " or its indent, '\n' between them
    const char* summary;  // what the program does, shown under the usage by --help
    const OptionRow* rows;
    int rowCount;
    const char* epilogue; // shown at the end of --help (the exit codes)
};

struct ParsedOption {
    int row;           // index of the option's row
    std::string value; // its value; empty when it takes none
};

struct CommandLine {
    std::vector<ParsedOption> options; // in the order given
    std::vector<std::string> operands; // the other arguments, in the order given ("-" among them)
};

// Parses the arguments (argv[0] is the program). Returns -1 when the program goes on with commandLine
// filled, or the exit code to end with:
//   ExitSuccess after --help (the help on standard output) or --version (the name, the version and the
//               source revision the program was built from)
//   ExitError   after an unknown option, a missing value or a value given to an option that takes none
//               (reported with the usage on standard error)
int ParseCommandLine(const ProgramDescription& program, int argumentCount, char** arguments,
                     CommandLine* commandLine);

// Reports a bad value or operand: "PROGRAM: reason" and the usage on standard error. Returns ExitError.
int RefuseCommandLine(const ProgramDescription& program, const std::string& reason);
// Reports a failure that is not the user's wording (a file, a write): "PROGRAM: text" on standard error.
// Returns ExitError.
int ReportFailure(const ProgramDescription& program, const std::string& text);

// The option's name as the user would type it: "--name".
std::string OptionName(const ProgramDescription& program, int row);

// A whole decimal number from minimum to maximum, nothing before or after it. Returns 0, or -1.
int ParseWholeNumber(const std::string& text, long long minimum, long long maximum, long long* value);
