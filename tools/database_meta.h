// The line a dump begins with under --meta: what the records alone do not carry, so that a build of the
// dump makes the same database again:
//   # dialdex: title=TITLE; digits=N
// TITLE is UTF-8 with ";" and "\" escaped by "\"; N is the header's phone digits (a signed byte).
#pragma once

#include <string>
#include <string_view>

struct DatabaseMeta {
    bool hasTitle = false;
    std::string title; // UTF-8
    bool hasDigits = false;
    int phoneDigits = 7;
};

// The line, without its line end.
std::string FormatMetaLine(std::string_view titleUtf8, int phoneDigits);
// True when the line begins as a meta line does.
bool IsMetaLine(std::string_view line);
// Reads a meta line; keys it does not know are passed over. Codes:
//   0 read
//  -1 malformed (problem says why): a field without "=", a "\" at the end, digits that are no number
//     from -128 to 127
int ParseMetaLine(std::string_view line, DatabaseMeta* meta, std::string* problem);
