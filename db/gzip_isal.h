// ISA-L's streaming inflate for the compressed data of one gzip member, in builds that have it
// (DIALDEX_ISAL). The gzip stream reads the member's header and trailer itself and hands the member to
// zlib whenever this gives anything but sound data up to a clean end.
#pragma once

#include <cstdint>

struct IsalInflater;

// Null when there is no memory for its state (about 90 KiB).
IsalInflater* CreateIsalInflater();
// Ready for the compressed data of a new member.
void ResetIsalInflater(IsalInflater* inflater);
void DestroyIsalInflater(IsalInflater* inflater);

// Inflates from input into output as far as either goes. Sets inputUsed and produced. Codes:
//  -1 the input is used up or the output is full: go on
//   0 the compressed data ended; readAhead bytes of the input taken belong after them (the trailer),
//     crc is the CRC-32 of every byte the member gave
//   2 damage, or an end that cannot be placed exactly: zlib is to judge the member
int InflateWithIsal(IsalInflater* inflater, const unsigned char* input, int inputLength, int* inputUsed,
                    unsigned char* output, long outputLength, long* produced, int* readAhead, uint32_t* crc);
