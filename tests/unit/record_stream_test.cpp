// The record stream walker: whole files in both forms, every malformed case, truncated and damaged gzip.
#include "db/database_reader.h"

#include "database_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

struct WalkResult {
    std::vector<TestRecord> records;
    int endCode = 99;
};

static WalkResult Walk(const std::string& name, bool compressed) {
    WalkResult result;
    DatabaseReader reader;
    if (OpenDatabaseReader(&reader, DevicePath(name).c_str(), compressed) != 0) return result;
    const unsigned char* block = nullptr;
    int length = 0;
    int code;
    while ((code = NextRecordBlock(&reader, &block, &length)) == 1) {
        DatabaseRecord record;
        DecodeRecord(block, length, &record);
        result.records.push_back({record.phone, record.name, record.street, record.house, record.flat});
    }
    result.endCode = code;
    CloseDatabaseReader(&reader);
    return result;
}

static bool Same(const TestRecord& left, const TestRecord& right) {
    return left.phone == right.phone && left.name == right.name && left.street == right.street &&
           left.house == right.house && left.flat == right.flat;
}

// Records of many lengths (8 to 254 bytes), so blocks straddle every refill of the reader's buffer.
static std::vector<TestRecord> ManyRecords(int count) {
    std::vector<TestRecord> records;
    for (int index = 0; index < count; index++) {
        std::string name = "NAME" + std::to_string(index) + std::string(size_t(index * 7 % 200), 'N');
        std::string street = index % 5 == 0 ? "" : "STREET" + std::to_string(index % 97);
        records.push_back({uint32_t(index * 2654435761u % 16777216u), index % 11 == 0 ? "" : name, street,
                           std::to_string(index % 300), index % 3 == 0 ? "" : std::to_string(index % 150)});
    }
    return records;
}

static void ExpectPrefixOf(const std::vector<TestRecord>& got, const std::vector<TestRecord>& all) {
    ASSERT_LE(got.size(), all.size());
    for (size_t index = 0; index < got.size(); index++)
        ASSERT_TRUE(Same(got[index], all[index])) << index;
}

TEST(RecordStream, WholeFilesInBothForms) {
    std::vector<TestRecord> records = ManyRecords(20000); // several megabytes: many buffer refills
    Bytes bytes = MakeDatabaseBytes(records);
    // Bytes after the end mark are never read.
    bytes.insert(bytes.end(), {3, 1, 2, 3, 4, 5});
    WritePlain("many.db", bytes);
    WriteCompressed("many.zdb", bytes);
    for (bool compressed : {false, true}) {
        WalkResult result = Walk(compressed ? "many.zdb" : "many.db", compressed);
        EXPECT_EQ(result.endCode, 0);
        ASSERT_EQ(result.records.size(), records.size());
        ExpectPrefixOf(result.records, records);
    }
    // The plain read(n) hands out the same bytes across refills.
    DatabaseReader reader;
    ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath("many.zdb").c_str(), true), 0);
    Bytes again(bytes.size() + 100);
    size_t total = 0;
    for (long piece : {1L, 28L, 300000L, 7L, 100000000L}) {
        long got = ReadDatabaseBytes(&reader, again.data() + total,
                                     std::min<long>(piece, long(again.size() - total)));
        total += size_t(got);
    }
    EXPECT_EQ(total, bytes.size());
    again.resize(total);
    EXPECT_EQ(again, bytes);
    CloseDatabaseReader(&reader);
    CloseDatabaseReader(&reader); // twice is harmless
}

TEST(RecordStream, EndsAndMalformedBlocks) {
    // A first length byte of 255: no records. A file ending after its header: none either.
    WritePlain("none.db", MakeDatabaseBytes({}));
    EXPECT_EQ(Walk("none.db", false).endCode, 0);
    EXPECT_TRUE(Walk("none.db", false).records.empty());

    TestRecord first = {12, "IVANOV", "LENINA", "1", "2"};
    Bytes good = MakeDatabaseBytes({first, first}, 7, "CITY", false); // the last block's next length: 0

    // A length byte below 8, after a good record and as the first one: the stream ends, records before stand.
    for (unsigned char badLength : {0, 1, 3, 4, 7}) {
        Bytes bytes = MakeDatabaseBytes({first, first});
        size_t secondLengthAt = 29 + bytes[29]; // the first block's last byte
        bytes[secondLengthAt] = badLength;
        WritePlain("short-block.db", bytes);
        WalkResult result = Walk("short-block.db", false);
        EXPECT_EQ(result.endCode, -2) << int(badLength);
        ASSERT_EQ(result.records.size(), 1u);
        EXPECT_TRUE(Same(result.records[0], first));
        bytes[29] = badLength;
        WritePlain("short-block.db", bytes);
        result = Walk("short-block.db", false);
        EXPECT_EQ(result.endCode, -2);
        EXPECT_TRUE(result.records.empty());
    }
    WritePlain("zero.db", good);
    EXPECT_EQ(Walk("zero.db", false).endCode, -2);
    EXPECT_EQ(Walk("zero.db", false).records.size(), 2u);

    // A short read: the last block is cut off; the record before stands.
    Bytes cut(good.begin(), good.end() - 3);
    WritePlain("cut.db", cut);
    WalkResult result = Walk("cut.db", false);
    EXPECT_EQ(result.endCode, -1);
    ASSERT_EQ(result.records.size(), 1u);

    // The first block may be as long as 254 bytes and the first length byte 254.
    TestRecord longest = {16777215, std::string(200, 'A'), std::string(45, 'B'), "1", ""};
    Bytes bytes = MakeDatabaseBytes({longest});
    EXPECT_EQ(bytes[29], 254);
    WritePlain("longest.db", bytes);
    result = Walk("longest.db", false);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_TRUE(Same(result.records[0], longest));
}

