// The database reader: one large buffer filled by the gzip reader or the plain file, the record stream
// walker over it, and the record decoder.
#include "db/database_reader.h"

#include "db/member_layout.h"
#include "platform/huge_pages.h"

#include <cstdlib>
#include <cstring>

// The walker's states.
enum WalkState {
    BeforeHeader = 0,
    BeforeFirstLength = 1,
    InRecords = 2,
    Ended = 3
}; // InRecords: see BeginBlockRun

int OpenDatabaseReaderOnFile(DatabaseReader* reader, FileHandle file, bool compressed) {
    *reader = DatabaseReader();
    reader->compressed = compressed;
    reader->file = file;
    reader->capacity = compressed ? CompressedReaderBufferSize : PlainReaderBufferSize;
    reader->identityKnown = IdentityOfFile(file, &reader->openedAs);
    reader->ownBuffer = static_cast<unsigned char*>(std::malloc(size_t(reader->capacity)));
    reader->buffer = reader->ownBuffer;
    if (reader->buffer == nullptr ||
        (compressed &&
         OpenGzipStream(&reader->gzip, reader->file, CompressedInputBufferSize, DefaultGzipInflater()) != 0)) {
        CloseDatabaseReader(reader);
        return -2;
    }
    if (compressed) reader->members = OpenMemberReader(reader->file);
    return 0;
}

int OpenDatabaseReader(DatabaseReader* reader, const char16_t* path, bool compressed) {
    FileHandle file = OpenDatabaseFile(path);
    if (file == NoFile) {
        *reader = DatabaseReader();
        return -1;
    }
    return OpenDatabaseReaderOnFile(reader, file, compressed);
}

// What is read ahead of the header of a file whose members are left to the scan.
constexpr int HeaderReadAhead = 4096;

// The kept bytes grow by at least this much at a time, so the gzip stream inflates large pieces in place.
constexpr long long KeepStep = 4LL << 20;

void KeepDatabaseBytes(DatabaseReader* reader, long long limit) {
    reader->keepLimit = limit < LongestKeptDatabase ? limit : LongestKeptDatabase;
}

unsigned char* TakeKeptDatabaseBytes(DatabaseReader* reader, long long* length) {
    // The pool may still be inflating members ahead into the kept bytes.
    CloseMemberReader(reader->members);
    reader->members = nullptr;
    unsigned char* bytes = reader->keptBytes;
    *length = bytes != nullptr ? reader->end : 0;
    reader->keptBytes = nullptr;
    reader->keepLimit = 0;
    reader->buffer = reader->ownBuffer;
    reader->position = reader->end = 0;
    reader->sourceFinished = true;
    return bytes;
}

long long KeptDatabaseBytes(const DatabaseReader* reader) {
    return reader->keptBytes != nullptr ? reader->end : 0;
}

void FreeKeptDatabaseBytes(unsigned char* bytes) {
    std::free(bytes);
}

void ReadDatabaseFromBytes(DatabaseReader* reader, const unsigned char* bytes, long long length) {
    CloseMemberReader(reader->members);
    reader->members = nullptr;
    reader->readingKeptBytes = true;
    reader->buffer = const_cast<unsigned char*>(bytes); // only read
    reader->position = 0;
    reader->end = int(length < LongestKeptDatabase ? length : LongestKeptDatabase);
    reader->sourceFinished = true;
}

void CloseDatabaseReader(DatabaseReader* reader) {
    CloseMemberReader(reader->members); // before the kept bytes it may inflate into
    reader->members = nullptr;
    std::free(reader->keptBytes);
    reader->keptBytes = nullptr;
    CloseGzipStream(&reader->gzip);
    if (reader->file != NoFile) CloseFile(reader->file);
    reader->file = NoFile;
    std::free(reader->ownBuffer);
    reader->ownBuffer = nullptr;
    reader->buffer = nullptr;
    reader->position = 0;
    reader->end = 0;
    reader->sourceFinished = true;
}

// Reads more bytes from the file into the buffer's free space. Returns the count, 0 when the file gives
// no more (end, read error, damage).
static int ReadSource(DatabaseReader* reader, unsigned char* destination, int count) {
    if (reader->file == NoFile) return 0;
    if (reader->compressed) return int(ReadGzipStream(&reader->gzip, destination, count));
    long got = ReadFileBytes(reader->file, destination, count);
    if (got < 0) reader->readFailed = true;
    return got > 0 ? int(got) : 0;
}

// The members are done with (the last sound one taken, or one that failed its check): the gzip stream
// reads on from where they end.
static void HandOverToGzipStream(DatabaseReader* reader, long long resumeOffset) {
    CloseMemberReader(reader->members);
    reader->members = nullptr;
    ResumeGzipStreamAt(&reader->gzip, resumeOffset);
}

