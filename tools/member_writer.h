// A ".zdb" written as independent gzip members of about MemberTargetBytes inflated bytes each, every
// member ending at a record boundary and carrying its own length in its header (db/member_layout.h), so
// that a reader can inflate members on several cores. Any gzip reader reads the file as one stream.
//
// The writer finds the record boundaries in the bytes themselves: after the 29-byte header the first
// boundary follows the first length byte, and each block of L bytes (its last byte the next length)
// ends at the next one. Bytes that are not a record stream (a length below 8) are never cut again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct z_stream_s;

struct MemberWriter {
    z_stream_s* deflater = nullptr;
    std::vector<unsigned char> pending;    // the current member's inflated bytes
    std::vector<unsigned char> compressed; // one member, header to trailer
    long long pendingOffset = 0;           // the stream offset of pending[0]
    long long nextBoundary = 0;            // the stream offset of the next record boundary; -1: none
    bool failed = false;                   // no memory, or zlib refused
};

// Codes of the functions below: 0 done; -1 no memory or the compressor failed (nothing more is made).
int StartMemberWriter(MemberWriter* writer, int level);
// Takes inflated bytes. Each member made whole is handed to write(context, bytes, count).
int AddMemberBytes(MemberWriter* writer, const unsigned char* bytes, size_t count,
                   void (*write)(void* context, const unsigned char* bytes, size_t count), void* context);
// Makes the last member of what is left (none when nothing is), and frees the compressor.
int FinishMemberWriter(MemberWriter* writer,
                       void (*write)(void* context, const unsigned char* bytes, size_t count), void* context);
void EndMemberWriter(MemberWriter* writer);