TEST(RecordStream, TextsWithoutTerminatorsStayInsideTheBlock) {
    // phone, then 6 text bytes without any terminator, then the next length (255, the end mark).
    const unsigned char noTerminator[] = {1, 0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 255};
    DatabaseRecord record;
    DecodeRecord(noTerminator, sizeof noTerminator, &record);
    EXPECT_EQ(record.phone, 1u);
    EXPECT_STREQ(record.name, "ABCDEF");
    EXPECT_STREQ(record.street, "");
    EXPECT_STREQ(record.house, "");
    EXPECT_STREQ(record.flat, "");
    // Name and street terminated, house cut at the block's last byte, flat missing.
    const unsigned char houseCut[] = {2, 0, 0, 'N', 0, 'S', 0, '1', '2', 9};
    DecodeRecord(houseCut, sizeof houseCut, &record);
    EXPECT_STREQ(record.name, "N");
    EXPECT_STREQ(record.street, "S");
    EXPECT_STREQ(record.house, "12");
    EXPECT_STREQ(record.flat, "");
    // Bytes after the flat's terminator are ignored; blocks too short for texts give empty ones.
    const unsigned char trailing[] = {3, 0, 0, 0, 0, 0, 'F', 0, 'X', 'Y', 255};
    DecodeRecord(trailing, sizeof trailing, &record);
    EXPECT_STREQ(record.flat, "F");
    const unsigned char tiny[] = {4, 0, 0, 255};
    DecodeRecord(tiny, sizeof tiny, &record);
    EXPECT_EQ(record.phone, 4u);
    EXPECT_STREQ(record.name, "");
    EXPECT_STREQ(record.flat, "");

    // Through the walker: a block whose texts run up to its last byte.
    Bytes bytes = ToBytes(DatabaseHeaderBytes(0, "", 0));
    bytes.push_back(sizeof noTerminator);
    bytes.insert(bytes.end(), std::begin(noTerminator), std::end(noTerminator));
    WritePlain("unterminated.db", bytes);
    WalkResult result = Walk("unterminated.db", false);
    EXPECT_EQ(result.endCode, 0);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].name, "ABCDEF");
}

TEST(RecordStream, TruncatedGzipKeepsTheRecordsBefore) {
    std::vector<TestRecord> records = ManyRecords(3000);
    WriteCompressed("truncated.zdb", MakeDatabaseBytes(records));
    Bytes compressed = ReadHostFile("truncated.zdb");
    for (size_t keep : {compressed.size() / 2, compressed.size() - 9, size_t(15)}) {
        WritePlain("truncated-part.zdb", Bytes(compressed.begin(), compressed.begin() + long(keep)));
        WalkResult result = Walk("truncated-part.zdb", true);
        ExpectPrefixOf(result.records, records);
        if (keep == compressed.size() - 9) {
            // Only the trailer is lost: the data reach their end mark.
            EXPECT_EQ(result.endCode, 0);
            EXPECT_EQ(result.records.size(), records.size());
            continue;
        }
        EXPECT_EQ(result.endCode, -1) << keep;
        if (keep == compressed.size() / 2) {
            EXPECT_GT(result.records.size(), records.size() / 3);
        }
    }
}

