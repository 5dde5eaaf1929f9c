// The scan core: query set-up, the matching tests and the scan loop.
#include "search/scan.h"

#include "platform/text.h"

#include <cstring>

static int SetCriterion(char* criterion, int capacity, const char* text) {
    return CopyText(criterion, capacity, text != nullptr ? text : "");
}

void SetQueryCriteria(Query* query, const char* phone, const char* name, const char* street,
                      const char* house, const char* flat) {
    int phoneLength = SetCriterion(query->phone, PhoneCriterionSize, phone);
    if (phoneLength > 0) {
        query->phoneGiven = 1;
        query->phonePatternFlag = 0;
        for (int index = 0; index < phoneLength; index++)
            if (!IsDeviceDigit((unsigned char)query->phone[index])) query->phonePatternFlag = 1;
    } else {
        query->phoneGiven = 0;
    }
    query->nameGiven = SetCriterion(query->name, NameCriterionSize, name) > 0 ? 1 : 0;
    query->streetGiven = SetCriterion(query->street, StreetCriterionSize, street) > 0 ? 1 : 0;
    query->houseGiven = SetCriterion(query->house, HouseCriterionSize, house) > 0 ? 1 : 0;
    query->flatGiven = SetCriterion(query->flat, FlatCriterionSize, flat) > 0 ? 1 : 0;
}

bool QueryIsEmpty(const Query* query) {
    return !query->phoneGiven && !query->nameGiven && !query->streetGiven && !query->houseGiven &&
           !query->flatGiven;
}

