// The gzip stream against zlib's own gzip reader: the same bytes for every file zlib reads without an
// error (plain files, members, trailing bytes, short files, every header field); after damage, what
// zlib's reader delivers and more, up to the damage.
#include "db/gzip_stream.h"

#include "database_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

struct Delivered {
    Bytes bytes;
    int endCode = GzipNotEnded; // the gzip stream's; for zlib's reader 0, or 2 when a read failed
    bool trailingBytes = false; // the gzip stream's
    int damage = GzipDamageNone; // the gzip stream's
};

// Reads the file through the gzip stream with the given inflater, in pieces of the given size.
static Delivered ReadWithStream(const std::string& name, int inflater, long piece, int inputSize) {
    Delivered result;
    FileHandle file = OpenDatabaseFile(DevicePath(name).c_str());
    EXPECT_NE(file, NoFile);
    GzipStream stream;
    EXPECT_EQ(OpenGzipStream(&stream, file, inputSize, inflater), 0);
    std::vector<unsigned char> buffer(static_cast<size_t>(piece));
    for (;;) {
        long got = ReadGzipStream(&stream, buffer.data(), piece);
        result.bytes.insert(result.bytes.end(), buffer.begin(), buffer.begin() + got);
        if (got < piece) break;
    }
    EXPECT_EQ(ReadGzipStream(&stream, buffer.data(), piece), 0); // an ended stream stays ended
    result.endCode = stream.endCode;
    result.trailingBytes = stream.trailingBytes;
    result.damage = stream.damage;
    CloseGzipStream(&stream);
    CloseFile(file);
    return result;
}

static Delivered ReadWithGzread(const std::string& name) {
    Delivered result;
    gzFile file = gzopen((TestDeviceFolder() + "/" + name).c_str(), "rb");
    unsigned char buffer[1000];
    int got;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0)
        result.bytes.insert(result.bytes.end(), buffer, buffer + got);
    result.endCode = got < 0 ? GzipEndedDamaged : GzipEndedWhole;
    gzclose(file);
    return result;
}

// A member with a header of our own making: flags, extra field, name, comment and header check.
static Bytes MemberWithHeader(const Bytes& data, int flags, bool rightHeaderCheck = true) {
    Bytes member = GzippedBytes(data);
    Bytes header = {0x1F, 0x8B, 8, (unsigned char)flags, 1, 2, 3, 4, 0, 3};
    if (flags & 0x04) header.insert(header.end(), {5, 0, 'x', 't', 'r', 'a', '!'});
    if (flags & 0x08) header.insert(header.end(), {'n', 'a', 'm', 'e', 0});
    if (flags & 0x10) header.insert(header.end(), {'c', 'o', 'm', 0});
    if (flags & 0x02) {
        uLong check = crc32(0, header.data(), unsigned(header.size())) ^ (rightHeaderCheck ? 0 : 1);
        header.insert(header.end(), {(unsigned char)check, (unsigned char)(check >> 8)});
    }
    return JoinedBytes({header, Bytes(member.begin() + 10, member.end())});
}

struct Case {
    const char* what;
    Bytes bytes;
    int endCode;                  // the gzip stream's
    const Bytes* whole = nullptr; // where zlib's reader stops at a wrong trailer: what the stream gives
    bool trailingBytes = false;   // bytes after the last member were met
    int damage = GzipDamageNone;  // what the stream names as the damage
};

