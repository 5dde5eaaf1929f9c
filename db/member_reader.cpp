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

struct MemberSlot {
    unsigned char* input = nullptr; // the member's bytes as in the file
    uint32_t inputCapacity = 0;
    unsigned char* output = nullptr; // MemberPieceHeadroom bytes, then the inflated bytes
    uint32_t outputCapacity = 0;
    unsigned char* piece = nullptr; // where the inflated bytes lie
    long length = 0;    // inflated bytes
    bool sound = false; // inflated whole, and its CRC-32 and length agree
#ifdef DIALDEX_ISAL
    IsalInflater* isal = nullptr;
#endif
};

struct MemberReader {
    FileHandle file = NoFile;
    long long* offsets = nullptr;
    uint32_t* sizes = nullptr;
    long long* streamOffsets = nullptr; // where each member's inflated bytes begin, as the trailers say
    int memberCount = 0;
    long long endOffset = 0;       // after the last member found
    long long inflatedLength = 0;  // of all members, as the trailers say
    unsigned char* destination = nullptr; // InflateMembersInto's buffer
    int threadCount = 0;
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

// Inflates the deflate data into output (room bytes), which must take exactly expected bytes. True when
// the data end just there, at their last byte, with the CRC-32 given.
static bool InflateExactly(MemberSlot* slot, const unsigned char* data, uint32_t dataLength,
                           unsigned char* output, uint32_t room, uint32_t expected, uint32_t expectedCrc) {
#ifdef DIALDEX_ISAL
    if (slot->isal == nullptr) slot->isal = CreateIsalInflater();
    if (slot->isal != nullptr) {
        ResetIsalInflater(slot->isal);
        int used = 0, readAhead = 0;
        long produced = 0;
        uint32_t crc = 0;
        int code = InflateWithIsal(slot->isal, data, int(dataLength), &used, output, long(room), &produced,
                                   &readAhead, &crc);
        return code == 0 && produced == long(expected) && uint32_t(used - readAhead) == dataLength &&
               crc == expectedCrc;
    }
#else
    (void)slot;
#endif
    z_stream zlib{};
    if (inflateInit2(&zlib, -MAX_WBITS) != Z_OK) return false;
    zlib.next_in = const_cast<unsigned char*>(data);
    zlib.avail_in = dataLength;
    zlib.next_out = output;
    zlib.avail_out = room;
    int code = inflate(&zlib, Z_FINISH);
    bool whole = code == Z_STREAM_END && zlib.avail_in == 0 && zlib.total_out == expected &&
                 uint32_t(crc32(0, output, expected)) == expectedCrc;
    inflateEnd(&zlib);
    return whole;
}

// The pool's work: one member, read whole, inflated into its slot and checked.
static void InflateMember(void* context, int member, int slotIndex) {
    MemberReader* reader = static_cast<MemberReader*>(context);
    MemberSlot* slot = &reader->slots[slotIndex];
    slot->sound = false;
    slot->length = 0;
    uint32_t size = reader->sizes[member];
    if (!Reserve(&slot->input, &slot->inputCapacity, size)) return;
    uint32_t got = 0;
    while (got < size) {
        long count = ReadFileBytesAt(reader->file, reader->offsets[member] + got, slot->input + got, long(size - got));
        if (count <= 0) return;
        got += uint32_t(count);
    }
    uint32_t crc = LittleEndian32(slot->input + size - 8);
    uint32_t inflated = LittleEndian32(slot->input + size - 4);
    if (inflated > LongestMember) return;
    unsigned char* output = nullptr;
    uint32_t room = inflated;
    if (reader->destination != nullptr) {
        // In place in the stream: not a byte past the member's own, which the next member's thread writes.
        if (reader->streamOffsets[member + 1] - reader->streamOffsets[member] != (long long)inflated) return;
        output = reader->destination + reader->streamOffsets[member];
        if (member + 1 == reader->memberCount) room += OutputSlack;
    } else {
        if (!Reserve(&slot->output, &slot->outputCapacity, MemberPieceHeadroom + inflated + OutputSlack)) return;
        output = slot->output + MemberPieceHeadroom;
        room += OutputSlack;
    }
    if (!InflateExactly(slot, slot->input + MemberHeaderSize, size - MemberHeaderSize - MemberTrailerSize, output,
                        room, inflated, crc))
        return;
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
        unsigned char length[4];
        if (ReadFileBytesAt(reader->file, offset + size - 4, length, 4) != 4) break;
        if (reader->memberCount + 1 >= capacity) {
            capacity = capacity == 0 ? 64 : capacity * 2;
            void* offsets = std::realloc(reader->offsets, sizeof(long long) * size_t(capacity));
            if (offsets != nullptr) reader->offsets = static_cast<long long*>(offsets);
            void* sizes = std::realloc(reader->sizes, sizeof(uint32_t) * size_t(capacity));
            if (sizes != nullptr) reader->sizes = static_cast<uint32_t*>(sizes);
            void* streamOffsets = std::realloc(reader->streamOffsets, sizeof(long long) * size_t(capacity));
            if (streamOffsets != nullptr) reader->streamOffsets = static_cast<long long*>(streamOffsets);
            if (offsets == nullptr || sizes == nullptr || streamOffsets == nullptr) return false;
        }
        reader->offsets[reader->memberCount] = offset;
        reader->sizes[reader->memberCount] = size;
        reader->streamOffsets[reader->memberCount] = reader->inflatedLength;
        reader->inflatedLength += LittleEndian32(length);
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
    // A thread that finishes ahead of the others starts on another member instead of waiting for the scan
    // to release one: with one slot more than the threads, reading took 0.76 of igzip's time, with two a
    // thread and one more 0.58 (2 cores).
    reader->slotCount = 2 * threads + 1;
    reader->slots = static_cast<MemberSlot*>(std::calloc(size_t(reader->slotCount), sizeof(MemberSlot)));
    if (reader->slots == nullptr) {
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
    for (int index = 0; reader->slots != nullptr && index < reader->slotCount; index++) {
        std::free(reader->slots[index].input);
        std::free(reader->slots[index].output);
#ifdef DIALDEX_ISAL
        if (reader->slots[index].isal != nullptr) DestroyIsalInflater(reader->slots[index].isal);
#endif
    }
    std::free(reader->slots);
    std::free(reader->offsets);
    std::free(reader->sizes);
    std::free(reader->streamOffsets);
    std::free(reader);
}

int MemberCount(const MemberReader* reader) {
    return reader != nullptr ? reader->memberCount : 0;
}
