// The database reader and the record stream walker over it.
//
// The reader opens a database file in the storage form its compressed flag names (the gzip reader for
// ".zdb", the plain file otherwise) and hands out its bytes from one large buffer, so a scan makes one
// system call or gzread per 128 or 256 KiB, never one per record.
//
// The record stream: after the 29-byte header comes one next-length byte L, then blocks of L bytes, each
// ending with the next block's length; 255 ends the stream. Whatever the bytes say, the walker never
// reads outside a block or the header:
// - a length byte below 8 cannot hold a record (a phone number, four terminators and the next length):
//   the data are damaged there and the stream ends, like a short read; the records before it stand;
// - a file that ends right after its header (no first length byte) is a stream of no records;
// - a short read, a read error or damaged gzip data ends the stream; every record before the damage
//   stands (gzip_stream.h hands out every byte decompressed before it, a bad trailer loses nothing);
//   how the read ended is told afterwards (DatabaseReadEnd), never taken for a whole file;
// - a text without its terminator inside the block runs up to the block's last byte (which is the next
//   length, never text); the texts after it are empty. Bytes after the flat's terminator are ignored.
#pragma once

#include "db/database_file.h"
#include "db/gzip_stream.h"
#include "db/member_reader.h"
#include "platform/files.h"

#include <cstdint>

constexpr int DatabaseEndMark = 255;
constexpr int MinimumBlockLength = 8;
constexpr int MaximumBlockLength = 254;
// The reader's buffer; a block never straddles a refill. A plain file's bytes are scanned straight after
// the copy from the page cache, best while they are still in the processor's nearer caches: 128 KiB. A
// compressed file is inflated straight into the buffer, 256 KiB at a time, from 256 KiB of compressed
// bytes read ahead.
constexpr int PlainReaderBufferSize = 128 * 1024;
constexpr int CompressedReaderBufferSize = 256 * 1024;
constexpr int CompressedInputBufferSize = 256 * 1024;

struct DatabaseReader {
    bool compressed = false;
    FileHandle file = NoFile;
    GzipStream gzip; // a compressed file's bytes, read from file
    MemberReader* members = nullptr; // a file made of members, while its members last (then gzip reads on)
    unsigned char* buffer = nullptr; // the bytes handed out: ownBuffer, or a member's piece
    unsigned char* ownBuffer = nullptr;
    int capacity = 0;            // the own buffer's size
    unsigned char* keptBytes = nullptr; // KeepDatabaseBytes: every byte read from the start (buffer then)
    long long keptCapacity = 0;
    long long keepLimit = 0;
    int position = 0;            // next byte to hand out
    int end = 0;                 // bytes in the buffer
    bool sourceFinished = false; // the file gives no more bytes
    int walkState = 0;           // see database_reader.cpp
    int nextLength = 0;
    int endCode = 0;
    unsigned char header[DatabaseHeaderSize] = {};
    int headerCount = 0;
    bool readingKeptBytes = false; // ReadDatabaseFromBytes: the bytes of a read that was checked whole
    bool readFailed = false;       // a plain file gave a read error
    bool identityKnown = false;    // a regular file: openedAs holds what it was when opened
    FileIdentity openedAs;
    bool membersLeftToTheScan = false; // LeaveMembersToTheScan: no piece of a member is read ahead
    int membersScannedOnThreads = 0;   // and of them, those whose records the pool's threads tested
};

// open(path, compressed flag). Codes: 0 open; -1 the file could not be opened; -2 no memory for the
// buffer. On failure nothing stays open.
int OpenDatabaseReader(DatabaseReader* reader, const char16_t* path, bool compressed);
// open on a file the caller has opened already: the command-line tools open host paths as given, and
// standard input. The reader takes the file over: it is closed with the reader, also when this fails.
// Codes: 0 open; -2 no memory for the buffer.
int OpenDatabaseReaderOnFile(DatabaseReader* reader, FileHandle file, bool compressed);
// read(n): delivers up to count bytes; fewer only at the end of the data (or after damage).
long ReadDatabaseBytes(DatabaseReader* reader, void* destination, long count);
// Closes the file and frees the buffer; safe on a reader that failed to open or was closed already.
void CloseDatabaseReader(DatabaseReader* reader);

// Before the first read: every byte read is kept, from the first on, in one buffer that grows up to
// limit bytes; past that nothing is kept and the buffer is freed (the reading goes on as usual).
void KeepDatabaseBytes(DatabaseReader* reader, long long limit);
// The bytes kept so far (from the header on), handed to the caller, who frees them with
// FreeKeptDatabaseBytes; null when none are kept. The reader reads nothing more.
unsigned char* TakeKeptDatabaseBytes(DatabaseReader* reader, long long* length);
void FreeKeptDatabaseBytes(unsigned char* bytes);
// The bytes kept so far (0 when none are).
long long KeptDatabaseBytes(const DatabaseReader* reader);
// Before the first read: the reader hands out these bytes (a database from its header on) instead of the
// file's; they stay the caller's and must outlive the reader's use.
void ReadDatabaseFromBytes(DatabaseReader* reader, const unsigned char* bytes, long long length);
// Before the first read of a file that may be made of members: its members are not inflated ahead for the
// reader's pieces (the header is read by the gzip stream); a scan that reports no progress per record has
// the pool's threads test the records instead (ScanDatabase).
void LeaveMembersToTheScan(DatabaseReader* reader);
// The members left to the scan, while it may still use them.
inline MemberReader* MembersLeftToTheScan(const DatabaseReader* reader) {
    return reader->membersLeftToTheScan ? reader->members : nullptr;
}
// The members' threads are done with: the sequential stream reads on from a file offset where a member
// begins (or the members end), and the walker goes on with the length of the block there; a nextLength
// below 0 means the offset is the file's start: the header is read again first.
void ResumeRecordsAt(DatabaseReader* reader, long long offset, int nextLength);
// The members' threads met the end mark: the walk has ended, and the rest of the file from offset on is
// read only to be checked (FinishDatabaseRead).
void EndRecordsAt(DatabaseReader* reader, long long offset);
// The longest a reader can keep (its offsets are int).
constexpr long long LongestKeptDatabase = 0x7FF00000LL;

