// A ".zdb" file read the way zlib's gzip reader reads it, over the descriptor of a checked open:
// - a file that does not begin with the gzip magic (1F 8B; a file of one byte cannot show it) is handed
//   out unchanged;
// - gzip members one after the other are read on; after a member, bytes that do not begin another one
//   are ignored;
// - a file that ends early (inside a header, the compressed data or the trailer) gives every byte that
//   its data hold, and ends;
// - damage (a bad header, bad compressed data) ends the stream too, after every byte decompressed before
//   it. zlib's own reader loses what it had decompressed ahead when it meets damage (half a kilobyte and
//   more, or a whole small file for a bad trailer); this stream does not;
// - a trailer whose CRC-32 or length is wrong is noted and the next member is read on, so a bad first
//   member costs what a bad last one costs: nothing but the verdict. The stream then ends as damaged.
// The compressed data are inflated by zlib, or by ISA-L where the build has it (see gzip_isal.h).
#pragma once

#include "platform/files.h"

#include <cstdint>

// How the stream ended. Codes:
//   -1 not yet
//    0 the data ended where a member or a plain file ends
//    1 the file ended inside a member
//    2 damage: a bad header, bad compressed data, or (once the rest is read) a bad trailer
//    3 the file could not be read
constexpr int GzipNotEnded = -1;
constexpr int GzipEndedWhole = 0;
constexpr int GzipEndedEarly = 1;
constexpr int GzipEndedDamaged = 2;
constexpr int GzipEndedUnreadable = 3;

// What was wrong with gzip data that ended the stream as damaged (a wrong CRC-32 or length is told by
// checkFailed instead). Codes:
//   0 nothing of the kind
//   1 a member's header names a compression method other than deflate
//   2 a member's header sets a reserved flag
//   3 a member's header check (the CRC-16 of its header) is wrong
//   4 compressed data that cannot be inflated
constexpr int GzipDamageNone = 0;
constexpr int GzipDamageMethod = 1;
constexpr int GzipDamageFlags = 2;
constexpr int GzipDamageHeaderCheck = 3;
constexpr int GzipDamageData = 4;
// The damage in words ("unknown compression method"): the one table of these texts.
const char16_t* GzipDamageText(int damage);

// The inflaters. ISA-L hands a member over to zlib whenever it meets anything but whole, sound data.
constexpr int GzipInflaterZlib = 0;
constexpr int GzipInflaterIsal = 1;
// ISA-L when the build has it, zlib otherwise.
int DefaultGzipInflater();
bool GzipIsalBuiltIn();

struct z_stream_s;
struct IsalInflater;

struct GzipStream {
    FileHandle file = NoFile;       // read at explicit offsets; not closed by the stream
    bool sequential = false;        // the file gives its bytes once, in order (a pipe): read on, never back
    unsigned char* input = nullptr; // compressed bytes read ahead
    int inputCapacity = 0;
    int inputStart = 0;              // the next byte not yet taken
    int inputEnd = 0;                // the end of the bytes in the buffer
    long long inputOffset = 0;       // the file offset of input[0]
    bool fileEnded = false;          // the file gave no more bytes
    int state = 0;                   // see gzip_stream.cpp
    bool afterMember = false;        // a member has begun: what follows one needs the magic
    int inflater = GzipInflaterZlib; // the one in use now
    z_stream_s* zlib = nullptr;
    IsalInflater* isal = nullptr;
    unsigned char* scratch = nullptr; // for bytes inflated again and dropped
    unsigned char* staging = nullptr; // ISA-L's output for small requests, handed out once whole
    int stagedStart = 0;              // the next staged byte to hand out
    int stagedEnd = 0;                // the end of the staged bytes
    bool memberDataEnded = false;     // ISA-L has met the end of the member's compressed data
    long long deflateOffset = 0;      // the file offset of the current member's compressed data
    long long memberOutput = 0;       // bytes of the current member handed out
    uint32_t crc = 0;                 // CRC-32 of the current member's bytes handed out
    int trailerBytesChecked = 0;      // 0, 4 (check value done) or 8
    int endCode = GzipNotEnded;
    int damage = GzipDamageNone; // what ended it as damaged

    bool checkFailed = false;   // a member's CRC-32 or length was wrong
    bool trailingBytes = false; // bytes after the last member that begin no other
    int members = 0;              // members begun (their magic seen)
    long long trailingOffset = -1; // where the bytes after the last member begin
};

// Sets up reading the file from its start with an input buffer of the given size. Codes: 0 ready; -2 no
// memory. The file stays the caller's.
int OpenGzipStream(GzipStream* stream, FileHandle file, int inputCapacity, int inflater);
// Delivers up to count bytes; fewer only when the stream has ended (endCode says how).
long ReadGzipStream(GzipStream* stream, unsigned char* destination, long count);
// Reads on from a file offset where a member begins, or where the file's members end (what follows is then
// judged as what follows a member). The file must be readable at any offset.
void ResumeGzipStreamAt(GzipStream* stream, long long offset);
// Frees what the stream holds; safe to call twice.
void CloseGzipStream(GzipStream* stream);
