// The tools' output formats, and the CSV reader with other delimiters: what one writes the other reads
// back whole.
#include "tools/csv.h"
#include "tools/record_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const Names[3] = {"phone", "name", "count"};
// A field holding everything a format must guard: its delimiters, a quote, a tab, line breaks, a backslash.
const std::string Tricky = "A;B,C \"Q\"\tT\nZ\r\\ Ё";

std::string Line(OutputFormat format, std::vector<std::string> values, unsigned numeric = 0) {
    std::vector<std::string_view> fields(values.begin(), values.end());
    std::string output;
    AppendOutputLine(&output, format, Names, fields.data(), int(fields.size()), numeric);
    return output;
}

TEST(OutputFormats, EachFormatEscapesWhatItMust) {
    EXPECT_EQ(Line(PlainFormat, {"0000012", Tricky}), "0000012;" + Tricky + "\n");
    // csv ends its lines with CR LF; a line break inside a field stays as it is.
    EXPECT_EQ(Line(CsvFormat, {"0000012", Tricky}), "0000012,\"A;B,C \"\"Q\"\"\tT\nZ\r\\ Ё\"\r\n");
    EXPECT_EQ(Line(CsvFormat, {"12", "IVAN"}), "12,IVAN\r\n");
    EXPECT_EQ(Line(TsvFormat, {"0000012", Tricky}), "0000012\tA;B,C \"Q\"\\tT\\nZ\\r\\\\ Ё\n");
    EXPECT_EQ(Line(JsonFormat, {"0000012", Tricky}),
              "{\"phone\":\"0000012\",\"name\":\"A;B,C \\\"Q\\\"\\tT\\nZ\\r\\\\ Ё\"}\n");
    EXPECT_EQ(Line(JsonFormat, {"x", std::string("\x01\x1f", 2), "7"}, 4u),
              "{\"phone\":\"x\",\"name\":\"\\u0001\\u001f\",\"count\":7}\n");
    EXPECT_EQ(Line(JsonFormat, {}), "{}\n");
}

TEST(OutputFormats, HeaderLinesAndNames) {
    std::string output;
    for (int format = 0; format < OutputFormatCount; format++)
        AppendHeaderLine(&output, OutputFormat(format), Names, 2);
    EXPECT_EQ(output, "phone;name\nphone,name\r\nphone\tname\n"); // json has none
    OutputFormat format = PlainFormat;
    EXPECT_EQ(FindOutputFormat("json", &format), 0);
    EXPECT_EQ(format, JsonFormat);
    EXPECT_EQ(FindOutputFormat("JSON", &format), -1);
    EXPECT_EQ(FindOutputFormat("", &format), -1);
    EXPECT_EQ(format, JsonFormat);
    EXPECT_EQ(OutputFormatNames(), "plain, csv, tsv or json");
}

std::vector<std::vector<std::string>> ReadAll(const std::string& text, char delimiter) {
    CsvReader reader;
    OpenCsvMemory(&reader, text.data(), text.size());
    reader.delimiter = delimiter;
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;
    long line = 0;
    std::string error;
    while (ReadCsvRecord(&reader, &fields, &line, &error) == 1)
        records.push_back(fields);
    CloseCsv(&reader);
    return records;
}

TEST(OutputFormats, CsvComesBackWholeThroughTheReader) {
    std::string written = Line(CsvFormat, {"1", Tricky}) + Line(CsvFormat, {"", "\"\""});
    std::vector<std::vector<std::string>> expected{
        {"1", Tricky},
        {"",  "\"\""}
    };
    EXPECT_EQ(ReadAll(written, ','), expected);
}

TEST(CsvReader, OtherDelimitersAndTheFirstLine) {
    EXPECT_EQ(ReadAll("1;\"A;B\";C\r\n2;;\n", ';'), (std::vector<std::vector<std::string>>{
                                                        {"1", "A;B", "C"},
                                                        {"2", "",    "" }
    }));
    EXPECT_EQ(ReadAll("1\tA,B\t\"C\tD\"\n", '\t'), (std::vector<std::vector<std::string>>{
                                                       {"1", "A,B", "C\tD"}
    }));
    // With ";" a comma is text, and the other way round.
    EXPECT_EQ(ReadAll("1,A;B\n", ';'), (std::vector<std::vector<std::string>>{
                                           {"1,A", "B"}
    }));

    std::string text = "\xEF\xBB\xBFphone;name\r\n1;A\n";
    CsvReader reader;
    OpenCsvMemory(&reader, text.data(), text.size());
    EXPECT_EQ(PeekFirstCsvLine(&reader), "phone;name");
    EXPECT_TRUE(reader.byteOrderMark);
    std::vector<std::string> fields;
    long line = 0;
    std::string error;
    EXPECT_EQ(ReadCsvRecord(&reader, &fields, &line, &error), 1); // the peek took nothing
    EXPECT_EQ(fields, (std::vector<std::string>{"phone;name"}));
    CloseCsv(&reader);
    OpenCsvMemory(&reader, "", 0);
    EXPECT_EQ(PeekFirstCsvLine(&reader), "");
    EXPECT_FALSE(reader.byteOrderMark);
    CloseCsv(&reader);
}

} // namespace
