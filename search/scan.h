// The scan core: the query, the phone and text tests, the phone text, and the one loop that walks a
// database's records and reports matches. It makes no window calls; the search worker, the command-line
// lookup and the tests all run this same loop.
#pragma once

#include "db/database_reader.h"

#include <cstdint>

constexpr int PhoneCriterionSize = 32;
constexpr int NameCriterionSize = 52;
constexpr int StreetCriterionSize = 52;
constexpr int HouseCriterionSize = 8;
constexpr int FlatCriterionSize = 8;

// The captured criteria, 8-bit text in the device code page, each with its given-flag.
struct Query {
    char phone[PhoneCriterionSize] = {};
    char name[NameCriterionSize] = {};
    char street[StreetCriterionSize] = {};
    char house[HouseCriterionSize] = {};
    char flat[FlatCriterionSize] = {};
    int phoneGiven = 0;
    int phonePatternFlag = 0; // 1: the phone criterion holds a character other than a digit
    int nameGiven = 0;
    int streetGiven = 0;
    int houseGiven = 0;
    int flatGiven = 0;
};

// Sets the five criteria from 8-bit texts (null counts as empty), each cut to its buffer, and their
// given-flags. The phone pattern flag is worked out only when the phone criterion is not empty; an empty
// one leaves the flag as it was, which does not matter since the phone is then not given.
void SetQueryCriteria(Query* query, const char* phone, const char* name, const char* street,
                      const char* house, const char* flat);
// True when no criterion is given.
bool QueryIsEmpty(const Query* query);

// The phone number in base 10: no sign, no leading zeros, no padding. Returns its length.
constexpr int DecimalTextSize = 12;
int DecimalText(uint32_t number, char text[DecimalTextSize]);

// The phone test on the undecorated decimal text. Without the pattern flag the text must begin with the
// criterion. With it, only the criterion's digit positions must hold the same digit in the text (and the
// text must reach them); any other character matches anything, also past the end of the text.
bool PhoneMatches(const char* decimalText, const char* criterion, int criterionLength, int patternFlag);
// The text test: byte by byte, case-sensitive, over the criterion's length.
bool TextBeginsWith(const char* text, const char* criterion, int criterionLength);
// Every given criterion against one decoded record.
bool RecordMatches(const Query* query, const DatabaseRecord* record);
// The same, straight on a record block of at least 8 bytes, without copying its texts (what the scan does).
bool BlockMatches(const Query* query, const unsigned char* block, int length);

// The phone text as the result list shows it: the number zero-padded on the left to the header's phone
// digits ("%N.Ni"). The list's field holds 8 digits and the terminator (PhoneTextCapacity): every number a
// record can hold (up to 16,777,215) is shown whole. The text never passes the capacity given: the padding
// is at most the room there is, phone digits of 0 or less give no padding (0 is shown as "0"), and a
// number with more digits than a smaller capacity's room is cut to its leading digits. Returns the
// characters written.
constexpr int PhoneTextCapacity = 9;
int FormatPhoneText(uint32_t phone, int phoneDigits, char16_t* output, int capacity);

// Capacities of a result row's five fields (terminator included), in column order; texts are cut to them.
constexpr int ResultFieldCapacities[5] = {PhoneTextCapacity, 226, 226, 36, 36};

struct ScanCounts {
    int scanned = 0; // records read whole
    int results = 0; // matches accepted by onMatch
};

// What the loop tells its caller. Each callback may be null.
struct ScanCallbacks {
    void* context = nullptr;
    // After each record is read whole and counted, before it is tested: the place for progress. It is
    // called for every record, so keep it cheap (compare counts, refresh rarely).
    void (*onRecord)(void* context, const ScanCounts* counts) = nullptr;
    // For each match, with the record's texts decoded; counts.results does not include it yet. Return 0 to
    // go on (the match is counted), anything else when the match cannot be kept (the scan then ends).
    int (*onMatch)(void* context, const DatabaseRecord* record, const ScanCounts* counts) = nullptr;
    // After each record (matched or not): true ends the scan after the record in hand.
    bool (*shouldStop)(void* context) = nullptr;
};

// `ScanDatabase`: walks the record stream of an open reader (reading the header first if the caller has
// not) and tests each record: the phone test first, on the decimal text, and only a record that passes
// it has its texts copied out for the text tests. On a reader whose members were left to the scan
// (LeaveMembersToTheScan) and without onRecord, the member reader's threads test the records, and
// shouldStop is asked after each match and each member instead of after each record; the matches,
// counts and codes are the same. counts receives the final counts. Codes:
//   0 the end mark was reached
//   1 the data ended before the end mark (end of file, read error, damaged data, a length byte below 8)
//   2 shouldStop asked to stop
//   3 onMatch could not keep a match
int ScanDatabase(DatabaseReader* reader, const Query* query, const ScanCallbacks* callbacks,
                 ScanCounts* counts);
