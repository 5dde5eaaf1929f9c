// dialdex-mkdb: builds database files from CSV, writes them back as CSV (or tsv, json, plain), and makes
// demo directories.
//
//   dialdex-mkdb build [OPTIONS] IN OUT   IN: a CSV, gzip-compressed or plain, or - (standard input)
//   dialdex-mkdb dump [OPTIONS] FILE      FILE: a database, or -
//   dialdex-mkdb demo [OPTIONS] N OUT
//
// The database holds the texts in the device code page (1251 unless --codepage says otherwise). "dump"
// writes the header line, one line per record with the phone number undecorated, CR LF line ends and
// quotes only where a field needs them, so a CSV in that form comes back byte for byte; "dump --meta" begins
// with the title and the phone digits, which build takes, so that the same database comes back. OUT is
// written as database_output.h says (never over IN). Exit codes: 0 done, 2 an error (nothing is left under OUT).
#include "db/database_file.h"
#include "db/database_reader.h"
#include "platform/command_line.h"
#include "platform/text.h"
#include "search/scan.h"
#include "tools/csv_import.h"
#include "tools/database_info.h"
#include "tools/database_input.h"
#include "tools/database_meta.h"
#include "tools/database_output.h"
#include "tools/demo_directory.h"
#include "tools/progress_line.h"
#include "tools/record_format.h"
#include "tools/tool_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

enum MkdbCommand { BuildCommand, DumpCommand, DemoCommand, InfoCommand, MkdbCommandCount };
constexpr unsigned ForBuild = 1u << BuildCommand;
constexpr unsigned ForDump = 1u << DumpCommand;
constexpr unsigned ForDemo = 1u << DemoCommand;
constexpr unsigned ForInfo = 1u << InfoCommand;

enum MkdbRow {
    TitleRow,
    PhoneDigitsRow,
    CodePageRow,
    SeedRow,
    DelimiterRow,
    InputEncodingRow,
    HeaderRow,
    NoHeaderRow,
    KeepCaseRow,
    SkipBadRow,
    FormatRow,
    MembersRow,
    MetaRow,
    MkdbRowCount
};

// clang-format off
static constexpr OptionRow MkdbRows[] = {
    {"title",          't', true,  "TEXT",   "build, demo: the database's title, at most 22 bytes (default: OUT's name; DEMO)"},
    {"phone-digits",   0,   true,  "N",      "build, demo: the digits phone numbers are padded to when shown, 1 to 8 (default 7)"},
    {"codepage",       0,   true,  "N",      "the database's 8-bit code page (default 1251)"},
    {"seed",           0,   true,  "N",      "demo: the seed of the directory (default 1); the same seed, the same file"},
    {"delimiter",      'd', true,  "C",      "build: the field delimiter (default \",\", or what the header line uses; \\t a tab)"},
    {"input-encoding", 'e', true,  "NAME",   "build: the CSV's encoding: utf-8 (default), cp1251, koi8-r or any iconv knows"},
    {"header",         0,   false, nullptr,  "build: the first line names the columns; dump: write that line (default)"},
    {"no-header",      0,   false, nullptr,  "build: the first line is a record; dump: leave the header line out"},
    {"keep-case",      0,   false, nullptr,  "build: keep the letters' case (default: upper case, as the window searches)"},
    {"skip-bad",       0,   false, nullptr,  "build: leave out records that cannot be stored and count them"},
    {"format",         0,   true,  "FORMAT", "dump: csv (default), tsv, json or plain; info: plain (default) or json"},
    {"members",        0,   true,  "on|off", "build, demo: a .zdb as gzip members of about 1 MiB for reading on every core (on, default) or one member (off)"},
    {"meta",           0,   false, nullptr,  "dump: begin with a line of the title and phone digits, which build takes"},
};
static constexpr unsigned RowCommands[] = {
    ForBuild | ForDemo, ForBuild | ForDemo, ForBuild | ForDump | ForDemo, ForDemo, ForBuild, ForBuild,
    ForBuild | ForDump, ForBuild | ForDump, ForBuild, ForBuild, ForDump | ForInfo, ForBuild | ForDemo, ForDump,
};
// clang-format on
static_assert(sizeof MkdbRows / sizeof MkdbRows[0] == MkdbRowCount);
static_assert(sizeof RowCommands / sizeof RowCommands[0] == MkdbRowCount);