int DecimalText(uint32_t number, char text[DecimalTextSize]) {
    char reversed[DecimalTextSize];
    int count = 0;
    do {
        reversed[count++] = char('0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (int index = 0; index < count; index++)
        text[index] = reversed[count - 1 - index];
    text[count] = 0;
    return count;
}

bool PhoneMatches(const char* decimalText, const char* criterion, int criterionLength, int patternFlag) {
    if (patternFlag == 0) return TextBeginsWith(decimalText, criterion, criterionLength);
    // Once the text has ended, every later position lies past it too.
    bool textEnded = false;
    for (int index = 0; index < criterionLength; index++) {
        if (!textEnded && decimalText[index] == 0) textEnded = true;
        if (!IsDeviceDigit((unsigned char)criterion[index])) continue;
        if (textEnded || decimalText[index] != criterion[index]) return false;
    }
    return true;
}

bool TextBeginsWith(const char* text, const char* criterion, int criterionLength) {
    // A shorter text meets its terminator, which no criterion byte equals.
    for (int index = 0; index < criterionLength; index++)
        if (text[index] != criterion[index]) return false;
    return true;
}

// The criteria's lengths, taken once per scan.
struct CriterionLengths {
    int phone, name, street, house, flat;
};

// A criterion's length inside its buffer, even if someone left it unterminated.
static int BoundedLength(const char* text, int capacity) {
    int length = 0;
    while (length < capacity - 1 && text[length] != 0)
        length++;
    return length;
}

static CriterionLengths MeasureCriteria(const Query* query) {
    return {BoundedLength(query->phone, PhoneCriterionSize), BoundedLength(query->name, NameCriterionSize),
            BoundedLength(query->street, StreetCriterionSize),
            BoundedLength(query->house, HouseCriterionSize), BoundedLength(query->flat, FlatCriterionSize)};
}

static bool PhonePasses(const Query* query, const CriterionLengths& lengths, uint32_t phone) {
    if (!query->phoneGiven) return true;
    char decimal[DecimalTextSize];
    DecimalText(phone, decimal);
    return PhoneMatches(decimal, query->phone, lengths.phone, query->phonePatternFlag);
}

static bool TextsPass(const Query* query, const CriterionLengths& lengths, const DatabaseRecord* record) {
    if (query->nameGiven && !TextBeginsWith(record->name, query->name, lengths.name)) return false;
    if (query->streetGiven && !TextBeginsWith(record->street, query->street, lengths.street)) return false;
    if (query->houseGiven && !TextBeginsWith(record->house, query->house, lengths.house)) return false;
    if (query->flatGiven && !TextBeginsWith(record->flat, query->flat, lengths.flat)) return false;
    return true;
}

// The text tests on the block itself, so that a record that fails them is never copied out. The block
// is read exactly as DecodeRecord lays it out: the texts lie between the phone number and the block's
// last byte, and a text without its terminator runs up to that byte (the texts after it are empty).
static bool BlockTextsPass(const Query* query, const CriterionLengths& lengths, const unsigned char* block,
                           int length) {
    const int given[4] = {query->nameGiven, query->streetGiven, query->houseGiven, query->flatGiven};
    const char* criteria[4] = {query->name, query->street, query->house, query->flat};
    const int criterionLengths[4] = {lengths.name, lengths.street, lengths.house, lengths.flat};
    int lastGiven = -1;
    for (int field = 0; field < 4; field++)
        if (given[field]) lastGiven = field;
    const unsigned char* text = block + 3;
    const unsigned char* limit = block + 3 + (length > 4 ? length - 4 : 0);
    for (int field = 0; field <= lastGiven; field++) {
        if (given[field]) {
            // A criterion holds no terminator, so a text that ends first differs at its terminator.
            const char* criterion = criteria[field];
            for (int index = 0; index < criterionLengths[field]; index++)
                if (text + index >= limit || text[index] != static_cast<unsigned char>(criterion[index]))
                    return false;
        }
        const void* terminator = std::memchr(text, 0, size_t(limit - text));
        text = terminator != nullptr ? static_cast<const unsigned char*>(terminator) + 1 : limit;
    }
    return true;
}

bool BlockMatches(const Query* query, const unsigned char* block, int length) {
    CriterionLengths lengths = MeasureCriteria(query);
    return PhonePasses(query, lengths, RecordPhone(block)) && BlockTextsPass(query, lengths, block, length);
}

bool RecordMatches(const Query* query, const DatabaseRecord* record) {
    CriterionLengths lengths = MeasureCriteria(query);
    return PhonePasses(query, lengths, record->phone) && TextsPass(query, lengths, record);
}

int FormatPhoneText(uint32_t phone, int phoneDigits, char16_t* output, int capacity) {
    if (output == nullptr || capacity <= 0) return 0;
    char decimal[DecimalTextSize];
    int digits = DecimalText(phone, decimal);
    int room = capacity - 1;
    int width = phoneDigits < 0 ? 0 : phoneDigits;
    if (width > room) width = room;
    int written = 0;
    for (int padding = digits; padding < width; padding++)
        output[written++] = u'0';
    for (int index = 0; index < digits && written < room; index++)
        output[written++] = char16_t(decimal[index]);
    output[written] = 0;
    return written;
}

int ScanDatabase(DatabaseReader* reader, const Query* query, const ScanCallbacks* callbacks,
                 ScanCounts* counts) {
    *counts = ScanCounts();
    CriterionLengths lengths = MeasureCriteria(query);
    DatabaseRecord record;
    for (;;) {
        const unsigned char* block = nullptr;
        int length = 0;
        int walk = NextRecordBlockInline(reader, &block, &length);
        if (walk == 0) return 0;
        if (walk < 0) return 1;
        counts->scanned++;
        if (callbacks->onRecord != nullptr) callbacks->onRecord(callbacks->context, counts);
        if (PhonePasses(query, lengths, RecordPhone(block)) &&
            BlockTextsPass(query, lengths, block, length)) {
            DecodeRecord(block, length, &record);
            if (callbacks->onMatch != nullptr && callbacks->onMatch(callbacks->context, &record, counts) != 0)
                return 3;
            counts->results++;
        }
        if (callbacks->shouldStop != nullptr && callbacks->shouldStop(callbacks->context)) return 2;
    }
}
