// Reading a CSV of subscribers (phone, name, street, house, flat) into records as a database holds them.
// The input may be gzip-compressed (told by its magic) and in any encoding that keeps ASCII; a header
// line is told by its first field "phone" (bare or quoted), and its delimiter (",", ";" or a tab) by what
// follows it. Rows whose fields are all empty are left out and counted. Text fields are upper-cased as
// the window upper-cases criteria, unless the case is to be kept, so that every record can be found from
// the window. A phone must be a number from 0 to 16,777,215 written without leading zeros (which a
// stored number could not keep). A dump's meta line (database_meta.h) may come first.
#pragma once

#include "tools/database_meta.h"

#include <cstdio>
#include <string>
#include <vector>

struct ProgressLine;

enum HeaderChoice { HeaderDetected = -1, NoHeaderLine = 0, HeaderLine = 1 };

struct ImportSettings {
    std::string inputName;     // the input as messages name it
    char delimiter = 0;        // 0: "," unless the header line shows ";" or a tab
    std::string inputEncoding; // empty: UTF-8
    int header = HeaderDetected;
    bool keepCase = false;    // keep the texts' letter case
    bool skipBad = false;     // leave out records that cannot be stored, and count them
    std::string progressName; // what the progress line says is being read
};

constexpr int ImportWarningsKept = 10;

struct ImportCounts {
    int records = 0;                   // records kept
    long long fieldsUpperCased = 0;    // texts whose letters changed case
    int skipped = 0;                   // bad records left out
    int emptyRows = 0;                 // rows without a character in any field (blank lines too), left out
    std::vector<std::string> warnings; // why, for the first ImportWarningsKept of them
    bool metaLine = false;             // the input began with a dump's meta line (records keep their case)
    DatabaseMeta meta;                 // what it said
    std::string metaTitle;             // its title in the device code page
};

// Reads the CSV from the descriptor (taken over and closed) and appends each record, encoded as the
// record stream holds it (see EncodeDatabaseRecord), to the spool. inputSize is the file's size for the
// progress line, 0 when unknown; the line stays up for what follows. Codes:
//   0 read; counts tell what
//  -1 stopped; error says where and why: a bad record (unless skipped), malformed CSV, a read error, an
//     encoding that cannot be used, or a spool that cannot be written
int ImportCsv(const ImportSettings& settings, int descriptor, long long inputSize, std::FILE* spool,
              ProgressLine* progress, ImportCounts* counts, std::string* error);
