// libFuzzer target: any bytes as a ".zdb" file, read through the gzip stream with zlib's inflate and with
// ISA-L's (where the build has it), in pieces of sizes taken from the input. Both must deliver the same
// bytes and end the same way, whatever the pieces; and against zlib's own gzip reader, the same bytes
// where it reads without an error, a longer run of the same bytes where it meets damage.
// Links with dialdex_core and zlib.
#include "db/gzip_stream.h"
#include "platform/device.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

static const std::string& FuzzFolder() {
    static std::string folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dialdex-gzip-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        PrepareDeviceFolder(path.string(), "");
        return path.string();
    }();
    return folder;
}

struct Delivered {
    std::vector<unsigned char> bytes;
    int endCode = GzipNotEnded;
};

static Delivered ReadWithStream(int inflater, long piece, int inputSize) {
    Delivered result;
    FileHandle file = OpenDatabaseFile(u"\\fuzz.zdb");
    if (file == NoFile) std::abort();
    GzipStream stream;
    if (OpenGzipStream(&stream, file, inputSize, inflater) != 0) std::abort();
    std::vector<unsigned char> buffer(static_cast<size_t>(piece));
    for (;;) {
        long got = ReadGzipStream(&stream, buffer.data(), piece);
        if (got < 0 || got > piece) std::abort();
        result.bytes.insert(result.bytes.end(), buffer.begin(), buffer.begin() + got);
        if (got < piece) break;
    }
    if (stream.endCode == GzipNotEnded || ReadGzipStream(&stream, buffer.data(), piece) != 0) std::abort();
    result.endCode = stream.endCode;
    CloseGzipStream(&stream);
    CloseFile(file);
    return result;
}

// zlib's own reader; errored is set when a read failed (it then gives no more).
static std::vector<unsigned char> ReadWithGzread(bool* errored) {
    std::vector<unsigned char> bytes;
    gzFile file = gzopen((FuzzFolder() + "/fuzz.zdb").c_str(), "rb");
    if (file == nullptr) std::abort();
    unsigned char buffer[4096];
    int got;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    *errored = got < 0;
    gzclose(file);
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen((FuzzFolder() + "/fuzz.zdb").c_str(), "wb");
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    // Piece and input buffer sizes from the last bytes, so that hand-overs happen at every point.
    static const long Pieces[] = {1, 7, 29, 300, 4096, 65536, 262144};
    static const int Inputs[] = {16, 100, 4096, 262144};
    long piece = size > 0 ? Pieces[data[size - 1] % 7] : 1;
    int input = size > 1 ? Inputs[data[size - 2] % 4] : 16;

    Delivered reference = ReadWithStream(GzipInflaterZlib, 262144, 262144);
    Delivered zlib = ReadWithStream(GzipInflaterZlib, piece, input);
    if (zlib.bytes != reference.bytes || zlib.endCode != reference.endCode) std::abort();
    if (GzipIsalBuiltIn()) {
        Delivered isal = ReadWithStream(GzipInflaterIsal, piece, input);
        if (isal.bytes != reference.bytes || isal.endCode != reference.endCode) {
            std::fprintf(stderr, "zlib %zu bytes, end %d; ISA-L %zu bytes, end %d\n", reference.bytes.size(),
                         reference.endCode, isal.bytes.size(), isal.endCode);
            std::abort();
        }
    }

    bool errored = false;
    std::vector<unsigned char> gzread = ReadWithGzread(&errored);
    if (!errored && gzread != reference.bytes) std::abort();
    if (errored && (gzread.size() > reference.bytes.size() ||
                    !std::equal(gzread.begin(), gzread.end(), reference.bytes.begin())))
        std::abort();
    return 0;
}
