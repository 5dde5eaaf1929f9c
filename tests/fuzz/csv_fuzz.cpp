// libFuzzer target: any bytes as CSV. The reader must end on every input, and every record it reads must
// come back the same after writing it out with AppendCsvField and reading it again.
// Links with tools/csv.cpp.
#include "tools/csv.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CsvReader reader;
    OpenCsvMemory(&reader, reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    std::vector<std::string> again;
    std::string error;
    long line = 0;
    long lastLine = 0;
    int records = 0;
    while (ReadCsvRecord(&reader, &fields, &line, &error) == 1) {
        if (line < lastLine || fields.empty()) std::abort();
        lastLine = line;
        if (++records > int(size) + 1) std::abort(); // every record takes at least one byte, but the last
        std::string written;
        for (size_t index = 0; index < fields.size(); index++) {
            if (index > 0) written.push_back(',');
            AppendCsvField(&written, fields[index]);
        }
        written.push_back('\n');
        // A record written at the very start that begins with a byte order mark would lose it as one.
        if (written.rfind("\xEF\xBB\xBF", 0) == 0) continue;
        CsvReader rereader;
        OpenCsvMemory(&rereader, written.data(), written.size());
        long againLine = 0;
        int code = ReadCsvRecord(&rereader, &again, &againLine, &error);
        if (code != 1 || again != fields) std::abort();
        if (ReadCsvRecord(&rereader, &again, &againLine, &error) != 0) std::abort();
        CloseCsv(&rereader);
    }
    CloseCsv(&reader);
    return 0;
}
