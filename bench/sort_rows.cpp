// Sorting result rows by name with CompareRows, as the result list sorts them when its heading is
// clicked (a stable sort of the rows' records through the compare callback).
//   bench-sort-rows FILE [COUNT [LANGUAGE]]   the first COUNT records (default 100,000) of FILE as result
//   records, sorted in the alphabet of LANGUAGE ("ru", "uk", "en"; by default the code page's own order)
// Prints the seconds the sort took (the records are made before the clock starts) and the rows sorted.
#include "db/database_reader.h"
#include "platform/text.h"
#include "search/result_page.h"
#include "tools/database_input.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-sort-rows FILE [COUNT]\n", stderr);
        return 2;
    }
    int wanted = argumentCount > 2 ? std::atoi(arguments[2]) : 100000;
    if (argumentCount > 3 && UseLanguageAlphabet(arguments[3]) != 0) {
        std::fprintf(stderr, "no alphabet for %s\n", arguments[3]);
        return 2;
    }
    DatabaseReader reader;
    unsigned char header[DatabaseHeaderSize];
    std::string problem;
    if (OpenToolDatabase(arguments[1], &reader, header, &problem) != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", arguments[1], problem.c_str());
        return 1;
    }
    std::vector<const unsigned char*> items;
    const unsigned char* block = nullptr;
    int length = 0;
    DatabaseRecord record;
    while (int(items.size()) < wanted && NextRecordBlock(&reader, &block, &length) == 1) {
        DecodeRecord(block, length, &record);
        const unsigned char* item = AppendResultRecord("", &record);
        if (!item) return 1;
        items.push_back(item);
    }
    CloseDatabaseReader(&reader);
    auto started = std::chrono::steady_clock::now();
    std::stable_sort(items.begin(), items.end(), [](const unsigned char* left, const unsigned char* right) {
        return CompareRows(reinterpret_cast<SecondParameter>(left), reinterpret_cast<SecondParameter>(right),
                           1) < 0;
    });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    bool sorted = true;
    for (size_t index = 1; index < items.size(); index++)
        if (CompareRows(reinterpret_cast<SecondParameter>(items[index - 1]),
                        reinterpret_cast<SecondParameter>(items[index]), 1) > 0)
            sorted = false;
    std::printf("sort-seconds %.6f rows %zu sorted %s\n", seconds, items.size(), sorted ? "yes" : "no");
    FreeResultRecords();
    return sorted ? 0 : 1;
}
