// Independent gzip members cut at record boundaries, each compressed on its own with zlib.
#include "tools/member_writer.h"

#include "db/database_file.h"
#include "db/database_reader.h"
#include "db/member_layout.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

// A stream without boundaries (not a record stream) is still cut here, so memory stays bounded.
constexpr long LongestMember = 4 * MemberTargetBytes;

int StartMemberWriter(MemberWriter* writer, int level) {
    *writer = MemberWriter();
    writer->nextBoundary = DatabaseHeaderSize + 1;
    writer->deflater = static_cast<z_stream*>(std::calloc(1, sizeof(z_stream)));
    if (writer->deflater == nullptr) return -1;
    // Raw deflate: the gzip header and trailer are written here, with the member's length in the header.
    if (deflateInit2(writer->deflater, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        std::free(writer->deflater);
        writer->deflater = nullptr;
        return -1;
    }
    writer->pending.reserve(size_t(MemberTargetBytes + 1024));
    return 0;
}

static void PutLittleEndian32(unsigned char* bytes, uint32_t value) {
    for (int index = 0; index < 4; index++)
        bytes[index] = (unsigned char)(value >> (8 * index));
}

// Compresses the first count pending bytes into one member and hands it on.
static int MakeMember(MemberWriter* writer, size_t count,
                      void (*write)(void* context, const unsigned char* bytes, size_t count), void* context) {
    z_stream* deflater = writer->deflater;
    if (deflateReset(deflater) != Z_OK) return -1;
    size_t bound = deflateBound(deflater, uLong(count));
    writer->compressed.resize(MemberHeaderSize + bound + MemberTrailerSize);
    deflater->next_in = writer->pending.data();
    deflater->avail_in = uInt(count);
    deflater->next_out = writer->compressed.data() + MemberHeaderSize;
    deflater->avail_out = uInt(bound);
    if (deflate(deflater, Z_FINISH) != Z_STREAM_END) return -1;
    size_t size = MemberHeaderSize + size_t(deflater->total_out) + MemberTrailerSize;
    unsigned char* bytes = writer->compressed.data();
    MakeMemberHeader(bytes, uint32_t(size));
    PutLittleEndian32(bytes + size - 8, uint32_t(crc32(0, writer->pending.data(), uInt(count))));
    PutLittleEndian32(bytes + size - 4, uint32_t(count));
    write(context, bytes, size);
    writer->pending.erase(writer->pending.begin(), writer->pending.begin() + long(count));
    writer->pendingOffset += (long long)count;
    return 0;
}

// Moves the next boundary on past every block whose length byte is pending, until it lies at or past
// the target or beyond the pending bytes.
static void StepBoundary(MemberWriter* writer) {
    int length = writer->pending[size_t(writer->nextBoundary - 1 - writer->pendingOffset)];
    if (length < MinimumBlockLength || length > MaximumBlockLength)
        writer->nextBoundary = -1; // the end mark, or no record stream
    else
        writer->nextBoundary += length;
}

static void FindBoundary(MemberWriter* writer, long long target) {
    long long end = writer->pendingOffset + (long long)writer->pending.size();
    while (writer->nextBoundary >= 0 && writer->nextBoundary < target && writer->nextBoundary <= end)
        StepBoundary(writer);
}

int AddMemberBytes(MemberWriter* writer, const unsigned char* bytes, size_t count,
                   void (*write)(void* context, const unsigned char* bytes, size_t count), void* context) {
    if (writer->failed) return -1;
    writer->pending.insert(writer->pending.end(), bytes, bytes + count);
    for (;;) {
        long long end = writer->pendingOffset + (long long)writer->pending.size();
        long long target = writer->pendingOffset + MemberTargetBytes;
        if (end < target) return 0;
        FindBoundary(writer, target);
        long long cut = -1;
        if (writer->nextBoundary >= target && writer->nextBoundary <= end) {
            cut = writer->nextBoundary;
            StepBoundary(writer); // while the length byte before the cut is still pending
        } else if (end - writer->pendingOffset >= LongestMember) cut = writer->pendingOffset + LongestMember;
        if (cut < 0) return 0;
        if (MakeMember(writer, size_t(cut - writer->pendingOffset), write, context) != 0) {
            writer->failed = true;
            return -1;
        }
    }
}

int FinishMemberWriter(MemberWriter* writer,
                       void (*write)(void* context, const unsigned char* bytes, size_t count), void* context) {
    int code = writer->failed ? -1 : 0;
    if (code == 0 && !writer->pending.empty()) code = MakeMember(writer, writer->pending.size(), write, context);
    EndMemberWriter(writer);
    return code;
}

void EndMemberWriter(MemberWriter* writer) {
    if (writer->deflater != nullptr) {
        deflateEnd(writer->deflater);
        std::free(writer->deflater);
    }
    writer->deflater = nullptr;
    writer->pending = std::vector<unsigned char>();
    writer->compressed = std::vector<unsigned char>();
}
