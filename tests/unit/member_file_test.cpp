// A .zdb made of members for parallel reading: the layout the writer makes, and the member reader
// giving exactly what the sequential gzip stream gives, on sound, damaged, cut and mixed files.
#include "db/database_reader.h"
#include "db/member_layout.h"
#include "db/member_reader.h"
#include "platform/work_pool.h"
#include "search/scan.h"
#include "tests/unit/database_test_support.h"
#include "tools/member_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

// Records that compress as a directory does.
Bytes RecordBytes(int count) {
    std::vector<TestRecord> records;
    uint32_t seed = 12345;
    for (int index = 0; index < count; index++) {
        seed = seed * 1103515245u + 12345u;
        records.push_back({seed % 9000000 + 100000, "NAME" + std::to_string(seed % 7919),
                           "STREET" + std::to_string(seed % 211), std::to_string(seed % 97),
                           std::to_string(seed % 300)});
    }
    return ToBytes(DatabaseBytes(records));
}

// About 2.6 MB of records, so that the writer makes three members.
const Bytes& DirectoryBytes() {
    static Bytes bytes = RecordBytes(80000);
    return bytes;
}

void AppendTo(void* context, const unsigned char* bytes, size_t count) {
    static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), bytes, bytes + count);
}

Bytes MemberFile(const Bytes& inflated) {
    MemberWriter writer;
    Bytes file;
    EXPECT_EQ(StartMemberWriter(&writer, 6), 0);
    // In uneven pieces, as the tools hand bytes over.
    for (size_t start = 0; start < inflated.size(); start += 70001)
        AddMemberBytes(&writer, inflated.data() + start, std::min<size_t>(70001, inflated.size() - start),
                       AppendTo, &file);
    EXPECT_EQ(FinishMemberWriter(&writer, AppendTo, &file), 0);
    return file;
}

