// Shared by the database tests: a device folder of their own and a way to put bytes into files there,
// plain or gzip-compressed.
#pragma once

#include "platform/device.h"
#include "platform/text.h"
#include "tests/support/database_bytes.h"

#include <filesystem>
#include <initializer_list>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using Bytes = std::vector<unsigned char>;

// Removes the test's device folder when the test program ends.
struct TestFolderRemover {
    std::string folder;
    ~TestFolderRemover() {
        std::error_code ignored;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
        for (const char* name : {"locked.db", "locked.zdb"})
            std::filesystem::permissions(folder + "/" + name, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(folder, ignored);
    }
};

inline const std::string& TestDeviceFolder() {
    static TestFolderRemover remover;
    static std::string folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dialdex-db-test-" + std::to_string(getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        PrepareDeviceFolder(path.string(), "");
        remover.folder = path.string();
        return path.string();
    }();
    return folder;
}

inline std::u16string DevicePath(const std::string& name) {
    TestDeviceFolder();
    // Appended, not `u"\\" + ...`: g++ 12 at -O3 warns -Wrestrict, falsely, inside that operator+.
    std::u16string path = u"\\";
    path += WideFromUtf8(name);
    return path;
}

inline void WritePlain(const std::string& name, const Bytes& bytes) {
    std::ofstream output(TestDeviceFolder() + "/" + name, std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Writes the bytes gzip-compressed. flushAt (if not 0) ends a deflate block with a full flush after that
// many bytes, so that the compressed offset of what follows is known (returned).
inline long WriteCompressed(const std::string& name, const Bytes& bytes, size_t flushAt = 0) {
    std::string path = TestDeviceFolder() + "/" + name;
    gzFile file = gzopen(path.c_str(), "wb6");
    long offset = 0;
    if (flushAt > 0 && flushAt < bytes.size()) {
        gzwrite(file, bytes.data(), unsigned(flushAt));
        gzflush(file, Z_FULL_FLUSH);
        offset = gzoffset(file);
        gzwrite(file, bytes.data() + flushAt, unsigned(bytes.size() - flushAt));
    } else if (!bytes.empty()) {
        gzwrite(file, bytes.data(), unsigned(bytes.size()));
    }
    gzclose(file);
    return offset;
}

inline Bytes ReadHostFile(const std::string& name) {
    std::ifstream input(TestDeviceFolder() + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

// The bytes as one gzip member (made through a scratch file in the test folder).
inline Bytes GzippedBytes(const Bytes& bytes) {
    WriteCompressed("gzipped.scratch", bytes);
    return ReadHostFile("gzipped.scratch");
}

inline Bytes JoinedBytes(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

inline Bytes ToBytes(const std::string& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// A database file's bytes for records given as (phone, name, street, house, flat), ended by 255.
inline Bytes MakeDatabaseBytes(const std::vector<TestRecord>& records, int phoneDigits = 7,
                               const std::string& title = "CITY", bool endMark = true) {
    return ToBytes(DatabaseBytes(records, title, phoneDigits, endMark));
}
