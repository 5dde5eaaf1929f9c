// The one builder of database bytes for every test: a 29-byte header, record blocks and the record stream
// that chains them, each on its own so that a test can also build what no valid file holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestRecord {
    uint32_t phone;
    std::string name, street, house, flat;
};

// The header: record count (little-endian), format mark, phone digits, title (cut to its 22 bytes).
inline std::string DatabaseHeaderBytes(int32_t recordCount, const std::string& title = "CITY",
                                       int phoneDigits = 7, int formatMark = 11) {
    std::string bytes(29, '\0');
    for (int index = 0; index < 4; index++)
        bytes[size_t(index)] = static_cast<char>((uint32_t(recordCount) >> (8 * index)) & 0xFF);
    bytes[4] = static_cast<char>(formatMark);
    bytes[5] = static_cast<char>(phoneDigits);
    bytes.replace(6, title.size() < 22 ? title.size() : 22, title, 0, 22);
    return bytes;
}

// A record block without its last byte (the next block's length): the phone number's 3 bytes and the four
// texts, each ended by a zero byte.
inline std::string RecordBlockBytes(const TestRecord& record) {
    std::string bytes;
    for (int index = 0; index < 3; index++)
        bytes.push_back(static_cast<char>((record.phone >> (8 * index)) & 0xFF));
    for (const std::string* text : {&record.name, &record.street, &record.house, &record.flat})
        bytes += *text + '\0';
    return bytes;
}

// The record stream: the first block's length, then each block followed by the next one's length, the
// last one by the end mark 255 (or by 0 when endMark is false). A block's length counts its last byte.
inline std::string RecordStreamBytes(const std::vector<std::string>& blocks, bool endMark = true) {
    std::string bytes;
    bytes.push_back(static_cast<char>(blocks.empty() ? 255 : blocks[0].size() + 1));
    for (size_t index = 0; index < blocks.size(); index++) {
        bool last = index + 1 == blocks.size();
        bytes += blocks[index];
        bytes.push_back(static_cast<char>(last ? (endMark ? 255 : 0) : blocks[index + 1].size() + 1));
    }
    return bytes;
}

// A whole database file: the header (its count is the number of records) and the records' stream.
inline std::string DatabaseBytes(const std::vector<TestRecord>& records, const std::string& title = "CITY",
                                 int phoneDigits = 7, bool endMark = true) {
    std::vector<std::string> blocks;
    for (const TestRecord& record : records)
        blocks.push_back(RecordBlockBytes(record));
    return DatabaseHeaderBytes(int32_t(records.size()), title, phoneDigits) +
           RecordStreamBytes(blocks, endMark);
}
