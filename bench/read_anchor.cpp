// Anchors: a database file read as fast as the library alone reads it, the limit of any scan over it.
// One source, built twice (bench/CMakeLists.txt): READ_ANCHOR_ZLIB picks zlib's reader.
//   bench-plain-read FILE              a plain ".db" through a 64 KiB buffer
//   bench-zlib-inflate FILE            a ".zdb": gzread into a 256 KiB buffer with a 1 MiB gzbuffer
//   either FILE --blocks               one read per record block (zlib with its default buffer), as a
//                                      reader without a buffer of its own would read the stream
// Prints the bytes read (and the blocks), so the work cannot be skipped.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>
#ifdef READ_ANCHOR_ZLIB
#include <zlib.h>
#endif

namespace {

// The file as the library reads it: open, read up to a count (<0 on error, 0 at the end), close.
struct Source {
    const char* program;
    size_t wholeBuffer; // the buffer a whole-file read fills at a time
    void* (*open)(const char* path, bool whole);
    long (*read)(void* file, unsigned char* buffer, size_t count);
    void (*close)(void* file);
};

#ifdef READ_ANCHOR_ZLIB
void* OpenGzip(const char* path, bool whole) {
    gzFile file = gzopen(path, "rb");
    if (file != nullptr && whole) gzbuffer(file, 1024 * 1024);
    return file;
}
long ReadGzip(void* file, unsigned char* buffer, size_t count) {
    return gzread(static_cast<gzFile>(file), buffer, unsigned(count));
}
void CloseGzip(void* file) {
    gzclose(static_cast<gzFile>(file));
}
constexpr Source source = {"bench-zlib-inflate", 256 * 1024, OpenGzip, ReadGzip, CloseGzip};
#else
void* OpenPlain(const char* path, bool) {
    int file = open(path, O_RDONLY);
    return file < 0 ? nullptr : new int(file);
}
long ReadPlain(void* file, unsigned char* buffer, size_t count) {
    return long(read(*static_cast<int*>(file), buffer, count));
}
void ClosePlain(void* file) {
    close(*static_cast<int*>(file));
    delete static_cast<int*>(file);
}
constexpr Source source = {"bench-plain-read", 64 * 1024, OpenPlain, ReadPlain, ClosePlain};
#endif

int ReadWhole(void* file) {
    std::vector<unsigned char> buffer(source.wholeBuffer);
    long long total = 0;
    unsigned checksum = 0;
    for (;;) {
        long got = source.read(file, buffer.data(), buffer.size());
        if (got < 0) return 1;
        if (got == 0) break;
        total += got;
        checksum += buffer[size_t(got) - 1];
    }
    std::printf("bytes %lld check %u\n", total, checksum);
    return 0;
}

// The header (29 bytes), the first length byte, then blocks whose last byte is the next length; 255 ends.
int ReadBlocks(void* file) {
    unsigned char block[256];
    if (source.read(file, block, 29) != 29 || source.read(file, block, 1) != 1) return 1;
    int length = block[0];
    long long blocks = 0, total = 30;
    while (length != 255 && length >= 8) {
        if (source.read(file, block, size_t(length)) != length) return 1;
        total += length;
        blocks++;
        length = block[length - 1];
    }
    std::printf("bytes %lld blocks %lld\n", total, blocks);
    return 0;
}

} // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fprintf(stderr, "usage: %s FILE [--blocks]\n", source.program);
        return 2;
    }
    bool blocks = argumentCount > 2 && std::strcmp(arguments[2], "--blocks") == 0;
    void* file = source.open(arguments[1], !blocks);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", arguments[1]);
        return 1;
    }
    int code = blocks ? ReadBlocks(file) : ReadWhole(file);
    source.close(file);
    return code;
}
