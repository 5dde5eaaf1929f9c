// CSV as RFC 4180 writes it: fields separated by commas (or another delimiter), records by CRLF, LF or a
// CR alone (one file may mix them), a field in double quotes may hold delimiters, quotes (doubled) and
// line breaks. Input is read in large pieces through zlib from a file descriptor, gzip-compressed or
// plain (told by the gzip magic), or from memory; a UTF-8 byte order mark at the start is skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct gzFile_s;

struct CsvReader {
    gzFile_s* gzip = nullptr;
    std::vector<char> buffer;
    size_t position = 0;
    size_t end = 0;
    bool finished = false;
    bool readError = false;
    long line = 1; // the physical line of the next character
    bool atStart = true;
    bool byteOrderMark = false; // the input began with a UTF-8 byte order mark
    char delimiter = ',';
};

// Reads from an open file (gzip or plain), which the reader takes over and closes. Returns 0, or -1 when
// zlib cannot take it (the file is closed then).
int OpenCsvFile(CsvReader* reader, int descriptor);
// Reads from the bytes given, which must outlive the reader.
void OpenCsvMemory(CsvReader* reader, const char* data, size_t size);
void CloseCsv(CsvReader* reader);
// The next line's bytes (without its line end, and at the start without a byte order mark), as far as
// the piece read holds them; takes nothing. Empty at the end of the input.
std::string_view PeekFirstCsvLine(CsvReader* reader);
// Takes the next line whole, quotes and all, up to and with its line end.
void SkipCsvLine(CsvReader* reader);
// How far into the file the reader has read: the bytes taken from the file (compressed bytes for gzip).
long long CsvInputOffset(CsvReader* reader);

// Reads one record into fields; startLine is the line it begins on. An empty line is a record of one empty
// field. Codes:
//   1 a record
//   0 the end of the input
//  -1 malformed: a quoted field that is never closed, or a closing quote followed by something other
//     than the delimiter or the end of the line (error tells which, beginning "line N: "); the reader is
//     then at its end

//  -2 the file could not be read
int ReadCsvRecord(CsvReader* reader, std::vector<std::string>* fields, long* startLine, std::string* error);

// Appends a field, quoted only when it holds a comma, a quote, a carriage return or a line feed.
void AppendCsvField(std::string* output, std::string_view field);