static std::vector<Case> Cases() {
    Bytes data = MakeDatabaseBytes({
        {12, "IVANOV", "LENINA", "1", "2"},
        {34, "PETROV", "",       "",  "" }
    });
    Bytes member = GzippedBytes(data);
    Bytes large(300000);
    for (size_t index = 0; index < large.size(); index++)
        large[index] = (unsigned char)(index * 7 + index / 251);
    Bytes largeMember = GzippedBytes(large);
    Bytes badCrc = member;
    badCrc[badCrc.size() - 6] ^= 1;
    Bytes badLength = member;
    badLength[badLength.size() - 2] ^= 1;
    Bytes named = MemberWithHeader(data, 0x08);
    Bytes badData = largeMember;
    badData[largeMember.size() / 2] ^= 0x20;
    static Bytes bothMembers;
    bothMembers = JoinedBytes({data, large});
    std::vector<Case> cases;
    auto add = [&cases](const char* what, const Bytes& bytes, int endCode, const Bytes* whole = nullptr,
                        bool trailing = false, int damage = GzipDamageNone) {
        cases.push_back({what, bytes, endCode, whole, trailing, damage});
    };
    Bytes cutLarge(largeMember.begin(), largeMember.begin() + long(largeMember.size() / 2));
    add("empty file", {}, GzipEndedWhole);
    add("plain bytes", data, GzipEndedWhole);
    add("one byte, the first half of the magic", {0x1F}, GzipEndedWhole);
    add("the magic alone", {0x1F, 0x8B}, GzipEndedEarly);
    add("the magic and half a header", {0x1F, 0x8B, 8, 0, 0}, GzipEndedEarly);
    add("one member", member, GzipEndedWhole);
    add("a large member", largeMember, GzipEndedWhole);
    add("two members", JoinedBytes({member, largeMember}), GzipEndedWhole);
    add("a member and trailing bytes", JoinedBytes({member, ToBytes("trailing")}), GzipEndedWhole, nullptr, true);
    add("a member and one byte", JoinedBytes({member, {0x1F}}), GzipEndedWhole, nullptr, true);
    add("a member and a cut second one", JoinedBytes({member, Bytes(member.begin(), member.begin() + 12)}),
        GzipEndedEarly);
    add("a member, trailing bytes, a member", JoinedBytes({member, ToBytes("xx"), member}), GzipEndedWhole, nullptr,
        true);
    add("an empty member", GzippedBytes({}), GzipEndedWhole);
    add("every header field", MemberWithHeader(data, 0x1F), GzipEndedWhole);
    add("extra field and header check", MemberWithHeader(data, 0x06), GzipEndedWhole);
    add("cut in the name", Bytes(named.begin(), named.begin() + 12), GzipEndedEarly);
    add("cut in the compressed data", cutLarge, GzipEndedEarly);
    add("cut in the trailer", Bytes(member.begin(), member.end() - 3), GzipEndedEarly);
    add("cut before the trailer", Bytes(member.begin(), member.end() - 8), GzipEndedEarly);
    add("wrong header check", MemberWithHeader(data, 0x02, false), GzipEndedDamaged, nullptr, false,
        GzipDamageHeaderCheck);
    add("a reserved flag", MemberWithHeader(data, 0x20), GzipEndedDamaged, nullptr, false, GzipDamageFlags);
    add("a method other than deflate",
        JoinedBytes({
            {0x1F, 0x8B, 7},
            Bytes(member.begin() + 3, member.end())
    }),
        GzipEndedDamaged, nullptr, false, GzipDamageMethod);
    add("wrong CRC-32", badCrc, GzipEndedDamaged);
    add("wrong length", badLength, GzipEndedDamaged);
    add("wrong CRC-32 and cut in the length", Bytes(badCrc.begin(), badCrc.end() - 2), GzipEndedDamaged);
    add("damaged compressed data", badData, GzipEndedDamaged);
    add("a good member, then a damaged one", JoinedBytes({member, badData}), GzipEndedDamaged);
    // A wrong trailer is told at the end, whichever member has it: the members after it are read on.
    add("wrong CRC-32 in the first of two members", JoinedBytes({badCrc, largeMember}), GzipEndedDamaged,
        &bothMembers);
    add("wrong length in the first of two members", JoinedBytes({badLength, largeMember}), GzipEndedDamaged,
        &bothMembers);
    add("wrong CRC-32 in the last of two members",
        JoinedBytes({
            member,
            Bytes(largeMember.begin(), largeMember.end() - 8),
            {0, 0, 0, 0},
            Bytes(largeMember.end() - 4, largeMember.end())
    }),
        GzipEndedDamaged, &bothMembers);
    return cases;
}

// The inflaters this build has: zlib always, ISA-L where it is built in.
static std::vector<int> Inflaters() {
    if (GzipIsalBuiltIn()) return {GzipInflaterZlib, GzipInflaterIsal};
    return {GzipInflaterZlib};
}

