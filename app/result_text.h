// The result list's rows as text, read through the list as it shows them (the order shown, the texts
// shown): for the clipboard and for the export file.
#pragma once

#include <string>

enum class RowTextForm {
    TabSeparated, // cells joined by tabs, lines ended by "\n" (tabs and line breaks in a cell become blanks)
    Csv, // RFC 4180: cells joined by commas, quoted when they hold '"', ',', CR or LF; lines end in CRLF
};

// Hands a heading line (the columns' headings) and the rows, as UTF-8, to take a piece at a time (about a
// megabyte), with the rows done so far and the rows in all: every row, or the focused one only (none when
// no row is focused). take returns false to stop. Returns 0, or -1 when take stopped it.
using TakeRowText = bool (*)(const std::string& bytes, int rowsDone, int rowsInAll, void* context);
int WriteResultRows(bool allRows, RowTextForm form, TakeRowText take, void* context);
