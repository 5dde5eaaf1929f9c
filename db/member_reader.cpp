// The member reader: the index of members from their headers, the pool's work on one member, and the
// pieces in file order.
#include "db/member_reader.h"

#include "db/database_reader.h"
#include "db/member_layout.h"
#include "platform/work_pool.h"

#ifdef DIALDEX_ISAL
#include "db/gzip_isal.h"
#endif

#include <cstdlib>
#include <cstring>
#include <zlib.h>

// A member longer than this (compressed or inflated) is left to the sequential stream: a damaged length
// must not make the pool ask for gigabytes.
constexpr uint32_t LongestMember = 64u << 20;
// The smallest member: its header, empty deflate data (2 bytes) and the trailer.
constexpr uint32_t ShortestMember = MemberHeaderSize + 2 + MemberTrailerSize;
// Room past the expected end, so that an inflater never stops short of the data's end for want of it.
constexpr uint32_t OutputSlack = MemberOutputSlack;
// Threads beyond this inflate faster than one scan consumes (see docs/decisions.md).
constexpr int MostInflaters = 8;
// When the threads test the records themselves, nothing but the cores bounds them; this many hold about
// 8 MiB (docs/decisions.md).
constexpr int MostScanningThreads = 32;

// What a member needs only while it is inflated is kept once a thread, not once a slot: a slot holds an
// inflated member waiting for the scan, a thread the compressed bytes in hand and its inflater.
struct MemberSlot {
    unsigned char* output = nullptr; // MemberPieceHeadroom bytes, then the inflated bytes
    uint32_t outputCapacity = 0;
    unsigned char* piece = nullptr; // where the inflated bytes lie
    long length = 0;    // inflated bytes
    bool sound = false; // inflated whole, and its CRC-32 and length agree
    // When the threads test the records (StartMemberScan):
    ScannedMember scanned;            // what the thread found; its pointers lead into the two buffers below
    unsigned char* prefix = nullptr;  // the bytes before the thread's walk
    uint32_t prefixCapacity = 0;
    unsigned char* matches = nullptr; // the blocks that passed
    uint32_t matchesCapacity = 0;
};

// One block a thread's walk may begin at for each bit: where the lengths the first block could have lead.
constexpr int PlacesPerWord = 64;
constexpr int PlaceWords = int(MemberOutputPiece / PlacesPerWord) + 1;

struct MemberWorker {
    unsigned char* input = nullptr; // MemberInputPiece bytes of the member as in the file
#ifdef DIALDEX_ISAL
    IsalInflater* isal = nullptr;
#endif
    unsigned char* output = nullptr; // StartMemberScan: MemberPieceHeadroom bytes, then MemberOutputPiece
    uint64_t* places = nullptr;      // PlaceWords words: the block starts still possible
};

struct MemberReader {
    FileHandle file = NoFile;
    long long* offsets = nullptr;
    uint32_t* sizes = nullptr;
    uint32_t* crcs = nullptr;           // as each member's trailer says
    long long* streamOffsets = nullptr; // where each member's inflated bytes begin, as the trailers say
    int memberCount = 0;
    long long endOffset = 0;       // after the last member found
    long long inflatedLength = 0;  // of all members, as the trailers say
    unsigned char* destination = nullptr; // InflateMembersInto's buffer
    int threadCount = 0;
    MemberWorker* workers = nullptr;
    MemberSlot* slots = nullptr;
    int slotCount = 0;
    OrderedWork* work = nullptr;
    int nextMember = 0;
    int heldMember = -1; // the member whose piece was handed out last
    // StartMemberScan: the test the threads put every record to.
    bool (*test)(const void* context, const unsigned char* block, int length) = nullptr;
    const void* testContext = nullptr;
};

static uint32_t LittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Makes the buffer hold at least size bytes. Returns false when there is no memory.
static bool Reserve(unsigned char** buffer, uint32_t* capacity, uint32_t size) {
    if (*capacity >= size) return true;
    void* bigger = std::realloc(*buffer, size);
    if (bigger == nullptr) return false;
    *buffer = static_cast<unsigned char*>(bigger);
    *capacity = size;
    return true;
}

