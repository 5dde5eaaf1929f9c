// Anchor: reading a plain ".db" file, the limit of any scan over it.
//   bench-plain-read FILE            through a 64 KiB buffer
//   bench-plain-read FILE --blocks   one read() system call per record block, as a reader without a
//                                    buffer of its own would read the stream
// Prints the bytes read (and the blocks), so the work cannot be skipped.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

static int ReadBuffered(int file) {
    std::vector<unsigned char> buffer(64 * 1024);
    long long total = 0;
    unsigned checksum = 0;
    for (;;) {
        ssize_t got = read(file, buffer.data(), buffer.size());
        if (got < 0) return 1;
        if (got == 0) break;
        total += got;
        checksum += buffer[size_t(got) - 1];
    }
    std::printf("bytes %lld check %u\n", total, checksum);
    return 0;
}

static int ReadBlocks(int file) {
    unsigned char block[256];
    if (read(file, block, 29) != 29 || read(file, block, 1) != 1) return 1;
    int length = block[0];
    long long blocks = 0, total = 30;
    while (length != 255 && length >= 8) {
        if (read(file, block, size_t(length)) != length) return 1;
        total += length;
        blocks++;
        length = block[length - 1];
    }
    std::printf("bytes %lld blocks %lld\n", total, blocks);
    return 0;
}

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-plain-read FILE [--blocks]\n", stderr);
        return 2;
    }
    int file = open(arguments[1], O_RDONLY);
    if (file < 0) {
        std::fprintf(stderr, "cannot open %s\n", arguments[1]);
        return 1;
    }
    bool blocks = argumentCount > 2 && std::strcmp(arguments[2], "--blocks") == 0;
    int code = blocks ? ReadBlocks(file) : ReadBuffered(file);
    close(file);
    return code;
}
