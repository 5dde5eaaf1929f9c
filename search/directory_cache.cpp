// The cache of the last directory's inflated bytes and the file state they were read from.
#include "search/directory_cache.h"

#include "platform/files.h"

namespace {

struct DirectoryCache {
    unsigned char* bytes = nullptr;
    long long length = 0;
    FileIdentity file;
};

DirectoryCache cache;   // what the last whole run read
FileIdentity runFile;   // the file of the run in hand
bool runKeeps = false;  // the run in hand keeps what it reads

bool SameFile(const FileIdentity& one, const FileIdentity& other) {
    return one.device == other.device && one.inode == other.inode && one.size == other.size &&
           one.modifiedNanoseconds == other.modifiedNanoseconds;
}

} // namespace

bool UseOrKeepDirectory(DatabaseReader* reader, uint64_t budget) {
    runKeeps = false;
    if (!reader->compressed || IdentifyFile(reader->file, &runFile) != 0) {
        DropDirectoryCache();
        return false;
    }
    if (cache.bytes != nullptr && SameFile(cache.file, runFile)) {
        ReadDatabaseFromBytes(reader, cache.bytes, cache.length);
        return true;
    }
    DropDirectoryCache();
    uint64_t half = budget / 2;
    KeepDatabaseBytes(reader, half < uint64_t(LongestKeptDatabase) ? (long long)half : LongestKeptDatabase);
    runKeeps = true;
    return false;
}

void EndDirectoryRun(DatabaseReader* reader, int scanCode, bool rowsCut, uint64_t rowBytes, uint64_t budget) {
    if (runKeeps) {
        long long length = 0;
        unsigned char* bytes = TakeKeptDatabaseBytes(reader, &length);
        int gzipEnd = reader->gzip.endCode;
        bool whole = scanCode == 0 && (gzipEnd == GzipNotEnded || gzipEnd == GzipEndedWhole) &&
                     rowBytes + uint64_t(length) < budget;
        if (bytes != nullptr && whole) {
            cache.bytes = bytes;
            cache.length = length;
            cache.file = runFile;
        } else {
            FreeKeptDatabaseBytes(bytes);
        }
    }
    runKeeps = false;
    if (rowsCut) DropDirectoryCache();
}

uint64_t CachedDirectoryBytes() {
    return cache.bytes != nullptr ? uint64_t(cache.length) : 0;
}

void DropDirectoryCache() {
    FreeKeptDatabaseBytes(cache.bytes);
    cache = DirectoryCache();
}
