// The database header and `ValidateDatabaseFile`.
#include "db/database_file.h"
#include "db/database_reader.h"

#include "database_test_support.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>

static const Bytes WorkedExample = {0x01, 0x00, 0x00, 0x00, 0x0B, 0x07, 0x43, 0x49, 0x54, 0x59, 0x00,
                                    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                    0,    0,    0,    0,    0,    0,    0,    0x0B, 0x87, 0xD6, 0x12,
                                    0x41, 0x00, 0x42, 0x00, 0x31, 0x00, 0x00, 0xFF};

static int Validate(const std::string& name, unsigned char header[29], bool* compressed) {
    std::u16string path = DevicePath(name);
    return ValidateDatabaseFile(path.c_str(), header, compressed);
}

TEST(DatabaseFile, WorkedExampleReadsBackExactly) {
    ASSERT_EQ(WorkedExample.size(), 41u);
    // Every test's database bytes come from one builder: it gives exactly the worked example.
    EXPECT_EQ(MakeDatabaseBytes({
                  {1234567, "A", "B", "1", ""}
    }),
              WorkedExample);
    WritePlain("example.db", WorkedExample);
    WriteCompressed("example.zdb", WorkedExample);
    for (const char* name : {"example.db", "example.zdb"}) {
        unsigned char header[29];
        bool compressed = !IsCompressedDatabasePath(DevicePath(name).c_str());
        ASSERT_EQ(Validate(name, header, &compressed), 0) << name;
        EXPECT_EQ(compressed, std::string(name).ends_with(".zdb"));
        EXPECT_EQ(HeaderRecordCount(header), 1);
        EXPECT_EQ(HeaderFormatMark(header), 11);
        EXPECT_EQ(HeaderPhoneDigits(header), 7);
        char title[DatabaseTitleCapacity];
        EXPECT_EQ(HeaderTitle(header, title), 4);
        EXPECT_STREQ(title, "CITY");

        DatabaseReader reader;
        ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath(name).c_str(), compressed), 0);
        unsigned char again[29];
        EXPECT_EQ(ReadDatabaseHeader(&reader, again), 29);
        EXPECT_EQ(Bytes(again, again + 29), Bytes(WorkedExample.begin(), WorkedExample.begin() + 29));
        const unsigned char* block = nullptr;
        int length = 0;
        ASSERT_EQ(NextRecordBlock(&reader, &block, &length), 1);
        EXPECT_EQ(length, 11);
        DatabaseRecord record;
        DecodeRecord(block, length, &record);
        EXPECT_EQ(record.phone, 1234567u);
        EXPECT_STREQ(record.name, "A");
        EXPECT_STREQ(record.street, "B");
        EXPECT_STREQ(record.house, "1");
        EXPECT_STREQ(record.flat, "");
        EXPECT_EQ(NextRecordBlock(&reader, &block, &length), 0);
        EXPECT_EQ(NextRecordBlock(&reader, &block, &length), 0);
        CloseDatabaseReader(&reader);
    }
}

TEST(DatabaseFile, EveryResultCode) {
    unsigned char header[29];
    bool compressed = false;
    // Missing: 10 before any look at the name, even for a ".zdb".
    EXPECT_EQ(Validate("missing.zdb", header, &compressed), 10);
    EXPECT_EQ(Validate("missing.db", header, &compressed), 10);
    // A folder named like a compressed database.
    std::filesystem::create_directories(TestDeviceFolder() + "/x.zdb");
    EXPECT_EQ(Validate("x.zdb", header, &compressed), 11);

    // The extension in any case names the gzip form; a plain file with the compressed name still reads,
    // since the gzip reader hands uncompressed data through unchanged.
    WriteCompressed("upper.ZDB", WorkedExample);
    WriteCompressed("mixed.Zdb", WorkedExample);
    compressed = false;
    EXPECT_EQ(Validate("upper.ZDB", header, &compressed), 0);
    EXPECT_TRUE(compressed);
    compressed = false;
    EXPECT_EQ(Validate("mixed.Zdb", header, &compressed), 0);
    EXPECT_TRUE(compressed);
    // Compressed data under another name is read as plain bytes: its gzip magic is no header.
    WriteCompressed("packed.gz", WorkedExample);
    EXPECT_EQ(Validate("packed.gz", header, &compressed), 4);
    EXPECT_FALSE(IsCompressedDatabasePath(u"zdb"));
    EXPECT_FALSE(IsCompressedDatabasePath(u""));
    EXPECT_TRUE(IsCompressedDatabasePath(u".zDb"));

    // Short files: empty, 28 bytes, in both forms.
    WritePlain("empty.db", {});
    EXPECT_EQ(Validate("empty.db", header, &compressed), 3);
    Bytes short28(WorkedExample.begin(), WorkedExample.begin() + 28);
    WritePlain("short.db", short28);
    WriteCompressed("short.zdb", short28);
    EXPECT_EQ(Validate("short.db", header, &compressed), 3);
    EXPECT_EQ(Validate("short.zdb", header, &compressed), 3);
    // gzip data damaged before the header's end: the damage, named as a host file's box names it.
    WritePlain("method.zdb", {0x1F, 0x8B, 7, 0, 0, 0, 0, 0, 0, 3});
    EXPECT_EQ(Validate("method.zdb", header, &compressed), ValidationGzipDamage + GzipDamageMethod);
    EXPECT_EQ(std::u16string(ValidationFailureReason(5)), u"unknown compression method");


    // Format marks 10 and 12.
    for (unsigned char mark : {10, 12}) {
        Bytes bytes = WorkedExample;
        bytes[4] = mark;
        WritePlain("mark.db", bytes);
        EXPECT_EQ(Validate("mark.db", header, &compressed), 4);
    }

    // A file that cannot be opened: unreadable (skipped when running with rights that ignore modes).
    WritePlain("locked.db", WorkedExample);
    WriteCompressed("locked.zdb", WorkedExample);
    std::filesystem::permissions(TestDeviceFolder() + "/locked.db", std::filesystem::perms::none);
    std::filesystem::permissions(TestDeviceFolder() + "/locked.zdb", std::filesystem::perms::none);
    if (geteuid() != 0) {
        EXPECT_EQ(Validate("locked.db", header, &compressed), 1);
        EXPECT_EQ(Validate("locked.zdb", header, &compressed), 2);
    }
}

