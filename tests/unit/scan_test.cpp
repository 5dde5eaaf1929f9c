// The scan core on a small fixed corpus: every query's matches against a golden dump.
#include "search/scan.h"

#include "database_test_support.h"

#include <gtest/gtest.h>

static const std::vector<TestRecord> Corpus = {
    {12,      "IVAN",        "LENINA",   "1",      "1" },
    {120,     "IVANOV",      "LENINA",   "12\xC0", ""  }, // 12А in code page 1251
    {1234567, "PETR IVANOV", "MIRA",     "3",      "45"},
    {21,      "Ivanov",      "MIRA",     "4",      "5" },
    {1,       "SIDOROV",     "SADOVAYA", "7",      ""  },
    {103,     "IVANOVA",     "LENINA",   "10",     "2" },
    {123,     "PETROV",      "LENINSKY", "1",      "12"},
    {1234,    "SIDOROVA",    "MIRA",     "3",      "4" },
    {1243,    "KUZNETSOV",   "",         "",       ""  },
    {13,      "IVANOV",      "SADOVAYA", "7",      "1" },
    {0,       "NOLL",        "MIRA",     "1",      ""  },
    {12345,   "POPOV",       "MIRA",     "1",      "1" },
};

struct Collected {
    std::string dump;
    int phoneDigits = 7;
    std::vector<int> recordCalls;
    int stopAfter = 0;
    int refuseAt = -1;
};

static int CollectMatch(void* context, const DatabaseRecord* record, const ScanCounts* counts) {
    Collected* collected = static_cast<Collected*>(context);
    if (counts->results == collected->refuseAt) return 1;
    char16_t phone[PhoneTextCapacity];
    FormatPhoneText(record->phone, collected->phoneDigits, phone, PhoneTextCapacity);
    collected->dump += Utf8FromWide(phone) + ";" + record->name + ";" + record->street + ";" + record->house +
                       ";" + record->flat + "\n";
    return 0;
}

static void CountRecord(void* context, const ScanCounts* counts) {
    Collected* collected = static_cast<Collected*>(context);
    collected->recordCalls.push_back(counts->scanned * 1000 + counts->results);
}

static bool StopWhenAsked(void* context) {
    Collected* collected = static_cast<Collected*>(context);
    return collected->stopAfter > 0 && int(collected->recordCalls.size()) >= collected->stopAfter;
}

static int Scan(const std::string& file, const Query& query, Collected* collected, ScanCounts* counts) {
    DatabaseReader reader;
    if (OpenDatabaseReader(&reader, DevicePath(file).c_str(), false) != 0) return -100;
    unsigned char header[29];
    ReadDatabaseHeader(&reader, header);
    collected->phoneDigits = HeaderPhoneDigits(header);
    ScanCallbacks callbacks;
    callbacks.context = collected;
    callbacks.onRecord = CountRecord;
    callbacks.onMatch = CollectMatch;
    callbacks.shouldStop = StopWhenAsked;
    int code = ScanDatabase(&reader, &query, &callbacks, counts);
    CloseDatabaseReader(&reader);
    return code;
}

static std::string Find(const char* phone, const char* name, int phoneDigits = 7,
                        const char* street = nullptr, const char* house = nullptr,
                        const char* flat = nullptr) {
    std::string file = "corpus" + std::to_string(phoneDigits) + ".db";
    WritePlain(file, MakeDatabaseBytes(Corpus, phoneDigits));
    Query query;
    SetQueryCriteria(&query, phone, name, street, house, flat);
    Collected collected;
    ScanCounts counts;
    EXPECT_EQ(Scan(file, query, &collected, &counts), 0);
    EXPECT_EQ(counts.scanned, int(Corpus.size()));
    return collected.dump;
}

