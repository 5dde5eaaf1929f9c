// Anchor: zlib alone inflating a gzip file, the limit of any scan over a ".zdb".
//   bench-zlib-inflate FILE            gzread into a 256 KiB buffer with a 1 MiB gzbuffer, whole file
//   bench-zlib-inflate FILE --blocks   one gzread per record block with zlib's default buffer, as a
//                                      reader without a buffer of its own would read the stream
// Prints the bytes inflated (and the blocks read), so the work cannot be skipped.
#include <cstdio>
#include <cstring>
#include <vector>
#include <zlib.h>

static int InflateWhole(gzFile file) {
    std::vector<unsigned char> buffer(256 * 1024);
    gzbuffer(file, 1024 * 1024);
    long long total = 0;
    unsigned checksum = 0;
    for (;;) {
        int got = gzread(file, buffer.data(), unsigned(buffer.size()));
        if (got < 0) return 1;
        if (got == 0) break;
        total += got;
        checksum += buffer[size_t(got) - 1];
    }
    std::printf("bytes %lld check %u\n", total, checksum);
    return 0;
}

// The header (29 bytes), the first length byte, then blocks whose last byte is the next length; 255 ends.
static int InflateBlocks(gzFile file) {
    unsigned char block[256];
    if (gzread(file, block, 29) != 29 || gzread(file, block, 1) != 1) return 1;
    int length = block[0];
    long long blocks = 0, total = 30;
    while (length != 255 && length >= 8) {
        if (gzread(file, block, unsigned(length)) != length) return 1;
        total += length;
        blocks++;
        length = block[length - 1];
    }
    std::printf("bytes %lld blocks %lld\n", total, blocks);
    return 0;
}

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-zlib-inflate FILE [--blocks]\n", stderr);
        return 2;
    }
    gzFile file = gzopen(arguments[1], "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", arguments[1]);
        return 1;
    }
    bool blocks = argumentCount > 2 && std::strcmp(arguments[2], "--blocks") == 0;
    int code = blocks ? InflateBlocks(file) : InflateWhole(file);
    gzclose(file);
    return code;
}