// The next piece of compressed bytes to read when rest are left: the last piece is never shorter than
// half a piece (or the whole data), so that the data's end never lies just behind a piece's start, where
// ISA-L may still hold bytes of the piece before.
static uint32_t NextInputPiece(uint32_t rest) {
    if (rest <= MemberInputPiece) return rest;
    if (rest < MemberInputPiece + MemberInputPiece / 2) return rest / 2;
    return MemberInputPiece;
}

// Reads count bytes at offset, all of them. Returns false when the file gives fewer.
static bool ReadExactly(FileHandle file, long long offset, unsigned char* bytes, uint32_t count) {
    uint32_t got = 0;
    while (got < count) {
        long read = ReadFileBytesAt(file, offset + got, bytes + got, long(count - got));
        if (read <= 0) return false;
        got += uint32_t(read);
    }
    return true;
}

// One member's deflate data read and inflated a piece at a time, wherever the caller wants each piece.
struct MemberInflation {
    const MemberReader* reader;
    MemberWorker* worker;
    int member;
    long long start;     // the deflate data's offset in the file
    uint32_t dataLength; // their length
    uint32_t read = 0;   // of them read so far
    int inputOffset = 0; // in worker->input: the next byte to inflate
    int inputCount = 0;  // and the bytes there
    long long made = 0;  // bytes inflated so far
    uint32_t crc = 0;    // their CRC-32 (ISA-L gives it at the end)
    bool ended = false;  // the data ended, exactly at the last compressed byte
    bool failed = false; // damage, a short read, or more bytes than the trailer says
#ifndef DIALDEX_ISAL
    bool zlibOpen = false;
    z_stream zlib{};
#endif
};

static void BeginMemberInflation(MemberInflation* inflation, const MemberReader* reader, MemberWorker* worker,
                                 int member) {
    inflation->reader = reader;
    inflation->worker = worker;
    inflation->member = member;
    inflation->start = reader->offsets[member] + MemberHeaderSize;
    inflation->dataLength = reader->sizes[member] - MemberHeaderSize - MemberTrailerSize;
#ifdef DIALDEX_ISAL
    if (worker->isal == nullptr) worker->isal = CreateIsalInflater();
    if (worker->isal == nullptr) inflation->failed = true;
    else ResetIsalInflater(worker->isal);
#else
    inflation->zlibOpen = inflateInit2(&inflation->zlib, -MAX_WBITS) == Z_OK;
    if (!inflation->zlibOpen) inflation->failed = true;
#endif
}

static void EndMemberInflation(MemberInflation* inflation) {
#ifndef DIALDEX_ISAL
    if (inflation->zlibOpen) inflateEnd(&inflation->zlib);
    inflation->zlibOpen = false;
#else
    (void)inflation;
#endif
}

