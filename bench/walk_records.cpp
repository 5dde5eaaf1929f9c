// The record stream walk alone: the database reader and NextRecordBlock over a whole file, no tests.
//   bench-walk-records FILE
// Prints the records walked and the walk's end code.
#include "db/database_reader.h"
#include "tools/tool_support.h"

#include <cstdio>
#include <string>

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-walk-records FILE\n", stderr);
        return 2;
    }
    if (UseHostRootAsDevice() != 0) return 1;
    std::string path = arguments[1];
    bool compressed = path.size() > 4 && path.compare(path.size() - 4, 4, ".zdb") == 0;
    std::u16string devicePath = DevicePathOfHost(path);
    DatabaseReader reader;
    if (OpenDatabaseReader(&reader, devicePath.c_str(), compressed) != 0) {
        std::fprintf(stderr, "cannot open %s\n", arguments[1]);
        return 1;
    }
    long long records = 0;
    unsigned checksum = 0;
    const unsigned char* block = nullptr;
    int length = 0, code = 0;
    while ((code = NextRecordBlock(&reader, &block, &length)) == 1) {
        records++;
        checksum += block[0];
    }
    CloseDatabaseReader(&reader);
    std::printf("records %lld end %d check %u\n", records, code, checksum);
    return code == 0 ? 0 : 1;
}
