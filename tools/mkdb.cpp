// dialdex-mkdb: builds database files from CSV, writes them back as CSV, and makes demo directories.
//
//   dialdex-mkdb build IN.csv OUT.zdb|OUT.db [--title T] [--phone-digits N] [--codepage CP]
//   dialdex-mkdb dump FILE [--codepage CP]
//   dialdex-mkdb demo N OUT [--seed S] [--title T] [--phone-digits N] [--codepage CP]
//
// CSV is UTF-8 with the columns phone,name,street,house,flat and an optional header line; the database
// holds the texts in the device code page (1251 unless --codepage says otherwise). "dump" writes the header
// line, one line per record with the phone number undecorated, LF line ends and quotes only where a field
// needs them, so a CSV in that form comes back byte for byte. Exit codes: 0 done, 1 bad input or a file
// that cannot be read or written (nothing is left under the output name), 2 wrong usage.
#include "db/database_file.h"
#include "db/database_reader.h"
#include "platform/text.h"
#include "search/scan.h"
#include "tools/csv.h"
#include "tools/database_input.h"
#include "tools/database_output.h"
#include "tools/demo_directory.h"
#include "tools/tool_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

static const char* const FieldNames[5] = {"phone", "name", "street", "house", "flat"};

struct Options {
    std::vector<std::string> positional;
    std::string title;
    bool titleGiven = false;
    int phoneDigits = 7;
    int codePage = 1251;
    uint64_t seed = 1;
};

static int Usage() {
    std::fputs(
        "usage: dialdex-mkdb build IN.csv OUT.zdb|OUT.db [--title T] [--phone-digits N] [--codepage CP]\n"
        "       dialdex-mkdb dump FILE [--codepage CP]\n"
        "       dialdex-mkdb demo N OUT [--seed S] [--title T] [--phone-digits N] [--codepage CP]\n",
        stderr);
    return 2;
}

static int Fail(const std::string& message) {
    std::fprintf(stderr, "dialdex-mkdb: %s\n", message.c_str());
    return 1;
}

// A whole decimal number within the limits. Returns false for anything else.
static bool ParseNumber(const std::string& text, long long minimum, long long maximum, long long* value) {
    if (text.empty() || text.size() > 19) return false;
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) return false;
    long long result = 0;
    for (size_t index = start; index < text.size(); index++) {
        if (text[index] < '0' || text[index] > '9') return false;
        result = result * 10 + (text[index] - '0');
    }
    if (start == 1) result = -result;
    if (result < minimum || result > maximum) return false;
    *value = result;
    return true;
}

// Returns 0, or the exit code after a message.
static int ParseOptions(int argumentCount, char** arguments, Options* options) {
    for (int index = 2; index < argumentCount; index++) {
        std::string argument = arguments[index];
        bool hasValue = index + 1 < argumentCount;
        long long value = 0;
        if (argument == "--title" && hasValue) {
            options->title = arguments[++index];
            options->titleGiven = true;
        } else if (argument == "--phone-digits" && hasValue) {
            if (!ParseNumber(arguments[++index], 0, 127, &value))
                return Fail(std::string("--phone-digits: ") + arguments[index] +
                            " is not a number from 0 to 127");
            options->phoneDigits = int(value);
        } else if (argument == "--codepage" && hasValue) {
            if (!ParseNumber(arguments[++index], 1, 65535, &value) || SetDeviceCodePage(int(value)) != 0)
                return Fail(std::string("--codepage: ") + arguments[index] +
                            " is not a single-byte code page");
            options->codePage = int(value);
        } else if (argument == "--seed" && hasValue) {
            if (!ParseNumber(arguments[++index], 0, 999999999999999999LL, &value))
                return Fail(std::string("--seed: ") + arguments[index] + " is not a number");
            options->seed = uint64_t(value);
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
            return Usage();
        } else {
            options->positional.push_back(argument);
        }
    }
    if (options->codePage == 1251 && SetDeviceCodePage(1251) != 0)
        return Fail("code page 1251 is not available");
    return 0;
}

// The title in the device code page: the one given (at most 22 bytes, or an error), or else the output
// file's name without its extension, cut to fit.
static int MakeTitle(const Options& options, const std::string& outputPath, std::string* title) {
    std::string problem;
    if (options.titleGiven) {
        if (StrictUtf8ToDevice(options.title, title, &problem) != 0)
            return Fail("--title: \"" + options.title + "\" " + problem);
        if (title->size() > size_t(DatabaseTitleMaximumLength))
            return Fail("--title: \"" + options.title + "\" takes " + std::to_string(title->size()) +
                        " bytes; a title holds at most 22");
        return 0;
    }
    std::u16string stem = WideFromUtf8(std::filesystem::path(outputPath).stem().string());
    char device[DatabaseTitleCapacity];
    int length = WideToDevice(stem.c_str(), int(stem.size()), device, sizeof device);
    title->assign(device, size_t(length));
    return 0;
}