// Inflates into output until room bytes are made or the data end. Returns the bytes made.
static long InflateSome(MemberInflation* inflation, unsigned char* output, long room) {
    long produced = 0;
    uint32_t expected = uint32_t(inflation->reader->streamOffsets[inflation->member + 1] -
                                 inflation->reader->streamOffsets[inflation->member]);
    while (produced < room && !inflation->ended && !inflation->failed) {
        if (inflation->inputOffset == inflation->inputCount && inflation->read < inflation->dataLength) {
            uint32_t count = NextInputPiece(inflation->dataLength - inflation->read);
            if (!ReadExactly(inflation->reader->file, inflation->start + inflation->read, inflation->worker->input,
                             count)) {
                inflation->failed = true;
                break;
            }
            inflation->read += count;
            inflation->inputOffset = 0;
            inflation->inputCount = int(count);
        }
        bool inputLeft = inflation->inputOffset < inflation->inputCount;
        long made = 0;
#ifdef DIALDEX_ISAL
        int used = 0, readAhead = 0;
        uint32_t crc = 0;
        int code = InflateWithIsal(inflation->worker->isal, inflation->worker->input + inflation->inputOffset,
                                   inflation->inputCount - inflation->inputOffset, &used, output + produced,
                                   room - produced, &made, &readAhead, &crc);
        inflation->inputOffset += used;
        if (code == 0) {
            inflation->ended = true;
            inflation->crc = crc;
            if (inflation->read != inflation->dataLength ||
                inflation->inputOffset - readAhead != inflation->inputCount)
                inflation->failed = true;
        } else if (code != -1 || (made == 0 && !inputLeft)) {
            inflation->failed = true; // damage, or the data ended without their end
        }
#else
        z_stream* zlib = &inflation->zlib;
        zlib->next_in = inflation->worker->input + inflation->inputOffset;
        zlib->avail_in = uInt(inflation->inputCount - inflation->inputOffset);
        zlib->next_out = output + produced;
        zlib->avail_out = uInt(room - produced);
        int code = inflate(zlib, Z_NO_FLUSH);
        made = long(room - produced) - long(zlib->avail_out);
        inflation->inputOffset = inflation->inputCount - int(zlib->avail_in);
        inflation->crc = uint32_t(crc32(inflation->crc, output + produced, uInt(made)));
        if (code == Z_STREAM_END) {
            inflation->ended = true;
            if (inflation->read != inflation->dataLength || zlib->avail_in != 0) inflation->failed = true;
        } else if ((code != Z_OK && code != Z_BUF_ERROR) || (made == 0 && !inputLeft)) {
            inflation->failed = true;
        }
#endif
        produced += made;
        inflation->made += made;
        if (inflation->made > (long long)expected) inflation->failed = true; // longer than it says
    }
    return produced;
}

// Inflates the member into output, which must take exactly expected bytes (room is at least that). True
// when the data end just at their last byte, with the CRC-32 given.
static bool InflateExactly(const MemberReader* reader, MemberWorker* worker, int member, unsigned char* output,
                           uint32_t room, uint32_t expected, uint32_t expectedCrc) {
    MemberInflation inflation;
    BeginMemberInflation(&inflation, reader, worker, member);
    long made = InflateSome(&inflation, output, long(room));
    if (!inflation.ended && !inflation.failed && made == long(expected)) {
        // The output is full (in place it ends where the next member begins): the data must end without
        // another byte.
        unsigned char beyond[OutputSlack];
        made += InflateSome(&inflation, beyond, OutputSlack);
    }
    EndMemberInflation(&inflation);
    return inflation.ended && !inflation.failed && made == long(expected) && inflation.crc == expectedCrc;
}

// The pool's work: one member inflated into its slot and checked.
static void InflateMember(void* context, int member, int slotIndex, int workerIndex) {
    MemberReader* reader = static_cast<MemberReader*>(context);
    MemberSlot* slot = &reader->slots[slotIndex];
    MemberWorker* worker = &reader->workers[workerIndex];
    slot->sound = false;
    slot->length = 0;
    if (worker->input == nullptr) worker->input = static_cast<unsigned char*>(std::malloc(MemberInputPiece));
    if (worker->input == nullptr) return;
    long long inflatedLength = reader->streamOffsets[member + 1] - reader->streamOffsets[member];
    if (inflatedLength > LongestMember) return;
    uint32_t inflated = uint32_t(inflatedLength);
    unsigned char* output = nullptr;
    uint32_t room = inflated;
    if (reader->destination != nullptr) {
        // In place in the stream: not a byte past the member's own, which the next member's thread writes.
        output = reader->destination + reader->streamOffsets[member];
        if (member + 1 == reader->memberCount) room += OutputSlack;
    } else {
        if (!Reserve(&slot->output, &slot->outputCapacity, MemberPieceHeadroom + inflated + OutputSlack)) return;
        output = slot->output + MemberPieceHeadroom;
        room += OutputSlack;
    }
    if (!InflateExactly(reader, worker, member, output, room, inflated, reader->crcs[member])) return;
    slot->piece = output;
    slot->length = long(inflated);
    slot->sound = true;
}

static bool PlaceSet(const uint64_t* places, long offset) {
    return (places[offset / PlacesPerWord] >> (offset % PlacesPerWord) & 1) != 0;
}

