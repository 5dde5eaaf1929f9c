// CSV files as spreadsheets write them, imported into records: line ends, headers, empty rows.
#include "platform/text.h"
#include "tools/csv_import.h"
#include "tools/progress_line.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// The records the spool holds, one "phone|name|street|house|flat" line each.
std::string SpoolRecords(std::FILE* spool) {
    std::rewind(spool);
    std::string bytes;
    int byte;
    while ((byte = std::fgetc(spool)) != EOF)
        bytes.push_back(char(byte));
    std::string records;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = (unsigned char)bytes[at];
        std::string block = bytes.substr(at + 1, length - 1);
        unsigned phone =
            (unsigned char)block[0] | (unsigned char)block[1] << 8 | (unsigned char)block[2] << 16;
        records += std::to_string(phone);
        size_t text = 3;
        for (int field = 0; field < 4; field++) {
            size_t end = block.find('\0', text);
            records += "|" + block.substr(text, end - text);
            text = end + 1;
        }
        records += "\n";
        at += length;
    }
    return records;
}

struct ImportCase {
    const char* what;
    std::string input;
    const char* records; // as SpoolRecords writes them; null: the import fails
    int emptyRows;
};

TEST(CsvImport, SpreadsheetLineEndsHeadersAndEmptyRows) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    const std::string header = "phone,name,street,house,flat";
    const ImportCase cases[] = {
        {"LF",                                     header + "\n1,A,B,C,D\n2,E,F,G,H\n",                                             "1|A|B|C|D\n2|E|F|G|H\n",            0},
        {"CRLF",                                   header + "\r\n1,A,B,C,D\r\n2,E,F,G,H\r\n",                                       "1|A|B|C|D\n2|E|F|G|H\n",            0},
        {"CR alone",                               header + "\r1,A,B,C,D\r2,E,F,G,H\r",                                             "1|A|B|C|D\n2|E|F|G|H\n",            0},
        {"mixed",                                  header + "\r1,A,B,C,D\n2,E,F,G,H\r\n3,\"I\",J,K,L\r",                            "1|A|B|C|D\n2|E|F|G|H\n3|I|J|K|L\n",
         0                                                                                                                                                                },
        {"CR alone inside quotes stays",           "1,\"A\rB\",,,\r",                                                               "1|A\rB|||\n",                       0},
        {"quoted header",                          "\"phone\",\"name\",\"street\",\"house\",\"flat\"\n1,\"A\",\"B\",\"C\",\"D\"\n",
         "1|A|B|C|D\n",                                                                                                                                                  0},
        {"quoted header, BOM, ;",
         "\xEF\xBB\xBF\"Phone\";\"Name\";\"Street\";\"House\";\"Flat\"\r\n1;A;B;C;D\r\n",                                           "1|A|B|C|D\n",                       0},
        {"quoted header, CR alone, tabs",
         "\"phone\"\t\"name\"\t\"street\"\t\"house\"\t\"flat\"\r1\tA\tB\tC\tD\r",                                                   "1|A|B|C|D\n",                       0},
        {"a half-quoted first field is no header", "\"phone,name,street,house,flat\n",                                              nullptr,                             0},
        {"empty rows",                             header + "\n1,A,B,C,D\n\n,,,,\n2,E,F,G,H\n,,,,\n\"\",,,,\n,,\n",
         "1|A|B|C|D\n2|E|F|G|H\n",                                                                                                                                       5},
        {"empty rows with ;",                      "phone;name;street;house;flat\r\n1;A;B;C;D\r\n;;;;\r\n;;;;\r\n",                 "1|A|B|C|D\n",
         2                                                                                                                                                                },
        {"an empty field still needs its phone",   header + "\n,A,,,\n",                                                            nullptr,                             0},
    };
    for (const ImportCase& row : cases) {
        SCOPED_TRACE(row.what);
        std::FILE* input = std::tmpfile();
        std::fwrite(row.input.data(), 1, row.input.size(), input);
        std::fflush(input);
        int descriptor = dup(fileno(input));
        lseek(descriptor, 0, SEEK_SET);
        std::fclose(input);
        std::FILE* spool = std::tmpfile();
        ImportSettings settings;
        settings.inputName = "in.csv";
        ImportCounts counts;
        std::string error;
        ProgressLine progress;
        int code = ImportCsv(settings, descriptor, 0, spool, &progress, &counts, &error);
        if (row.records == nullptr) {
            EXPECT_EQ(code, -1);
        } else {
            EXPECT_EQ(code, 0) << error;
            EXPECT_EQ(SpoolRecords(spool), row.records);
            EXPECT_EQ(counts.emptyRows, row.emptyRows);
        }
        std::fclose(spool);
    }
}

} // namespace
