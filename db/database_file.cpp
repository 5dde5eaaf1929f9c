// Database header and `ValidateDatabaseFile`. Validation reads a compressed header through a gzip stream
// with a small input buffer rather than through the database reader: the Setup page validates every file
// it finds, and a scan's large buffers would be wasted on 29 bytes. For the same reason the header is
// inflated by zlib, which stops at the bytes asked for, where ISA-L hands its output out in whole units of
// 128 KiB (measured: 15 µs against half a millisecond a header, paid at every Start and for every file
// Check or Find DB meets). Both inflaters deliver the same bytes from the same file, so the header and
// the codes are the ones a scan's reader would meet.
#include "db/database_file.h"

#include "db/gzip_stream.h"

#include "platform/files.h"
#include "platform/text.h"

#include <cstring>

// A header lies in the first few hundred compressed bytes unless the gzip header holds long fields.
constexpr int ValidationInputBufferSize = 4096;

bool IsCompressedDatabasePath(const char16_t* path) {
    return EndsWithIgnoringAsciiCase(path, u".zdb");
}

// Reads the header of a gzip file. Returns the bytes read, or -1 when the file cannot be opened; damage
// gets the gzip stream's damage code when the data broke off before the header's end.
static int ReadCompressedHeader(const char16_t* path, unsigned char header[DatabaseHeaderSize], int* damage) {
    FileHandle file = OpenDatabaseFile(path);
    if (file == NoFile) return -1;
    GzipStream stream;
    int count = 0;
    if (OpenGzipStream(&stream, file, ValidationInputBufferSize, GzipInflaterZlib) == 0)
        count = int(ReadGzipStream(&stream, header, DatabaseHeaderSize));
    *damage = stream.damage;
    CloseGzipStream(&stream);
    CloseFile(file);
    return count;
}

// Reads the header of a plain file. Returns the bytes read, or -1 when the file cannot be opened.
static int ReadPlainHeader(const char16_t* path, unsigned char header[DatabaseHeaderSize]) {
    FileHandle file = OpenFileForReading(path);
    if (file == NoFile) return -1;
    int count = 0;
    // A plain read may deliver fewer bytes than asked without being at the end.
    while (count < DatabaseHeaderSize) {
        long arrived = ReadFileBytes(file, header + count, DatabaseHeaderSize - count);
        if (arrived <= 0) break;
        count += int(arrived);
    }
    CloseFile(file);
    return count;
}

int ValidateDatabaseFile(const char16_t* path, unsigned char header[DatabaseHeaderSize], bool* compressed) {
    uint32_t attributes = GetFileAttributesOf(path);
    if (attributes == InvalidFileAttributes) return 10;
    if (attributes & FileAttributeFolder) return 11;
    bool isCompressed = IsCompressedDatabasePath(path);
    int count = 0;
    int damage = GzipDamageNone;
    if (isCompressed) {
        count = ReadCompressedHeader(path, header, &damage);
        if (count < 0) return 2;
        if (count != DatabaseHeaderSize && damage != GzipDamageNone) return ValidationGzipDamage + damage;
    } else {
        count = ReadPlainHeader(path, header);
        if (count < 0) return 1;
    }
    if (count != DatabaseHeaderSize) return 3;
    if (HeaderFormatMark(header) != DatabaseFormatMark) return 4;
    *compressed = isCompressed;
    return 0;
}

const char16_t* ValidationFailureReason(int code) {
    if (code > ValidationGzipDamage && code <= ValidationGzipDamage + GzipDamageData)
        return GzipDamageText(code - ValidationGzipDamage);
    if (code == 3) return u"shorter than a database header (29 bytes)";
    if (code == 4) return u"not a database (its format mark is not 11)";
    if (code == 11) return u"a folder";
    return nullptr;
}

int32_t HeaderRecordCount(const unsigned char header[DatabaseHeaderSize]) {
    uint32_t value = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16 |
                     uint32_t(header[3]) << 24;
    return int32_t(value);
}

int HeaderFormatMark(const unsigned char header[DatabaseHeaderSize]) {
    return int(int8_t(header[HeaderFormatMarkOffset]));
}

int HeaderPhoneDigits(const unsigned char header[DatabaseHeaderSize]) {
    return int(int8_t(header[HeaderPhoneDigitsOffset]));
}

int HeaderTitle(const unsigned char header[DatabaseHeaderSize], char title[DatabaseTitleCapacity]) {
    const unsigned char* field = header + HeaderTitleOffset;
    int length = 0;
    while (length < DatabaseTitleMaximumLength && field[length] != 0) {
        title[length] = char(field[length]);
        length++;
    }
    title[length] = 0;
    return length;
}

void MakeDatabaseHeader(unsigned char header[DatabaseHeaderSize], int32_t recordCount, int phoneDigits,
                        const char* title) {
    std::memset(header, 0, DatabaseHeaderSize);
    uint32_t count = uint32_t(recordCount);
    for (int index = 0; index < 4; index++)
        header[HeaderRecordCountOffset + index] = (unsigned char)(count >> (8 * index));
    header[HeaderFormatMarkOffset] = (unsigned char)DatabaseFormatMark;
    header[HeaderPhoneDigitsOffset] = (unsigned char)(int8_t(phoneDigits));
    for (int index = 0; index < DatabaseTitleMaximumLength && title[index] != 0; index++)
        header[HeaderTitleOffset + index] = (unsigned char)title[index];
}
