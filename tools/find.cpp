// dialdex-find: the command-line lookup over the scan core, in the manner of grep.
//
//   dialdex-find [OPTIONS] FILE...        (FILE "-": standard input)
//
// The criteria are UTF-8, upper-cased as the search page's edits turn typed letters, and converted to the
// device code page; one that the code page cannot hold, that is not UTF-8 or that is longer than the
// query holds is refused, never searched for in part. Each match is printed as the result list shows it:
// the phone padded to the header's digits and the texts cut to a row's fields, in UTF-8. Then
// "scanned N, results M" goes to standard error. A file read to its end is checked whole (every gzip
// member's CRC-32 and length, its end mark, no change while it was read), and what is wrong is told after
// the counts. Exit codes: 0 something matched, 1 nothing did, 2 an error (a bad option, a file that cannot
// be read, damage, a file cut or changed, a write error).
#include "db/database_file.h"
#include "db/database_reader.h"
#include "platform/command_line.h"
#include "platform/text.h"
#include "platform/work_pool.h"
#include "search/scan.h"
#include "tools/database_input.h"
#include "tools/record_format.h"
#include "tools/tool_support.h"

#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum FindRow {
    PhoneRow,
    NameRow,
    StreetRow,
    HouseRow,
    FlatRow,
    CodePageRow,
    FormatRow,
    HeaderRow,
    CountRow,
    MaxRow,
    QuietRow,
    WithFilenameRow,
    NoFilenameRow,
    IgnoreCaseRow,
    FindRowCount
};

// clang-format off
static constexpr OptionRow FindRows[] = {
    {"phone",         'p', true,  "PATTERN", "the phone number begins with PATTERN; a character other than a digit matches any"},
    {"name",          'n', true,  "TEXT",    "the name begins with TEXT (letters upper-cased, as the window does)"},
    {"street",        's', true,  "TEXT",    "the street begins with TEXT"},
    {"house",         0,   true,  "TEXT",    "the house begins with TEXT"},
    {"flat",          0,   true,  "TEXT",    "the flat begins with TEXT"},
    {"codepage",      0,   true,  "N",       "the databases' 8-bit code page (default 1251)"},
    {"format",        0,   true,  "FORMAT",  "plain (default, fields joined by ;), csv, tsv or json (one object a line)"},
    {"header",        0,   false, nullptr,   "begin with a line naming the columns (not json)"},
    {"count",         'c', false, nullptr,   "print the number of matches of each file instead of the matches"},
    {"max",           'm', true,  "N",       "stop reading a file after N matches"},
    {"quiet",         'q', false, nullptr,   "print nothing; stop at the first match (the exit code tells)"},
    {"with-filename", 'H', false, nullptr,   "begin each line with the file's name (the default with several files)"},
    {"no-filename",   0,   false, nullptr,   "never name the file"},
    {"ignore-case",   'i', false, nullptr,   "letters match in either case (for databases that keep their letters' case)"},
};
// clang-format on
static_assert(sizeof FindRows / sizeof FindRows[0] == FindRowCount);

static constexpr ProgramDescription FindProgram = {
    "dialdex-find",
    "dialdex-find [OPTIONS] FILE...",
    "Lists the subscribers of directory databases (.zdb or .db; - reads standard input, gzip or plain)\n"
    "whose phone number, name, street, house and flat begin with the criteria given; at least one\n"
    "criterion is needed. \"scanned N, results M\" follows on standard error.",
    FindRows,
    FindRowCount,
    "Exit status: 0 when something matched, 1 when nothing did, 2 after an error (also when something\n"
    "matched, unless --quiet had found a match).",
};

// The criteria: their options, the buffers of the query and what a message calls them.
struct CriterionRow {
    FindRow row;
    int capacity; // the query's buffer, terminator included
    const char* what;
};
// clang-format off
static constexpr CriterionRow CriterionRows[5] = {
    {PhoneRow,  PhoneCriterionSize,  "a phone criterion" },
    {NameRow,   NameCriterionSize,   "a name criterion"  },
    {StreetRow, StreetCriterionSize, "a street criterion"},
    {HouseRow,  HouseCriterionSize,  "a house criterion" },
    {FlatRow,   FlatCriterionSize,   "a flat criterion"  },
};
// clang-format on

