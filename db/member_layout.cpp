// The member header shared by the writer and the reader of a ".zdb" made for parallel reading.
#include "db/member_layout.h"

#include <cstring>

// Everything but the size: the bytes every such header begins with.
constexpr unsigned char MemberHeaderStart[MemberSizeOffset] = {
    0x1F, 0x8B, 0x08, 0x04, 0, 0, 0, 0, 0, 0x03, 0x08, 0x00, MemberSubfieldId[0], MemberSubfieldId[1], 0x04, 0x00};

void MakeMemberHeader(unsigned char header[MemberHeaderSize], uint32_t memberSize) {
    std::memcpy(header, MemberHeaderStart, sizeof MemberHeaderStart);
    for (int index = 0; index < 4; index++)
        header[MemberSizeOffset + index] = (unsigned char)(memberSize >> (8 * index));
}

uint32_t MemberSizeFromHeader(const unsigned char header[MemberHeaderSize]) {
    // The time and the extra flags are not looked at: another writer may set them.
    static const int judged[] = {0, 1, 2, 3, 10, 11, 12, 13, 14, 15};
    for (int index : judged)
        if (header[index] != MemberHeaderStart[index]) return 0;
    const unsigned char* size = header + MemberSizeOffset;
    return uint32_t(size[0]) | uint32_t(size[1]) << 8 | uint32_t(size[2]) << 16 | uint32_t(size[3]) << 24;
}