TEST(RecordStream, DamagedGzipKeepsTheRecordsBefore) {
    // Small files (inside one read of the buffer) and large ones (damage many refills in).
    for (int count : {1000, 40000}) {
        std::vector<TestRecord> records = ManyRecords(count);
        Bytes bytes = MakeDatabaseBytes(records);
        // End a deflate block right after the record at two thirds, then break the next block's header.
        int damagedAfter = count * 2 / 3;
        size_t flushAt = 30;
        for (int index = 0; index < damagedAfter; index++)
            flushAt += bytes[flushAt - 1];
        long offset = WriteCompressed("damaged.zdb", bytes, flushAt);
        Bytes compressed = ReadHostFile("damaged.zdb");
        ASSERT_LT(size_t(offset), compressed.size());
        compressed[size_t(offset)] = 0xFF; // final block of the reserved type: invalid
        WritePlain("damaged.zdb", compressed);
        WalkResult result = Walk("damaged.zdb", true);
        EXPECT_EQ(result.endCode, -1);
        ExpectPrefixOf(result.records, records);
        // Every record before the damage stands.
        EXPECT_EQ(result.records.size(), size_t(damagedAfter)) << count;
    }
    // Damage at the very start of the compressed data: no records, no crash.
    WriteCompressed("damaged-start.zdb", MakeDatabaseBytes(ManyRecords(10)));
    Bytes compressed = ReadHostFile("damaged-start.zdb");
    compressed[10] = 0xFF;
    WritePlain("damaged-start.zdb", compressed);
    WalkResult result = Walk("damaged-start.zdb", true);
    EXPECT_EQ(result.endCode, -1);
    EXPECT_TRUE(result.records.empty());
}

TEST(RecordStream, DamagedTrailerLosesNoRecord) {
    // A wrong CRC-32 or length in the trailer of a small file (inside one read) and of a large one: the
    // header validates and every record is read up to the end mark.
    for (int count : {1, 200, 40000}) {
        std::vector<TestRecord> records = ManyRecords(count);
        WriteCompressed("trailer.zdb", MakeDatabaseBytes(records));
        Bytes compressed = ReadHostFile("trailer.zdb");
        for (size_t damaged : {compressed.size() - 8, compressed.size() - 1}) {
            Bytes bytes = compressed;
            bytes[damaged] ^= 0x55;
            WritePlain("trailer.zdb", bytes);
            unsigned char header[29];
            bool isCompressed = false;
            EXPECT_EQ(ValidateDatabaseFile(DevicePath("trailer.zdb").c_str(), header, &isCompressed), 0)
                << count << " " << damaged;
            WalkResult result = Walk("trailer.zdb", true);
            EXPECT_EQ(result.endCode, 0) << count;
            EXPECT_EQ(result.records.size(), records.size()) << count;
            ExpectPrefixOf(result.records, records);
        }
    }
}

// Reads a whole file as a scan does and then asks how the read ended, with the name looked at again.
static int ReadEndOf(const std::string& name, bool compressed, size_t* records, bool* trailing) {
    DatabaseReader reader;
    if (OpenDatabaseReader(&reader, DevicePath(name).c_str(), compressed) != 0) return -99;
    const unsigned char* block = nullptr;
    int length = 0;
    *records = 0;
    while (NextRecordBlock(&reader, &block, &length) == 1)
        ++*records;
    int code = -98;
    if (FinishDatabaseRead(&reader, nullptr, nullptr)) {
        FileIdentity pathNow;
        IdentityOfPath(DevicePath(name).c_str(), &pathNow);
        code = DatabaseReadEnd(&reader, &pathNow);
    }
    *trailing = DatabaseHasTrailingBytes(&reader);
    CloseDatabaseReader(&reader);
    return code;
}

static Bytes Flipped(Bytes bytes, size_t fromEnd) {
    bytes[bytes.size() - fromEnd] ^= 0x01;
    return bytes;
}

