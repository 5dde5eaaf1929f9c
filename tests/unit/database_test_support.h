// Shared by the database tests: a device folder of their own and a way to put bytes into files there,
// plain or gzip-compressed.
#pragma once

#include "platform/device.h"
#include "platform/text.h"

#include <filesystem>
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
    return u"\\" + WideFromUtf8(name);
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

// A header and the record blocks for texts given as (phone, name, street, house, flat), ended by 255.
struct TestRecord {
    uint32_t phone;
    std::string name, street, house, flat;
};

inline Bytes MakeDatabaseBytes(const std::vector<TestRecord>& records, int phoneDigits = 7,
                               const std::string& title = "CITY", bool endMark = true) {
    Bytes bytes(29, 0);
    uint32_t count = uint32_t(records.size());
    for (int index = 0; index < 4; index++)
        bytes[index] = (unsigned char)(count >> (8 * index));
    bytes[4] = 11;
    bytes[5] = (unsigned char)phoneDigits;
    for (size_t index = 0; index < title.size() && index < 22; index++)
        bytes[6 + index] = (unsigned char)title[index];
    std::vector<Bytes> blocks;
    for (const TestRecord& record : records) {
        Bytes block = {(unsigned char)record.phone, (unsigned char)(record.phone >> 8),
                       (unsigned char)(record.phone >> 16)};
        for (const std::string* text : {&record.name, &record.street, &record.house, &record.flat}) {
            block.insert(block.end(), text->begin(), text->end());
            block.push_back(0);
        }
        block.push_back(0); // next length, filled below
        blocks.push_back(block);
    }
    bytes.push_back(blocks.empty() ? 255 : (unsigned char)blocks[0].size());
    for (size_t index = 0; index < blocks.size(); index++) {
        bool last = index + 1 == blocks.size();
        blocks[index].back() = last ? (endMark ? 255 : 0) : (unsigned char)blocks[index + 1].size();
        bytes.insert(bytes.end(), blocks[index].begin(), blocks[index].end());
    }
    return bytes;
}
