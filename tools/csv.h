// CSV as RFC 4180 writes it: fields separated by commas, records by CRLF or LF, a field in double quotes
// may hold commas, quotes (doubled) and line breaks. Input is read in large pieces from a file, or from
// memory; a UTF-8 byte order mark at the start is skipped.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct CsvReader {
    std::FILE* file = nullptr;
    std::vector<char> buffer;
    size_t position = 0;
    size_t end = 0;
    bool finished = false;
    bool readError = false;
    long line = 1; // the physical line of the next character
    bool atStart = true;
};

// Reads from the host file at path. Returns 0, or -1 when it cannot be opened.
int OpenCsvFile(CsvReader* reader, const char* path);
// Reads from the bytes given, which must outlive the reader.
void OpenCsvMemory(CsvReader* reader, const char* data, size_t size);
void CloseCsv(CsvReader* reader);

// Reads one record into fields; startLine is the line it begins on. An empty line is a record of one empty
// field. Codes:
//   1 a record
//   0 the end of the input
//  -1 malformed: a quoted field that is never closed, or a closing quote followed by something other
//     than a comma or the end of the line (error tells which); the reader is then at its end
//  -2 the file could not be read
int ReadCsvRecord(CsvReader* reader, std::vector<std::string>* fields, long* startLine, std::string* error);

// Appends a field, quoted only when it holds a comma, a quote, a carriage return or a line feed.
void AppendCsvField(std::string* output, std::string_view field);