// What the options asked for.
struct FindSettings {
    std::string criteria[5]; // UTF-8, in the order of CriterionRows
    int codePage = 1251;     // the databases' code page
    OutputFormat format = PlainFormat;
    bool header = false;            // a line naming the columns first
    bool count = false;             // counts instead of matches
    long long maximum = -1;         // matches read per file; -1: no limit
    bool quiet = false;             // no output; the first match ends the run
    int withFilename = -1;          // 1 name the file, 0 never, -1 only with several files
    bool ignoreCase = false;        // texts compared through the code page's case table
    std::vector<std::string> files; // as given ("-": standard input)
};

// The run across the files.
struct FindRun {
    const FindSettings* settings = nullptr;
    Query query;
    std::string foldedTexts[4]; // --ignore-case: the text criteria, upper case (the query: the phone only)
    StandardOutput output;
    bool nameFiles = false;    // lines begin with the file's name
    int phoneDigits = 7;       // the current file's padding
    long long fileMatches = 0; // matches of the current file
    bool anyMatch = false;     // some file matched
    std::string fields[6];     // one line's fields, reused: the file's name as lines show it first
    bool held = false;         // one of several files searched at once: its lines and messages wait
    bool headerDue = false;    // --header without --count: the header line waits for the first match
    std::string messages;      // held messages for standard error
};

// A message about the file: to standard error now, or kept with the file's lines.
static void Tell(FindRun* run, const std::string& text) {
    if (!run->held) {
        std::fflush(stdout);
        std::fputs(text.c_str(), stderr);
    } else {
        run->messages += text;
    }
}

static void ReportFileFailure(FindRun* run, const std::string& text) {
    Tell(run, std::string(FindProgram.name) + ": " + text + "\n");
}

static const char* const MatchColumns[6] = {"file", "phone", "name", "street", "house", "flat"};
static const char* const CountColumns[2] = {"file", "count"};

// Returns -1 to go on, or the exit code after a message.
static int TakeOptions(const CommandLine& commandLine, FindSettings* settings) {
    for (const ParsedOption& option : commandLine.options) {
        long long number = 0;
        switch (FindRow(option.row)) {
        case PhoneRow:
        case NameRow:
        case StreetRow:
        case HouseRow:
        case FlatRow:
            settings->criteria[option.row - PhoneRow] = option.value;
            break;
        case CodePageRow:
            if (ParseWholeNumber(option.value, 1, 65535, &number) != 0 || SetDeviceCodePage(int(number)) != 0)
                return RefuseCommandLine(FindProgram,
                                         "--codepage: '" + option.value +
                                             "' is not a single-byte code page this system can convert");
            settings->codePage = int(number);
            break;
        case FormatRow:
            if (FindOutputFormat(option.value, &settings->format) != 0)
                return RefuseCommandLine(FindProgram, "--format: '" + option.value + "' is none of " +
                                                          OutputFormatNames());
            break;
        case HeaderRow:
            settings->header = true;
            break;
        case CountRow:
            settings->count = true;
            break;
        case MaxRow:
            if (ParseWholeNumber(option.value, 0, 2147483647, &settings->maximum) != 0)
                return RefuseCommandLine(FindProgram,
                                         "--max: '" + option.value + "' is not a whole number from 0");
            break;
        case QuietRow:
            settings->quiet = true;
            break;
        case WithFilenameRow:
            settings->withFilename = 1;
            break;
        case NoFilenameRow:
            settings->withFilename = 0;
            break;
        case IgnoreCaseRow:
            settings->ignoreCase = true;
            break;
        case FindRowCount:
            break;
        }
    }
    settings->files = commandLine.operands;
    if (settings->files.empty())
        return RefuseCommandLine(FindProgram, "no FILE given (- reads standard input)");
    // A second read would find standard input used up and take it for a file of no records.
    int repeated = DropRepeatedStandardInput(&settings->files);
    if (repeated > 0 && !settings->quiet)
        std::fprintf(stderr, "%s: - is named %d times; standard input is read once\n", FindProgram.name,
                     repeated + 1);
    if (SetDeviceCodePage(settings->codePage) != 0)
        return RefuseCommandLine(FindProgram,
                                 "code page " + std::to_string(settings->codePage) + " is not available");
    return -1;
}

