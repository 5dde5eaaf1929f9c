// The Result page and its result list: columns, texts on demand, details, sorting, result items.
#pragma once

#include "platform/windows.h"
#include "search/scan.h"

// One per row of the result list, owned by its row. Capacities (terminator included) in column order.
constexpr int ResultFieldCount = 5;
inline constexpr const int (&FieldCapacities)[ResultFieldCount] = ResultFieldCapacities;
struct ResultItem {
    char16_t phone[ResultFieldCapacities[0]];
    char16_t name[ResultFieldCapacities[1]];
    char16_t street[ResultFieldCapacities[2]];
    char16_t house[ResultFieldCapacities[3]];
    char16_t flat[ResultFieldCapacities[4]];
};
static_assert(ResultFieldCapacities[0] == PhoneTextCapacity, "the phone text field holds the phone text");

extern Window ResultList;                  // control 1201, kept from the page's creation on
extern int ColumnWidths[ResultFieldCount]; // in column order; defaults 55, 100, 110, 40, 40

// Frees the result item of every row, deleting the rows first (a row never outlives its item).
void FreeResultItems();
// Deletes every row, then frees the result items they held, so that no row can be painted with a freed
// item in between (the search worker's way to empty the list).
void ClearResultList();
// <0, 0, >0 as A's text of the column sorts before, with or after B's (locale-aware, ignoring case);
// 0 for any other column.
int CompareRows(SecondParameter itemA, SecondParameter itemB, SecondParameter column);
// The text of a result item's field by column (null for any other column).
const char16_t* ResultItemField(const ResultItem* item, int column);