TEST(DatabaseFile, FileEndingAfterItsHeaderHoldsNoRecords) {
    Bytes headerOnly(WorkedExample.begin(), WorkedExample.begin() + 29);
    WritePlain("header.db", headerOnly);
    WriteCompressed("header.zdb", headerOnly);
    for (const char* name : {"header.db", "header.zdb"}) {
        unsigned char header[29];
        bool compressed = false;
        ASSERT_EQ(Validate(name, header, &compressed), 0) << name;
        DatabaseReader reader;
        ASSERT_EQ(OpenDatabaseReader(&reader, DevicePath(name).c_str(), compressed), 0);
        const unsigned char* block = nullptr;
        int length = 0;
        EXPECT_EQ(NextRecordBlock(&reader, &block, &length), -1);
        CloseDatabaseReader(&reader);
    }
}

TEST(DatabaseFile, HeaderFields) {
    unsigned char header[29] = {};
    // Phone bytes and the record count are little-endian; the count and phone digits are signed.
    const unsigned char phone1[] = {0x87, 0xD6, 0x12};
    const unsigned char phone2[] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(RecordPhone(phone1), 1234567u);
    EXPECT_EQ(RecordPhone(phone2), 16777215u);
    MakeDatabaseHeader(header, -2, -1, "");
    EXPECT_EQ(HeaderRecordCount(header), -2);
    EXPECT_EQ(HeaderPhoneDigits(header), -1);
    EXPECT_EQ(HeaderFormatMark(header), 11);

    // A title without a terminator in its field yields 22 bytes; the header's bytes are never passed.
    std::memset(header + 6, 'T', 23);
    char title[DatabaseTitleCapacity];
    EXPECT_EQ(HeaderTitle(header, title), 22);
    EXPECT_EQ(std::string(title), std::string(22, 'T'));
    // Made headers cut the title to 22 bytes and fill the rest of the field with zeros.
    MakeDatabaseHeader(header, 5, 7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(header[27], 'V');
    EXPECT_EQ(header[28], 0);
    EXPECT_EQ(HeaderTitle(header, title), 22);
}

// Runs work on a thread of its own and ends the test program when it has not returned in time: a thread
// stuck in an open() cannot be stopped, so a hang becomes a failure instead of a stalled suite.
static void ExpectReturnsWithin(int seconds, const char* what, std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([done, work] {
        work();
        done->set_value();
    }).detach();
    if (finished.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not return within %d s\n", what, seconds);
        std::abort();
    }
}

TEST(DatabaseFile, PipesNeverBlock) {
    // A named pipe without a writer, in both storage forms: the open fails at once.
    for (const char* name : {"pipe.zdb", "pipe.db"}) {
        std::string host = TestDeviceFolder() + "/" + name;
        ASSERT_EQ(mkfifo(host.c_str(), 0600), 0);
        bool compressed = std::string(name).ends_with(".zdb");
        int opened = 0;
        ExpectReturnsWithin(10, "opening a pipe", [&] {
            DatabaseReader reader;
            opened = OpenDatabaseReader(&reader, DevicePath(name).c_str(), compressed);
            CloseDatabaseReader(&reader);
        });
        EXPECT_EQ(opened, -1) << name;
        unsigned char header[29];
        bool flag = false;
        EXPECT_EQ(Validate(name, header, &flag), 10) << name;
    }

    // A database swapped with a pipe again and again while it is validated: never a hang, and every
    // answer is the file's, "nothing there" or "cannot be opened".
    WriteCompressed("swapped.zdb", WorkedExample);
    std::string folder = TestDeviceFolder();
    ASSERT_EQ(mkfifo((folder + "/swap-pipe").c_str(), 0600), 0);
    std::rename((folder + "/swapped.zdb").c_str(), (folder + "/swap-file").c_str());
    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        // Each round puts the pipe in place and then the file, keeping one name for each aside.
        while (!stop) {
            std::rename((folder + "/swap-pipe").c_str(), (folder + "/swapped.zdb").c_str());
            std::rename((folder + "/swapped.zdb").c_str(), (folder + "/swap-pipe").c_str());
            std::rename((folder + "/swap-file").c_str(), (folder + "/swapped.zdb").c_str());
            std::rename((folder + "/swapped.zdb").c_str(), (folder + "/swap-file").c_str());
        }
    });
    int accepted = 0;
    ExpectReturnsWithin(20, "validating a file swapped with a pipe", [&] {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
        while (std::chrono::steady_clock::now() < until) {
            unsigned char header[29];
            bool flag = false;
            int code = Validate("swapped.zdb", header, &flag);
            EXPECT_TRUE(code == 0 || code == 10 || code == 2) << code;
            accepted += code == 0;
        }
    });
    stop = true;
    swapper.join();
    EXPECT_GT(accepted, 0);
}