// The criterion as the edit would hold it, in the device code page. Returns "" or why it cannot be.
static std::string DeviceCriterion(const std::string& utf8, const CriterionRow& row, std::string* device) {
    std::u16string wide;
    std::string problem;
    // Built by appending: "'" + a temporary string makes g++ 12's optimiser warn of an overlap that
    // cannot happen (-Wrestrict), which -Werror builds refuse.
    std::string quoted = "'";
    quoted += QuotableText(utf8);
    quoted += "' ";
    if (DecodeUtf8Strictly(utf8, &wide, &problem) != 0) return quoted + problem;
    UpperCaseForDevice(&wide); // as an imported record's texts are, so that the two meet
    if (StrictWideToDevice(wide, device, &problem) != 0) return quoted + problem;
    if (int(device->size()) > row.capacity - 1)
        return quoted + "has " + std::to_string(device->size()) + " characters; " + row.what + " holds at most " +
               std::to_string(row.capacity - 1);
    return "";
}

// Returns -1 to go on, or the exit code after a message.
static int MakeQuery(const FindSettings& settings, Query* query, std::string foldedTexts[4]) {
    std::string device[5];
    for (int index = 0; index < 5; index++) {
        std::string problem = DeviceCriterion(settings.criteria[index], CriterionRows[index], &device[index]);
        if (!problem.empty())
            return RefuseCommandLine(FindProgram,
                                     OptionName(FindProgram, CriterionRows[index].row) + ": " + problem);
    }
    SetQueryCriteria(query, device[0].c_str(), device[1].c_str(), device[2].c_str(), device[3].c_str(),
                     device[4].c_str());
    if (QueryIsEmpty(query))
        return RefuseCommandLine(FindProgram,
                                 "no criterion given: use --phone, --name, --street, --house or --flat");
    if (settings.ignoreCase) {
        // The scan tests the phone; the texts are tested folded on each record it hands over.
        const unsigned char* upper = DeviceUpperCaseTable();
        for (int index = 0; index < 4; index++) {
            foldedTexts[index] = device[index + 1];
            for (char& character : foldedTexts[index])
                character = char(upper[(unsigned char)character]);
        }
        SetQueryCriteria(query, device[0].c_str(), "", "", "", "");
    }
    return -1;
}

// True when each text criterion begins the record's text once both are upper case.
static bool FoldedTextsMatch(const FindRun* run, const DatabaseRecord* record) {
    const unsigned char* upper = DeviceUpperCaseTable();
    const char* texts[4] = {record->name, record->street, record->house, record->flat};
    for (int index = 0; index < 4; index++) {
        const std::string& criterion = run->foldedTexts[index];
        for (size_t at = 0; at < criterion.size(); at++)
            if (texts[index][at] == 0 || upper[(unsigned char)texts[index][at]] != (unsigned char)criterion[at])
                return false;
    }
    return true;
}