static constexpr ProgramDescription MkdbProgram = {
    "dialdex-mkdb",
    "dialdex-mkdb build [OPTIONS] IN OUT\ndialdex-mkdb dump [OPTIONS] FILE\ndialdex-mkdb demo [OPTIONS] N "
    "OUT\ndialdex-mkdb info [OPTIONS] FILE...",
    "build: makes a directory database from a CSV of phone,name,street,house,flat (IN may be - for\n"
    "standard input, or gzip-compressed; OUT ending in .zdb is compressed, - is standard output).\n"
    "dump: writes a database's records as CSV (or another format). demo: makes a synthetic directory of N\n"
    "subscribers. info: reads databases whole and tells their header, storage, records and soundness.",
    MkdbRows,
    MkdbRowCount,
    "Exit status: 0 when done, 2 after an error (OUT is then left as it was); info: 0 when every FILE is\n"
    "whole, 2 when one is damaged, cut or no database.",
};

// What the options asked for.
struct MkdbSettings {
    MkdbCommand command = BuildCommand;
    std::vector<std::string> operands; // after the command's name
    std::string title;
    bool titleGiven = false;
    int phoneDigits = 7;
    bool phoneDigitsGiven = false;
    int codePage = 1251;
    uint64_t seed = 1;
    ImportSettings import;
    bool dumpHeader = true;
    bool dumpMeta = false;
    OutputFormat format = CsvFormat;
    bool singleMember = false; // --members off
    bool formatGiven = false;
};

static int Fail(const std::string& message) {
    return ReportFailure(MkdbProgram, message);
}

static const char* const CommandNames[MkdbCommandCount] = {"build", "dump", "demo", "info"};
// The operands each command takes; -1: one or more.
static const int CommandOperands[MkdbCommandCount] = {2, 1, 2, -1};
static const char* const CommandOperandNames[MkdbCommandCount] = {"IN and OUT", "FILE", "N and OUT",
                                                                  "one FILE or more"};

// Checks one option's value and keeps it. Returns "" when it is good, else the reason it is not.
static std::string TakeMkdbOption(const ParsedOption& option, MkdbSettings* settings) {
    const std::string& value = option.value;
    long long number = 0;
    switch (MkdbRow(option.row)) {
    case TitleRow:
        settings->title = value;
        settings->titleGiven = true;
        return "";
    case PhoneDigitsRow:
        // A stored number has at most 8 digits; padding past them, or none at all, is no format a
        // reader shows as the number.
        if (ParseWholeNumber(value, 1, 8, &number) != 0) return "'" + value + "' is not a number from 1 to 8";
        settings->phoneDigits = int(number);
        settings->phoneDigitsGiven = true;
        return "";
    case CodePageRow:
        if (ParseWholeNumber(value, 1, 65535, &number) != 0 || SetDeviceCodePage(int(number)) != 0)
            return "'" + value + "' is not a single-byte code page this system can convert";
        settings->codePage = int(number);
        return "";
    case SeedRow:
        if (ParseWholeNumber(value, 0, 999999999999999999LL, &number) != 0)
            return "'" + value + "' is not a number";
        settings->seed = uint64_t(number);
        return "";
    case DelimiterRow:
        if (value == "\\t" || value == "\t" || value == "tab") {
            settings->import.delimiter = '\t';
            return "";
        }
        if (value.size() != 1 || (unsigned char)value[0] >= 0x80 || value[0] == '"' || value[0] == '\r' ||
            value[0] == '\n')
            return "'" + value + "' is not one ASCII character other than a quote or a line break";
        settings->import.delimiter = value[0];
        return "";
    case InputEncodingRow:
        settings->import.inputEncoding = value;
        return "";
    case HeaderRow:
        settings->import.header = HeaderLine;
        settings->dumpHeader = true;
        return "";
    case NoHeaderRow:
        settings->import.header = NoHeaderLine;
        settings->dumpHeader = false;
        return "";
    case KeepCaseRow:
        settings->import.keepCase = true;
        return "";
    case SkipBadRow:
        settings->import.skipBad = true;
        return "";
    case FormatRow:
        if (FindOutputFormat(value, &settings->format) != 0)
            return "'" + value + "' is none of " + OutputFormatNames();
        settings->formatGiven = true;
        return "";
    case MembersRow:
        if (value != "on" && value != "off") return "'" + value + "' is neither on nor off";
        settings->singleMember = value == "off";
        return "";
    case MetaRow:
        settings->dumpMeta = true;
        return "";
    case MkdbRowCount:
        break;
    }
    return "unknown option";
}