static void SetPlace(uint64_t* places, long offset, bool set) {
    uint64_t bit = uint64_t(1) << (offset % PlacesPerWord);
    if (set) places[offset / PlacesPerWord] |= bit;
    else places[offset / PlacesPerWord] &= ~bit;
}

// Where the blocks of a member that does not begin the file can be placed without the length of its first
// block: every length that block could have (8 to 254) leads on from block to block, each block's last byte
// giving the next one's length, and once all those walks that go on meet in one block, every block from
// there on is the same whatever the first length was (3 to 10 KiB into a member of the demo directory).
// Returns that block's offset, or -1 when the walks do not meet inside the bytes given (or all end).
static long FirstSharedBlock(uint64_t* places, const unsigned char* bytes, long have) {
    for (long word = 0; word <= have / PlacesPerWord; word++)
        places[word] = 0;
    int live = 0;
    for (long length = MinimumBlockLength; length <= MaximumBlockLength && length <= have; length++) {
        SetPlace(places, length, true);
        live++;
    }
    for (long offset = MinimumBlockLength; offset <= have && live > 0; offset++) {
        if (!PlaceSet(places, offset)) continue;
        if (live == 1) return offset;
        SetPlace(places, offset, false);
        live--;
        long length = bytes[offset - 1];
        if (length < MinimumBlockLength || length == DatabaseEndMark) continue; // this walk ends here
        long next = offset + length;
        if (next > have) return -1;
        if (!PlaceSet(places, next)) {
            SetPlace(places, next, true);
            live++;
        }
    }
    return -1;
}

// Makes the buffer hold count more bytes after used ones. Returns false when there is no memory.
static bool Append(unsigned char** buffer, uint32_t* capacity, long used, const void* bytes, long count) {
    if (uint32_t(used + count) > *capacity) {
        uint32_t wanted = *capacity < 4096 ? 4096 : *capacity * 2;
        while (wanted < uint32_t(used + count))
            wanted *= 2;
        if (!Reserve(buffer, capacity, wanted)) return false;
    }
    std::memcpy(*buffer + used, bytes, size_t(count));
    return true;
}