uint32_t Little32(const Bytes& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

// The stream offsets at which record blocks end (and the first one begins).
std::vector<size_t> RecordBoundaries(const Bytes& stream) {
    std::vector<size_t> boundaries;
    size_t next = DatabaseHeaderSize + 1;
    while (next <= stream.size()) {
        boundaries.push_back(next);
        int length = stream[next - 1];
        if (length == DatabaseEndMark) break;
        next += size_t(length);
    }
    return boundaries;
}

Bytes Inflate(const unsigned char* data, size_t length, size_t expected) {
    Bytes output(expected + 1);
    z_stream zlib{};
    inflateInit2(&zlib, -MAX_WBITS);
    zlib.next_in = const_cast<unsigned char*>(data);
    zlib.avail_in = uInt(length);
    zlib.next_out = output.data();
    zlib.avail_out = uInt(output.size());
    EXPECT_EQ(inflate(&zlib, Z_FINISH), Z_STREAM_END);
    output.resize(zlib.total_out);
    inflateEnd(&zlib);
    return output;
}

TEST(MemberFile, LayoutAsDocumentedReadByEveryGzipReader) {
    const Bytes& inflated = DirectoryBytes();
    Bytes file = MemberFile(inflated);
    std::vector<size_t> boundaries = RecordBoundaries(inflated);
    Bytes joined;
    size_t offset = 0;
    int members = 0;
    while (offset < file.size()) {
        const unsigned char expectedStart[16] = {0x1F, 0x8B, 8, 4, 0, 0, 0, 0, 0, 3, 8, 0, 'D', 'x', 4, 0};
        ASSERT_EQ(Bytes(file.begin() + long(offset), file.begin() + long(offset) + 16),
                  Bytes(expectedStart, expectedStart + 16))
            << "member " << members;
        uint32_t size = Little32(file, offset + 16);
        ASSERT_LE(offset + size, file.size());
        uint32_t length = Little32(file, offset + size - 4);
        Bytes member = Inflate(file.data() + offset + 20, size - 28, length);
        EXPECT_EQ(member.size(), length);
        EXPECT_EQ(uint32_t(crc32(0, member.data(), uInt(member.size()))), Little32(file, offset + size - 8));
        joined.insert(joined.end(), member.begin(), member.end());
        bool last = offset + size == file.size();
        if (!last) {
            EXPECT_GE(member.size(), size_t(MemberTargetBytes));
            EXPECT_LT(member.size(), size_t(MemberTargetBytes) + 255);
            EXPECT_TRUE(std::binary_search(boundaries.begin(), boundaries.end(), joined.size()))
                << "member " << members << " ends inside a record";
        }
        offset += size;
        members++;
    }
    EXPECT_EQ(members, 3);
    EXPECT_EQ(joined, inflated);
    // zlib's own reader reads the members as one stream.
    WritePlain("layout.zdb", file);
    gzFile gz = gzopen((TestDeviceFolder() + "/layout.zdb").c_str(), "rb");
    Bytes read(inflated.size() + 10);
    EXPECT_EQ(gzread(gz, read.data(), unsigned(read.size())), int(inflated.size()));
    gzclose(gz);
    read.resize(inflated.size());
    EXPECT_EQ(read, inflated);
}

struct ReadOutcome {
    Bytes bytes;
    int endCode = 0;
    int members = 0;
    Bytes kept;       // what the reader kept, when it was asked to
    bool keptAny = false;
    long long keptCapacity = 0;
};

// Through the database reader (members on every core where the file has them), keeping what it reads
// up to keepLimit bytes when that is not 0.
ReadOutcome ReadThroughReader(const std::string& name, long long keepLimit = 0) {
    ReadOutcome outcome;
    DatabaseReader reader;
    FileHandle file = open((TestDeviceFolder() + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(OpenDatabaseReaderOnFile(&reader, file, true), 0);
    if (keepLimit > 0) KeepDatabaseBytes(&reader, keepLimit);
    outcome.members = MemberCount(reader.members);
    unsigned char piece[4093];
    long got;
    while ((got = ReadDatabaseBytes(&reader, piece, sizeof piece)) > 0)
        outcome.bytes.insert(outcome.bytes.end(), piece, piece + got);
    outcome.endCode = reader.gzip.endCode;
    outcome.keptCapacity = reader.keptCapacity;
    long long length = 0;
    unsigned char* kept = TakeKeptDatabaseBytes(&reader, &length);
    outcome.keptAny = kept != nullptr;
    if (kept != nullptr) outcome.kept.assign(kept, kept + length);
    FreeKeptDatabaseBytes(kept);
    CloseDatabaseReader(&reader);
    return outcome;
}

// Through the sequential gzip stream alone.
ReadOutcome ReadSequentially(const std::string& name) {
    ReadOutcome outcome;
    GzipStream stream;
    FileHandle file = open((TestDeviceFolder() + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(OpenGzipStream(&stream, file, 65536, DefaultGzipInflater()), 0);
    unsigned char piece[65536];
    long got;
    while ((got = ReadGzipStream(&stream, piece, sizeof piece)) > 0)
        outcome.bytes.insert(outcome.bytes.end(), piece, piece + got);
    outcome.endCode = stream.endCode;
    CloseGzipStream(&stream);
    CloseFile(file);
    return outcome;
}

TEST(MemberFile, ReaderGivesWhatTheSequentialStreamGives) {
    const Bytes& inflated = DirectoryBytes();
    Bytes sound = MemberFile(inflated);
    uint32_t first = Little32(sound, 16);
    uint32_t second = Little32(sound, first + 16);
    Bytes plainMember;
    {
        WriteCompressed("plain-member.zdb", ToBytes("tail bytes"));
        plainMember = ReadHostFile("plain-member.zdb");
    }
    struct Case {
        const char* what;
        int expectedMembers;      // found by the reader's index
        void (*change)(Bytes* file, uint32_t first, uint32_t second, const Bytes& plainMember);
    };
    const Case cases[] = {
        {"sound", 3, [](Bytes*, uint32_t, uint32_t, const Bytes&) {}},
        {"second member's CRC wrong", 3,
         [](Bytes* file, uint32_t first, uint32_t second, const Bytes&) { (*file)[first + second - 8] ^= 1; }},
        {"second member's length wrong", 3,
         [](Bytes* file, uint32_t first, uint32_t second, const Bytes&) { (*file)[first + second - 2] ^= 1; }},
        {"second member's data damaged", 3,
         [](Bytes* file, uint32_t first, uint32_t second, const Bytes&) { (*file)[first + second / 2] ^= 0x55; }},
        {"cut inside the third member", 2,
         [](Bytes* file, uint32_t first, uint32_t second, const Bytes&) { file->resize(first + second + 5000); }},
        {"second member's size field too large", 1,
         [](Bytes* file, uint32_t first, uint32_t, const Bytes&) { (*file)[first + 18] ^= 0x10; }},
        {"trailing bytes after the members", 3,
         [](Bytes* file, uint32_t, uint32_t, const Bytes&) { file->insert(file->end(), {'x', 'y', 'z'}); }},
        {"a member without the subfield after them", 3,
         [](Bytes* file, uint32_t, uint32_t, const Bytes& plain) { file->insert(file->end(), plain.begin(), plain.end()); }},
        {"a member without the subfield first", 0,
         [](Bytes* file, uint32_t, uint32_t, const Bytes& plain) { file->insert(file->begin(), plain.begin(), plain.end()); }},
    };
    // Each file is read without keeping, keeping everything (in place for members), and keeping until a
    // limit met part way.
    const long long keepLimits[] = {0, 64LL << 20, 1500000};
    for (const Case& test : cases) {
        Bytes file = sound;
        test.change(&file, first, second, plainMember);
        WritePlain("case.zdb", file);
        ReadOutcome sequential = ReadSequentially("case.zdb");
        for (long long keepLimit : keepLimits) {
            ReadOutcome parallel = ReadThroughReader("case.zdb", keepLimit);
            std::string what = std::string(test.what) + ", keeping up to " + std::to_string(keepLimit);
            EXPECT_EQ(parallel.members, test.expectedMembers) << what;
            EXPECT_EQ(parallel.bytes.size(), sequential.bytes.size()) << what;
            EXPECT_TRUE(parallel.bytes == sequential.bytes) << what;
            EXPECT_EQ(parallel.endCode, sequential.endCode) << what;
            bool keepsAll = keepLimit > (long long)inflated.size() + 1000;
            EXPECT_EQ(parallel.keptAny, keepsAll) << what;
            if (keepsAll) {
                EXPECT_TRUE(parallel.kept == sequential.bytes) << what;
            }
        }
    }
}

struct StopContext {
    int stopAfter = -1;
    int scanned = 0;
    std::vector<uint32_t> phones;
};

TEST(MemberFile, ScanCountsAndStopsAsOnOneMember) {
    const Bytes& inflated = DirectoryBytes();
    WritePlain("members.zdb", MemberFile(inflated));
    WriteCompressed("single.zdb", inflated);
    Query query;
    SetQueryCriteria(&query, "1", "NAME7", nullptr, nullptr, nullptr);
    for (int stopAfter : {-1, 1, 20000, 79999}) {
        StopContext outcomes[2];
        ScanCounts counts[2];
        int codes[2];
        const char* names[2] = {"members.zdb", "single.zdb"};
        for (int form = 0; form < 2; form++) {
            StopContext& context = outcomes[form];
            context.stopAfter = stopAfter;
            ScanCallbacks callbacks;
            callbacks.context = &context;
            callbacks.onRecord = [](void* raw, const ScanCounts* now) { static_cast<StopContext*>(raw)->scanned = now->scanned; };
            callbacks.onMatch = [](void* raw, const DatabaseRecord* record, const ScanCounts*) {
                static_cast<StopContext*>(raw)->phones.push_back(record->phone);
                return 0;
            };
            callbacks.shouldStop = [](void* raw) {
                StopContext* stop = static_cast<StopContext*>(raw);
                return stop->stopAfter >= 0 && stop->scanned >= stop->stopAfter;
            };
            DatabaseReader reader;
            ASSERT_EQ(OpenDatabaseReaderOnFile(
                          &reader, open((TestDeviceFolder() + "/" + names[form]).c_str(), O_RDONLY | O_CLOEXEC), true),
                      0);
            EXPECT_EQ(MemberCount(reader.members), form == 0 ? 3 : 0);
            codes[form] = ScanDatabase(&reader, &query, &callbacks, &counts[form]);
            CloseDatabaseReader(&reader);
        }
        EXPECT_EQ(codes[0], codes[1]) << stopAfter;
        EXPECT_EQ(counts[0].scanned, counts[1].scanned) << stopAfter;
        EXPECT_EQ(counts[0].results, counts[1].results) << stopAfter;
        EXPECT_EQ(outcomes[0].phones, outcomes[1].phones) << stopAfter;
        EXPECT_EQ(counts[0].scanned, stopAfter < 0 ? 80000 : stopAfter) << stopAfter;
    }
}

// A scan that has the pool's threads test the records (dialdex-find's) reports what a scan of one record
// after another reports: the same matches in order, counts, code and verdict, also where it stops early,
// where a member's first block cannot be placed, and on damaged, cut or foreign files, whose members from
// the first that fails on are read by the sequential stream. On a sound file every member is tested on
// the threads; a scan that reports every record (the window's progress) reads them one after another.
TEST(MemberFile, RecordsTestedOnThePoolsThreadsAsOneAfterAnother) {
    const Bytes& records = DirectoryBytes();
    std::vector<size_t> blocks = RecordBoundaries(records);
    // The block starting nearest after a stream offset (its length is the byte before it).
    auto blockAfter = [&](size_t offset) { return *std::lower_bound(blocks.begin(), blocks.end(), offset); };
    Bytes tinyLastMember(records.begin(), records.begin() + long(blockAfter(2 * MemberTargetBytes + 60)));
    tinyLastMember.back() = DatabaseEndMark;
    Bytes shortLength = records, earlyEndMark = records, sound = MemberFile(records);
    shortLength[blockAfter(1500000) - 1] = 5;
    earlyEndMark[blockAfter(1500000) - 1] = DatabaseEndMark;
    uint32_t first = Little32(sound, 16), second = Little32(sound, first + 16);
    WriteCompressed("foreign.zdb", ToBytes("tail bytes"));
    Bytes foreign = ReadHostFile("foreign.zdb");
    auto changed = [&](size_t at, unsigned char flip) {
        Bytes file = sound;
        file[at] ^= flip;
        return file;
    };
    auto joined = [](Bytes file, const Bytes& more, bool before) {
        file.insert(before ? file.begin() : file.end(), more.begin(), more.end());
        return file;
    };
    struct Case {
        const char* what;
        Bytes file;
        int onThreads; // members the threads test
    };
    const Case cases[] = {
        {"sound", sound, 3},
        {"a tiny last member", MemberFile(tinyLastMember), 3},
        {"a length below 8 in the second member", MemberFile(shortLength), 1},
        {"the end mark in the second member, records after it", MemberFile(earlyEndMark), 2},
        {"second member's CRC wrong", changed(first + second - 8, 1), 1},
        {"second member's data damaged", changed(first + second / 2, 0x55), 1},
        {"cut inside the third member", Bytes(sound.begin(), sound.begin() + first + second + 5000), 2},
        {"the first member's header byte damaged", changed(30, 0x40), 0},
        {"a member without the subfield after them", joined(sound, foreign, false), 3},
        {"a member without the subfield first", joined(sound, foreign, true), 0},
    };
    struct Outcome {
        int code = 0, verdict = -1, onThreads = 0;
        ScanCounts counts;
        std::vector<uint32_t> phones;
    };
    struct Stop {
        int after = -1;
        Outcome* outcome = nullptr;
    };
    enum Reading { OnThreads, WithProgress, OneByOne };
    auto scan = [](const Query& query, int stopAfter, Reading reading) {
        Outcome outcome;
        Stop stop{stopAfter, &outcome};
        ScanCallbacks callbacks;
        callbacks.context = &stop;
        callbacks.onMatch = [](void* raw, const DatabaseRecord* record, const ScanCounts*) {
            static_cast<Stop*>(raw)->outcome->phones.push_back(record->phone);
            return 0;
        };
        callbacks.shouldStop = [](void* raw) {
            Stop* stop = static_cast<Stop*>(raw);
            return stop->after >= 0 && int(stop->outcome->phones.size()) >= stop->after;
        };
        DatabaseReader reader;
        EXPECT_EQ(OpenDatabaseReaderOnFile(
                      &reader, open((TestDeviceFolder() + "/threads.zdb").c_str(), O_RDONLY | O_CLOEXEC), true),
                  0);
        if (reading == WithProgress) callbacks.onRecord = [](void*, const ScanCounts*) {};
        if (reading != OneByOne) {
            LeaveMembersToTheScan(&reader);
        } else {
            CloseMemberReader(reader.members);
            reader.members = nullptr;
        }
        unsigned char header[DatabaseHeaderSize];
        ReadDatabaseHeader(&reader, header);
        outcome.code = ScanDatabase(&reader, &query, &callbacks, &outcome.counts);
        if (FinishDatabaseRead(&reader, nullptr, nullptr)) outcome.verdict = DatabaseReadEnd(&reader, nullptr);
        outcome.onThreads = reader.membersScannedOnThreads;
        CloseDatabaseReader(&reader);
        return outcome;
    };
    Query selective, broad;
    SetQueryCriteria(&selective, "1", "NAME7", nullptr, nullptr, nullptr);
    SetQueryCriteria(&broad, nullptr, "N", nullptr, nullptr, nullptr);
    for (const Case& test : cases) {
        WritePlain("threads.zdb", test.file);
        for (const Query* query : {&selective, &broad}) {
            for (int stopAfter : {-1, 1, 50000}) {
                std::string what = std::string(test.what) + (query == &broad ? ", broad" : ", selective") +
                                   ", stop after " + std::to_string(stopAfter);
                Outcome oneByOne = scan(*query, stopAfter, OneByOne);
                for (Reading reading : {OnThreads, WithProgress}) {
                    Outcome outcome = scan(*query, stopAfter, reading);
                    std::string how = what + (reading == OnThreads ? ", on threads" : ", with progress");
                    EXPECT_EQ(outcome.code, oneByOne.code) << how;
                    EXPECT_EQ(outcome.counts.scanned, oneByOne.counts.scanned) << how;
                    EXPECT_EQ(outcome.counts.results, oneByOne.counts.results) << how;
                    EXPECT_TRUE(outcome.phones == oneByOne.phones) << how;
                    EXPECT_EQ(outcome.verdict, oneByOne.verdict) << how;
                    if (stopAfter < 0) {
                        EXPECT_EQ(outcome.onThreads, reading == OnThreads ? test.onThreads : 0) << how;
                    }
                }
            }
        }
    }
}

// The second scan from the kept bytes finds what the first found from the file, and stops alike.
TEST(MemberFile, ScanFromKeptBytesAsFromTheFile) {
    const Bytes& inflated = DirectoryBytes();
    WritePlain("kept.zdb", MemberFile(inflated));
    WriteCompressed("kept-single.zdb", inflated);
    Query query;
    SetQueryCriteria(&query, nullptr, "NAME12", nullptr, nullptr, nullptr);
    for (const char* name : {"kept.zdb", "kept-single.zdb"}) {
        DatabaseReader first;
        ASSERT_EQ(OpenDatabaseReaderOnFile(&first, open((TestDeviceFolder() + "/" + name).c_str(), O_RDONLY), true), 0);
        KeepDatabaseBytes(&first, 64LL << 20);
        ScanCounts fromFile, fromMemory;
        ScanCallbacks noCallbacks;
        EXPECT_EQ(ScanDatabase(&first, &query, &noCallbacks, &fromFile), 0);
        long long length = 0;
        unsigned char* kept = TakeKeptDatabaseBytes(&first, &length);
        CloseDatabaseReader(&first);
        ASSERT_NE(kept, nullptr) << name;
        DatabaseReader second;
        ASSERT_EQ(OpenDatabaseReaderOnFile(&second, open((TestDeviceFolder() + "/" + name).c_str(), O_RDONLY), true), 0);
        ReadDatabaseFromBytes(&second, kept, length);
        ScanCallbacks none;
        EXPECT_EQ(ScanDatabase(&second, &query, &none, &fromMemory), 0) << name;
        CloseDatabaseReader(&second);
        FreeKeptDatabaseBytes(kept);
        EXPECT_EQ(fromMemory.scanned, 80000) << name;
        EXPECT_EQ(fromMemory.scanned, fromFile.scanned) << name;
        EXPECT_EQ(fromMemory.results, fromFile.results) << name;
        EXPECT_GT(fromFile.results, 0) << name;
    }
}

// Every member of a sound file comes from the pool (none is left to the sequential stream because of
// where the compressed bytes were cut into pieces), and the pool holds about one inflated member a
// thread, not a member's compressed bytes a slot; when its threads test the records, a piece a thread
// and no whole member, and every member's blocks are placed within its first piece.
TEST(MemberFile, PoolReadsEveryMemberWithinItsMemoryBound) {
    // Seven members (more than the slots of a few threads), and one member shorter than a piece.
    const Bytes inputs[] = {RecordBytes(200000), RecordBytes(10)};
    for (const Bytes& inflated : inputs) {
        Bytes file = MemberFile(inflated);
        WritePlain("pool.zdb", file);
        FileHandle handle = open((TestDeviceFolder() + "/pool.zdb").c_str(), O_RDONLY | O_CLOEXEC);
        MemberReader* reader = OpenMemberReader(handle);
        ASSERT_NE(reader, nullptr);
        Bytes read;
        long longest = 0;
        int pieces = 0;
        unsigned char* piece = nullptr;
        long length = 0;
        long long resumeOffset = -1;
        while (NextMemberPiece(reader, &piece, &length, &resumeOffset) == 1) {
            read.insert(read.end(), piece, piece + length);
            longest = std::max(longest, length);
            pieces++;
        }
        EXPECT_EQ(pieces, MemberCount(reader)) << inflated.size();
        EXPECT_EQ(resumeOffset, (long long)file.size()) << inflated.size();
        EXPECT_TRUE(read == inflated) << inflated.size();
        long long threads = std::min(ProcessorCount(), MemberCount(reader));
        long long bound = (threads + 1) * (longest + MemberPieceHeadroom + MemberOutputSlack) + threads * MemberInputPiece;
        EXPECT_LE(MemberReaderHeldBytes(reader), bound) << inflated.size();
        CloseMemberReader(reader);

        reader = OpenMemberReader(handle);
        ASSERT_NE(reader, nullptr);
        ASSERT_TRUE(StartMemberScan(reader, [](const void*, const unsigned char*, int) { return false; }, nullptr));
        ScannedMember scanned;
        int members = 0;
        while (NextScannedMember(reader, &scanned, &resumeOffset) == 1) {
            EXPECT_EQ(scanned.walkEnd, members + 1 == MemberCount(reader) ? MemberWalkedToTheEndMark : MemberWalkedToItsEnd);
            EXPECT_LT(scanned.walkStart, MemberOutputPiece) << members;
            members++;
        }
        EXPECT_EQ(members, MemberCount(reader)) << inflated.size();
        threads = std::min(ProcessorCount(), MemberCount(reader));
        bound = threads * (MemberInputPiece + MemberPieceHeadroom + MemberOutputPiece + MemberOutputPiece / 8 + 8) +
                (threads + 1) * 2 * MemberOutputPiece;
        EXPECT_LE(MemberReaderHeldBytes(reader), bound) << inflated.size();
        CloseMemberReader(reader);
        CloseFile(handle);
    }
}

// A file of one member keeps its bytes in one buffer made to its trailer's length; a trailer that says
// too little (more members) or more than the limit (damage) still keeps or reads every byte.
TEST(MemberFile, KeptBytesOfOneMemberMadeToTheTrailersLength) {
    const Bytes& inflated = DirectoryBytes();
    size_t half = inflated.size() / 2;
    WriteCompressed("whole.zdb", inflated);
    WriteCompressed("first-half.zdb", Bytes(inflated.begin(), inflated.begin() + long(half)));
    WriteCompressed("second-half.zdb", Bytes(inflated.begin() + long(half), inflated.end()));
    Bytes oneMember = ReadHostFile("whole.zdb"), twoMembers = ReadHostFile("first-half.zdb");
    Bytes second = ReadHostFile("second-half.zdb"), tooLong = oneMember;
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    tooLong.back() = 0x7F;
    for (const Bytes* file : {&oneMember, &twoMembers, &tooLong}) {
        WritePlain("trailer.zdb", *file);
        ReadOutcome sequential = ReadSequentially("trailer.zdb");
        ReadOutcome kept = ReadThroughReader("trailer.zdb", 64LL << 20);
        EXPECT_TRUE(kept.bytes == sequential.bytes && kept.kept == sequential.bytes) << file->size();
        EXPECT_EQ(kept.endCode, sequential.endCode) << file->size();
        EXPECT_TRUE(file != &oneMember || kept.keptCapacity < (long long)inflated.size() + (2 << 20))
            << "made once: " << kept.keptCapacity;
    }
}

} // namespace