// Returns -1 to go on, or the exit code after a message.
static int TakeCommandLine(const CommandLine& commandLine, MkdbSettings* settings) {
    if (commandLine.operands.empty())
        return RefuseCommandLine(MkdbProgram, "no command given: build, dump, demo or info");
    const std::string& name = commandLine.operands[0];
    int command = 0;
    while (command < MkdbCommandCount && name != CommandNames[command])
        command++;
    if (command == MkdbCommandCount)
        return RefuseCommandLine(MkdbProgram, "'" + name + "' is no command: build, dump, demo or info");
    settings->command = MkdbCommand(command);
    settings->operands.assign(commandLine.operands.begin() + 1, commandLine.operands.end());
    bool operandsFit = CommandOperands[command] < 0 ? !settings->operands.empty()
                                                    : int(settings->operands.size()) == CommandOperands[command];
    if (!operandsFit)
        return RefuseCommandLine(MkdbProgram, std::string(CommandNames[command]) + " takes " +
                                                  CommandOperandNames[command] + "; " +
                                                  CountOf(settings->operands.size(), "operand") + " given");
    for (const ParsedOption& option : commandLine.options) {
        if ((RowCommands[option.row] & (1u << command)) == 0)
            return RefuseCommandLine(MkdbProgram, OptionName(MkdbProgram, option.row) + " is not for " +
                                                      CommandNames[command]);
        std::string problem = TakeMkdbOption(option, settings);
        if (!problem.empty())
            return RefuseCommandLine(MkdbProgram, OptionName(MkdbProgram, option.row) + ": " + problem);
    }
    if (SetDeviceCodePage(settings->codePage) != 0)
        return RefuseCommandLine(MkdbProgram,
                                 "code page " + std::to_string(settings->codePage) + " is not available");
    return -1;
}

// A file as messages name it.
static std::string DisplayName(const std::string& path, const char* standardName) {
    return path == "-" ? std::string(standardName) : path;
}

// The title in the device code page: the one given (at most 22 bytes, or an error), or else the name
// without its extensions, cut to fit. Returns -1 to go on, or the exit code after a message.
static int MakeTitle(const MkdbSettings& settings, const std::string& name, std::string* title) {
    std::string problem;
    if (settings.titleGiven) {
        if (StrictUtf8ToDevice(settings.title, title, &problem) != 0)
            return RefuseCommandLine(MkdbProgram, "--title: \"" + QuotableText(settings.title) + "\" " + problem);
        if (title->size() > size_t(DatabaseTitleMaximumLength))
            return RefuseCommandLine(MkdbProgram, "--title: \"" + QuotableText(settings.title) + "\" takes " +
                                                      std::to_string(title->size()) +
                                                      " bytes; a title holds at most 22");
        return -1;
    }
    std::filesystem::path stem = std::filesystem::path(name).stem();
    if (stem.has_extension()) stem = stem.stem(); // "city.csv.gz"
    std::u16string wide = WideFromUtf8(stem.string());
    char device[DatabaseTitleCapacity];
    int length = WideToDevice(wide.c_str(), int(wide.size()), device, sizeof device);
    title->assign(device, size_t(length));
    return -1;
}

// Follows OUT to where the database will go. Returns -1 to go on, or the exit code after a message.
static int ResolveOutput(const std::string& outputPath, bool singleMember, OutputTarget* target) {
    std::string problem;
    if (ResolveDatabaseOutput(outputPath, target, &problem) != 0) return Fail(outputPath + ": " + problem);
    target->singleMember = singleMember;
    return -1;
}