static size_t LineCount(const std::string& text) {
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

TEST(Scan, GoldenMatches) {
    EXPECT_EQ(Find("12", nullptr), "0000012;IVAN;LENINA;1;1\n"
                                   "0000120;IVANOV;LENINA;12\xC0;\n"
                                   "1234567;PETR IVANOV;MIRA;3;45\n"
                                   "0000123;PETROV;LENINSKY;1;12\n"
                                   "0001234;SIDOROVA;MIRA;3;4\n"
                                   "0001243;KUZNETSOV;;;\n"
                                   "0012345;POPOV;MIRA;1;1\n");
    // Pattern: only the digit positions must match; 13 has no third character, 1243 the wrong one.
    EXPECT_EQ(Find("1?3", nullptr), "1234567;PETR IVANOV;MIRA;3;45\n"
                                    "0000103;IVANOVA;LENINA;10;2\n"
                                    "0000123;PETROV;LENINSKY;1;12\n"
                                    "0001234;SIDOROVA;MIRA;3;4\n"
                                    "0012345;POPOV;MIRA;1;1\n");
    // A pattern without digits matches every number, even past its end; 0 matches only 0.
    EXPECT_EQ(LineCount(Find("?", nullptr)), Corpus.size());
    EXPECT_EQ(LineCount(Find("?"
                             "?"
                             "?-"
                             "?"
                             "?",
                             nullptr)),
              Corpus.size());
    EXPECT_EQ(Find("0", nullptr), "0000000;NOLL;MIRA;1;\n");
    EXPECT_EQ(Find("12345678", nullptr), "");
    // Name prefix, case-sensitive: not PETR IVANOV, not Ivanov.
    EXPECT_EQ(Find(nullptr, "IVAN"), "0000012;IVAN;LENINA;1;1\n"
                                     "0000120;IVANOV;LENINA;12\xC0;\n"
                                     "0000103;IVANOVA;LENINA;10;2\n"
                                     "0000013;IVANOV;SADOVAYA;7;1\n");
    EXPECT_EQ(Find(nullptr, "IVANOV "), "");
    // Phone and name together: both must pass.
    EXPECT_EQ(Find("12", "IVAN"), "0000012;IVAN;LENINA;1;1\n"
                                  "0000120;IVANOV;LENINA;12\xC0;\n");
    // Street, house and flat, alone and together; an 8-bit house letter compares as a byte.
    EXPECT_EQ(Find(nullptr, nullptr, 7, "LENINS"), "0000123;PETROV;LENINSKY;1;12\n");
    EXPECT_EQ(Find(nullptr, nullptr, 7, nullptr, "12\xC0"), "0000120;IVANOV;LENINA;12\xC0;\n");
    EXPECT_EQ(Find(nullptr, nullptr, 7, "MIRA", "3", "4"), "1234567;PETR IVANOV;MIRA;3;45\n"
                                                           "0001234;SIDOROVA;MIRA;3;4\n");
    // Matching uses the undecorated number, not the padded display.
    EXPECT_EQ(Find("1234", nullptr, 6), "1234567;PETR IVANOV;MIRA;3;45\n"
                                        "001234;SIDOROVA;MIRA;3;4\n"
                                        "012345;POPOV;MIRA;1;1\n");
    EXPECT_EQ(Find("0123", nullptr, 6), "");
}

TEST(Scan, CallbacksCountStopAndRefuse) {
    WritePlain("callbacks.db", MakeDatabaseBytes(Corpus));
    Query query;
    SetQueryCriteria(&query, nullptr, "IVAN", nullptr, nullptr, nullptr);
    // onRecord sees each record once, counted, before it is tested: results do not include it yet.
    Collected collected;
    ScanCounts counts;
    EXPECT_EQ(Scan("callbacks.db", query, &collected, &counts), 0);
    EXPECT_EQ(collected.recordCalls,
              (std::vector<int>{1000, 2001, 3002, 4002, 5002, 6002, 7003, 8003, 9003, 10003, 11004, 12004}));
    EXPECT_EQ(counts.results, 4);
    // A stop request is honoured after the record in hand, which is still matched.
    Collected stopped;
    stopped.stopAfter = 2;
    EXPECT_EQ(Scan("callbacks.db", query, &stopped, &counts), 2);
    EXPECT_EQ(counts.scanned, 2);
    EXPECT_EQ(counts.results, 2);
    // A match that cannot be kept ends the scan; it is not counted.
    Collected refusing;
    refusing.refuseAt = 1;
    EXPECT_EQ(Scan("callbacks.db", query, &refusing, &counts), 3);
    EXPECT_EQ(counts.scanned, 2);
    EXPECT_EQ(counts.results, 1);
    // Data that end early: the scan ends with what it had.
    Bytes cut = MakeDatabaseBytes(Corpus);
    cut.resize(cut.size() - 2);
    WritePlain("callbacks-cut.db", cut);
    Collected early;
    EXPECT_EQ(Scan("callbacks-cut.db", query, &early, &counts), 1);
    EXPECT_EQ(counts.scanned, int(Corpus.size()) - 1);
    EXPECT_EQ(counts.results, 4);
}

TEST(Scan, QueryCriteria) {
    Query query;
    SetQueryCriteria(&query, "1?3", "", nullptr, "7", "");
    EXPECT_EQ(query.phoneGiven, 1);
    EXPECT_EQ(query.phonePatternFlag, 1);
    EXPECT_EQ(query.nameGiven + query.streetGiven + query.flatGiven, 0);
    EXPECT_EQ(query.houseGiven, 1);
    SetQueryCriteria(&query, "0123456789", nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(query.phonePatternFlag, 0);
    // Bytes from 0x80 up are never digits (a superscript or Arabic-Indic digit in some code page).
    SetQueryCriteria(&query, "12\xB9", nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(query.phonePatternFlag, 1);
    // An empty phone is not given and leaves the pattern flag alone; blanks alone are a criterion.
    SetQueryCriteria(&query, "", " ", nullptr, nullptr, nullptr);
    EXPECT_EQ(query.phoneGiven, 0);
    EXPECT_EQ(query.phonePatternFlag, 1);
    EXPECT_EQ(query.nameGiven, 1);
    EXPECT_FALSE(QueryIsEmpty(&query));
    SetQueryCriteria(&query, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(QueryIsEmpty(&query));
    // Long criteria are cut to their buffers.
    std::string longText(100, 'X');
    SetQueryCriteria(&query, longText.c_str(), longText.c_str(), longText.c_str(), longText.c_str(),
                     longText.c_str());
    EXPECT_EQ(std::string(query.phone), std::string(31, 'X'));
    EXPECT_EQ(std::string(query.name), std::string(51, 'X'));
    EXPECT_EQ(std::string(query.street), std::string(51, 'X'));
    EXPECT_EQ(std::string(query.house), std::string(7, 'X'));
    EXPECT_EQ(std::string(query.flat), std::string(7, 'X'));
}

static std::string PhoneText(uint32_t phone, int phoneDigits, int capacity = PhoneTextCapacity) {
    char16_t text[16];
    std::fill(std::begin(text), std::end(text), u'#');
    int length = FormatPhoneText(phone, phoneDigits, text, capacity);
    EXPECT_EQ(text[capacity], u'#'); // nothing written past the field
    EXPECT_LT(length, capacity);
    return Utf8FromWide(text);
}

TEST(Scan, PhoneText) {
    struct {
        uint32_t phone;
        int phoneDigits;
        int capacity;
        const char* shown;
    } cases[] = {
        {1234, 7, PhoneTextCapacity, "0001234"},
        {1234567, 4, PhoneTextCapacity, "1234567"},
        {12345, 6, PhoneTextCapacity, "012345"},
        // Every number a record holds is shown whole: 12,345,678 is not another subscriber's 1234567.
        {16777215, 7, PhoneTextCapacity, "16777215"},
        {12345678, 7, PhoneTextCapacity, "12345678"},
        {10000000, 8, PhoneTextCapacity, "10000000"},
        {42, 8, PhoneTextCapacity, "00000042"},
        // Phone digits beyond the field pad only as far as the field holds; 0 or less pad nothing.
        {5, 9, PhoneTextCapacity, "00000005"},
        {1234, 127, PhoneTextCapacity, "00001234"},
        {0, 0, PhoneTextCapacity, "0"},
        {1234, -3, PhoneTextCapacity, "1234"},
        // A smaller field cuts to the leading digits, never past its room.
        {16777215, 7, 8, "1677721"},
        {42, 7, 1, ""},
    };
    for (const auto& test : cases)
        EXPECT_EQ(PhoneText(test.phone, test.phoneDigits, test.capacity), test.shown)
            << test.phone << " with " << test.phoneDigits << " digits, capacity " << test.capacity;
    char decimal[DecimalTextSize];
    EXPECT_EQ(DecimalText(4294967295u, decimal), 10);
    EXPECT_STREQ(decimal, "4294967295");
    EXPECT_EQ(DecimalText(0, decimal), 1);
    EXPECT_STREQ(decimal, "0");
}

// The random tests' numbers: the same sequence on every run and machine.
struct TestRandom {
    uint32_t seed;
    uint32_t operator()() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    }
};

// The scan tests the texts on the block without copying them; whatever the bytes, it must agree with
// testing the decoded record (texts without terminators, texts running to the block's end, short blocks).
TEST(ScanCore, TestingTheBlockAgreesWithTestingTheDecodedRecord) {
    TestRandom next{12345};
    const char alphabet[] = {'A', 'B', 0};
    int matches = 0;
    for (int round = 0; round < 200000; round++) {
        unsigned char block[254];
        int length = 8 + int(next() % 20);
        for (int i = 0; i < length; i++)
            block[i] = static_cast<unsigned char>(alphabet[next() % 3]);
        char criteria[4][4] = {};
        for (auto& criterion : criteria) {
            int criterionLength = int(next() % 4);
            for (int i = 0; i < criterionLength; i++)
                criterion[i] = alphabet[next() % 2];
        }
        Query query;
        SetQueryCriteria(&query, nullptr, criteria[0], criteria[1], criteria[2], criteria[3]);
        DatabaseRecord record;
        DecodeRecord(block, length, &record);
        bool expected = RecordMatches(&query, &record);
        ASSERT_EQ(BlockMatches(&query, block, length), expected) << "round " << round;
        matches += expected;
    }
    EXPECT_GT(matches, 1000);
}

// The scan loop takes most blocks straight from the reader's buffer and the rest (across a refill)
// through the walker; its first test looks at the name's first four bytes as one word. Over a stream of
// random blocks, plain and compressed, it must report exactly the records that the plain test on each
// decoded record passes, in order, and a stop must leave the walker on the next record.
TEST(ScanCore, TheScanLoopAgreesWithTestingEachRecord) {
    TestRandom next{777};
    const char alphabet[] = {'A', 'B', 0};
    std::vector<Bytes> blocks;
    Bytes stream = MakeDatabaseBytes({});
    stream.resize(29); // the header alone
    int firstLength = 8 + int(next() % 247);
    stream.push_back(static_cast<unsigned char>(firstLength));
    int length = firstLength;
    for (int index = 0; index < 20000; index++) {
        int nextLength = index + 1 < 20000 ? 8 + int(next() % 247) : 255;
        Bytes block(size_t(length), 0);
        block[0] = static_cast<unsigned char>(index), block[1] = static_cast<unsigned char>(index >> 8);
        // Mostly short texts, so that names begin with every prefix of the alphabet.
        for (int i = 3; i < length - 1; i++)
            block[size_t(i)] = static_cast<unsigned char>(alphabet[next() % (i < 9 ? 2 : 3)]);
        if (next() % 2) block[3 + next() % 4] = 0; // a short name (bytes 3 to 6 are always text)
        block[size_t(length - 1)] = static_cast<unsigned char>(nextLength);
        stream.insert(stream.end(), block.begin(), block.end());
        blocks.push_back(block);
        length = nextLength;
    }
    WritePlain("loop.db", stream);
    WriteCompressed("loop.zdb", stream);
    struct Criteria {
        const char *phone, *name, *street;
    };
    const Criteria queries[] = {
        {nullptr, "A",     nullptr},
        {nullptr, "AB",    nullptr},
        {nullptr, "ABA",   nullptr},
        {nullptr, "ABBA",  nullptr},
        {nullptr, "ABBAB", nullptr},
        {nullptr, nullptr, "B"    },
        {"1",     "B",     nullptr},
        {"2?",    "BA",    "A"    },
    };
    for (const Criteria& criteria : queries) {
        Query query;
        SetQueryCriteria(&query, criteria.phone, criteria.name, criteria.street, nullptr, nullptr);
        std::vector<int> expected;
        for (int index = 0; index < int(blocks.size()); index++) {
            DatabaseRecord record;
            DecodeRecord(blocks[size_t(index)].data(), int(blocks[size_t(index)].size()), &record);
            if (RecordMatches(&query, &record)) expected.push_back(index);
        }
        for (bool compressed : {false, true}) {
            DatabaseReader reader;
            ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath(compressed ? "loop.zdb" : "loop.db").c_str(),
                                         compressed),
                      0);
            std::vector<int> found;
            ScanCallbacks callbacks;
            callbacks.context = &found;
            callbacks.onMatch = [](void* context, const DatabaseRecord* record, const ScanCounts*) {
                static_cast<std::vector<int>*>(context)->push_back(int(record->phone));
                return 0;
            };
            ScanCounts counts;
            EXPECT_EQ(ScanDatabase(&reader, &query, &callbacks, &counts), 0);
            CloseDatabaseReader(&reader);
            EXPECT_EQ(counts.scanned, 20000);
            EXPECT_EQ(found, expected) << criteria.name << " compressed " << compressed;
            EXPECT_EQ(counts.results, int(expected.size()));
        }
        EXPECT_FALSE(expected.empty());
    }
    // A stop inside a run of buffered blocks leaves the walker on the record after the one in hand.
    for (int stopAt : {1, 777, 2690, 19999}) {
        DatabaseReader reader;
        ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath("loop.db").c_str(), false), 0);
        Query query;
        SetQueryCriteria(&query, nullptr, "A", nullptr, nullptr, nullptr);
        struct Stop {
            int seen = 0, at = 0;
        } stop{0, stopAt};
        ScanCallbacks callbacks;
        callbacks.context = &stop;
        callbacks.onRecord = [](void* context, const ScanCounts*) { static_cast<Stop*>(context)->seen++; };
        callbacks.shouldStop = [](void* context) {
            Stop* state = static_cast<Stop*>(context);
            return state->seen >= state->at;
        };
        ScanCounts counts;
        EXPECT_EQ(ScanDatabase(&reader, &query, &callbacks, &counts), 2);
        EXPECT_EQ(counts.scanned, stopAt);
        const unsigned char* block = nullptr;
        int blockLength = 0;
        if (stopAt < 20000) {
            ASSERT_EQ(NextRecordBlock(&reader, &block, &blockLength), 1);
            EXPECT_EQ(Bytes(block, block + blockLength), blocks[size_t(stopAt)]) << "stop at " << stopAt;
        }
        CloseDatabaseReader(&reader);
    }
}
