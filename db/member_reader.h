// A ".zdb" made of members that carry their lengths (member_layout.h), inflated on every core: the
// members are found from their headers without inflating one, a small pool inflates them ahead and the
// reader takes them in file order. A slot holds one inflated member waiting for the scan, about one a
// thread; each thread reads the compressed bytes in small pieces with its own inflater, so about 1 MiB a
// core waits at most. Every member's CRC-32 and length are checked; a member that fails anything (or is
// not such a member) is left to the sequential gzip stream, which reads on from its start, so damaged,
// cut or foreign files read exactly as without this reader.
//
// A scan that needs no record-by-record progress may instead have the pool's threads test the records
// as they inflate them, 64 KiB at a time (StartMemberScan): then only what passed the test waits, never a
// whole member.
#pragma once

#include "platform/files.h"

#include <cstdint>

// Room an inflater may have past a member's end, so that it never stops short of the data's end for want
// of it.
constexpr int MemberOutputSlack = 64;
// The pool reads a member's compressed bytes this much at a time.
constexpr uint32_t MemberInputPiece = 64 * 1024;
// Bytes writable before every piece handed out: the reader puts the end of the previous piece there (a
// block is never longer than 254 bytes).
constexpr int MemberPieceHeadroom = 256;

struct MemberSlot;
struct OrderedWork;
struct MemberReader;

// Finds the members at the start of a file that can be read at any offset; the pool starts inflating
// them with the first piece asked for. Returns null when the file does not begin with one (or there is
// no memory): the file is then read sequentially as before.
MemberReader* OpenMemberReader(FileHandle file);
// The length of every member's inflated bytes together, as their trailers say (each is checked when it is
// inflated).
long long MembersInflatedLength(const MemberReader* reader);
// Before the first piece: every member is inflated straight into destination at its place in the stream
// (destination holds MembersInflatedLength bytes and 64 more), so the pieces lie one after the other there.
void InflateMembersInto(MemberReader* reader, unsigned char* destination);
// The inflated bytes of the next sound member, in file order. Codes: 1 a piece (MemberPieceHeadroom
// writable bytes before it; valid until the next call); 0 no more: the sequential stream reads on at
// *resumeOffset (after the last member, or at the first one that failed a check).
int NextMemberPiece(MemberReader* reader, unsigned char** piece, long* length, long long* resumeOffset);
// Stops the pool and frees everything; safe with null. The file stays the caller's.
void CloseMemberReader(MemberReader* reader);
// The bytes of the buffers the pool holds now (inflated members and compressed pieces; the inflaters'
// own state not counted).
long long MemberReaderHeldBytes(const MemberReader* reader);
// A program that reads several files at once shares the processors among them: no pool started from now
// on has more than threads threads (0: as many as there are processors).
void LimitMemberThreads(int threads);
// Members found when the reader was opened.
int MemberCount(const MemberReader* reader);

// The pool inflates this much of a member at a time when its threads test the records.
constexpr long MemberOutputPiece = 64 * 1024;

// How the walk of a member's records on a pool thread ended. Codes:
//   0 the last block ended at the member's last byte: the next member goes on
//   1 the end mark: the records end here
//   2 a length below 8, a block past the member's end, or no block could be placed: the sequential
//     stream is to read the member (it tells what is wrong the way it always does)
enum MemberWalkEnd { MemberWalkedToItsEnd = 0, MemberWalkedToTheEndMark = 1, MemberWalkBroken = 2 };

// What a pool thread found in one member, valid until the next call. A member's first block is as long
// as the member before it says in its last byte, which the thread cannot know; it places the blocks from
// where every length its first block could have leads to one and the same block (a few KiB in), and hands
// the bytes before that over for the scan to walk from the true length (the whole member when the blocks
// cannot be placed so).
struct ScannedMember {
    int member = 0;
    long long startOffset = 0;               // in the file: where the member begins
    long long endOffset = 0;                 // and where the next begins
    const unsigned char* prefix = nullptr;   // the member's first bytes, up to where the thread's walk began
    long walkStart = 0;                      // their count (the first member: the header and first length)
    int walkEnd = MemberWalkBroken;          // MemberWalkEnd
    int recordsWalked = 0;                   // records read whole from walkStart on
    const unsigned char* matches = nullptr;  // each block that passed the test: its record's number from
                                             // walkStart (4 bytes, little-endian), its length (1), the block
    long matchesLength = 0;
    unsigned char lastByte = 0;              // the member's last inflated byte: the next member's first length
};

// Before the first piece, instead of the pieces: the pool's threads walk every member's records and keep
// the blocks test(context, block, length) passes (it is called on those threads, at once). False when no
// thread could be started.
bool StartMemberScan(MemberReader* reader, bool (*test)(const void* context, const unsigned char* block, int length),
                     const void* context);
// The next member in file order. Codes: 1 scanned (every check passed: inflated whole, CRC-32 and length
// right); 0 none: the sequential stream is to read on at *resumeOffset (after the last member, or at the
// first that failed a check).
int NextScannedMember(MemberReader* reader, ScannedMember* scanned, long long* resumeOffset);
