// The gzip member header of a ".zdb" written for parallel reading (docs/zdb-members.md). Every member
// starts with these 20 bytes, so a reader finds each member from the one before without inflating it:
//   0  1F 8B 08          magic, deflate
//   3  04                flags: an extra field and nothing else
//   4  00 00 00 00       no modification time
//   8  00 03             extra flags, the system (Unix)
//  10  08 00             the extra field's length: one subfield of 8 bytes
//  12  'D' 'x'           the subfield's identifier
//  14  04 00             the subfield's data length
//  16  SIZE              the member's whole length in bytes, this header and the trailer included,
//                        32 bits little-endian
// The deflate data follow at byte 20, then the CRC-32 and the length of the member's inflated bytes.
#pragma once

#include <cstdint>

constexpr int MemberHeaderSize = 20;
constexpr int MemberTrailerSize = 8;
constexpr unsigned char MemberSubfieldId[2] = {'D', 'x'};
constexpr int MemberSizeOffset = 16;
// Inflated bytes a writer puts into one member before it ends the member at the next record boundary.
constexpr long MemberTargetBytes = 1L << 20;

// The header of a member of the given whole length.
void MakeMemberHeader(unsigned char header[MemberHeaderSize], uint32_t memberSize);
// The whole length a member header gives; 0 when the bytes are not such a header.
uint32_t MemberSizeFromHeader(const unsigned char header[MemberHeaderSize]);
