// The member reader: the index of members from their headers, the pool's work on one member, and the
// pieces in file order.
#include "db/member_reader.h"

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

// What a member needs only while it is inflated is kept once a thread, not once a slot: a slot holds an
// inflated member waiting for the scan, a thread the compressed bytes in hand and its inflater.
struct MemberSlot {
    unsigned char* output = nullptr; // MemberPieceHeadroom bytes, then the inflated bytes
    uint32_t outputCapacity = 0;
    unsigned char* piece = nullptr; // where the inflated bytes lie
    long length = 0;    // inflated bytes
    bool sound = false; // inflated whole, and its CRC-32 and length agree
};

struct MemberWorker {
    unsigned char* input = nullptr; // MemberInputPiece bytes of the member as in the file
#ifdef DIALDEX_ISAL
    IsalInflater* isal = nullptr;
#endif
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

// Inflates the member's deflate data, read a piece at a time, into output (room bytes), which must take
// exactly expected bytes. True when the data end just at their last byte, with the CRC-32 given.
static bool InflateExactly(const MemberReader* reader, MemberWorker* worker, int member, unsigned char* output,
                           uint32_t room, uint32_t expected, uint32_t expectedCrc) {
    long long start = reader->offsets[member] + MemberHeaderSize;
    uint32_t dataLength = reader->sizes[member] - MemberHeaderSize - MemberTrailerSize;
    uint32_t read = 0;
#ifdef DIALDEX_ISAL
    if (worker->isal == nullptr) worker->isal = CreateIsalInflater();
    if (worker->isal != nullptr) {
        ResetIsalInflater(worker->isal);
        long produced = 0;
        while (read < dataLength) {
            uint32_t count = NextInputPiece(dataLength - read);
            if (!ReadExactly(reader->file, start + read, worker->input, count)) return false;
            read += count;
            int offset = 0;
            for (;;) {
                int used = 0, readAhead = 0;
                long made = 0;
                uint32_t crc = 0;
                int code = InflateWithIsal(worker->isal, worker->input + offset, int(count) - offset, &used,
                                           output + produced, long(room) - produced, &made, &readAhead, &crc);
                offset += used;
                produced += made;
                if (code == 0)
                    return produced == long(expected) && read == dataLength && offset - readAhead == int(count) &&
                           crc == expectedCrc;
                if (code != -1 || produced == long(room)) return false; // damage, or longer than it says
                if (offset == int(count)) break;
            }
        }
        return false; // the data ended without their end
    }
#endif
    z_stream zlib{};
    if (inflateInit2(&zlib, -MAX_WBITS) != Z_OK) return false;
    zlib.next_out = output;
    zlib.avail_out = room;
    bool whole = false;
    while (read < dataLength) {
        uint32_t count = NextInputPiece(dataLength - read);
        if (!ReadExactly(reader->file, start + read, worker->input, count)) break;
        read += count;
        zlib.next_in = worker->input;
        zlib.avail_in = count;
        int code = inflate(&zlib, Z_NO_FLUSH);
        if (code == Z_STREAM_END) {
            whole = read == dataLength && zlib.avail_in == 0 && zlib.total_out == expected &&
                    uint32_t(crc32(0, output, expected)) == expectedCrc;
            break;
        }
        if (code != Z_OK || zlib.avail_in != 0) break; // damage, or longer than it says
    }
    inflateEnd(&zlib);
    return whole;
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
    int threads = ProcessorCount();
    if (threads > MostInflaters) threads = MostInflaters;
    if (threads > reader->memberCount) threads = reader->memberCount;
    reader->threadCount = threads;
    // A slot is a whole inflated member held in memory, so there are as few as keep the cores busy: one a
    // thread and one more, so that a thread that finished its member starts the next while the scan still
    // reads the one before. On 2 cores under other load, one a thread read in 0.62-0.66 of igzip's time,
    // one more 0.61, two a thread and one more 0.61 too (docs/decisions.md).
    reader->slotCount = threads + 1;
    reader->slots = static_cast<MemberSlot*>(std::calloc(size_t(reader->slotCount), sizeof(MemberSlot)));
    reader->workers = static_cast<MemberWorker*>(std::calloc(size_t(threads), sizeof(MemberWorker)));
    if (reader->slots == nullptr || reader->workers == nullptr) {
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
    for (int index = 0; reader->slots != nullptr && index < reader->slotCount; index++)
        std::free(reader->slots[index].output);
    for (int index = 0; reader->workers != nullptr && index < reader->threadCount; index++) {
        std::free(reader->workers[index].input);
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
    for (int index = 0; index < reader->slotCount; index++)
        held += reader->slots[index].outputCapacity;
    for (int index = 0; index < reader->threadCount; index++)
        held += reader->workers[index].input != nullptr ? MemberInputPiece : 0;
    return held;
}

int MemberCount(const MemberReader* reader) {
    return reader != nullptr ? reader->memberCount : 0;
}
