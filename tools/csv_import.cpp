// CSV records converted for a database.
#include "tools/csv_import.h"

#include "db/database_reader.h"
#include "platform/text.h"
#include "tools/csv.h"
#include "tools/database_output.h"
#include "tools/input_encoding.h"
#include "tools/progress_line.h"
#include "tools/tool_support.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

static const char* const FieldNames[5] = {"phone", "name", "street", "house", "flat"};
constexpr uint32_t LargestPhone = 16777215;
// How often (in records) the progress line is looked at.
constexpr int ProgressStride = 4096;

// True when the text is the word in any letter case.
static bool IsWord(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t index = 0; index < text.size(); index++)
        if ((text[index] | 0x20) != word[index]) return false;
    return true;
}

// The delimiter a header line shows: what follows its first field "phone", bare or in quotes (as
// spreadsheets that quote every text cell write it); 0 when it is no header line.
static char HeaderDelimiter(std::string_view line) {
    size_t quote = !line.empty() && line[0] == '"' ? 1 : 0;
    size_t after = quote + 5 + quote;
    if (line.size() <= after || !IsWord(line.substr(quote, 5), "phone")) return 0;
    if (quote == 1 && line[after - 1] != '"') return 0;
    char next = line[after];
    return next == ',' || next == ';' || next == '\t' ? next : 0;
}

// True when every field of a row is empty: a blank line, or the ";;;;" rows spreadsheets leave below
// their data.
static bool AllFieldsEmpty(const std::vector<std::string>& fields) {
    for (const std::string& field : fields)
        if (!field.empty()) return false;
    return true;
}

// The phone number of a field. Returns "" or why it cannot be one.
static std::string TakePhone(const std::string& text, uint32_t* phone) {
    if (text.empty()) return "is empty; every record needs a phone number";
    for (char character : text)
        if (character < '0' || character > '9') return "is not a number";
    if (text.size() > 1 && text[0] == '0')
        return "has leading zeros, which a stored number cannot keep (write it without them)";
    if (text.size() > 8 || std::stoul(text) > LargestPhone)
        return "is above 16,777,215, the largest a record holds";
    *phone = uint32_t(std::stoul(text));
    return "";
}

// One record in the device code page, ready to encode.
struct ConvertedRecord {
    uint32_t phone = 0;
    std::string texts[4];
    int upperCased = 0; // texts whose letters changed case
};

// Converts a record. Returns "" or the error (naming the line and field).
static std::string ConvertRecord(const ImportSettings& settings, InputEncoding* encoding, long line,
                                 const std::vector<std::string>& fields, ConvertedRecord* record) {
    std::string where = settings.inputName + ", line " + std::to_string(line);
    if (fields.size() != 5) {
        std::string hint;
        if (fields.size() == 1 && settings.delimiter != ';' && fields[0].find(';') != std::string::npos)
            hint = " (are they separated by \";\"? --delimiter ';' says so)";
        return where + ": " + std::to_string(fields.size()) +
               " fields; a record has 5: phone, name, street, house, flat" + hint;
    }
    std::string problem = TakePhone(fields[0], &record->phone);
    if (!problem.empty()) return where + ": phone \"" + QuotableText(fields[0]) + "\" " + problem;
    record->upperCased = 0;
    std::u16string wide;
    for (int index = 0; index < 4; index++) {
        const std::string& field = fields[size_t(index) + 1];
        std::string named = where + ": " + FieldNames[index + 1] + " \"";
        if (DecodeInputField(encoding, field, &wide, &problem) != 0)
            return named + QuotableText(field) + "\" " + problem;
        std::string given = Utf8FromWide(wide);
        if (!settings.keepCase && UpperCaseForDevice(&wide)) record->upperCased++;
        if (StrictWideToDevice(wide, &record->texts[index], &problem) != 0)
            return named + QuotableText(given) + "\" " + problem;
    }
    int blockLength = RecordBlockLength(record->texts[0].size(), record->texts[1].size(),
                                        record->texts[2].size(), record->texts[3].size());
    if (blockLength > MaximumBlockLength)
        return where + ": the record needs a block of " + std::to_string(blockLength) +
               " bytes, over the 254 a block holds (8 plus the lengths of name, street, house and flat)";
    return "";
}

// Takes a dump's meta line. Returns "" or the error.
static std::string TakeMetaLine(const ImportSettings& settings, InputEncoding* encoding, CsvReader* reader,
                                ImportCounts* counts) {
    std::string where = settings.inputName + ", line 1: ";
    std::string problem;
    std::u16string wide;
    std::string line(PeekFirstCsvLine(reader));
    SkipCsvLine(reader);
    counts->metaLine = true;
    if (ParseMetaLine(line, &counts->meta, &problem) != 0) return where + problem;
    if (!counts->meta.hasTitle) return "";
    const std::string& title = counts->meta.title;
    if (DecodeInputField(encoding, title, &wide, &problem) != 0 ||
        StrictWideToDevice(wide, &counts->metaTitle, &problem) != 0)
        return where + "the title \"" + QuotableText(title) + "\" " + problem;
    if (counts->metaTitle.size() > size_t(DatabaseTitleMaximumLength))
        return where + "the title \"" + QuotableText(title) + "\" takes " + std::to_string(counts->metaTitle.size()) +
               " bytes; a title holds at most 22";
    return "";
}