static int PrintMatch(void* context, const DatabaseRecord* record, const ScanCounts*) {
    FindRun* run = static_cast<FindRun*>(context);
    if (run->settings->ignoreCase && !FoldedTextsMatch(run, record)) return 0;
    run->fileMatches++;
    if (run->settings->count || run->settings->quiet) return 0;
    char16_t phone[PhoneTextCapacity];
    int phoneLength = FormatPhoneText(record->phone, run->phoneDigits, phone, PhoneTextCapacity);
    std::string& phoneField = run->fields[1];
    phoneField.clear();
    for (int index = 0; index < phoneLength; index++)
        phoneField.push_back(char(phone[index])); // digits only
    const char* texts[4] = {record->name, record->street, record->house, record->flat};
    for (int index = 0; index < 4; index++) {
        run->fields[index + 2].clear();
        AppendDeviceTextAsUtf8(&run->fields[index + 2], texts[index], ResultFieldCapacities[index + 1] - 1);
    }
    std::string_view fields[6];
    for (int index = 0; index < 6; index++)
        fields[index] = run->fields[index];
    int first = run->nameFiles ? 0 : 1;
    if (run->headerDue) {
        AppendHeaderLine(&run->output.text, run->settings->format, MatchColumns + first, 6 - first);
        run->headerDue = false;
    }
    AppendOutputLine(&run->output.text, run->settings->format, MatchColumns + first, fields + first,
                     6 - first);
    if (!run->held) FlushStandardOutputWhenFull(&run->output);
    return run->output.failed ? 1 : 0; // nothing more can be printed: the scan ends
}

// Only installed under --max or --quiet, so that a plain scan makes no call per record for it.
static bool ReachedMaximum(void* context) {
    const FindRun* run = static_cast<const FindRun*>(context);
    return run->settings->quiet ? run->fileMatches > 0 : run->fileMatches >= run->settings->maximum;
}

// A file as messages and lines name it.
static const char* DisplayName(const std::string& path) {
    return path == "-" ? "(standard input)" : path.c_str();
}

// Scans one file. Returns 0, or -1 after an error was reported (what was found before it stands).
static int FindInFile(FindRun* run, const std::string& path) {
    const FindSettings& settings = *run->settings;
    run->fileMatches = 0;
    // A json line is UTF-8 throughout: bytes of a name that are not become U+FFFD there.
    run->fields[0] = path == "-"                     ? std::string("(standard input)")
                     : settings.format == JsonFormat ? Utf8FromWide(WideFromUtf8(path))
                                                     : path;
    DatabaseReader reader;
    unsigned char header[DatabaseHeaderSize];
    std::string problem;
    if (OpenToolDatabase(path, &reader, header, &problem, MembersScanned) != 0) {
        if (!run->held) FlushStandardOutput(&run->output);
        ReportFileFailure(run, std::string(DisplayName(path)) + ": " + problem);
        return -1;
    }
    run->phoneDigits = HeaderPhoneDigits(header);
    ScanCallbacks callbacks;
    callbacks.context = run;
    callbacks.onMatch = PrintMatch;
    if (settings.maximum >= 0 || settings.quiet) callbacks.shouldStop = ReachedMaximum;
    ScanCounts counts;
    int code = 0;
    if (settings.maximum != 0) code = ScanDatabase(&reader, &run->query, &callbacks, &counts);
    // Told after the counts: the records are printed by then, and the message says what they are worth.
    bool readToTheEnd = code == 0 || code == 1;
    if (run->fileMatches > 0) run->anyMatch = true;
    if (settings.count && !settings.quiet) {
        std::string number = std::to_string(run->fileMatches);
        std::string_view fields[2] = {run->fields[0], number};
        int first = run->nameFiles ? 0 : 1;
        AppendOutputLine(&run->output.text, settings.format, CountColumns + first, fields + first, 2 - first,
                         run->nameFiles ? 2u : 1u);
    }
    if (!run->held) FlushStandardOutput(&run->output);
    if (!settings.quiet) {
        Tell(run, std::string(run->nameFiles ? DisplayName(path) : "") + (run->nameFiles ? ": " : "") +
                      "scanned " + std::to_string(counts.scanned) + ", results " +
                      std::to_string(run->fileMatches) + "\n");
    }
    std::string verdict;
    int end = readToTheEnd ? DatabaseReadVerdict(path, &reader, counts.scanned, &verdict) : DatabaseReadNotChecked;
    CloseDatabaseReader(&reader);
    if (!verdict.empty()) ReportFileFailure(run, verdict);
    return end == DatabaseReadSound || end == DatabaseReadNotChecked ? 0 : -1;
}

