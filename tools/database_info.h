// A database file read whole, for `dialdex-mkdb info`: its header, how it is stored, the records that are
// really there, and whether its data end as they should (the end mark, every gzip member's CRC-32 and
// length), so a file can be checked before it is installed.
#pragma once

#include "db/database_file.h"

#include <string>

// How a database's data end. Codes:
//   0 whole: the end mark, and for gzip every member read to its trailer with CRC-32 and length right
//   1 cut: the data end before the end mark, or inside a gzip member
//   2 damaged gzip data: a bad member header, compressed data that cannot be inflated, a wrong CRC-32 or
//     length
//   3 a length byte below 8, which no record can have
//   4 not a database: the header could not be read or its format mark is not 11 (problem says why)
//   5 the file cannot be opened (problem says why)
enum DatabaseInfoEnd {
    InfoWhole = 0,
    InfoCut = 1,
    InfoDamaged = 2,
    InfoBadLength = 3,
    InfoNotDatabase = 4,
    InfoCannotOpen = 5,
};

struct DatabaseInfo {
    int end = InfoNotDatabase;
    std::string problem; // InfoNotDatabase, InfoCannotOpen: why
    unsigned char header[DatabaseHeaderSize] = {};
    bool gzip = false;                // stored in gzip members (else plain)
    int gzipDamage = 0;               // InfoDamaged: the gzip stream's damage code (0: a CRC-32 or length)

    int members = 0;                  // gzip members begun
    long long records = 0;            // records read whole
    bool endMark = false;             // the records end with the end mark
    long long trailingBytes = 0;      // bytes after the end mark
    long long trailingCompressed = 0; // bytes after the last gzip member, ignored as gzip ignores them
};

// Reads the file ("-": standard input) to its end. Returns the end code (also in info->end).
int ExamineDatabase(const std::string& path, DatabaseInfo* info);
// The end code in words: "whole", "cut", ...
const char* DatabaseInfoEndText(int end);
