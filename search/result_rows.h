// The texts of the result rows: one compact record per match, kept in an arena that the result list owns
// and frees as one. A record is the five texts in column order, each a length byte and that many bytes of
// the device code page, cut to the column's room (8, 225, 225, 35 and 35 characters; the code page has a
// byte per character). The list's rows carry a pointer to their record; the texts become wide text only
// when a cell is painted or read.
#pragma once

#include "db/database_reader.h"
#include "search/scan.h"

#include <cstddef>
#include <cstdint>

constexpr int ResultColumnCount = 5;
// The most characters each column's text keeps, in column order (its field less the terminator).
constexpr int ResultTextLimits[ResultColumnCount] = {
    ResultFieldCapacities[0] - 1, ResultFieldCapacities[1] - 1, ResultFieldCapacities[2] - 1,
    ResultFieldCapacities[3] - 1, ResultFieldCapacities[4] - 1};
static_assert(ResultTextLimits[1] < 256 && ResultTextLimits[2] < 256 && ResultTextLimits[0] == 8,
              "a length byte holds every text's length");

// One column's text of a record: device code-page bytes, not terminated.
struct ResultText {
    const char* bytes;
    int length;
};

// Appends a match's record: the phone text as the list shows it, and the record's four texts. Returns
// the record, or null when no memory could be had for it (search worker).
const unsigned char* AppendResultRecord(const char* phoneText, const DatabaseRecord* record);
// A record's text of a column (0 to 4); an empty text for any other column.
ResultText ResultRecordText(const unsigned char* record, int column);
// Converts a record's text of a column to wide text, cut to capacity. Returns the characters written.
int ResultRecordWide(const unsigned char* record, int column, char16_t* output, int capacity);
// Frees every record at once. No row may refer to one afterwards.
void FreeResultRecords();
// Bytes the records take now, counting the arena's unused tail.
size_t ResultRecordBytes();

// What a row costs beside its record: the list's row (24 bytes) twice over, for the room its growing
// table keeps and the copy it makes as it grows.
constexpr size_t ResultRowOverheadBytes = 64;