// Writes the header and then the records through writeRecords (which returns -1 or an exit code). Returns
// -1 when done, or the exit code after a message.
template <typename WriteRecords>
static int WriteOutput(const OutputTarget& target, int32_t count, int phoneDigits, const std::string& title,
                       WriteRecords writeRecords) {
    std::string name = DisplayName(target.path, "(standard output)");
    DatabaseOutput output;
    if (OpenDatabaseOutput(&output, target) != 0)
        return Fail(name + ": cannot be created: " + DatabaseOutputProblem(&output));
    WriteDatabaseHeader(&output, count, phoneDigits, title.c_str());
    int code = writeRecords(&output);
    if (code >= 0) {
        AbandonDatabaseOutput(&output);
        return code;
    }
    if (FinishDatabaseOutput(&output) != 0)
        return Fail(name + ": cannot be written: " + DatabaseOutputProblem(&output));
    return -1;
}

// Opens IN (standard input for "-"). Returns the descriptor and its size (0 when it has none), or -1
// after a message.
static int OpenInput(const std::string& path, long long* size) {
    int descriptor =
        path == "-" ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        Fail(DisplayName(path, "(standard input)") + ": " + std::strerror(errno));
        if (descriptor >= 0) close(descriptor);
        return -1;
    }
    if (S_ISDIR(status.st_mode)) {
        Fail(path + ": is a folder");
        close(descriptor);
        return -1;
    }
    *size = S_ISREG(status.st_mode) ? (long long)status.st_size : 0;
    return descriptor;
}

// Copies the encoded records from the spool into the output, with a progress line for a long copy.
// Returns -1 when done, or the exit code after a message.
static int CopySpool(std::FILE* spool, DatabaseOutput* output, const std::string& outputName,
                     ProgressLine* progress) {
    std::rewind(spool);
    std::fseek(spool, 0, SEEK_END);
    long long total = std::ftell(spool);
    std::rewind(spool);
    std::vector<unsigned char> piece(1 << 20);
    long long copied = 0;
    size_t got;
    while ((got = std::fread(piece.data(), 1, piece.size(), spool)) > 0) {
        WriteDatabaseBytes(output, piece.data(), got);
        copied += (long long)got;
        if (ProgressDue(progress) && total > 0)
            ShowProgress(progress, "dialdex-mkdb: writing " + outputName + ": " +
                                       std::to_string(copied * 100 / total) + "%");
    }
    if (std::ferror(spool))
        return Fail(std::string("the records kept in a temporary file cannot be read: ") +
                    std::strerror(errno));
    return -1;
}

static int Build(MkdbSettings* settings) {
    const std::string& inputPath = settings->operands[0];
    const std::string& outputPath = settings->operands[1];
    std::string outputName = DisplayName(outputPath, "(standard output)");
    OutputTarget target;
    if (int code = ResolveOutput(outputPath, settings->singleMember, &target); code >= 0) return code;
    std::string title;
    const std::string& titleSource = outputPath != "-"  ? outputPath
                                     : inputPath != "-" ? inputPath
                                                        : "DIRECTORY";
    if (int code = MakeTitle(*settings, titleSource, &title); code >= 0) return code;
    long long inputSize = 0;
    int input = OpenInput(inputPath, &inputSize);
    if (input < 0) return ExitError;
    if (OutputIsOpenFile(target, input)) {
        close(input);
        return Fail(outputPath + ": is the input file itself; the database must go to another file");
    }
    // The header's record count comes first, so the records wait in a temporary file until all are read;
    // a bad record stops the build before OUT is touched.
    std::FILE* spool = std::tmpfile();
    if (spool == nullptr) {
        close(input);
        return Fail(std::string("no temporary file for the records: ") + std::strerror(errno));
    }
    settings->import.inputName = DisplayName(inputPath, "(standard input)");
    settings->import.progressName = settings->import.inputName;
    ImportCounts counts;
    std::string error;
    ProgressLine progress;
    StartProgress(&progress);
    if (ImportCsv(settings->import, input, inputSize, spool, &progress, &counts, &error) != 0) {
        EndProgress(&progress);
        std::fclose(spool);
        return Fail(error);
    }
    // A dump's meta line gives what the options did not.
    if (counts.metaLine && counts.meta.hasTitle && !settings->titleGiven) title = counts.metaTitle;
    if (counts.metaLine && counts.meta.hasDigits && !settings->phoneDigitsGiven)
        settings->phoneDigits = counts.meta.phoneDigits;
    // Every record skipped: an empty database in OUT's place would be taken for a directory of nobody.
    bool nothingGood = counts.records == 0 && counts.skipped > 0;
    int code = nothingGood ? -1 : WriteOutput(target, counts.records, settings->phoneDigits, title,
                                              [&](DatabaseOutput* output) {
                                                  return CopySpool(spool, output, outputName, &progress);
                                              });
    EndProgress(&progress);
    std::fclose(spool);
    if (code >= 0) return code;
    for (const std::string& warning : counts.warnings)
        std::fprintf(stderr, "dialdex-mkdb: %s: skipped\n", warning.c_str());
    if (counts.skipped > int(counts.warnings.size()))
        std::fprintf(stderr, "dialdex-mkdb: and %s more records skipped\n",
                     GroupedNumber(counts.skipped - int(counts.warnings.size())).c_str());
    if (nothingGood)
        return Fail(settings->import.inputName + ": no good record (" + CountOf(counts.skipped, "record") +
                    " skipped); " + outputName + " is left as it was");
    std::string summary = outputName + ": " + CountOf(counts.records, "record") + ", " +
                          CountOf(counts.fieldsUpperCased, "field") + " upper-cased";
    if (settings->import.skipBad) summary += ", " + CountOf(counts.skipped, "bad record") + " skipped";
    if (counts.emptyRows > 0) summary += ", " + CountOf(counts.emptyRows, "empty row") + " skipped";
    std::fprintf(stderr, "%s\n", summary.c_str());
    return ExitSuccess;
}

