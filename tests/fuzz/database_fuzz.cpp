// libFuzzer target: any bytes as a database file, plain, as raw ".zdb" data (damaged gzip included) and
// gzip-compressed. Validation, the record walk, the decoder and the scan must stay inside their buffers
// and end; the walk over the plain and the compressed form of the same bytes must agree.
// Links with dialdex_core and zlib.
#include "db/database_file.h"
#include "db/database_reader.h"
#include "platform/device.h"
#include "platform/text.h"
#include "search/scan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <zlib.h>

static const std::string& FuzzFolder() {
    static std::string folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dialdex-database-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        PrepareDeviceFolder(path.string(), "");
        return path.string();
    }();
    return folder;
}

static void WriteFile(const char* name, const uint8_t* data, size_t size, bool compress) {
    std::string path = FuzzFolder() + "/" + name;
    if (compress) {
        gzFile file = gzopen(path.c_str(), "wb1");
        if (size > 0) gzwrite(file, data, unsigned(size));
        gzclose(file);
        return;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

static int MatchCount(void* context, const DatabaseRecord* record, const ScanCounts*) {
    // Every text must be terminated inside the record's own buffer.
    for (const char* text : {record->name, record->street, record->house, record->flat}) {
        if (text < record->texts || text >= record->texts + sizeof record->texts) std::abort();
        if (std::memchr(text, 0, size_t(record->texts + sizeof record->texts - text)) == nullptr)
            std::abort();
    }
    ++*static_cast<int*>(context);
    return 0;
}

// Walks the file; returns the record count and a checksum of what was read, or -1 if it was refused.
static long long Walk(const char16_t* path, const Query* query, unsigned long long* checksum) {
    unsigned char header[DatabaseHeaderSize];
    bool compressed = false;
    if (ValidateDatabaseFile(path, header, &compressed) != 0) return -1;
    char title[DatabaseTitleCapacity];
    HeaderTitle(header, title);
    DatabaseReader reader;
    if (OpenDatabaseReader(&reader, path, compressed) != 0) return -1;
    long long records = 0;
    *checksum = 0;
    const unsigned char* block = nullptr;
    int length = 0;
    while (NextRecordBlock(&reader, &block, &length) == 1) {
        DatabaseRecord record;
        DecodeRecord(block, length, &record);
        *checksum = *checksum * 31 + record.phone + unsigned(length); // wraps by design
        records++;
    }
    CloseDatabaseReader(&reader);

    if (OpenDatabaseReader(&reader, path, compressed) != 0) return -1;
    int matches = 0;
    ScanCallbacks callbacks;
    callbacks.context = &matches;
    callbacks.onMatch = MatchCount;
    ScanCounts counts;
    ScanDatabase(&reader, query, &callbacks, &counts);
    CloseDatabaseReader(&reader);
    if (counts.scanned != records || counts.results != matches) std::abort();
    return records;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the criteria; the whole input is the file.
    Query query;
    char criteria[4][8] = {};
    for (size_t index = 0; index < 4 * 7 && index < size; index++)
        criteria[index / 7][index % 7] = char(data[index]);
    SetQueryCriteria(&query, criteria[0], criteria[1][0] & 1 ? criteria[1] : nullptr, nullptr, criteria[2],
                     criteria[3]);

    WriteFile("fuzz.db", data, size, false);
    WriteFile("fuzz-raw.zdb", data, size, false);
    WriteFile("fuzz.zdb", data, size, true);
    unsigned long long plainChecksum = 0, compressedChecksum = 0, rawChecksum = 0;
    long long plain = Walk(u"\\fuzz.db", &query, &plainChecksum);
    long long compressed = Walk(u"\\fuzz.zdb", &query, &compressedChecksum);
    Walk(u"\\fuzz-raw.zdb", &query, &rawChecksum);
    if (plain != compressed || plainChecksum != compressedChecksum) std::abort();

    char16_t phone[PhoneTextCapacity];
    uint32_t number = size >= 3 ? uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 : 0;
    FormatPhoneText(number, size > 3 ? int(int8_t(data[3])) : 7, phone, PhoneTextCapacity);
    return 0;
}
