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

// The first test of a scan: the name criterion's first (up to) four bytes against the name's first four
// bytes, as one masked word.
struct NameWordTest {
    bool given = false; // the name is given
    uint32_t word = 0;  // the criterion's first bytes
    uint32_t mask = 0;  // the bits of the word the criterion covers
};

// What the block tests need, worked out once per scan rather than once per record.
struct TextTestPlan {
    int lastGiven = -1;           // the last given text field (0 name .. 3 flat), -1 when none is
    bool given[4] = {};           // the text fields' given-flags, in block order
    const char* criteria[4] = {}; // their criteria
    int lengths[4] = {};          // and the criteria's lengths
    NameWordTest nameWord;        // tested before all the rest
};

static TextTestPlan PlanTextTests(const Query* query, const CriterionLengths& lengths) {
    TextTestPlan plan;
    const int given[4] = {query->nameGiven, query->streetGiven, query->houseGiven, query->flatGiven};
    const char* criteria[4] = {query->name, query->street, query->house, query->flat};
    const int criterionLengths[4] = {lengths.name, lengths.street, lengths.house, lengths.flat};
    for (int field = 0; field < 4; field++) {
        plan.given[field] = given[field] != 0;
        plan.criteria[field] = criteria[field];
        plan.lengths[field] = criterionLengths[field];
        if (given[field]) plan.lastGiven = field;
    }
    if (plan.given[0]) {
        unsigned char prefix[4] = {}, mask[4] = {};
        for (int index = 0; index < 4 && index < plan.lengths[0]; index++) {
            prefix[index] = static_cast<unsigned char>(query->name[index]);
            mask[index] = 0xFF;
        }
        plan.nameWord.given = true;
        std::memcpy(&plan.nameWord.word, prefix, 4);
        std::memcpy(&plan.nameWord.mask, mask, 4);
    }
    return plan;
}