// How a read of a database ended, as the user is to be told it. Every reader reports in these codes, and
// the window (search_worker.cpp) and the tools (tools/database_input.cpp) each turn them into their words
// in one table. Codes:
//   0 sound: the end mark was met, and a compressed file was read to its end with every member's CRC-32
//     and length right
//   1 not looked at: the scan ended before the data did, as asked (stop, a limit, no room for a match)
//   2 damaged, check failed: a member's CRC-32 or length was wrong, or the file ended inside a member
//     after the end mark (its trailer, or a later member): the records read may be wrong
//   3 damaged data: compressed data that cannot be inflated, or a member's header that is wrong
//   4 ended early: the data ended before the end mark (the file was cut, a length byte below 8)
//   5 changed: the file's size, modification time or inode (the name now leads to another file) differ
//     from what they were when it was opened
//   6 unreadable: the file gave a read error
enum DatabaseReadEndCode {
    DatabaseReadSound = 0,
    DatabaseReadNotChecked = 1,
    DatabaseReadCheckFailed = 2,
    DatabaseReadDamagedData = 3,
    DatabaseReadEndedEarly = 4,
    DatabaseReadChanged = 5,
    DatabaseReadUnreadable = 6,
};

// After a scan: reads a compressed file on past the end mark to the end of its last member, so every
// member's trailer is checked (a cheap step: the data after the end mark are only a few bytes). Returns
// false when the walk had not ended (the scan left early) or shouldStop (may be null) asked to stop;
// nothing is then to be told.
bool FinishDatabaseRead(DatabaseReader* reader, bool (*shouldStop)(void* context), void* context);
// How the read ended (after FinishDatabaseRead returned true). pathNow: the identity of the file's name
// now, zeroed when nothing is there; null where there is no name to look at (standard input).
int DatabaseReadEnd(const DatabaseReader* reader, const FileIdentity* pathNow);
// A compressed file held bytes after its last member that begin no other (ignored, as gzip does).
bool DatabaseHasTrailingBytes(const DatabaseReader* reader);

// Reads the header (the first 29 bytes). Returns the count read; the stream walk starts after it.
int ReadDatabaseHeader(DatabaseReader* reader, unsigned char header[DatabaseHeaderSize]);

// The next record block, read whole (the header is read first if nobody has). block stays valid until
// the next call. Codes:
//   1 a block of length bytes (8 to 254)
//   0 the end mark
//  -1 the data ended before the end mark (end of file, read error, damaged gzip data)
//  -2 a length byte below 8
// Once ended, every later call returns the same code.
int NextRecordBlock(DatabaseReader* reader, const unsigned char** block, int* length);

// A run of the whole record blocks lying in the buffer now, for a scan to walk in its own locals: with
// the walker's state kept in the reader, every record would wait for a store and a load of it. A scan
// calls BeginBlockRun, takes blocks with TakeBlockFromRun until it gives none, ends the run with
// EndBlockRun (also when it leaves early) and then calls NextRecordBlock once, which refills the buffer,
// meets the end mark or a damaged length, and the run begins again.
struct BlockRun {
    const unsigned char* cursor = nullptr; // the next block
    const unsigned char* end = nullptr;    // the end of the bytes in the buffer
    int nextLength = 0;                    // the next block's length byte
};

inline BlockRun BeginBlockRun(const DatabaseReader* reader) {
    constexpr int InRecords = 2; // the walker's state once the first length byte is read
    BlockRun run;
    if (reader->walkState == InRecords) {
        run.cursor = reader->buffer + reader->position;
        run.end = reader->buffer + reader->end;
        run.nextLength = reader->nextLength;
    }
    return run;
}

// The next block of the run, as NextRecordBlock would give it; false when the next block is not a whole
// ordinary block in the buffer (NextRecordBlock then deals with it).
inline bool TakeBlockFromRun(BlockRun* run, const unsigned char** block, int* length) {
    int blockLength = run->nextLength;
    if (blockLength < MinimumBlockLength || blockLength == DatabaseEndMark ||
        run->end - run->cursor < blockLength)
        return false;
    *block = run->cursor;
    *length = blockLength;
    run->cursor += blockLength;
    run->nextLength = (*block)[blockLength - 1];
    return true;
}

inline void EndBlockRun(DatabaseReader* reader, const BlockRun& run) {
    if (run.cursor == nullptr) return; // the walker was not in its records: nothing was taken
    reader->position = int(run.cursor - reader->buffer);
    reader->nextLength = run.nextLength;
}

// The phone number: the block's first three bytes, little-endian (0 to 16,777,215).
inline uint32_t RecordPhone(const unsigned char* block) {
    return uint32_t(block[0]) | uint32_t(block[1]) << 8 | uint32_t(block[2]) << 16;
}

// One record with its texts copied out of the block and always terminated.
struct DatabaseRecord {
    uint32_t phone = 0;
    const char* name = "";
    const char* street = "";
    const char* house = "";
    const char* flat = "";
    char texts[MaximumBlockLength]; // the block's text bytes (at most 250) and a terminator
};

// Takes the phone number and the four texts of a block of any length (a block too short for its texts
// gives empty ones).
void DecodeRecord(const unsigned char* block, int length, DatabaseRecord* record);