// The bytes not yet handed out move in front of the next member's piece (into its headroom), and the reader
// hands out the piece in place. After the last sound member the own buffer takes them again and the gzip
// stream reads on. Returns false when the file ends first.
static bool FillFromMembers(DatabaseReader* reader, int needed) {
    while (reader->end - reader->position < needed) {
        int kept = reader->end - reader->position;
        unsigned char carry[MemberPieceHeadroom];
        std::memcpy(carry, reader->buffer + reader->position, size_t(kept));
        unsigned char* piece = nullptr;
        long length = 0;
        long long resumeOffset = 0;
        if (NextMemberPiece(reader->members, &piece, &length, &resumeOffset) == 0) {
            HandOverToGzipStream(reader, resumeOffset);
            reader->buffer = reader->ownBuffer;
            std::memcpy(reader->buffer, carry, size_t(kept));
            reader->position = 0;
            reader->end = kept;
            return false;
        }
        std::memcpy(piece - kept, carry, size_t(kept));
        reader->buffer = piece - kept;
        reader->position = 0;
        reader->end = kept + int(length);
    }
    return true;
}

static bool FillBuffer(DatabaseReader* reader, int needed);

// Makes room for at least wanted more kept bytes. Returns false when that would pass the limit: then
// nothing is kept any more, and the bytes not yet handed out move to the own buffer.
static bool RoomToKeep(DatabaseReader* reader, long long wanted) {
    if (reader->keptCapacity - reader->end >= wanted) return true;
    long long capacity = reader->keptCapacity * 2;
    if (capacity < reader->end + wanted + KeepStep) capacity = reader->end + wanted + KeepStep;
    if (capacity > reader->keepLimit && reader->end + wanted <= reader->keepLimit) capacity = reader->keepLimit;
    void* bigger = capacity <= reader->keepLimit ? std::realloc(reader->keptBytes, size_t(capacity)) : nullptr;
    if (bigger != nullptr) {
        reader->keptBytes = static_cast<unsigned char*>(bigger);
        reader->keptCapacity = capacity;
        reader->buffer = reader->keptBytes;
        return true;
    }
    int unread = reader->end - reader->position;
    std::memcpy(reader->ownBuffer, reader->buffer + reader->position, size_t(unread));
    std::free(reader->keptBytes);
    reader->keptBytes = nullptr;
    reader->keepLimit = 0;
    reader->buffer = reader->ownBuffer;
    reader->position = 0;
    reader->end = unread;
    return false;
}

// Before the first read of a file made of members: when all of them fit, they are inflated straight into
// the kept bytes, each at its place.
static void KeepMembersInPlace(DatabaseReader* reader) {
    long long length = MembersInflatedLength(reader->members) + MemberOutputSlack;
    if (reader->keptBytes != nullptr || reader->end != 0 || length > reader->keepLimit) return;
    reader->keptBytes = static_cast<unsigned char*>(std::malloc(size_t(length)));
    if (reader->keptBytes == nullptr) return;
    // Allocated once and filled by the pool at once: huge pages took the first window search of a
    // million subscribers from 0.051 to 0.045 s. (On the growing buffer of a single member they cost more
    // than they saved: 0.130 s against 0.092.)
    PreferHugePages(reader->keptBytes, size_t(length));
    reader->keptCapacity = length;
    reader->buffer = reader->keptBytes;
    InflateMembersInto(reader->members, reader->keptBytes);
}

// Before the first read of a compressed file of one member: its trailer says how long it is inflated
// (modulo 4 GiB), so the kept bytes are allocated once at that length, where growing them as they filled
// faulted in 12,000 small pages for a million subscribers. A trailer that says too little (more members,
// damage) only means the buffer grows after all; one that says more than the limit is not followed.
static void KeepToTrailerLength(DatabaseReader* reader) {
    if (reader->keptBytes != nullptr || reader->end != 0 || !reader->identityKnown ||
        reader->openedAs.size < MemberTrailerSize)
        return;
    unsigned char trailer[4];
    if (ReadFileBytesAt(reader->file, reader->openedAs.size - 4, trailer, 4) != 4) return;
    long long length = (long long)(uint32_t(trailer[0]) | uint32_t(trailer[1]) << 8 | uint32_t(trailer[2]) << 16 |
                                   uint32_t(trailer[3]) << 24);
    long long capacity = length + KeepStep / 4 + 1; // the last read asks for a quarter step of room
    if (capacity > reader->keepLimit) return;
    reader->keptBytes = static_cast<unsigned char*>(std::malloc(size_t(capacity)));
    if (reader->keptBytes == nullptr) return;
    PreferHugePages(reader->keptBytes, size_t(capacity));
    reader->keptCapacity = capacity;
    reader->buffer = reader->keptBytes;
}

