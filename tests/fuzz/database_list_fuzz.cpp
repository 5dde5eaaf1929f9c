// libFuzzer target: any bytes as "dialdex.ini", read line by line as the list is loaded (pieces of at most
// 511 bytes, at most ten entries). Every entry's fields stay terminated inside their sizes, nothing is
// written past an entry, the texts convert to wide text within 260 characters, and an entry written back
// as its line and read again is the same entry. Links with dialdex_program (the line parser lives there).
#include "db/database_list.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr const char16_t* ListPath = u"\\dialdex.ini";
constexpr unsigned char Guard = 0xA5;

// An entry with guard bytes on both sides, so that a write past either field shows.
struct GuardedEntry {
    unsigned char before[16];
    InstalledDatabase entry;
    unsigned char after[16];
};

const std::string& FuzzFolder() {
    static std::string folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dialdex-list-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        PrepareDeviceFolder(path.string(), "");
        return path.string();
    }();
    return folder;
}

bool GuardsIntact(const GuardedEntry& guarded) {
    for (unsigned char byte : guarded.before)
        if (byte != Guard) return false;
    for (unsigned char byte : guarded.after)
        if (byte != Guard) return false;
    return true;
}

void CheckEntry(const InstalledDatabase& entry) {
    if (!std::memchr(entry.title, 0, sizeof entry.title) || !std::memchr(entry.path, 0, sizeof entry.path))
        abort();
    char16_t wide[260];
    if (DeviceToWide(entry.title, -1, wide, 260) > 259 || DeviceToWide(entry.path, -1, wide, 260) > 259)
        abort();
    // Written back and read again, the entry is the same, unless its line became too short to count.
    char line[600];
    int length = FormatDatabaseListLine(entry, line, sizeof line);
    if (length < 0 || length >= static_cast<int>(sizeof line) || line[length] != 0) abort();
    InstalledDatabase again;
    bool taken = ParseDatabaseListLine(line, &again);
    if (taken != (length >= 7)) abort();
    if (taken && (std::strcmp(again.path, entry.path) != 0 || std::strcmp(again.title, entry.title) != 0))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string hostPath = FuzzFolder() + "/dialdex.ini";
    FILE* host = std::fopen(hostPath.c_str(), "wb");
    if (!host) return 0;
    std::fwrite(data, 1, size, host);
    std::fclose(host);

    StreamFile* file = OpenStreamFile(ListPath, "rb");
    if (!file) return 0;
    int count = 0;
    char line[512];
    while (count < MaxInstalledDatabases && ReadStreamLine(line, sizeof line, file)) {
        if (std::strlen(line) > 511) abort();
        GuardedEntry guarded;
        std::memset(&guarded, Guard, sizeof guarded);
        if (!ParseDatabaseListLine(line, &guarded.entry)) continue;
        if (!GuardsIntact(guarded)) abort();
        CheckEntry(guarded.entry);
        count++;
    }
    CloseStreamFile(file);
    return 0;
}
