// The Result page and its result list: columns, texts on demand, details, sorting, the rows' records.
#pragma once

#include "platform/windows.h"
#include "search/result_rows.h"
#include "search/scan.h"

constexpr int ResultFieldCount = ResultColumnCount;
inline constexpr const int (&FieldCapacities)[ResultFieldCount] = ResultFieldCapacities;
static_assert(ResultFieldCapacities[0] == PhoneTextCapacity, "the phone text field holds the phone text");
// The room for each column's heading (terminator included): the handheld program's fields, whose phone
// field held 7 characters, so a long phone label still heads its column with its first 7 only.
constexpr int HeadingCapacities[ResultFieldCount] = {8, 226, 226, 36, 36};

extern Window ResultList;                  // control 1201, kept from the page's creation on
extern int ColumnWidths[ResultFieldCount]; // in column order; defaults 55, 100, 110, 40, 40

// Frees the rows' records, deleting the rows first (a row never outlives its record).
void FreeResultItems();
// Deletes every row, then frees the records they held, so that no row can be painted with a freed
// record in between (the search worker's way to empty the list).
void ClearResultList();
// <0, 0, >0 as record A's text of the column sorts before, with or after B's (locale-aware, ignoring
// case); 0 for any other column. The rows' item data are their records (result_rows.h).
int CompareRows(SecondParameter recordA, SecondParameter recordB, SecondParameter column);
// A record's sort key for a column: its first 40 characters as CompareRows orders them (records whose
// keys differ compare as their keys do), padded with 0. Almost every name fits whole, and then the key is
// its whole order (no character's rank is 0), so the sort seldom reads the records themselves, which lie
// all over memory once sorted.
ListViewSortKey RowSortKey(SecondParameter record, SecondParameter column);
