// The option parser shared by the three programs, and the window program's option checks.
#include "platform/command_line.h"
#include "platform/start_options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// clang-format off
constexpr OptionRow Rows[] = {
    {"name",   'n', true,  "TEXT", "a value"  },
    {"street", 's', true,  "TEXT", "a value"  },
    {"count",  'c', false, nullptr, "a flag"  },
    {"quiet",  'q', false, nullptr, "a flag"  },
    {"no-sum", 0,   false, nullptr, "long only"},
};
// clang-format on
constexpr ProgramDescription Program = {"tester", "tester [OPTIONS] FILE...", "Tests the parser.", Rows,
                                        5,        "Exit status: as grep."};

struct Parse {
    int code = -1;
    CommandLine commandLine;
    std::string output;
    std::string errors;
};

Parse ParseArguments(const ProgramDescription& program, std::initializer_list<const char*> arguments) {
    std::vector<std::string> storage{"tester"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    Parse parse;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    parse.code = ParseCommandLine(program, int(storage.size()), argv.data(), &parse.commandLine);
    parse.output = testing::internal::GetCapturedStdout();
    parse.errors = testing::internal::GetCapturedStderr();
    return parse;
}

// The options as "row=value" words, for comparing.
std::vector<std::string> Options(const Parse& parse) {
    std::vector<std::string> words;
    for (const ParsedOption& option : parse.commandLine.options)
        words.push_back(std::to_string(option.row) + "=" + option.value);
    return words;
}

TEST(CommandLine, ShortLongAndAttachedValuesWithOperandsInOrder) {
    Parse parse = ParseArguments(Program, {"a.db", "-n", "IVAN", "--street=LENINA", "-", "-cq", "--name", "X",
                                           "-sMIRA", "--no-sum", "--", "--count", "-"});
    EXPECT_EQ(parse.code, -1);
    EXPECT_EQ(Options(parse),
              (std::vector<std::string>{"0=IVAN", "1=LENINA", "2=", "3=", "0=X", "1=MIRA", "4="}));
    EXPECT_EQ(parse.commandLine.operands, (std::vector<std::string>{"a.db", "-", "--count", "-"}));
    EXPECT_EQ(parse.errors, "");
    // An empty value is a value; a unique beginning of a long name is the option.
    parse = ParseArguments(Program, {"--name=", "--str", "S", "--cou"});
    EXPECT_EQ(Options(parse), (std::vector<std::string>{"0=", "1=S", "2="}));
}

TEST(CommandLine, OperandsStayInOrderWhateverPosixlyCorrectSays) {
    setenv("POSIXLY_CORRECT", "1", 1);
    Parse parse = ParseArguments(Program, {"a.db", "--count", "b.db"});
    unsetenv("POSIXLY_CORRECT");
    EXPECT_EQ(Options(parse), (std::vector<std::string>{"2="}));
    EXPECT_EQ(parse.commandLine.operands, (std::vector<std::string>{"a.db", "b.db"}));
}

TEST(CommandLine, ProblemsAreNamedWithTheUsageOnStandardError) {
    struct Case {
        std::initializer_list<const char*> arguments;
        const char* reason;
    };
    const Case cases[] = {
        {{"--frob"},      "tester: unknown option '--frob'\n"                    },
        {{"--frob=1"},    "tester: unknown option '--frob'\n"                    },
        {{"-x"},          "tester: unknown option '-x'\n"                        },
        {{"-cx"},         "tester: unknown option '-x'\n"                        },
        {{"--name"},      "tester: option '--name' needs a value (TEXT)\n"       },
        {{"a", "-n"},     "tester: option '--name' needs a value (TEXT)\n"       },
        {{"--count=yes"}, "tester: option '--count' takes no value\n"            },
        {{"--no-sum=1"},  "tester: option '--no-sum' takes no value\n"           },
        {{"--help=me"},   "tester: option '--help' takes no value\n"             },
        {{"--n"},         "tester: option '--n' is ambiguous: --name, --no-sum\n"},
    };
    for (const Case& test : cases) {
        Parse parse = ParseArguments(Program, test.arguments);
        EXPECT_EQ(parse.code, ExitError) << test.reason;
        EXPECT_EQ(parse.output, "");
        EXPECT_EQ(parse.errors,
                  std::string(test.reason) +
                      "usage: tester [OPTIONS] FILE...\nTry 'tester --help' for more information.\n");
    }
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput) {
    for (const char* help : {"--help", "-h", "--he"}) {
        Parse parse = ParseArguments(Program, {"a.db", help, "--frob"});
        EXPECT_EQ(parse.code, ExitSuccess);
        EXPECT_EQ(parse.errors, "");
        EXPECT_EQ(parse.output.rfind("usage: tester [OPTIONS] FILE...\nTests the parser.\n", 0), 0u)
            << parse.output;
        EXPECT_NE(parse.output.find("\n  -n, --name=TEXT"), std::string::npos);
        EXPECT_NE(parse.output.find("\n      --no-sum "), std::string::npos);
        EXPECT_NE(parse.output.find("\n  -V, --version "), std::string::npos);
        EXPECT_NE(parse.output.find("\nExit status: as grep.\n"), std::string::npos);
    }
    Parse parse = ParseArguments(Program, {"-V"});
    EXPECT_EQ(parse.code, ExitSuccess);
    EXPECT_EQ(parse.output.rfind("tester (Dialdex) ", 0), 0u);
    EXPECT_NE(parse.output.find("\nsource revision "), std::string::npos);
}

TEST(CommandLine, RefusalsAndFailures) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(RefuseCommandLine(Program, "--name: bad"), ExitError);
    EXPECT_EQ(ReportFailure(Program, "x.db: broken"), ExitError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tester: --name: bad\nusage: tester [OPTIONS] FILE...\n"
                                                      "Try 'tester --help' for more information.\n"
                                                      "tester: x.db: broken\n");
}