// The text tests on the block itself, so that a record that fails them is never copied out. The block
// is read exactly as DecodeRecord lays it out: the texts lie between the phone number and the block's
// last byte, and a text without its terminator runs up to that byte (the texts after it are empty).
static bool BlockTextsPass(const TextTestPlan& plan, const unsigned char* block, int length) {
    const unsigned char* text = block + 3;
    const unsigned char* limit = block + 3 + (length > 4 ? length - 4 : 0);
    for (int field = 0; field <= plan.lastGiven; field++) {
        if (plan.given[field]) {
            // A criterion holds no terminator, so a text that ends first differs at its terminator.
            const char* criterion = plan.criteria[field];
            for (int index = 0; index < plan.lengths[field]; index++)
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
    return PhonePasses(query, lengths, RecordPhone(block)) &&
           BlockTextsPass(PlanTextTests(query, lengths), block, length);
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

// What the scan needs for the tests past the first word, and for reporting a match.
struct ScanState {
    const Query* query;
    CriterionLengths lengths;
    TextTestPlan plan;
    DatabaseRecord record;
};

// A match reported: its texts copied out, onMatch called, the match counted. Returns -1 to go on, 3 when
// onMatch could not keep it.
static int ReportMatch(ScanState* state, const ScanCallbacks& callbacks, ScanCounts* now, const unsigned char* block,
                       int length) {
    DecodeRecord(block, length, &state->record);
    ScanCounts copy = *now;
    if (callbacks.onMatch != nullptr && callbacks.onMatch(callbacks.context, &state->record, &copy) != 0)
        return 3;
    now->results++;
    return -1;
}

// The tests past the name's first word, and the report of a match. Returns -1 to go on, 3 when onMatch
// could not keep the match.
static int TestAndReport(ScanState* state, const ScanCallbacks& callbacks, ScanCounts* now,
                         const unsigned char* block, int length) {
    if (!PhonePasses(state->query, state->lengths, RecordPhone(block)) ||
        !BlockTextsPass(state->plan, block, length))
        return -1;
    return ReportMatch(state, callbacks, now, block, length);
}

// Everything the scan does with one record; returns -1 to go on, or the scan's code 2 or 3 to end it.
// The callbacks, the counts and the first-word test arrive as copies in locals, so that nothing a callback
// may reach has to come back from memory between one record and the next.
static inline int ScanRecord(ScanState* state, const ScanCallbacks& callbacks, ScanCounts* now,
                             NameWordTest nameWord, const unsigned char* block, int length) {
    now->scanned++;
    if (callbacks.onRecord != nullptr) {
        ScanCounts copy = *now;
        callbacks.onRecord(callbacks.context, &copy);
    }
    // Most records differ from a name criterion within its first four bytes, so those are tested first, as
    // one word. They are inside the block and before its text limit (a block holds at least 8 bytes), and
    // a name that ends sooner differs at its terminator, as in the full test.
    bool candidate = true;
    if (nameWord.given) {
        uint32_t word;
        std::memcpy(&word, block + 3, 4);
        candidate = (word & nameWord.mask) == nameWord.word;
    }
    if (candidate && TestAndReport(state, callbacks, now, block, length) == 3) return 3;
    if (callbacks.shouldStop != nullptr && callbacks.shouldStop(callbacks.context)) return 2;
    return -1;
}

// The test a pool thread puts every record of its member to: the first word, then the rest, as ScanRecord
// does; it only reads the state.
static bool BlockPassesOnAnyThread(const void* context, const unsigned char* block, int length) {
    const ScanState* state = static_cast<const ScanState*>(context);
    if (state->plan.nameWord.given) {
        uint32_t word;
        std::memcpy(&word, block + 3, 4);
        if ((word & state->plan.nameWord.mask) != state->plan.nameWord.word) return false;
    }
    return PhonePasses(state->query, state->lengths, RecordPhone(block)) &&
           BlockTextsPass(state->plan, block, length);
}

// A block that passed, reported, and the caller asked whether to go on. Returns -1 to go on, or the scan's
// code 2 or 3.
static int ReportPassedBlock(ScanState* state, const ScanCallbacks& callbacks, ScanCounts* now,
                             const unsigned char* block, int length) {
    int code = ReportMatch(state, callbacks, now, block, length);
    if (code < 0 && callbacks.shouldStop != nullptr && callbacks.shouldStop(callbacks.context)) code = 2;
    return code;
}

// Walks a member's first bytes from the true length of its first block (known only now, from the member
// before) up to where its thread's walk began. Returns 1 when the walk meets that block, 0 when it meets
// the end mark first, -1 when the bytes cannot be walked so (the sequential stream then reads the member).
// With report set, every record is counted and tested on the way, and *scanCode is set to the scan's code
// 2 or 3 when it is to end (the walk stops there).
static int WalkMemberPrefix(ScanState* state, const ScanCallbacks& callbacks, ScanCounts* now,
                            const ScannedMember& scanned, int firstLength, bool report, int* scanCode) {
    long position = scanned.member == 0 ? DatabaseHeaderSize + 1 : 0;
    int length = firstLength;
    while (position < scanned.walkStart) {
        if (length == DatabaseEndMark) return 0;
        if (length < MinimumBlockLength || position + length > scanned.walkStart) return -1;
        const unsigned char* block = scanned.prefix + position;
        if (report) {
            now->scanned++;
            if (BlockPassesOnAnyThread(state, block, length))
                *scanCode = ReportPassedBlock(state, callbacks, now, block, length);
            else if (callbacks.shouldStop != nullptr && callbacks.shouldStop(callbacks.context))
                *scanCode = 2;
            if (*scanCode >= 0) return 1;
        }
        position += length;
        length = block[length - 1];
    }
    return position == scanned.walkStart ? 1 : -1;
}

// A file in members whose records the pool's threads test as they inflate them: the members are taken in
// file order and what passed is reported, with the counts a scan of one record after another gives.
// shouldStop is asked after each match and each member (the records in between are tested on other
// threads). Returns the scan's code, or -1 when the sequential walk is to go on (from a member that failed
// a check, or after the members).
static int ScanMembersOnTheirThreads(DatabaseReader* reader, ScanState* state, const ScanCallbacks& callbacks,
                                     ScanCounts* now) {
    MemberReader* members = reader->members;
    if (!StartMemberScan(members, BlockPassesOnAnyThread, state)) return -1; // the gzip stream reads on
    int firstLength = -1; // the length of the next member's first block; -1 before the first member
    for (;;) {
        ScannedMember scanned;
        long long resumeOffset = 0;
        if (NextScannedMember(members, &scanned, &resumeOffset) == 0) {
            ResumeRecordsAt(reader, resumeOffset, firstLength);
            return -1;
        }
        if (scanned.member == 0) {
            if (scanned.walkStart != DatabaseHeaderSize + 1) {
                ResumeRecordsAt(reader, scanned.startOffset, firstLength);
                return -1;
            }
            firstLength = scanned.prefix[DatabaseHeaderSize];
        }
        // Checked before a record of the member is reported, so that a member the sequential stream is
        // to read gives nothing twice.
        int code = -1;
        int walk = WalkMemberPrefix(state, callbacks, now, scanned, firstLength, false, &code);
        if (walk < 0 || (walk == 1 && scanned.walkEnd == MemberWalkBroken)) {
            ResumeRecordsAt(reader, scanned.startOffset, firstLength);
            return -1;
        }
        reader->membersScannedOnThreads++;
        WalkMemberPrefix(state, callbacks, now, scanned, firstLength, true, &code);
        if (code >= 0) return code;
        if (walk == 0) {
            EndRecordsAt(reader, scanned.endOffset);
            return 0;
        }
        int base = now->scanned;
        const unsigned char* match = scanned.matches;
        const unsigned char* matchesEnd = scanned.matches + scanned.matchesLength;
        while (match < matchesEnd) {
            int number = int(uint32_t(match[0]) | uint32_t(match[1]) << 8 | uint32_t(match[2]) << 16 |
                             uint32_t(match[3]) << 24);
            int length = match[4];
            now->scanned = base + number + 1;
            code = ReportPassedBlock(state, callbacks, now, match + 5, length);
            if (code >= 0) return code;
            match += 5 + length;
        }
        now->scanned = base + scanned.recordsWalked;
        if (scanned.walkEnd == MemberWalkedToTheEndMark) {
            EndRecordsAt(reader, scanned.endOffset);
            return 0;
        }
        if (callbacks.shouldStop != nullptr && callbacks.shouldStop(callbacks.context)) return 2;
        firstLength = scanned.lastByte;
    }
}

int ScanDatabase(DatabaseReader* reader, const Query* query, const ScanCallbacks* callbacks,
                 ScanCounts* counts) {
    ScanState state;
    state.query = query;
    state.lengths = MeasureCriteria(query);
    state.plan = PlanTextTests(query, state.lengths);
    const ScanCallbacks calls = *callbacks;
    const NameWordTest nameWord = state.plan.nameWord;
    ScanCounts now;
    int code = -1;
    if (MembersLeftToTheScan(reader) != nullptr) {
        constexpr int BeforeHeader = 0, BeforeFirstLength = 1; // the walker's states (database_reader.cpp)
        if (reader->walkState == BeforeHeader && calls.onRecord == nullptr) {
            unsigned char header[DatabaseHeaderSize];
            ReadDatabaseHeader(reader, header);
        }
        if (reader->walkState == BeforeFirstLength && calls.onRecord == nullptr)
            code = ScanMembersOnTheirThreads(reader, &state, calls, &now);
        // Their threads test with this scan's state: they stop before it goes, also when it ends early. A
        // scan that reports every record reads on through the gzip stream.
        CloseMemberReader(reader->members);
        reader->members = nullptr;
    }
    while (code < 0) {
        BlockRun run = BeginBlockRun(reader);
        const unsigned char* block = nullptr;
        int length = 0;
        while (code < 0 && TakeBlockFromRun(&run, &block, &length))
            code = ScanRecord(&state, calls, &now, nameWord, block, length);
        EndBlockRun(reader, run);
        if (code >= 0) break;
        int walk = NextRecordBlock(reader, &block, &length);
        if (walk <= 0) {
            code = walk == 0 ? 0 : 1;
            break;
        }
        code = ScanRecord(&state, calls, &now, nameWord, block, length);
    }
    *counts = now;
    return code;
}