// FillBuffer while the bytes are kept: they are read (or a member's piece copied) behind the ones before.
static bool FillKeeping(DatabaseReader* reader, int needed) {
    if (reader->members != nullptr) KeepMembersInPlace(reader);
    else KeepToTrailerLength(reader);
    while (reader->end - reader->position < needed) {
        if (reader->sourceFinished) return false;
        unsigned char* piece = nullptr;
        long length = 0;
        long long resumeOffset = 0;
        if (reader->members != nullptr) {
            if (NextMemberPiece(reader->members, &piece, &length, &resumeOffset) == 0) {
                CloseMemberReader(reader->members);
                reader->members = nullptr;
                ResumeGzipStreamAt(&reader->gzip, resumeOffset);
                continue;
            }
            if (piece == reader->buffer + reader->end) { // inflated in place
                reader->end += int(length);
                continue;
            }
            if (!RoomToKeep(reader, length)) {
                // The piece that did not fit goes on through the headroom, as members go without keeping.
                std::memcpy(piece - reader->end, reader->buffer, size_t(reader->end));
                reader->buffer = piece - reader->end;
                reader->end += int(length);
                return FillBuffer(reader, needed);
            }
            std::memcpy(reader->buffer + reader->end, piece, size_t(length));
            reader->end += int(length);
            continue;
        }
        if (!RoomToKeep(reader, KeepStep / 4)) return FillBuffer(reader, needed);
        // A step at a time, however much room there is: a member that ends inside the gzip stream's first
        // request is inflated again by zlib (see gzip_stream.cpp).
        long long room = reader->keptCapacity - reader->end;
        int got = ReadSource(reader, reader->buffer + reader->end, int(room < KeepStep ? room : KeepStep));
        if (got <= 0) reader->sourceFinished = true;
        else reader->end += got;
    }
    return true;
}

// Makes at least needed bytes available from position on (needed <= the buffer size). Returns false when
// the file ends first; whatever did arrive stays available.
static bool FillBuffer(DatabaseReader* reader, int needed) {
    if (reader->end - reader->position >= needed) return true;
    if (reader->keepLimit > 0) return FillKeeping(reader, needed);
    if (reader->members != nullptr && !reader->membersLeftToTheScan && FillFromMembers(reader, needed)) return true;
    if (reader->sourceFinished || reader->buffer == nullptr) return false;
    int kept = reader->end - reader->position;
    std::memmove(reader->buffer, reader->buffer + reader->position, size_t(kept));
    reader->position = 0;
    reader->end = kept;
    // Little more than the header is read here from a file whose members are left to the scan: its threads
    // inflate the first member again.
    int most = MembersLeftToTheScan(reader) != nullptr ? HeaderReadAhead : reader->capacity;
    while (reader->end < needed) {
        int got = ReadSource(reader, reader->buffer + reader->end, most - reader->end);
        if (got <= 0) {
            reader->sourceFinished = true;
            break;
        }
        reader->end += got;
    }
    return reader->end - reader->position >= needed;
}

long ReadDatabaseBytes(DatabaseReader* reader, void* destination, long count) {
    unsigned char* output = static_cast<unsigned char*>(destination);
    long copied = 0;
    while (copied < count) {
        if (reader->position == reader->end && !FillBuffer(reader, 1)) break;
        long available = reader->end - reader->position;
        long take = count - copied < available ? count - copied : available;
        std::memcpy(output + copied, reader->buffer + reader->position, size_t(take));
        reader->position += int(take);
        copied += take;
    }
    return copied;
}

void LeaveMembersToTheScan(DatabaseReader* reader) {
    reader->membersLeftToTheScan = true;
}

// The reader's buffer empty, the gzip stream reading from offset.
static void ReadGzipStreamFrom(DatabaseReader* reader, long long offset) {
    HandOverToGzipStream(reader, offset);
    reader->buffer = reader->ownBuffer;
    reader->position = reader->end = 0;
    reader->sourceFinished = false;
}

void ResumeRecordsAt(DatabaseReader* reader, long long offset, int nextLength) {
    ReadGzipStreamFrom(reader, offset);
    if (nextLength < 0) {
        unsigned char header[DatabaseHeaderSize];
        ReadDatabaseHeader(reader, header);
        return;
    }
    reader->walkState = InRecords;
    reader->nextLength = nextLength;
}

void EndRecordsAt(DatabaseReader* reader, long long offset) {
    ReadGzipStreamFrom(reader, offset);
    reader->walkState = Ended;
    reader->endCode = 0;
}

