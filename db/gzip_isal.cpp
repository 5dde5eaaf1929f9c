// ISA-L's inflate behind the small interface the gzip stream uses.
#include "db/gzip_isal.h"

#include <cstdlib>
#include <isa-l/igzip_lib.h>

struct IsalInflater {
    inflate_state state;
};

// One call never asks for more output than this (ISA-L counts in 32 bits).
constexpr long LargestIsalRequest = 1L << 30;

bool GzipIsalBuiltIn() {
    return true;
}

IsalInflater* CreateIsalInflater() {
    IsalInflater* inflater = static_cast<IsalInflater*>(std::malloc(sizeof(IsalInflater)));
    if (inflater != nullptr) ResetIsalInflater(inflater);
    return inflater;
}

void ResetIsalInflater(IsalInflater* inflater) {
    isal_inflate_init(&inflater->state);
    inflater->state.crc_flag = ISAL_GZIP_NO_HDR; // raw deflate; the CRC-32 of the output is kept
}

void DestroyIsalInflater(IsalInflater* inflater) {
    std::free(inflater);
}

int InflateWithIsal(IsalInflater* inflater, const unsigned char* input, int inputLength, int* inputUsed,
                    unsigned char* output, long outputLength, long* produced, int* readAhead, uint32_t* crc) {
    inflate_state* state = &inflater->state;
    state->next_in = const_cast<unsigned char*>(input);
    state->avail_in = uint32_t(inputLength);
    state->next_out = output;
    state->avail_out = uint32_t(outputLength < LargestIsalRequest ? outputLength : LargestIsalRequest);
    uint32_t asked = state->avail_out;
    int code = isal_inflate(state);
    *inputUsed = inputLength - int(state->avail_in);
    *produced = long(asked - state->avail_out);
    if (code != ISAL_DECOMP_OK) return 2;
    if (state->block_state != ISAL_BLOCK_FINISH) return -1;
    // At the end ISA-L's bit buffer holds the rest of the data's last byte and the whole bytes it read
    // past it; bytes held aside are no place the trailer can be read from.
    if (state->tmp_in_size != 0) return 2;
    *readAhead = state->read_in_length / 8;
    *crc = state->crc;
    return 0;
}
