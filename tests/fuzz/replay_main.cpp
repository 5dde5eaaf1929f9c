// Replays a fuzz target's corpus without libFuzzer: every file of the folders (or the files) named on
// the command line goes once through LLVMFuzzerTestOneInput. A crash input kept in the corpus thus stays
// a test in the ordinary build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int ReplayFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // An empty vector's data() may be null; the fuzzer always passes a valid pointer.
    static const uint8_t empty = 0;
    const uint8_t* data = bytes.empty() ? &empty : reinterpret_cast<const uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return 0;
}

int main(int argumentCount, char** arguments) {
    int failures = 0;
    int replayed = 0;
    for (int index = 1; index < argumentCount; index++) {
        std::filesystem::path path(arguments[index]);
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            failures += ReplayFile(path);
            replayed++;
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(path, error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        if (error) {
            std::fprintf(stderr, "cannot list %s\n", path.c_str());
            failures++;
        }
        for (const auto& file : files) {
            failures += ReplayFile(file);
            replayed++;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
