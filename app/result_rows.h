// The result list's rows as text, read through the list as it shows them (the order shown, the texts
// shown): for the clipboard and for the export file.
#pragma once

#include <string>

enum class RowTextForm {
    TabSeparated, // cells joined by tabs, lines ended by "\n" (tabs and line breaks in a cell become blanks)
    Csv, // RFC 4180: cells joined by commas, quoted when they hold '"', ',', CR or LF; lines end in CRLF
};

// A heading line (the columns' headings) and the rows: every row, or the focused one only (none when no
// row is focused). progress, when given, is called now and then with the rows done and the rows in all.
std::u16string ResultRowsText(bool allRows, RowTextForm form,
                              void (*progress)(int done, int total) = nullptr);
