// dialdex-find: the command-line lookup over the scan core.
//
//   dialdex-find FILE [--phone P] [--name N] [--street S] [--house H] [--flat F] [--codepage CP]
//
// The criteria are UTF-8, upper-cased as the search page's edits turn typed letters, converted to the
// device code page and cut to the query's buffers. Each match is printed as phone;name;street;house;flat,
// the phone padded and the texts cut as a result row holds them, the texts in UTF-8; then
// "scanned N, results M" on standard error. Exit codes: 0 done, 1 a bad database file, 2 no criteria or
// wrong usage.
#include "db/database_file.h"
#include "db/database_reader.h"
#include "platform/text.h"
#include "search/scan.h"
#include "tools/database_input.h"
#include "tools/tool_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

static int Usage() {
    std::fputs("usage: dialdex-find FILE [--phone P] [--name N] [--street S] [--house H] [--flat F] "
               "[--codepage CP]\n",
               stderr);
    return 2;
}

// The criterion as the edit would hold it, in the device code page, cut to its buffer.
static std::string DeviceCriterion(const std::string& utf8, int capacity) {
    std::u16string wide = UpperCaseWide(WideFromUtf8(utf8));
    std::string device(size_t(capacity), '\0');
    int length = WideToDevice(wide.c_str(), int(wide.size()), device.data(), capacity);
    device.resize(size_t(length));
    return device;
}

struct Printer {
    int phoneDigits = 7;
    std::string text;
};

static void FlushPrinter(Printer* printer) {
    std::fwrite(printer->text.data(), 1, printer->text.size(), stdout);
    printer->text.clear();
}

static int PrintMatch(void* context, const DatabaseRecord* record, const ScanCounts*) {
    Printer* printer = static_cast<Printer*>(context);
    char16_t phone[PhoneTextCapacity];
    FormatPhoneText(record->phone, printer->phoneDigits, phone, PhoneTextCapacity);
    printer->text.append(Utf8FromWide(phone));
    const char* texts[4] = {record->name, record->street, record->house, record->flat};
    for (int index = 0; index < 4; index++) {
        printer->text.push_back(';');
        AppendDeviceTextAsUtf8(&printer->text, texts[index], ResultFieldCapacities[index + 1] - 1);
    }
    printer->text.push_back('\n');
    if (printer->text.size() >= (1 << 20)) FlushPrinter(printer);
    return 0;
}

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) return Usage();
    std::string path;
    std::string criteria[5]; // phone, name, street, house, flat
    static const char* const optionNames[5] = {"--phone", "--name", "--street", "--house", "--flat"};
    for (int index = 1; index < argumentCount; index++) {
        std::string argument = arguments[index];
        bool matched = false;
        for (int field = 0; field < 5 && !matched; field++) {
            if (argument == optionNames[field] && index + 1 < argumentCount) {
                criteria[field] = arguments[++index];
                matched = true;
            }
        }
        if (matched) continue;
        if (argument == "--codepage" && index + 1 < argumentCount) {
            if (SetDeviceCodePage(std::atoi(arguments[++index])) != 0) {
                std::fprintf(stderr, "dialdex-find: %s is not a single-byte code page\n", arguments[index]);
                return 2;
            }
        } else if (argument.starts_with("--") || !path.empty()) {
            return Usage();
        } else {
            path = argument;
        }
    }
    if (path.empty()) return Usage();

    Query query;
    SetQueryCriteria(&query, DeviceCriterion(criteria[0], PhoneCriterionSize).c_str(),
                     DeviceCriterion(criteria[1], NameCriterionSize).c_str(),
                     DeviceCriterion(criteria[2], StreetCriterionSize).c_str(),
                     DeviceCriterion(criteria[3], HouseCriterionSize).c_str(),
                     DeviceCriterion(criteria[4], FlatCriterionSize).c_str());
    if (QueryIsEmpty(&query)) {
        std::fputs("You must input some criteria(s)\n", stderr);
        return 2;
    }

    unsigned char header[DatabaseHeaderSize];
    DatabaseReader reader;
    std::string problem;
    if (OpenToolDatabase(path, &reader, header, &problem) != 0) {
        std::fprintf(stderr, "Bad db file  - %s: %s\n", path.c_str(), problem.c_str());
        return 1;
    }
    Printer printer;
    printer.phoneDigits = HeaderPhoneDigits(header);
    printer.text.reserve(1 << 20);
    ScanCallbacks callbacks;
    callbacks.context = &printer;
    callbacks.onMatch = PrintMatch;
    ScanCounts counts;
    ScanDatabase(&reader, &query, &callbacks, &counts);
    CloseDatabaseReader(&reader);
    FlushPrinter(&printer);
    std::fflush(stdout);
    std::fprintf(stderr, "scanned %d, results %d\n", counts.scanned, counts.results);
    return 0;
}