// The dump's output and its reusable fields.
struct DumpRun {
    OutputFormat format = CsvFormat;
    StandardOutput output;
    std::string fields[5];
};

static const char* const DumpColumns[5] = {"phone", "name", "street", "house", "flat"};

static int DumpRecord(void* context, const DatabaseRecord* record, const ScanCounts*) {
    DumpRun* dump = static_cast<DumpRun*>(context);
    char decimal[DecimalTextSize];
    DecimalText(record->phone, decimal);
    dump->fields[0] = decimal;
    const char* texts[4] = {record->name, record->street, record->house, record->flat};
    std::string_view fields[5];
    fields[0] = dump->fields[0];
    for (int index = 0; index < 4; index++) {
        dump->fields[index + 1].clear();
        AppendDeviceTextAsUtf8(&dump->fields[index + 1], texts[index]);
        fields[index + 1] = dump->fields[index + 1];
    }
    AppendOutputLine(&dump->output.text, dump->format, DumpColumns, fields, 5);
    FlushStandardOutputWhenFull(&dump->output);
    return dump->output.failed ? 1 : 0; // nothing more can be written: the scan ends
}

static int Dump(const MkdbSettings& settings) {
    const std::string& path = settings.operands[0];
    std::string name = DisplayName(path, "(standard input)");
    unsigned char header[DatabaseHeaderSize];
    DatabaseReader reader;
    std::string problem;
    if (OpenToolDatabase(path, &reader, header, &problem) != 0) return Fail(name + ": " + problem);
    DumpRun dump;
    dump.format = settings.format;
    if (settings.dumpMeta) {
        char title[DatabaseTitleCapacity];
        HeaderTitle(header, title);
        std::string titleText;
        AppendDeviceTextAsUtf8(&titleText, title);
        dump.output.text = FormatMetaLine(titleText, HeaderPhoneDigits(header)) + OutputFormats[dump.format].lineEnd;
    }
    if (settings.dumpHeader) AppendHeaderLine(&dump.output.text, dump.format, DumpColumns, 5);
    Query everything;
    ScanCallbacks callbacks;
    callbacks.context = &dump;
    callbacks.onMatch = DumpRecord;
    ScanCounts counts;
    int code = ScanDatabase(&reader, &everything, &callbacks, &counts);
    if (FlushStandardOutput(&dump.output) != 0) {
        CloseDatabaseReader(&reader);
        return Fail(std::string("standard output: ") + std::strerror(dump.output.errorNumber));
    }
    std::string verdict;
    int end = code == 0 || code == 1 ? DatabaseReadVerdict(path, &reader, counts.scanned, &verdict)
                                     : DatabaseReadNotChecked;
    CloseDatabaseReader(&reader);
    if (!verdict.empty()) ReportFailure(MkdbProgram, verdict);
    return end == DatabaseReadSound || end == DatabaseReadNotChecked ? ExitSuccess : ExitError;
}