TEST(CommandLine, WholeNumbers) {
    long long value = 7;
    EXPECT_EQ(ParseWholeNumber("0", 0, 9, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ParseWholeNumber("-12", -20, 0, &value), 0);
    EXPECT_EQ(value, -12);
    for (const char* bad : {"", "-", "+1", "1x", " 1", "1 ", "10", "99999999999999999999", "0x1"})
        EXPECT_EQ(ParseWholeNumber(bad, 0, 9, &value), -1) << bad;
    EXPECT_EQ(value, -12);
}

// --- The window program's options ---------------------------------------------------------------------

struct Start {
    int code = -1;
    StartOptions options;
    std::string errors;
};

Start RunStart(std::initializer_list<const char*> arguments) {
    std::vector<std::string> storage{"dialdex"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    Start start;
    testing::internal::CaptureStderr();
    start.code = ParseStartOptions(int(storage.size()), argv.data(), "/default/device", &start.options);
    start.errors = testing::internal::GetCapturedStderr();
    return start;
}

TEST(StartOptions, EveryOptionAndTheFile) {
    std::string folder =
        std::filesystem::temp_directory_path() / ("dialdex-start-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string script = folder + "/script.txt";
    std::ofstream(script) << "dump\n";
    Start start = RunStart({"--device", folder.c_str(), "--card=/tmp", "--screen", "640x240", "--codepage",
                            "1251", "--script", script.c_str(), "city.zdb"});
    EXPECT_EQ(start.code, -1) << start.errors;
    EXPECT_EQ(start.options.device, folder);
    EXPECT_EQ(start.options.card, "/tmp");
    EXPECT_EQ(start.options.screenWidth, 640);
    EXPECT_EQ(start.options.screenHeight, 240);
    EXPECT_EQ(start.options.codePage, 1251);
    EXPECT_EQ(start.options.script, script);
    EXPECT_EQ(start.options.file, "city.zdb");
    start = RunStart({"--script", "-"});
    EXPECT_EQ(start.options.device, "/default/device");
    EXPECT_EQ(start.options.script, "-");
    EXPECT_EQ(start.options.file, "");
    EXPECT_EQ(start.options.zoom, 0) << "no zoom given: the program chooses";
    for (auto [text, zoom] : {
             std::pair{"0.5",  0.5 },
             {"1",    1.0 },
             {"1.25", 1.25},
             {"2.50", 2.5 },
             {"7.75", 7.75},
             {"8",    8.0 }
    })
        EXPECT_EQ(RunStart({"--zoom", text}).options.zoom, zoom) << text;
    // A device folder that does not exist yet is made at start-up.
    EXPECT_EQ(RunStart({"--device", (folder + "/new").c_str()}).code, -1);
    std::filesystem::remove_all(folder);
}

TEST(StartOptions, BadValuesAreRefused) {
    struct Case {
        std::initializer_list<const char*> arguments;
        const char* reason;
    };
    const Case cases[] = {
        {{"--screen", "640x240junk"},
         "dialdex: --screen: '640x240junk' is not WIDTHxHEIGHT, such as 640x240\n"                          },
        {{"--screen", "640"},         "dialdex: --screen: '640' is not WIDTHxHEIGHT, such as 640x240\n"     },
        {{"--screen", "0x240"},       "dialdex: --screen: '0x240' is not WIDTHxHEIGHT, such as 640x240\n"   },
        {{"--screen", "-640x240"},    "dialdex: --screen: '-640x240' is not WIDTHxHEIGHT, such as 640x240\n"},
        {{"--screen", "640x 240"},    "dialdex: --screen: '640x 240' is not WIDTHxHEIGHT, such as 640x240\n"},
        {{"--card", "/no/such/dir"},  "dialdex: --card: /no/such/dir: No such file or directory\n"          },
        {{"--card", "/etc/passwd"},   "dialdex: --card: /etc/passwd is not a folder\n"                      },
        {{"--device", "/etc/passwd"}, "dialdex: --device: /etc/passwd is not a folder\n"                    },
        {{"--device="},               "dialdex: --device: the folder is empty\n"                            },
        {{"--codepage", "99999"},
         "dialdex: --codepage: '99999' is not a single-byte code page this system can convert\n"            },
        {{"--codepage", "65001"},
         "dialdex: --codepage: '65001' is not a single-byte code page this system can convert\n"            },
        {{"--codepage", "1251x"},
         "dialdex: --codepage: '1251x' is not a single-byte code page this system can convert\n"            },
        {{"--script", "/no/such"},    "dialdex: --script: /no/such: No such file or directory\n"            },
        {{"--script", "/tmp"},        "dialdex: --script: /tmp is a folder\n"                               },
        {{"a.zdb", "b.zdb"},          "dialdex: one FILE at most, not 2\n"                                  },
        {{"--frob"},                  "dialdex: unknown option '--frob'\n"                                  },
    };
    for (const Case& test : cases) {
        Start start = RunStart(test.arguments);
        EXPECT_EQ(start.code, ExitError) << test.reason;
        EXPECT_EQ(start.errors.substr(0, start.errors.find("usage:")), test.reason);
        EXPECT_NE(start.errors.find("usage: dialdex [OPTIONS] [FILE]\n"), std::string::npos);
    }
}

} // namespace
