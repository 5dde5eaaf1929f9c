// The record stream walk alone: the database reader and NextRecordBlock over a whole file, no tests.
//   bench-walk-records FILE
// Prints the records walked and the walk's end code.
#include "db/database_reader.h"
#include "tools/database_input.h"

#include <cstdio>
#include <string>

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-walk-records FILE\n", stderr);
        return 2;
    }
    DatabaseReader reader;
    unsigned char header[DatabaseHeaderSize];
    std::string problem;
    if (OpenToolDatabase(arguments[1], &reader, header, &problem) != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", arguments[1], problem.c_str());
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
