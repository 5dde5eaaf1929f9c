// Anchor: ISA-L alone inflating a gzip file with its streaming inflate, the limit of a scan over a ".zdb"
// in a build with ISA-L.
//   bench-isal-inflate FILE     read() 1 MiB at a time, isal_inflate into a 256 KiB buffer, the gzip
//                               header and trailer checked by ISA-L, members one after the other
// Prints the bytes inflated, so the work cannot be skipped.
#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-isal-inflate FILE\n", stderr);
        return 2;
    }
    int file = open(arguments[1], O_RDONLY);
    if (file < 0) {
        std::fprintf(stderr, "cannot open %s\n", arguments[1]);
        return 1;
    }
    std::vector<unsigned char> input(1024 * 1024), output(256 * 1024);
    static inflate_state state;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP;
    long long total = 0;
    unsigned checksum = 0;
    for (;;) {
        if (state.avail_in == 0) {
            ssize_t got = read(file, input.data(), input.size());
            if (got < 0) return 1;
            if (got == 0) break;
            state.next_in = input.data();
            state.avail_in = uint32_t(got);
        }
        do {
            state.next_out = output.data();
            state.avail_out = uint32_t(output.size());
            if (isal_inflate(&state) != ISAL_DECOMP_OK) return 1;
            size_t made = output.size() - state.avail_out;
            total += long(made);
            if (made > 0) checksum += output[made - 1];
            if (state.block_state == ISAL_BLOCK_FINISH) {
                // Another member may follow in the bytes not taken.
                uint8_t* next = state.next_in;
                uint32_t left = state.avail_in;
                isal_inflate_init(&state);
                state.crc_flag = ISAL_GZIP;
                state.next_in = next;
                state.avail_in = left;
                break;
            }
        } while (state.avail_out == 0);
    }
    close(file);
    std::printf("bytes %lld check %u\n", total, checksum);
    return 0;
}