// What info shows of a file, one row per field: its name in json and its label for people.
enum InfoField {
    InfoFile,
    InfoTitle,
    InfoRecordCount,
    InfoRecords,
    InfoPhoneDigits,
    InfoFormatMark,
    InfoStored,
    InfoMembers,
    InfoEndMark,
    InfoChecks,
    InfoTrailingBytes,
    InfoTrailingCompressed,
    InfoVerdict,
    InfoFieldCount
};
// clang-format off
static const char* const InfoNames[InfoFieldCount] = {
    "file", "title", "record_count", "records", "phone_digits", "format_mark", "stored", "members", "end_mark",
    "crc", "trailing_bytes", "trailing_compressed_bytes", "verdict",
};
static const char* const InfoLabels[InfoFieldCount] = {
    "file", "title", "record count", "records present", "phone digits", "format mark", "stored", "gzip members",
    "end mark", "CRC-32 and length", "bytes after the end mark", "bytes after the last member", "verdict",
};
// clang-format on
// Fields that are json numbers or booleans.
constexpr unsigned InfoNumericFields = 1u << InfoRecordCount | 1u << InfoRecords | 1u << InfoPhoneDigits |
                                       1u << InfoFormatMark | 1u << InfoMembers | 1u << InfoEndMark |
                                       1u << InfoTrailingBytes | 1u << InfoTrailingCompressed;

// The fields of one file, as text. A file that is no database has its name, the verdict and nothing else.
static void InfoFields(const DatabaseInfo& info, const std::string& name, std::string fields[InfoFieldCount]) {
    fields[InfoFile] = name;
    fields[InfoVerdict] = info.end == InfoNotDatabase ? info.problem : DatabaseInfoEndText(info.end);
    if (info.end == InfoDamaged && info.gzipDamage != GzipDamageNone)
        fields[InfoVerdict] = "damaged: " + Utf8FromWide(GzipDamageText(info.gzipDamage));

    if (info.end == InfoNotDatabase) return;
    char title[DatabaseTitleCapacity];
    HeaderTitle(info.header, title);
    AppendDeviceTextAsUtf8(&fields[InfoTitle], title);
    fields[InfoRecordCount] = std::to_string(HeaderRecordCount(info.header));
    fields[InfoRecords] = std::to_string(info.records);
    fields[InfoPhoneDigits] = std::to_string(HeaderPhoneDigits(info.header));
    fields[InfoFormatMark] = std::to_string(HeaderFormatMark(info.header));
    fields[InfoStored] = info.gzip ? "gzip" : "plain";
    fields[InfoMembers] = std::to_string(info.members);
    fields[InfoEndMark] = info.endMark ? "true" : "false";
    fields[InfoChecks] = !info.gzip                  ? "none (plain)"
                         : info.end == InfoWhole      ? "good"
                         : info.end == InfoDamaged    ? "wrong"
                                                      : "not all read";
    fields[InfoTrailingBytes] = std::to_string(info.trailingBytes);
    fields[InfoTrailingCompressed] = std::to_string(info.trailingCompressed);
}

// Writes a file's fields: a block of labelled lines, or one json object.
static void AppendInfo(std::string* output, OutputFormat format, const std::string fields[InfoFieldCount],
                       bool database) {
    if (format == JsonFormat) {
        std::string_view views[InfoFieldCount];
        const char* names[InfoFieldCount];
        unsigned numeric = 0;
        int count = 0;
        for (int field = 0; field < InfoFieldCount; field++) {
            if (!database && field != InfoFile && field != InfoVerdict) continue;
            names[count] = InfoNames[field];
            views[count] = fields[field];
            if (InfoNumericFields & (1u << field)) numeric |= 1u << count;
            count++;
        }
        AppendOutputLine(output, JsonFormat, names, views, count, numeric);
        return;
    }
    bool gzip = fields[InfoStored] == "gzip";
    for (int field = 0; field < InfoFieldCount; field++) {
        if (!database && field != InfoFile && field != InfoVerdict) continue;
        if (!gzip && (field == InfoMembers || field == InfoChecks || field == InfoTrailingCompressed)) continue;
        std::string value = fields[field];
        if (field == InfoEndMark) value = value == "true" ? "present" : "missing";
        if ((InfoNumericFields & (1u << field)) && field != InfoEndMark) value = GroupedNumber(std::stoll(value));
        char label[40];
        std::snprintf(label, sizeof label, "%-29s", (std::string(InfoLabels[field]) + ":").c_str());
        output->append(field == InfoFile ? "" : "  ").append(field == InfoFile ? "" : label).append(value);
        output->push_back('\n');
    }
}

