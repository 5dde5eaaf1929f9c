// Database files written by the tools.
#include "tools/database_output.h"

#include "db/database_file.h"
#include "db/database_reader.h"

#include <cstring>
#include <random>
#include <zlib.h>

constexpr size_t PendingLimit = 1 << 20;

static bool EndsWithCompressedExtension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& character : extension)
        if (character >= 'A' && character <= 'Z') character = char(character - 'A' + 'a');
    return extension == ".zdb";
}

int OpenDatabaseOutput(DatabaseOutput* output, const std::string& hostPath) {
    *output = DatabaseOutput();
    output->path = hostPath;
    output->compressed = EndsWithCompressedExtension(hostPath);
    std::random_device random;
    output->temporaryPath = hostPath + ".partial-" + std::to_string(random() % 1000000);
    if (output->compressed) {
        output->gzip = gzopen(output->temporaryPath.c_str(), "wb6");
        if (output->gzip == nullptr) return -1;
        gzbuffer(output->gzip, 1 << 20);
    } else {
        output->plain = std::fopen(output->temporaryPath.c_str(), "wb");
        if (output->plain == nullptr) return -1;
    }
    output->pending.reserve(PendingLimit + 512);
    return 0;
}

static void FlushPending(DatabaseOutput* output) {
    if (output->pending.empty() || output->failed) {
        output->pending.clear();
        return;
    }
    if (output->compressed) {
        if (gzwrite(output->gzip, output->pending.data(), unsigned(output->pending.size())) !=
            int(output->pending.size()))
            output->failed = true;
    } else if (std::fwrite(output->pending.data(), 1, output->pending.size(), output->plain) !=
               output->pending.size()) {
        output->failed = true;
    }
    output->pending.clear();
}

void WriteDatabaseBytes(DatabaseOutput* output, const void* bytes, size_t count) {
    const unsigned char* start = static_cast<const unsigned char*>(bytes);
    output->pending.insert(output->pending.end(), start, start + count);
    if (output->pending.size() >= PendingLimit) FlushPending(output);
}

void WriteDatabaseHeader(DatabaseOutput* output, int32_t recordCount, int phoneDigits, const char* title) {
    unsigned char header[DatabaseHeaderSize];
    MakeDatabaseHeader(header, recordCount, phoneDigits, title);
    WriteDatabaseBytes(output, header, sizeof header);
}

int RecordBlockLength(size_t nameLength, size_t streetLength, size_t houseLength, size_t flatLength) {
    size_t length = MinimumBlockLength + nameLength + streetLength + houseLength + flatLength;
    return length > 100000 ? 100000 : int(length);
}

int WriteDatabaseRecord(DatabaseOutput* output, uint32_t phone, const char* name, const char* street,
                        const char* house, const char* flat) {
    if (phone > 0xFFFFFF || RecordBlockLength(std::strlen(name), std::strlen(street), std::strlen(house),
                                              std::strlen(flat)) > MaximumBlockLength)
        return -1;
    // The stream is: length byte, then each block, whose own last byte is the next length; written as a
    // length byte before each block's content and the end mark after the last.
    unsigned char record[MaximumBlockLength + 1];
    int length = 1;
    record[length++] = (unsigned char)(phone & 0xFF);
    record[length++] = (unsigned char)(phone >> 8 & 0xFF);
    record[length++] = (unsigned char)(phone >> 16 & 0xFF);
    for (const char* text : {name, street, house, flat}) {
        size_t textLength = std::strlen(text);
        std::memcpy(record + length, text, textLength + 1);
        length += int(textLength) + 1;
    }
    record[0] = (unsigned char)length; // the content and the next length byte that follows it
    WriteDatabaseBytes(output, record, size_t(length));
    return 0;
}

static int CloseOutputFile(DatabaseOutput* output) {
    int result = 0;
    if (output->gzip != nullptr && gzclose(output->gzip) != Z_OK) result = -1;
    output->gzip = nullptr;
    if (output->plain != nullptr && std::fclose(output->plain) != 0) result = -1;
    output->plain = nullptr;
    return result;
}

int FinishDatabaseOutput(DatabaseOutput* output) {
    unsigned char endMark = (unsigned char)DatabaseEndMark;
    WriteDatabaseBytes(output, &endMark, 1);
    FlushPending(output);
    bool failed = output->failed;
    if (CloseOutputFile(output) != 0) failed = true;
    if (!failed && std::rename(output->temporaryPath.c_str(), output->path.c_str()) != 0) failed = true;
    if (failed) {
        std::remove(output->temporaryPath.c_str());
        return -1;
    }
    return 0;
}

void AbandonDatabaseOutput(DatabaseOutput* output) {
    CloseOutputFile(output);
    std::remove(output->temporaryPath.c_str());
}
