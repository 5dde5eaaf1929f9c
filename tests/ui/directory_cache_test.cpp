// The second search from memory: the window keeps the inflated bytes of the .zdb it searched last and
// reads them again only while the file is the same file, of the same size and modification time.
#include "platform/script.h"
#include "search/directory_cache.h"
#include "search/search_worker.h"
#include "tests/support/database_bytes.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// A .zdb from gzip with stored (not deflated) data, so that its size depends only on its records' texts.
void WriteStoredZdb(const std::string& path, const std::string& name, int count) {
    std::vector<TestRecord> records;
    for (int index = 0; index < count; index++)
        records.push_back({uint32_t(1000 + index), name, "STREET", "1", "2"});
    std::string bytes = DatabaseBytes(records);
    gzFile file = gzopen(path.c_str(), "wb0");
    gzwrite(file, bytes.data(), unsigned(bytes.size()));
    gzclose(file);
}

} // namespace

TEST(DirectoryCache, TheSameFileIsReadFromMemoryAnotherOneFromItsBytes) {
    std::string device = MakeDevice("[RUSSIAN]\r\n");
    std::filesystem::create_directories(device + "/Databases");
    std::string zdb = device + "/Databases/city.zdb";
    WriteStoredZdb(zdb, "ALPHA", 3000);
    WriteStoredZdb(device + "/Databases/other.zdb", "ALPHA", 10);
    WriteHostFile(device + "/Program Files/Dialdex/dialdex.ini",
                  "\\Databases\\city.zdb;CITY\r\n\\Databases\\other.zdb;OTHER\r\n");
    ASSERT_EQ(StartProgram(device), 0);
    const std::string search = "tab 0\nclear SearchWnd/1102\ntype SearchWnd/1102 A\nclick SearchWnd/1107\nwait";
    Act("choose SearchWnd/1100 0\n" + search);
    EXPECT_EQ(ControlText("ResultWnd/1202"), "Scaned: 3000, results: 3000");
    uint64_t kept = CachedDirectoryBytes();
    EXPECT_GT(kept, 3000u * 20);

    struct Step {
        const char* what;
        void (*change)(const std::string& zdb);
        int database;            // chosen in the selector
        const char* status;      // after the search
        bool cacheAfter;         // inflated bytes kept after it
    };
    const Step steps[] = {
        {"the same file again", [](const std::string&) {}, 0, "Scaned: 3000, results: 3000", true},
        // Other records of the same size written into the same file, its time put back: nothing tells
        // the change, so the kept bytes are read (the old records).
        {"changed behind an unchanged time and size",
         [](const std::string& path) {
             auto time = std::filesystem::last_write_time(path);
             WriteStoredZdb(path, "BRAVO", 3000);
             std::filesystem::last_write_time(path, time);
         },
         0, "Scaned: 3000, results: 3000", true},
        {"a new time", [](const std::string& path) {
             std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
         }, 0, "Scaned: 3000, results: 0", true},
        {"another size",
         [](const std::string& path) { WriteStoredZdb(path, "ALPHA", 2000); }, 0, "Scaned: 2000, results: 2000", true},
        {"another file (renamed over it)",
         [](const std::string& path) {
             WriteStoredZdb(path + ".new", "ALPHA", 2000);
             std::filesystem::rename(path + ".new", path);
         },
         0, "Scaned: 2000, results: 2000", true},
        {"another database chosen", [](const std::string&) {}, 1, "Scaned: 10, results: 10", true},
    };
    for (const Step& step : steps) {
        step.change(zdb);
        Act("choose SearchWnd/1100 " + std::to_string(step.database) + "\n" + search);
        EXPECT_EQ(ControlText("ResultWnd/1202"), step.status) << step.what;
        EXPECT_EQ(CachedDirectoryBytes() > 0, step.cacheAfter) << step.what;
    }
    // Rows cut by the memory budget in a search from the kept bytes: they go too, so the next search has
    // that memory.
    WriteStoredZdb(zdb, "ALPHA", 30000);
    Act("choose SearchWnd/1100 0\n" + search);
    EXPECT_GT(CachedDirectoryBytes(), 30000u * 20);
    LimitResultMemory(2300 << 10);
    Act(search);
    EXPECT_EQ(ControlText("ResultWnd/1202").rfind("Scaned: ", 0), std::string::npos) << ControlText("ResultWnd/1202");
    EXPECT_EQ(CachedDirectoryBytes(), 0u);
    LimitResultMemory(0);
    EXPECT_EQ(StopProgram(), 0);
}