// The pool's work when its threads test the records: one member inflated a piece at a time, its blocks
// walked and tested as they arrive, the member checked whole.
static void ScanMember(void* context, int member, int slotIndex, int workerIndex) {
    MemberReader* reader = static_cast<MemberReader*>(context);
    MemberSlot* slot = &reader->slots[slotIndex];
    MemberWorker* worker = &reader->workers[workerIndex];
    ScannedMember* scanned = &slot->scanned;
    *scanned = ScannedMember();
    scanned->member = member;
    scanned->startOffset = reader->offsets[member];
    scanned->endOffset = reader->offsets[member] + reader->sizes[member];
    slot->sound = false;
    if (worker->input == nullptr) worker->input = static_cast<unsigned char*>(std::malloc(MemberInputPiece));
    if (worker->output == nullptr)
        worker->output = static_cast<unsigned char*>(std::malloc(MemberPieceHeadroom + MemberOutputPiece));
    if (worker->places == nullptr)
        worker->places = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * PlaceWords));
    long long inflatedLength = reader->streamOffsets[member + 1] - reader->streamOffsets[member];
    if (worker->input == nullptr || worker->output == nullptr || worker->places == nullptr ||
        inflatedLength > LongestMember)
        return;
    MemberInflation inflation;
    BeginMemberInflation(&inflation, reader, worker, member);
    unsigned char* piece = worker->output + MemberPieceHeadroom;
    long have = InflateSome(&inflation, piece, MemberOutputPiece);
    unsigned char lastByte = have > 0 ? piece[have - 1] : 0;
    long start = -1;
    if (member == 0) start = have > DatabaseHeaderSize ? DatabaseHeaderSize + 1 : -1;
    else start = FirstSharedBlock(worker->places, piece, have);
    int walkEnd = MemberWalkBroken;
    int records = 0;
    long matchesLength = 0;
    bool noMemory = false;
    const unsigned char* cursor = piece;
    const unsigned char* end = piece + have;
    int nextLength = 0;
    bool walking = start >= 0 && !inflation.failed;
    if (walking) {
        noMemory = !Append(&slot->prefix, &slot->prefixCapacity, 0, piece, start);
        scanned->walkStart = start;
        cursor = piece + start;
        nextLength = piece[start - 1];
        walking = !noMemory;
    } else if (member > 0) {
        // The blocks cannot be placed here (a short member, or odd bytes): the whole member goes to the
        // scan, which walks it from the true first length.
        long length = have;
        noMemory = !Append(&slot->prefix, &slot->prefixCapacity, 0, piece, have);
        while (!noMemory && !inflation.ended && !inflation.failed) {
            have = InflateSome(&inflation, piece, MemberOutputPiece);
            if (have > 0) lastByte = piece[have - 1];
            noMemory = !Append(&slot->prefix, &slot->prefixCapacity, length, piece, have);
            length += have;
        }
        scanned->walkStart = length;
        walkEnd = lastByte == DatabaseEndMark ? MemberWalkedToTheEndMark : MemberWalkedToItsEnd;
    }
    while (walking) {
        for (;;) {
            if (nextLength == DatabaseEndMark) {
                walkEnd = MemberWalkedToTheEndMark;
                walking = false;
                break;
            }
            if (nextLength < MinimumBlockLength) {
                walking = false;
                break;
            }
            if (end - cursor < nextLength) break;
            const unsigned char* block = cursor;
            if (reader->test(reader->testContext, block, nextLength)) {
                unsigned char mark[5] = {(unsigned char)records, (unsigned char)(records >> 8),
                                         (unsigned char)(records >> 16), (unsigned char)(records >> 24),
                                         (unsigned char)nextLength};
                if (!Append(&slot->matches, &slot->matchesCapacity, matchesLength, mark, 5) ||
                    !Append(&slot->matches, &slot->matchesCapacity, matchesLength + 5, block, nextLength)) {
                    noMemory = true;
                    walking = false;
                    break;
                }
                matchesLength += 5 + nextLength;
            }
            records++;
            cursor += nextLength;
            nextLength = block[nextLength - 1];
        }
        if (!walking) break;
        if (inflation.ended || inflation.failed) {
            if (cursor == end && inflation.ended) walkEnd = MemberWalkedToItsEnd;
            break;
        }
        // The part of a block the piece ends inside moves in front of the next piece.
        long carried = end - cursor;
        std::memmove(piece - carried, cursor, size_t(carried));
        have = InflateSome(&inflation, piece, MemberOutputPiece);
        if (have > 0) lastByte = piece[have - 1];
        cursor = piece - carried;
        end = piece + have;
    }
    // The rest is only checked.
    while (!inflation.ended && !inflation.failed) {
        have = InflateSome(&inflation, piece, MemberOutputPiece);
        if (have > 0) lastByte = piece[have - 1];
    }
    EndMemberInflation(&inflation);
    if (noMemory || inflation.failed || inflation.made != inflatedLength || inflation.crc != reader->crcs[member])
        return;
    scanned->prefix = slot->prefix;
    scanned->walkEnd = walkEnd;
    scanned->recordsWalked = records;
    scanned->matches = slot->matches;
    scanned->matchesLength = matchesLength;
    scanned->lastByte = lastByte;
    slot->sound = true;
}