static int Info(const MkdbSettings& settings) {
    OutputFormat format = settings.formatGiven ? settings.format : PlainFormat;
    if (format != PlainFormat && format != JsonFormat)
        return RefuseCommandLine(MkdbProgram, "--format: info writes plain or json");
    StandardOutput output;
    bool allWhole = true;
    std::vector<std::string> files = settings.operands;
    // A second read would find standard input used up and take it for a file that is no database.
    if (int repeated = DropRepeatedStandardInput(&files); repeated > 0)
        std::fprintf(stderr, "%s: - is named %d times; standard input is read once\n", MkdbProgram.name,
                     repeated + 1);
    for (const std::string& path : files) {
        DatabaseInfo info;

        int end = ExamineDatabase(path, &info);
        if (end != InfoWhole) allWhole = false;
        if (end == InfoCannotOpen) {
            FlushStandardOutput(&output);
            Fail(DisplayName(path, "(standard input)") + ": " + info.problem);
            continue;
        }
        std::string fields[InfoFieldCount];
        InfoFields(info, DisplayName(path, "(standard input)"), fields);
        AppendInfo(&output.text, format, fields, end != InfoNotDatabase);
        if (FlushStandardOutput(&output) != 0)
            return Fail(std::string("standard output: ") + std::strerror(output.errorNumber));
    }
    return allWhole ? ExitSuccess : ExitError;
}

static int Demo(const MkdbSettings& settings) {
    long long count = 0;
    if (ParseWholeNumber(settings.operands[0], 0, DemoMaximumSubscribers, &count) != 0)
        return RefuseCommandLine(MkdbProgram, "'" + settings.operands[0] +
                                                  "' is not a number of subscribers from 0 to 10000000");
    const std::string& outputPath = settings.operands[1];
    OutputTarget target;
    if (int code = ResolveOutput(outputPath, settings.singleMember, &target); code >= 0) return code;
    MkdbSettings titled = settings;
    if (!titled.titleGiven) {
        titled.title = "DEMO";
        titled.titleGiven = true;
    }
    std::string title;
    if (int code = MakeTitle(titled, outputPath, &title); code >= 0) return code;
    DemoDirectory directory;
    if (PrepareDemoDirectory(&directory, settings.seed, int(count)) != 0)
        return Fail("code page " + std::to_string(settings.codePage) +
                    " cannot write the demo directory's names");
    int code = WriteOutput(target, int32_t(count), settings.phoneDigits, title, [&](DatabaseOutput* output) {
        DemoSubscriber subscriber;
        for (int index = 0; index < int(count); index++) {
            MakeDemoSubscriber(&directory, index, &subscriber);
            WriteDatabaseRecord(output, subscriber.phone, subscriber.name, subscriber.street,
                                subscriber.house, subscriber.flat);
        }
        return -1;
    });
    if (code >= 0) return code;
    std::fprintf(stderr, "%s: %s\n", DisplayName(outputPath, "(standard output)").c_str(),
                 CountOf(count, "record").c_str());
    return ExitSuccess;
}

int main(int argumentCount, char** arguments) {
    CommandLine commandLine;
    int code = ParseCommandLine(MkdbProgram, argumentCount, arguments, &commandLine);
    if (code >= 0) return code;
    MkdbSettings settings;
    if ((code = TakeCommandLine(commandLine, &settings)) >= 0) return code;
    switch (settings.command) {
    case BuildCommand:
        return Build(&settings);
    case DumpCommand:
        return Dump(settings);
    case InfoCommand:
        return Info(settings);
    case DemoCommand:
    case MkdbCommandCount:
        break;
    }
    return Demo(settings);
}
