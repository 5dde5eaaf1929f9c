// The database reader: one large buffer filled by the gzip reader or the plain file, the record stream
// walker over it, and the record decoder.
#include "db/database_reader.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

// gzread decompresses straight into the caller's buffer, without an extra copy, when it asks for at least
// twice the gzip input buffer; the buffer's refills always ask for more than 2 * 64 KiB.
constexpr unsigned GzipInputBufferSize = 64 * 1024;
// Reading a damaged file again: zlib decompresses at most twice its input buffer ahead of what it hands
// out, and everything it has decompressed when it meets the damage is lost, so the second pass uses a
// small buffer and small reads.
constexpr unsigned RecoveryInputBufferSize = 256;
constexpr int RecoveryReadSize = 64;

// The walker's states.
enum WalkState {
    BeforeHeader = 0,
    BeforeFirstLength = 1,
    InRecords = 2,
    Ended = 3
}; // InRecords: see BeginBlockRun

// zlib reads the descriptor of the checked open, never the path itself.
static gzFile_s* OpenGzip(const std::u16string& path, unsigned bufferSize) {
    FileHandle descriptor = OpenDatabaseFile(path.c_str());
    if (descriptor == NoFile) return nullptr;
    gzFile file = gzdopen(descriptor, "rb");
    if (file == nullptr) {
        CloseFile(descriptor);
        return nullptr;
    }
    gzbuffer(file, bufferSize);
    return file;
}

int OpenDatabaseReader(DatabaseReader* reader, const char16_t* path, bool compressed) {
    *reader = DatabaseReader();
    reader->compressed = compressed;
    reader->capacity = compressed ? CompressedReaderBufferSize : PlainReaderBufferSize;
    reader->buffer = static_cast<unsigned char*>(std::malloc(size_t(reader->capacity)));
    if (reader->buffer == nullptr) return -2;
    if (compressed) {
        reader->path = path;
        reader->gzip = OpenGzip(reader->path, GzipInputBufferSize);
        if (reader->gzip == nullptr) {
            CloseDatabaseReader(reader);
            return -1;
        }
    } else {
        reader->file = OpenDatabaseFile(path);
        if (reader->file == NoFile) {
            CloseDatabaseReader(reader);
            return -1;
        }
    }
    return 0;
}

void CloseDatabaseReader(DatabaseReader* reader) {
    if (reader->gzip != nullptr) gzclose(reader->gzip);
    reader->gzip = nullptr;
    if (reader->file != NoFile) CloseFile(reader->file);
    reader->file = NoFile;
    std::free(reader->buffer);
    reader->buffer = nullptr;
    reader->position = 0;
    reader->end = 0;
    reader->sourceFinished = true;
}

// Reads the damaged gzip file again from its start with small buffers, skips what was delivered already,
// and continues in small steps. Returns false when even that fails before the last byte delivered.
static bool StartRecovery(DatabaseReader* reader, unsigned char* scratch, int scratchSize) {
    gzclose(reader->gzip);
    reader->gzip = OpenGzip(reader->path, RecoveryInputBufferSize);
    reader->recovering = true;
    if (reader->gzip == nullptr) return false;
    long long remaining = reader->delivered;
    while (remaining > 0) {
        int chunk = remaining < scratchSize ? int(remaining) : scratchSize;
        int got = gzread(reader->gzip, scratch, unsigned(chunk));
        if (got != chunk) return false;
        remaining -= got;
    }
    return true;
}

static int ReadCompressed(DatabaseReader* reader, unsigned char* destination, int count) {
    if (reader->gzip == nullptr) return 0;
    if (!reader->recovering) {
        int got = gzread(reader->gzip, destination, unsigned(count));
        if (got >= 0) {
            reader->delivered += got;
            return got;
        }
        if (!StartRecovery(reader, destination, count)) return 0;
    }
    int total = 0;
    while (total < count) {
        int chunk = count - total < RecoveryReadSize ? count - total : RecoveryReadSize;
        int got = gzread(reader->gzip, destination + total, unsigned(chunk));
        if (got <= 0) break;
        total += got;
    }
    reader->delivered += total;
    return total;
}

// Reads more bytes from the file into the buffer's free space. Returns the count, 0 when the file gives
// no more (end, read error, damage).
static int ReadSource(DatabaseReader* reader, unsigned char* destination, int count) {
    if (reader->compressed) return ReadCompressed(reader, destination, count);
    if (reader->file == NoFile) return 0;
    long got = ReadFileBytes(reader->file, destination, count);
    return got > 0 ? int(got) : 0;
}

// Makes at least needed bytes available from position on (needed <= the buffer size). Returns false when
// the file ends first; whatever did arrive stays available.
static bool FillBuffer(DatabaseReader* reader, int needed) {
    if (reader->end - reader->position >= needed) return true;
    if (reader->sourceFinished || reader->buffer == nullptr) return false;
    int kept = reader->end - reader->position;
    std::memmove(reader->buffer, reader->buffer + reader->position, size_t(kept));
    reader->position = 0;
    reader->end = kept;
    while (reader->end < needed) {
        int got = ReadSource(reader, reader->buffer + reader->end, reader->capacity - reader->end);
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