// Walks the member headers from the file's start. Returns false when there is no memory.
static bool IndexMembers(MemberReader* reader, long long fileSize) {
    int capacity = 0;
    long long offset = 0;
    while (offset + ShortestMember <= fileSize) {
        unsigned char header[MemberHeaderSize];
        if (ReadFileBytesAt(reader->file, offset, header, MemberHeaderSize) != MemberHeaderSize) break;
        uint32_t size = MemberSizeFromHeader(header);
        if (size < ShortestMember || size > LongestMember || offset + size > fileSize) break;
        unsigned char trailer[MemberTrailerSize];
        if (ReadFileBytesAt(reader->file, offset + size - MemberTrailerSize, trailer, MemberTrailerSize) !=
            MemberTrailerSize)
            break;
        if (reader->memberCount + 1 >= capacity) {
            capacity = capacity == 0 ? 64 : capacity * 2;
            void* offsets = std::realloc(reader->offsets, sizeof(long long) * size_t(capacity));
            if (offsets != nullptr) reader->offsets = static_cast<long long*>(offsets);
            void* sizes = std::realloc(reader->sizes, sizeof(uint32_t) * size_t(capacity));
            if (sizes != nullptr) reader->sizes = static_cast<uint32_t*>(sizes);
            void* crcs = std::realloc(reader->crcs, sizeof(uint32_t) * size_t(capacity));
            if (crcs != nullptr) reader->crcs = static_cast<uint32_t*>(crcs);
            void* streamOffsets = std::realloc(reader->streamOffsets, sizeof(long long) * size_t(capacity));
            if (streamOffsets != nullptr) reader->streamOffsets = static_cast<long long*>(streamOffsets);
            if (offsets == nullptr || sizes == nullptr || crcs == nullptr || streamOffsets == nullptr) return false;
        }
        reader->offsets[reader->memberCount] = offset;
        reader->sizes[reader->memberCount] = size;
        reader->crcs[reader->memberCount] = LittleEndian32(trailer);
        reader->streamOffsets[reader->memberCount] = reader->inflatedLength;
        reader->inflatedLength += LittleEndian32(trailer + 4);
        reader->memberCount++;
        reader->streamOffsets[reader->memberCount] = reader->inflatedLength;
        offset += size;
    }
    reader->endOffset = offset;
    return true;
}

// LimitMemberThreads: set before the readers that follow it are opened, on the thread that starts theirs.
static int MemberThreadLimit = 0;

void LimitMemberThreads(int threads) {
    MemberThreadLimit = threads;
}

// As many threads as processors, up to most (and LimitMemberThreads) and the members there are, and their slots, before the pool
// starts. Returns false when there is no memory.
static bool PlanThreads(MemberReader* reader, int most) {
    int threads = ProcessorCount();
    if (threads > most) threads = most;
    if (MemberThreadLimit > 0 && threads > MemberThreadLimit) threads = MemberThreadLimit;
    if (threads > reader->memberCount) threads = reader->memberCount;
    std::free(reader->slots);
    std::free(reader->workers);
    reader->threadCount = threads;
    // A slot is a whole inflated member held in memory, so there are as few as keep the cores busy: one a
    // thread and one more, so that a thread that finished its member starts the next while the scan still
    // reads the one before. On 2 cores under other load, one a thread read in 0.62-0.66 of igzip's time,
    // one more 0.61, two a thread and one more 0.61 too (docs/decisions.md).
    reader->slotCount = threads + 1;
    reader->slots = static_cast<MemberSlot*>(std::calloc(size_t(reader->slotCount), sizeof(MemberSlot)));
    reader->workers = static_cast<MemberWorker*>(std::calloc(size_t(threads), sizeof(MemberWorker)));
    return reader->slots != nullptr && reader->workers != nullptr;
}

MemberReader* OpenMemberReader(FileHandle file) {
    FileIdentity identity;
    if (!FileReadableAtOffsets(file) || IdentifyFile(file, &identity) != 0) return nullptr;
    MemberReader* reader = static_cast<MemberReader*>(std::calloc(1, sizeof(MemberReader)));
    if (reader == nullptr) return nullptr;
    *reader = MemberReader();
    reader->file = file;
    if (!IndexMembers(reader, identity.size) || reader->memberCount == 0) {
        CloseMemberReader(reader);
        return nullptr;
    }
    if (!PlanThreads(reader, MostInflaters)) {
        CloseMemberReader(reader);
        return nullptr;
    }
    return reader;
}

long long MembersInflatedLength(const MemberReader* reader) {
    return reader->inflatedLength;
}

void InflateMembersInto(MemberReader* reader, unsigned char* destination) {
    if (reader->work == nullptr && reader->nextMember == 0) reader->destination = destination;
}

// The pool starts with the first piece asked for, once it is known where the members go.
static bool StartPool(MemberReader* reader) {
    if (reader->work == nullptr)
        reader->work =
            StartOrderedWork(reader->threadCount, reader->slotCount, reader->memberCount, InflateMember, reader);
    return reader->work != nullptr;
}