// Looks at the start of the input: a meta line, the delimiter and whether the first line is a header.
// Returns "" or the error.
static std::string ReadStart(const ImportSettings& settings, InputEncoding* encoding, CsvReader* reader,
                             ImportCounts* counts, bool* headerLine) {
    std::string_view first = PeekFirstCsvLine(reader);
    if (IsMetaLine(first)) {
        std::string error = TakeMetaLine(settings, encoding, reader, counts);
        if (!error.empty()) return error;
        first = PeekFirstCsvLine(reader);
    }
    if (reader->byteOrderMark && !settings.inputEncoding.empty()) {
        InputEncoding probe;
        std::string ignored;
        bool utf8 = OpenInputEncoding(&probe, settings.inputEncoding, &ignored) == 0 && probe.utf8;
        CloseInputEncoding(&probe);
        if (!utf8)
            return settings.inputName + " begins with a UTF-8 byte order mark, but --input-encoding says " +
                   settings.inputEncoding;
    }
    char shown = HeaderDelimiter(first);
    reader->delimiter = settings.delimiter != 0                         ? settings.delimiter
                        : settings.header != NoHeaderLine && shown != 0 ? shown
                                                                        : ',';
    *headerLine =
        settings.header == HeaderLine || (settings.header == HeaderDetected && shown == reader->delimiter);
    return "";
}

static void ShowReading(ProgressLine* progress, const ImportSettings& settings, CsvReader* reader,
                        long long inputSize, int records) {
    std::string text =
        "dialdex-mkdb: reading " + settings.progressName + ": " + GroupedNumber(records) + " records";
    if (inputSize > 0) text += ", " + std::to_string(CsvInputOffset(reader) * 100 / inputSize) + "%";
    ShowProgress(progress, text);
}

int ImportCsv(const ImportSettings& settings, int descriptor, long long inputSize, std::FILE* spool,
              ProgressLine* progress, ImportCounts* counts, std::string* error) {
    *counts = ImportCounts();
    InputEncoding encoding;
    std::string problem;
    if (OpenInputEncoding(&encoding, settings.inputEncoding.empty() ? "utf-8" : settings.inputEncoding,
                          &problem) != 0) {
        close(descriptor);
        *error = "--input-encoding: " + problem;
        return -1;
    }
    CsvReader reader;
    if (OpenCsvFile(&reader, descriptor) != 0) {
        CloseInputEncoding(&encoding);
        *error = settings.inputName + ": cannot be read";
        return -1;
    }
    bool skipFirst = false;
    *error = ReadStart(settings, &encoding, &reader, counts, &skipFirst);
    // Records from a dump are the database's as they stand.
    ImportSettings used = settings;
    if (counts->metaLine) used.keepCase = true;
    std::vector<std::string> fields;
    ConvertedRecord record;
    long line = 0;
    int code = error->empty() ? 1 : -1;
    while (code == 1 && (code = ReadCsvRecord(&reader, &fields, &line, &problem)) == 1) {
        if (skipFirst) {
            skipFirst = false;
            continue;
        }
        if (AllFieldsEmpty(fields)) {
            counts->emptyRows++;
            continue;
        }
        skipFirst = false;
        std::string bad = ConvertRecord(used, &encoding, line, fields, &record);
        if (!bad.empty()) {
            if (!settings.skipBad) {
                *error = bad;
                code = -1;
                break;
            }
            if (int(counts->warnings.size()) < ImportWarningsKept) counts->warnings.push_back(bad);
            counts->skipped++;
            continue;
        }
        if (counts->records == 2147483647) {
            *error = settings.inputName + ": more records than a database can count";
            code = -1;
            break;
        }
        unsigned char bytes[EncodedRecordCapacity];
        int length =
            EncodeDatabaseRecord(bytes, record.phone, record.texts[0].c_str(), record.texts[1].c_str(),
                                 record.texts[2].c_str(), record.texts[3].c_str());
        std::fwrite(bytes, 1, size_t(length), spool);
        counts->records++;
        counts->fieldsUpperCased += record.upperCased;
        if (counts->records % ProgressStride == 0 && ProgressDue(progress))
            ShowReading(progress, settings, &reader, inputSize, counts->records);
    }
    CloseCsv(&reader);
    CloseInputEncoding(&encoding);
    if (code == -1 && error->empty()) *error = settings.inputName + ", " + problem;

    if (code == -2) *error = settings.inputName + ": cannot be read (damaged gzip data, or a read error)";
    if (code == 0 && (std::fflush(spool) != 0 || std::ferror(spool))) {
        *error = std::string("the records cannot be kept in a temporary file: ") + std::strerror(errno);
        code = -1;
    }
    return code == 0 ? 0 : -1;
}
