// Lines of fields in the tools' output formats, one row of the format table each:
//   plain  the fields joined by ";" as they stand (a field holding ";" or a line break breaks the line)
//   csv    RFC 4180: joined by ","; a field holding ",", a quote or a line break is quoted, quotes doubled
//   tsv    joined by tabs; tab, line feed, carriage return and backslash written as \t \n \r and a
//          doubled backslash
//   json   one object a line, every field under its name: numeric fields as numbers, the rest as strings
// csv lines end with CR LF, as RFC 4180 and the window's export end them; the others with a line feed.
// Fields arrive as UTF-8.
#pragma once

#include <string>
#include <string_view>

enum OutputFormat { PlainFormat, CsvFormat, TsvFormat, JsonFormat, OutputFormatCount };

struct OutputFormatRow {
    const char* name;                                                 // as --format takes it
    char separator;                                                   // between fields (json: ",")
    bool header;                                                      // has a header line
    const char* lineEnd;                                              // what ends each line
    void (*appendField)(std::string* output, std::string_view field); // one field, escaped as it needs
};
extern const OutputFormatRow OutputFormats[OutputFormatCount];

// The format of that name. Returns 0, or -1 when there is none.
int FindOutputFormat(std::string_view name, OutputFormat* format);
// The names for messages and help: "plain, csv, tsv or json".
std::string OutputFormatNames();

// Appends one line of count fields; names name them (json). Bit i of numericFields makes field i a json
// number (it must then hold digits only).
void AppendOutputLine(std::string* output, OutputFormat format, const char* const* names,
                      const std::string_view* fields, int count, unsigned numericFields = 0);
// Appends the line naming the fields, for the formats that have one (not json).
void AppendHeaderLine(std::string* output, OutputFormat format, const char* const* names, int count);