bool StartMemberScan(MemberReader* reader, bool (*test)(const void* context, const unsigned char* block, int length),
                     const void* context) {
    if (reader->work != nullptr || reader->nextMember != 0 || !PlanThreads(reader, MostScanningThreads)) return false;
    reader->test = test;
    reader->testContext = context;
    reader->work =
        StartOrderedWork(reader->threadCount, reader->slotCount, reader->memberCount, ScanMember, reader);
    return reader->work != nullptr;
}

int NextScannedMember(MemberReader* reader, ScannedMember* scanned, long long* resumeOffset) {
    if (reader->heldMember >= 0) ReleaseWorkPiece(reader->work, reader->heldMember);
    reader->heldMember = -1;
    if (reader->nextMember >= reader->memberCount) {
        *resumeOffset = reader->endOffset;
        return 0;
    }
    MemberSlot* slot = &reader->slots[TakeWorkPiece(reader->work, reader->nextMember)];
    if (!slot->sound) {
        *resumeOffset = reader->offsets[reader->nextMember];
        reader->nextMember = reader->memberCount;
        return 0;
    }
    reader->heldMember = reader->nextMember++;
    *scanned = slot->scanned;
    return 1;
}

int NextMemberPiece(MemberReader* reader, unsigned char** piece, long* length, long long* resumeOffset) {
    if (reader->heldMember >= 0) ReleaseWorkPiece(reader->work, reader->heldMember);
    reader->heldMember = -1;
    if (reader->nextMember >= reader->memberCount) {
        *resumeOffset = reader->endOffset;
        return 0;
    }
    if (!StartPool(reader)) { // no thread: the stream reads the members one after the other
        *resumeOffset = reader->offsets[reader->nextMember];
        reader->nextMember = reader->memberCount;
        return 0;
    }
    MemberSlot* slot = &reader->slots[TakeWorkPiece(reader->work, reader->nextMember)];
    if (!slot->sound) {
        *resumeOffset = reader->offsets[reader->nextMember];
        reader->nextMember = reader->memberCount; // the stream reads on from here
        return 0;
    }
    reader->heldMember = reader->nextMember++;
    *piece = slot->piece;
    *length = slot->length;
    return 1;
}

void CloseMemberReader(MemberReader* reader) {
    if (reader == nullptr) return;
    EndOrderedWork(reader->work);
    for (int index = 0; reader->slots != nullptr && index < reader->slotCount; index++) {
        std::free(reader->slots[index].output);
        std::free(reader->slots[index].prefix);
        std::free(reader->slots[index].matches);
    }
    for (int index = 0; reader->workers != nullptr && index < reader->threadCount; index++) {
        std::free(reader->workers[index].input);
        std::free(reader->workers[index].output);
        std::free(reader->workers[index].places);
#ifdef DIALDEX_ISAL
        if (reader->workers[index].isal != nullptr) DestroyIsalInflater(reader->workers[index].isal);
#endif
    }
    std::free(reader->slots);
    std::free(reader->workers);
    std::free(reader->offsets);
    std::free(reader->sizes);
    std::free(reader->crcs);
    std::free(reader->streamOffsets);
    std::free(reader);
}

long long MemberReaderHeldBytes(const MemberReader* reader) {
    long long held = 0;
    for (int index = 0; index < reader->slotCount; index++) {
        const MemberSlot& slot = reader->slots[index];
        held += slot.outputCapacity + slot.prefixCapacity + slot.matchesCapacity;
    }
    for (int index = 0; index < reader->threadCount; index++) {
        const MemberWorker& worker = reader->workers[index];
        held += worker.input != nullptr ? MemberInputPiece : 0;
        held += worker.output != nullptr ? MemberPieceHeadroom + MemberOutputPiece : 0;
        held += worker.places != nullptr ? long(sizeof(uint64_t)) * PlaceWords : 0;
    }
    return held;
}

int MemberCount(const MemberReader* reader) {
    return reader != nullptr ? reader->memberCount : 0;
}