// One CSV record made ready for the database.
struct ConvertedRecord {
    uint32_t phone = 0;
    std::string texts[4];
};

static bool IsHeaderLine(const std::vector<std::string>& fields) {
    if (fields.empty() || fields[0].size() != 5) return false;
    for (size_t index = 0; index < 5; index++)
        if ((fields[0][index] | 0x20) != FieldNames[0][index]) return false;
    return true;
}

// Returns 0, or -1 with the error message (naming the line and field).
static int ConvertRecord(const std::string& inputPath, long line, const std::vector<std::string>& fields,
                         ConvertedRecord* record, std::string* error) {
    std::string where = inputPath + ", line " + std::to_string(line);
    if (fields.size() != 5) {
        *error = where + ": " + std::to_string(fields.size()) +
                 " fields; a record has 5: phone,name,street,house,flat";
        return -1;
    }
    long long phone = 0;
    if (fields[0].size() > 12 || !ParseNumber(fields[0], 0, 16777215, &phone) || fields[0][0] == '-') {
        *error = where + ", phone: \"" + fields[0] + "\" is not a number from 0 to 16777215";
        return -1;
    }
    record->phone = uint32_t(phone);
    for (int index = 0; index < 4; index++) {
        std::string problem;
        if (StrictUtf8ToDevice(fields[size_t(index) + 1], &record->texts[index], &problem) != 0) {
            *error =
                where + ", " + FieldNames[index + 1] + ": \"" + fields[size_t(index) + 1] + "\" " + problem;
            return -1;
        }
    }
    int blockLength = RecordBlockLength(record->texts[0].size(), record->texts[1].size(),
                                        record->texts[2].size(), record->texts[3].size());
    if (blockLength > MaximumBlockLength) {
        *error = where + ": the record needs a block of " + std::to_string(blockLength) +
                 " bytes, over the 254 a block holds (8 plus the lengths of name, street, house and flat)";
        return -1;
    }
    return 0;
}

// Reads the CSV once. With output null it only checks every record and counts them; otherwise it writes
// them. Returns 0, or the exit code after a message.
static int ReadCsv(const std::string& inputPath, DatabaseOutput* output, int* count) {
    CsvReader reader;
    if (OpenCsvFile(&reader, inputPath.c_str()) != 0) return Fail(inputPath + ": cannot be opened");
    std::vector<std::string> fields;
    long line = 0;
    std::string error;
    ConvertedRecord record;
    bool first = true;
    int code;
    *count = 0;
    while ((code = ReadCsvRecord(&reader, &fields, &line, &error)) == 1) {
        bool header = first && IsHeaderLine(fields);
        first = false;
        if (header || (fields.size() == 1 && fields[0].empty())) continue;
        if (ConvertRecord(inputPath, line, fields, &record, &error) != 0) {
            CloseCsv(&reader);
            return Fail(error);
        }
        if (*count == 2147483647) {
            CloseCsv(&reader);
            return Fail(inputPath + ": more records than a database can count");
        }
        ++*count;
        if (output != nullptr)
            WriteDatabaseRecord(output, record.phone, record.texts[0].c_str(), record.texts[1].c_str(),
                                record.texts[2].c_str(), record.texts[3].c_str());
    }
    CloseCsv(&reader);
    if (code == -1) return Fail(inputPath + ": " + error);
    if (code == -2) return Fail(inputPath + ": read error");
    return 0;
}

// Follows OUT to where the database will go. Returns 0, or the exit code after a message.
static int ResolveOutput(const std::string& outputPath, OutputTarget* target) {
    std::string problem;
    if (ResolveDatabaseOutput(outputPath, target, &problem) != 0) return Fail(outputPath + ": " + problem);
    return 0;
}

// Writes the header and then the records through write. Returns 0, or the exit code after a message.
template <typename WriteRecords>
static int WriteOutput(const OutputTarget& target, int32_t count, int phoneDigits, const std::string& title,
                       WriteRecords writeRecords) {
    DatabaseOutput output;
    if (OpenDatabaseOutput(&output, target) != 0)
        return Fail(target.path + ": cannot be created: " + DatabaseOutputProblem(&output));
    WriteDatabaseHeader(&output, count, phoneDigits, title.c_str());
    if (int code = writeRecords(&output)) {
        AbandonDatabaseOutput(&output);
        return code;
    }
    if (FinishDatabaseOutput(&output) != 0)
        return Fail(target.path + ": cannot be written: " + DatabaseOutputProblem(&output));
    return 0;
}