TEST(GzipStream, ReadsAsZlibsGzipReaderDoes) {
    for (const Case& test : Cases()) {
        WritePlain("case.zdb", test.bytes);
        Delivered zlib = ReadWithGzread("case.zdb");
        for (int inflater : Inflaters())
            for (long piece : {1L, 29L, 4096L, 1L << 20}) {
                Delivered stream = ReadWithStream("case.zdb", inflater, piece, piece == 29 ? 16 : 65536);
                SCOPED_TRACE(std::string(test.what) + ", inflater " + std::to_string(inflater) +
                             ", pieces of " + std::to_string(piece));
                EXPECT_EQ(stream.endCode, test.endCode);
                EXPECT_EQ(stream.trailingBytes, test.trailingBytes);
                EXPECT_EQ(stream.damage, test.damage);

                if (test.whole != nullptr) {
                    EXPECT_EQ(stream.bytes, *test.whole);
                } else if (zlib.endCode == GzipEndedWhole) {
                    EXPECT_EQ(stream.bytes, zlib.bytes) << test.what << ", pieces of " << piece;
                } else {
                    // zlib's reader loses what it decompressed ahead of the damage; the stream does not.
                    ASSERT_GE(stream.bytes.size(), zlib.bytes.size()) << test.what;
                    EXPECT_TRUE(std::equal(zlib.bytes.begin(), zlib.bytes.end(), stream.bytes.begin()))
                        << test.what;
                }
            }
    }
}

TEST(GzipStream, DamageKeepsEveryByteBeforeIt) {
    // Bad compressed data half way: the bytes before the damage all arrive.
    Bytes large(300000);
    for (size_t index = 0; index < large.size(); index++)
        large[index] = (unsigned char)(index % 251 + index / 4000);
    long offset = WriteCompressed("flushed.zdb", large, 200000);
    Bytes compressed = ReadHostFile("flushed.zdb");
    compressed[size_t(offset)] = 0xFF; // a final block of the reserved type
    WritePlain("flushed.zdb", compressed);
    for (int inflater : Inflaters()) {
        Delivered stream = ReadWithStream("flushed.zdb", inflater, 256 * 1024, 256 * 1024);
        EXPECT_EQ(stream.endCode, GzipEndedDamaged);
        EXPECT_EQ(stream.damage, GzipDamageData);

        ASSERT_EQ(stream.bytes.size(), 200000u) << inflater;
        EXPECT_TRUE(std::equal(stream.bytes.begin(), stream.bytes.end(), large.begin()));
        // Read in small pieces, so ISA-L has handed bytes out before it meets the damage: zlib takes the
        // member over from there and gives the same.
        stream = ReadWithStream("flushed.zdb", inflater, 1000, 4096);
        EXPECT_EQ(stream.endCode, GzipEndedDamaged);
        EXPECT_EQ(stream.bytes.size(), 200000u) << inflater;
    }

    // A file that cannot be read (a folder opened as a file reads with an error).
    int folder = open(TestDeviceFolder().c_str(), O_RDONLY | O_DIRECTORY);
    GzipStream unreadable;
    ASSERT_EQ(OpenGzipStream(&unreadable, folder, 4096, GzipInflaterZlib), 0);
    unsigned char byte;
    EXPECT_EQ(ReadGzipStream(&unreadable, &byte, 1), 0);
    EXPECT_EQ(unreadable.endCode, GzipEndedUnreadable);
    CloseGzipStream(&unreadable);
    close(folder);
}

// A pipe gives its bytes once: the stream reads it on, never back, and delivers what the file gives.
TEST(GzipStream, APipeReadsAsTheFileDoes) {
    for (const Case& test : Cases()) {
        WritePlain("case.zdb", test.bytes);
        Delivered fromFile = ReadWithStream("case.zdb", GzipInflaterZlib, 4096, 65536);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        std::thread writer([&] {
            size_t written = 0;
            while (written < test.bytes.size()) {
                ssize_t count = write(ends[1], test.bytes.data() + written, test.bytes.size() - written);
                if (count <= 0) break;
                written += size_t(count);
            }
            close(ends[1]);
        });
        GzipStream stream;
        ASSERT_EQ(OpenGzipStream(&stream, ends[0], 65536, DefaultGzipInflater()), 0);
        Delivered fromPipe;
        unsigned char buffer[4096];
        long got;
        while ((got = ReadGzipStream(&stream, buffer, sizeof buffer)) > 0)
            fromPipe.bytes.insert(fromPipe.bytes.end(), buffer, buffer + got);
        fromPipe.endCode = stream.endCode;
        CloseGzipStream(&stream);
        // Whatever the stream left unread still has to leave the pipe, or the writer would wait forever.
        while (read(ends[0], buffer, sizeof buffer) > 0) {
        }
        writer.join();
        close(ends[0]);
        EXPECT_EQ(fromPipe.endCode, fromFile.endCode) << test.what;
        EXPECT_EQ(fromPipe.bytes, fromFile.bytes) << test.what;
    }
}
