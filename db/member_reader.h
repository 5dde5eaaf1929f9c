// A ".zdb" made of members that carry their lengths (member_layout.h), inflated on every core: the
// members are found from their headers without inflating one, a small pool inflates them ahead and the
// reader takes them in file order. A slot holds one inflated member waiting for the scan, about one a
// thread; each thread reads the compressed bytes in small pieces with its own inflater, so about 1 MiB a
// core waits at most. Every member's CRC-32 and length are checked; a member that fails anything (or is
// not such a member) is left to the sequential gzip stream, which reads on from its start, so damaged,
// cut or foreign files read exactly as without this reader.
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
// Members found when the reader was opened.
int MemberCount(const MemberReader* reader);