int ReadDatabaseHeader(DatabaseReader* reader, unsigned char header[DatabaseHeaderSize]) {
    int count = int(ReadDatabaseBytes(reader, reader->header, DatabaseHeaderSize));
    reader->headerCount = count;
    std::memcpy(header, reader->header, size_t(count));
    if (count < DatabaseHeaderSize) {
        reader->walkState = Ended;
        reader->endCode = -1;
    } else {
        reader->walkState = BeforeFirstLength;
    }
    return count;
}

static int EndWalk(DatabaseReader* reader, int code) {
    reader->walkState = Ended;
    reader->endCode = code;
    return code;
}

int NextRecordBlock(DatabaseReader* reader, const unsigned char** block, int* length) {
    if (reader->walkState == BeforeHeader) {
        unsigned char header[DatabaseHeaderSize];
        ReadDatabaseHeader(reader, header);
    }
    if (reader->walkState == Ended) return reader->endCode;
    if (reader->walkState == BeforeFirstLength) {
        if (!FillBuffer(reader, 1)) return EndWalk(reader, -1);
        reader->nextLength = reader->buffer[reader->position++];
        reader->walkState = InRecords;
    }
    int blockLength = reader->nextLength;
    if (blockLength == DatabaseEndMark) return EndWalk(reader, 0);
    if (blockLength < MinimumBlockLength) return EndWalk(reader, -2);
    if (!FillBuffer(reader, blockLength)) return EndWalk(reader, -1);
    const unsigned char* start = reader->buffer + reader->position;
    reader->position += blockLength;
    reader->nextLength = start[blockLength - 1];
    *block = start;
    *length = blockLength;
    return 1;
}

bool FinishDatabaseRead(DatabaseReader* reader, bool (*shouldStop)(void* context), void* context) {
    if (reader->walkState != Ended) return false;
    if (!reader->compressed || reader->readingKeptBytes || reader->ownBuffer == nullptr) return true;
    if (reader->membersLeftToTheScan) { // the scan walked without them: the gzip stream read every member
        CloseMemberReader(reader->members);
        reader->members = nullptr;
    }
    // What lies after the end mark is never records: the members left are taken and dropped (each is
    // checked as it is inflated), and the gzip stream inflates the rest into the own buffer, which no
    // piece handed out lies in any more, only to drop it.
    while (reader->members != nullptr) {
        unsigned char* piece = nullptr;
        long length = 0;
        long long resumeOffset = 0;
        if (NextMemberPiece(reader->members, &piece, &length, &resumeOffset) == 0)
            HandOverToGzipStream(reader, resumeOffset);
    }
    while (reader->gzip.endCode == GzipNotEnded) {
        if (shouldStop != nullptr && shouldStop(context)) return false;
        ReadGzipStream(&reader->gzip, reader->ownBuffer, reader->capacity);
    }
    return true;
}

int DatabaseReadEnd(const DatabaseReader* reader, const FileIdentity* pathNow) {
    if (reader->identityKnown) {
        FileIdentity now;
        IdentityOfFile(reader->file, &now);
        if (!SameFileIdentity(now, reader->openedAs) ||
            (pathNow && !SameFileIdentity(*pathNow, reader->openedAs)))
            return DatabaseReadChanged;
    }
    const GzipStream& gzip = reader->gzip;
    bool gzipEndedEarly = reader->compressed && gzip.endCode == GzipEndedEarly;
    if (reader->compressed && gzip.checkFailed) return DatabaseReadCheckFailed;
    if (reader->compressed && gzip.endCode == GzipEndedDamaged) return DatabaseReadDamagedData;
    if (reader->readFailed || (reader->compressed && gzip.endCode == GzipEndedUnreadable))
        return DatabaseReadUnreadable;
    if (reader->endCode != 0) return DatabaseReadEndedEarly;
    // The end mark came, but the file ends inside a member after it (its trailer, or a later one): the
    // check of what was read is lost with it.
    if (gzipEndedEarly) return DatabaseReadCheckFailed;
    return DatabaseReadSound;
}

bool DatabaseHasTrailingBytes(const DatabaseReader* reader) {
    return reader->compressed && reader->gzip.trailingBytes;
}

void DecodeRecord(const unsigned char* block, int length, DatabaseRecord* record) {
    // The texts lie between the phone number and the block's last byte.
    int textBytes = length - 4;
    if (textBytes < 0) textBytes = 0;
    if (textBytes > MaximumBlockLength - 1) textBytes = MaximumBlockLength - 1;
    record->phone = length >= 3 ? RecordPhone(block) : 0;
    if (textBytes > 0) std::memcpy(record->texts, block + 3, size_t(textBytes));
    record->texts[textBytes] = 0;
    const char* limit = record->texts + textBytes;
    const char* cursor = record->texts;
    const char** fields[4] = {&record->name, &record->street, &record->house, &record->flat};
    for (const char** field : fields) {
        *field = cursor;
        cursor += std::strlen(cursor);
        if (cursor < limit) cursor++;
    }
}