// True when the build would write over its own input.
static bool OutputIsInput(const OutputTarget& target, const std::string& inputPath) {
    int input = open(inputPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (input < 0) return false;
    bool same = OutputIsOpenFile(target, input);
    close(input);
    return same;
}

static int Build(const Options& options) {
    if (options.positional.size() != 2) return Usage();
    const std::string& inputPath = options.positional[0];
    const std::string& outputPath = options.positional[1];
    OutputTarget target;
    if (int code = ResolveOutput(outputPath, &target)) return code;
    if (OutputIsInput(target, inputPath))
        return Fail(outputPath + ": is the input file itself; the database must go to another file");
    std::string title;
    if (int code = MakeTitle(options, outputPath, &title)) return code;
    // The first reading checks every record, so that a bad one stops the build before anything is written.
    int count = 0;
    if (int code = ReadCsv(inputPath, nullptr, &count)) return code;
    int code = WriteOutput(target, count, options.phoneDigits, title, [&](DatabaseOutput* output) {
        int written = 0;
        if (int readCode = ReadCsv(inputPath, output, &written)) return readCode;
        if (written != count) return Fail(inputPath + ": changed while it was read");
        return 0;
    });
    if (code != 0) return code;
    std::fprintf(stderr, "%s: %d records\n", outputPath.c_str(), count);
    return 0;
}

struct DumpOutput {
    std::string text;
};

static void FlushDump(DumpOutput* dump) {
    std::fwrite(dump->text.data(), 1, dump->text.size(), stdout);
    dump->text.clear();
}

static int DumpRecord(void* context, const DatabaseRecord* record, const ScanCounts*) {
    DumpOutput* dump = static_cast<DumpOutput*>(context);
    char decimal[DecimalTextSize];
    DecimalText(record->phone, decimal);
    dump->text.append(decimal);
    std::string field;
    for (const char* text : {record->name, record->street, record->house, record->flat}) {
        field.clear();
        AppendDeviceTextAsUtf8(&field, text);
        dump->text.push_back(',');
        AppendCsvField(&dump->text, field);
    }
    dump->text.push_back('\n');
    if (dump->text.size() >= (1 << 20)) FlushDump(dump);
    return 0;
}

static int Dump(const Options& options) {
    if (options.positional.size() != 1) return Usage();
    const std::string& path = options.positional[0];
    unsigned char header[DatabaseHeaderSize];
    DatabaseReader reader;
    std::string problem;
    if (OpenToolDatabase(path, &reader, header, &problem) != 0) return Fail(path + ": " + problem);
    DumpOutput dump;
    dump.text = "phone,name,street,house,flat\n";
    Query everything;
    ScanCallbacks callbacks;
    callbacks.context = &dump;
    callbacks.onMatch = DumpRecord;
    ScanCounts counts;
    int code = ScanDatabase(&reader, &everything, &callbacks, &counts);
    CloseDatabaseReader(&reader);
    FlushDump(&dump);
    if (std::fflush(stdout) != 0) return Fail("standard output cannot be written");
    if (code != 0)
        return Fail(path + ": the records end early, after " + std::to_string(counts.scanned) +
                    " (the file is damaged or cut short)");
    return 0;
}

static int Demo(const Options& options) {
    if (options.positional.size() != 2) return Usage();
    long long count = 0;
    if (!ParseNumber(options.positional[0], 0, DemoMaximumSubscribers, &count))
        return Fail(options.positional[0] + " is not a number of subscribers from 0 to 10000000");
    const std::string& outputPath = options.positional[1];
    OutputTarget target;
    if (int code = ResolveOutput(outputPath, &target)) return code;
    Options titled = options;
    if (!titled.titleGiven) {
        titled.title = "DEMO";
        titled.titleGiven = true;
    }
    std::string title;
    if (int code = MakeTitle(titled, outputPath, &title)) return code;
    DemoDirectory directory;
    int prepared = PrepareDemoDirectory(&directory, options.seed, int(count));
    if (prepared != 0)
        return Fail("code page " + std::to_string(options.codePage) +
                    " cannot write the demo directory's names");
    int code = WriteOutput(target, int32_t(count), options.phoneDigits, title, [&](DatabaseOutput* output) {
        DemoSubscriber subscriber;
        for (int index = 0; index < int(count); index++) {
            MakeDemoSubscriber(&directory, index, &subscriber);
            WriteDatabaseRecord(output, subscriber.phone, subscriber.name, subscriber.street,
                                subscriber.house, subscriber.flat);
        }
        return 0;
    });
    if (code != 0) return code;
    std::fprintf(stderr, "%s: %lld records\n", outputPath.c_str(), count);
    return 0;
}

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) return Usage();
    Options options;
    if (int code = ParseOptions(argumentCount, arguments, &options)) return code;
    std::string command = arguments[1];
    if (command == "build") return Build(options);
    if (command == "dump") return Dump(options);
    if (command == "demo") return Demo(options);
    return Usage();
}