// Several files searched at once, one a thread up to the processors there are; each file's lines and
// messages are printed in the order the files were given, as soon as the files before it are done.
// Returns true when some file could not be searched.
static bool FindInFilesAtOnce(FindRun* run, int threadCount) {
    const std::vector<std::string>& files = run->settings->files;
    std::vector<FindRun> jobs(files.size());
    std::vector<int> failed(files.size(), 0);
    std::vector<bool> done(files.size(), false);
    std::mutex lock;
    std::condition_variable finished;
    size_t next = 0;
    auto work = [&] {
        for (;;) {
            size_t index;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (next == files.size()) return;
                index = next++;
            }
            FindRun& job = jobs[index];
            job.settings = run->settings;
            job.query = run->query;
            for (int text = 0; text < 4; text++)
                job.foldedTexts[text] = run->foldedTexts[text];
            job.nameFiles = run->nameFiles;
            job.held = true;
            failed[index] = FindInFile(&job, files[index]) != 0;
            std::lock_guard<std::mutex> guard(lock);
            done[index] = true;
            finished.notify_all();
        }
    };
    // Each file's members are read on its share of the processors, not on all of them at once.
    LimitMemberThreads(ProcessorCount() / threadCount > 1 ? ProcessorCount() / threadCount : 1);
    std::vector<std::thread> threads;
    for (int index = 0; index < threadCount; index++)
        threads.emplace_back(work);
    bool anyFailed = false;
    for (size_t index = 0; index < files.size(); index++) {
        {
            std::unique_lock<std::mutex> guard(lock);
            finished.wait(guard, [&] { return done[index]; });
        }
        FindRun& job = jobs[index];
        if (!run->output.failed) {
            if (run->headerDue && !job.output.text.empty()) {
                int first = run->nameFiles ? 0 : 1;
                AppendHeaderLine(&run->output.text, run->settings->format, MatchColumns + first, 6 - first);
                run->headerDue = false;
            }
            run->output.text += job.output.text;
            FlushStandardOutput(&run->output);
            std::fputs(job.messages.c_str(), stderr);
        }
        if (job.anyMatch) run->anyMatch = true;
        if (failed[index]) anyFailed = true;
        job = FindRun(); // its lines are out: their memory goes
    }
    for (std::thread& thread : threads)
        thread.join();
    return anyFailed;
}

int main(int argumentCount, char** arguments) {
    CommandLine commandLine;
    int code = ParseCommandLine(FindProgram, argumentCount, arguments, &commandLine);
    if (code >= 0) return code;
    FindSettings settings;
    if ((code = TakeOptions(commandLine, &settings)) >= 0) return code;
    FindRun run;
    run.settings = &settings;
    if ((code = MakeQuery(settings, &run.query, run.foldedTexts)) >= 0) return code;
    run.nameFiles = settings.withFilename == 1 || (settings.withFilename < 0 && settings.files.size() > 1);
    run.output.text.reserve(StandardOutputPiece + 4096);
    if (settings.header && !settings.quiet) {
        int first = run.nameFiles ? 0 : 1;
        // Matches get their header with the first of them, so a search that finds nothing prints nothing.
        if (settings.count)
            AppendHeaderLine(&run.output.text, settings.format, CountColumns + first, 2 - first);
        else
            run.headerDue = true;
    }
    bool failed = false;
    // --quiet ends at the first match, in the order given: its files are searched one by one.
    int threads = ProcessorCount() < int(settings.files.size()) ? ProcessorCount() : int(settings.files.size());
    if (threads > 1 && !settings.quiet) {
        failed = FindInFilesAtOnce(&run, threads);
    } else {
        for (const std::string& path : settings.files) {
            if (FindInFile(&run, path) != 0) failed = true;
            if (run.output.failed) break;
            if (settings.quiet && run.anyMatch) return ExitSuccess;
        }
    }
    if (FlushStandardOutput(&run.output) != 0)
        return ReportFailure(FindProgram,
                             std::string("standard output: ") + std::strerror(run.output.errorNumber));
    if (failed) return ExitError;
    return run.anyMatch ? ExitSuccess : ExitNoMatch;
}