TEST(RecordStream, HowAReadEndedIsTold) {
    std::vector<TestRecord> records = ManyRecords(3000);
    Bytes data = MakeDatabaseBytes(records);
    size_t half = data.size() / 2;
    Bytes member = GzippedBytes(data);
    Bytes first = GzippedBytes(Bytes(data.begin(), data.begin() + long(half)));
    Bytes last = GzippedBytes(Bytes(data.begin() + long(half), data.end()));
    Bytes badLength = data;
    badLength[29] = 5; // the first length byte
    Bytes noEndMark = data;
    noEndMark.back() = 9; // the last block names a next one that never comes
    struct Case {
        const char* what;
        Bytes bytes;
        bool compressed;
        int readEnd;
        size_t records; // read whole
        bool trailing;
    };
    const size_t all = records.size();
    const Case cases[] = {
        {"a whole .db", data, false, DatabaseReadSound, all, false},
        {"a whole .zdb", member, true, DatabaseReadSound, all, false},
        {"a .zdb without the gzip magic", data, true, DatabaseReadSound, all, false},
        {"a .zdb of two members", JoinedBytes({first, last}), true, DatabaseReadSound, all, false},
        {"a .db cut in a record", Bytes(data.begin(), data.begin() + long(half)), false, DatabaseReadEndedEarly,
         0, false},
        {"a .db ending after its header", Bytes(data.begin(), data.begin() + 29), false, DatabaseReadEndedEarly,
         0, false},
        {"a length byte below 8", badLength, false, DatabaseReadEndedEarly, 0, false},
        {"no end mark", noEndMark, false, DatabaseReadEndedEarly, all, false},
        {"a .zdb cut in its data", Bytes(member.begin(), member.begin() + long(member.size() / 2)), true,
         DatabaseReadEndedEarly, 0, false},
        {"a .zdb cut in its trailer", Bytes(member.begin(), member.end() - 3), true, DatabaseReadCheckFailed,
         all, false},
        {"a wrong CRC-32", Flipped(member, 8), true, DatabaseReadCheckFailed, all, false},
        {"a wrong length", Flipped(member, 1), true, DatabaseReadCheckFailed, all, false},
        {"a wrong CRC-32 in the first member", JoinedBytes({Flipped(first, 8), last}), true, DatabaseReadCheckFailed,
         all, false},
        {"a wrong CRC-32 in the last member", JoinedBytes({first, Flipped(last, 8)}), true, DatabaseReadCheckFailed,
         all, false},
        {"a member after the end mark with a wrong CRC-32", JoinedBytes({member, Flipped(first, 8)}), true,
         DatabaseReadCheckFailed, all, false},
        {"a member after the end mark, cut", JoinedBytes({member, Bytes(first.begin(), first.begin() + 20)}), true,
         DatabaseReadCheckFailed, all, false},
        {"compressed data that cannot be inflated", JoinedBytes({Bytes(member.begin(), member.begin() + 10), {0xFF},
         Bytes(member.begin() + 11, member.end())}), true, DatabaseReadDamagedData, 0, false},
        {"trailing bytes", JoinedBytes({member, {'x', 'y'}}), true, DatabaseReadSound, all, true},
    };
    for (const Case& test : cases) {
        WritePlain("end.zdb", test.bytes);
        size_t read = 0;
        bool trailing = false;
        EXPECT_EQ(ReadEndOf("end.zdb", test.compressed, &read, &trailing), test.readEnd) << test.what;
        if (test.records == all) {
            EXPECT_EQ(read, all) << test.what;
        } else {
            EXPECT_LT(read, all) << test.what;
        }
        EXPECT_EQ(trailing, test.trailing) << test.what;
    }
}

TEST(RecordStream, AFileChangedWhileItIsReadIsTold) {
    std::vector<TestRecord> records = ManyRecords(40000); // several buffers: the change comes mid-read
    Bytes data = MakeDatabaseBytes(records);
    std::string host = TestDeviceFolder() + "/changing.db";
    struct Change {
        const char* what;
        void (*change)(const std::string& host, const Bytes& data);
        int readEnd;
    };
    const Change changes[] = {
        {"nothing", [](const std::string&, const Bytes&) {}, DatabaseReadSound},
        {"grown", [](const std::string& host, const Bytes&) {
             std::filesystem::resize_file(host, std::filesystem::file_size(host) + 10);
         }, DatabaseReadChanged},
        {"cut", [](const std::string& host, const Bytes& data) {
             std::filesystem::resize_file(host, data.size() / 4);
         }, DatabaseReadChanged},
        {"written in place", [](const std::string& host, const Bytes&) {
             struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
             utimensat(AT_FDCWD, host.c_str(), times, 0);
         }, DatabaseReadChanged},
        {"another file renamed over it", [](const std::string& host, const Bytes& data) {
             WritePlain("other.db", data);
             std::filesystem::rename(TestDeviceFolder() + "/other.db", host);
         }, DatabaseReadChanged},
        {"removed", [](const std::string& host, const Bytes&) { std::filesystem::remove(host); },
         DatabaseReadChanged},
    };
    for (const Change& test : changes) {
        WritePlain("changing.db", data);
        DatabaseReader reader;
        ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath("changing.db").c_str(), false), 0);
        const unsigned char* block = nullptr;
        int length = 0;
        for (int index = 0; index < 100; index++)
            ASSERT_EQ(NextRecordBlock(&reader, &block, &length), 1);
        // A scan that leaves early has nothing to be told.
        EXPECT_FALSE(FinishDatabaseRead(&reader, nullptr, nullptr));
        test.change(host, data);
        while (NextRecordBlock(&reader, &block, &length) == 1) {
        }
        ASSERT_TRUE(FinishDatabaseRead(&reader, nullptr, nullptr));
        FileIdentity pathNow;
        IdentityOfPath(DevicePath("changing.db").c_str(), &pathNow);
        EXPECT_EQ(DatabaseReadEnd(&reader, &pathNow), test.readEnd) << test.what;
        CloseDatabaseReader(&reader);
    }
}
