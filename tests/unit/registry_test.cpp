// The registry store: exact bytes and types, the platform's error codes, and a store file that is never
// torn and never trusted when it is not one.
#include "platform/device.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char16_t* SettingsKey = u"SOFTWARE\\Kestrel\\Dialdex";
constexpr uint32_t RegistryTypeBytes = 3; // the platform's plain bytes; the program itself never writes it

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dialdex-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        ASSERT_EQ(PrepareDeviceFolder(scratch + "/device", ""), 0);
        store = DeviceFolder() + "/Windows/registry.txt";
    }
    void TearDown() override { std::filesystem::remove_all(scratch); }
    std::string ReadStore() {
        std::ifstream input(store, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
    void WriteStore(const std::string& text) {
        std::filesystem::create_directories(DeviceFolder() + "/Windows");
        std::ofstream(store, std::ios::binary) << text;
    }
    std::string scratch;
    std::string store;
};

TEST_F(RegistryTest, StringValueComesBackByteForByte) {
    RegistryKey key = nullptr;
    EXPECT_EQ(RegistryOpenKey(SettingsKey, &key), RegistryErrorNotFound);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    EXPECT_TRUE(std::filesystem::is_regular_file(store));

    // A shorter name saved over a longer one: terminator, then the rest of the older text.
    char16_t language[32] = u"UKRAINIAN";
    std::memcpy(language, u"ENGLISH", 7 * sizeof(char16_t));
    language[7] = 0;
    ASSERT_EQ(RegistrySetValue(key, u"Language", RegistryTypeString, language, 64), RegistrySuccess);
    ASSERT_EQ(RegistryCloseKey(key), RegistrySuccess);

    ASSERT_EQ(RegistryOpenKey(u"software\\KESTREL\\dialdex", &key), RegistrySuccess); // keys ignore case
    char16_t read[32];
    std::memset(read, 0xEE, sizeof read);
    uint32_t type = 0;
    uint32_t byteCount = 64;
    ASSERT_EQ(RegistryQueryValue(key, u"LANGUAGE", &type, read, &byteCount), RegistrySuccess);
    EXPECT_EQ(type, RegistryTypeString);
    EXPECT_EQ(byteCount, 64u);
    EXPECT_EQ(std::memcmp(read, language, 64), 0);
    EXPECT_EQ(std::u16string(read), u"ENGLISH");
    EXPECT_EQ(std::u16string(read + 8), u"N"); // the rest of "UKRAINIAN"

    // Numbers keep their type and their four bytes.
    uint32_t width = 0x12345678;
    ASSERT_EQ(RegistrySetValue(key, u"Col2Width", RegistryTypeNumber, &width, 4), RegistrySuccess);
    uint32_t readWidth = 0;
    byteCount = 4;
    ASSERT_EQ(RegistryQueryValue(key, u"Col2Width", &type, &readWidth, &byteCount), RegistrySuccess);
    EXPECT_EQ(readWidth, 0x12345678u);
    EXPECT_EQ(type, RegistryTypeNumber);

    // Names with the characters the store escapes, an empty value and the default value.
    const char16_t* oddName = u"a\\b\tc\nd\re \xD800 Ж";
    uint8_t bytes[3] = {0, 0xFF, 0x0A};
    ASSERT_EQ(RegistrySetValue(key, oddName, 77, bytes, 3), RegistrySuccess);
    ASSERT_EQ(RegistrySetValue(key, u"empty", RegistryTypeString, nullptr, 0), RegistrySuccess);
    ASSERT_EQ(RegistrySetValue(key, nullptr, RegistryTypeNumber, &width, 4), RegistrySuccess);
    uint8_t readBytes[3] = {};
    byteCount = 3;
    ASSERT_EQ(RegistryQueryValue(key, oddName, &type, readBytes, &byteCount), RegistrySuccess);
    EXPECT_EQ(type, 77u);
    EXPECT_EQ(std::memcmp(readBytes, bytes, 3), 0);
    byteCount = 10;
    EXPECT_EQ(RegistryQueryValue(key, u"EMPTY", nullptr, readBytes, &byteCount), RegistrySuccess);
    EXPECT_EQ(byteCount, 0u);
    byteCount = 4;
    EXPECT_EQ(RegistryQueryValue(key, u"", nullptr, &readWidth, &byteCount), RegistrySuccess);
    EXPECT_EQ(RegistryCloseKey(key), RegistrySuccess);

    // The parent keys exist too, and the store reads the same after a fresh start (nothing is cached).
    EXPECT_EQ(RegistryOpenKey(u"\\SOFTWARE\\", &key), RegistrySuccess);
    RegistryCloseKey(key);
    std::string text = ReadStore();
    EXPECT_EQ(text.rfind("Dialdex registry 1\n", 0), 0u);
    EXPECT_NE(text.find("SOFTWARE\\\\Kestrel\\\\Dialdex\tCol2Width\t4\t78563412\n"), std::string::npos);
}

TEST_F(RegistryTest, MissingKeysValuesAndShortBuffers) {
    RegistryKey key = nullptr;
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    char16_t buffer[8];
    uint32_t byteCount = sizeof buffer;
    EXPECT_EQ(RegistryQueryValue(key, u"Language", nullptr, buffer, &byteCount), RegistryErrorNotFound);

    const char16_t text[] = u"Long enough to overflow";
    ASSERT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeString, text, sizeof text), RegistrySuccess);
    std::memset(buffer, 0x55, sizeof buffer);
    byteCount = sizeof buffer;
    EXPECT_EQ(RegistryQueryValue(key, u"Last db", nullptr, buffer, &byteCount), RegistryErrorMoreData);
    EXPECT_EQ(byteCount, sizeof text);
    for (char16_t unit : buffer)
        EXPECT_EQ(unit, 0x5555); // nothing written
    byteCount = 0;
    EXPECT_EQ(RegistryQueryValue(key, u"Last db", nullptr, nullptr, &byteCount), RegistrySuccess);
    EXPECT_EQ(byteCount, sizeof text); // a null buffer asks for the size

    EXPECT_EQ(RegistryQueryValue(nullptr, u"Last db", nullptr, buffer, &byteCount), RegistryErrorInvalid);
    EXPECT_EQ(RegistryQueryValue(key, u"Last db", nullptr, buffer, nullptr), RegistryErrorInvalid);
    EXPECT_EQ(RegistrySetValue(nullptr, u"x", 1, text, 2), RegistryErrorInvalid);
    EXPECT_EQ(RegistrySetValue(key, u"x", 1, nullptr, 2), RegistryErrorInvalid);
    std::vector<uint8_t> huge(2 * 1024 * 1024);
    EXPECT_EQ(RegistrySetValue(key, u"x", 3, huge.data(), static_cast<uint32_t>(huge.size())),
              RegistryErrorInvalid);
    EXPECT_EQ(RegistryCloseKey(nullptr), RegistryErrorInvalid);
    EXPECT_EQ(RegistryCloseKey(key), RegistrySuccess);

    RegistryKey other = reinterpret_cast<RegistryKey>(1);
    EXPECT_EQ(RegistryOpenKey(nullptr, &other), RegistryErrorInvalid);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(RegistryOpenKey(SettingsKey, nullptr), RegistryErrorInvalid);
    EXPECT_EQ(RegistryCreateKey(nullptr, &other), RegistryErrorInvalid);
    EXPECT_EQ(RegistryOpenKey(u"SOFTWARE\\Kestrel\\Other", &other), RegistryErrorNotFound);
    EXPECT_EQ(RegistryOpenKey(u"SOFTWARE\\Kestrel\\Dialdex\\Deeper", &other), RegistryErrorNotFound);
    EXPECT_EQ(other, nullptr);
}

TEST_F(RegistryTest, UnwritableStoreRefusesCreateWithAccessDenied) {
    // "\Windows" is a file, so the store's folder cannot be made (a chmod would not stop root).
    std::ofstream(DeviceFolder() + "/Windows") << "not a folder";
    RegistryKey key = reinterpret_cast<RegistryKey>(1);
    EXPECT_EQ(RegistryCreateKey(SettingsKey, &key), RegistryErrorAccess);
    EXPECT_EQ(key, nullptr);
    std::filesystem::remove(DeviceFolder() + "/Windows");

    // The store path is taken by a folder: the key cannot be kept, even though it can be read as empty.
    std::filesystem::create_directories(store + "/inside");
    EXPECT_EQ(RegistryCreateKey(SettingsKey, &key), RegistryErrorAccess);
    EXPECT_EQ(RegistryOpenKey(SettingsKey, &key), RegistryErrorNotFound);
    EXPECT_TRUE(std::filesystem::is_directory(store + "/inside"));
    std::filesystem::remove_all(store);

    // A store that becomes unwritable after the key was opened: setting fails and changes nothing.
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    uint32_t width = 80;
    ASSERT_EQ(RegistrySetValue(key, u"Col0Width", RegistryTypeNumber, &width, 4), RegistrySuccess);
    std::string before = ReadStore();
    std::filesystem::create_directory(store + ".tmp-" + std::to_string(getpid()));
    std::ofstream(store + ".tmp-" + std::to_string(getpid()) + "/x") << "blocks the temporary file";
    width = 90;
    EXPECT_EQ(RegistrySetValue(key, u"Col0Width", RegistryTypeNumber, &width, 4), RegistryErrorAccess);
    EXPECT_EQ(ReadStore(), before);
    uint32_t readWidth = 0;
    uint32_t byteCount = 4;
    EXPECT_EQ(RegistryQueryValue(key, u"Col0Width", nullptr, &readWidth, &byteCount), RegistrySuccess);
    EXPECT_EQ(readWidth, 80u);
    RegistryCloseKey(key);
}

// Every Start sets "Last db"; setting a value to what it holds must not rewrite the store (two fsyncs on
// the window thread), while any real change, a change of type only, and a damaged store still write it.
TEST_F(RegistryTest, AValueSetToWhatItHoldsIsNotWrittenAgain) {
    auto storeInode = [&] {
        struct stat status {};
        return stat(store.c_str(), &status) == 0 ? status.st_ino : ino_t(0);
    };
    RegistryKey key = nullptr;
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    const char16_t path[] = u"\\Databases\\town.zdb";
    ASSERT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeString, path, sizeof path), RegistrySuccess);
    const ino_t written = storeInode();
    const std::string text = ReadStore();

    // The same bytes again: success, and the file is the one written before, even where a new one
    // could not be made now.
    std::string blocker = store + ".tmp-" + std::to_string(getpid());
    std::filesystem::create_directories(blocker + "/x");
    EXPECT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeString, path, sizeof path), RegistrySuccess);
    EXPECT_EQ(storeInode(), written);
    EXPECT_EQ(ReadStore(), text);
    std::filesystem::remove_all(blocker);

    const char16_t other[] = u"\\Databases\\city.zdb";
    ASSERT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeString, other, sizeof other), RegistrySuccess);
    EXPECT_NE(storeInode(), written);
    const ino_t changed = storeInode();
    ASSERT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeBytes, other, sizeof other), RegistrySuccess);
    EXPECT_NE(storeInode(), changed);
    uint32_t type = 0;
    char16_t read[32] = {};
    uint32_t byteCount = sizeof read;
    ASSERT_EQ(RegistryQueryValue(key, u"Last db", &type, read, &byteCount), RegistrySuccess);
    EXPECT_EQ(type, RegistryTypeBytes);
    EXPECT_EQ(std::u16string(read), other);

    // A damaged line makes the same value a change: the store is rewritten and the old one kept aside.
    WriteStore(ReadStore() + "SOFTWARE\tbroken\n");
    const ino_t damaged = storeInode();
    ASSERT_EQ(RegistrySetValue(key, u"Last db", RegistryTypeBytes, other, sizeof other), RegistrySuccess);
    EXPECT_NE(storeInode(), damaged);
    EXPECT_EQ(ReadStore().find("broken"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(store + ".bad"));
    RegistryCloseKey(key);
}

// The number stored under the name in key "SOFTWARE", or -1 when it cannot be read.
long StoredNumber(const char16_t* name) {
    RegistryKey key = nullptr;
    if (RegistryOpenKey(u"SOFTWARE", &key) != RegistrySuccess) return -1;
    uint32_t number = 0, byteCount = 4;
    long result = RegistryQueryValue(key, name, nullptr, &number, &byteCount);
    RegistryCloseKey(key);
    return result == RegistrySuccess ? static_cast<long>(number) : -1;
}

TEST_F(RegistryTest, DamagedLinesAreSkippedAndTheOldStoreIsKeptAside) {
    const std::string before = "Dialdex registry 1\nSOFTWARE\nSOFTWARE\tKept\t4\t01000000\n";
    const std::string after = "SOFTWARE\tAfter\t4\t02000000\n";
    const std::string damaged[] = {
        "SOFTWARE\tLanguage\t1\t410\n",          // odd hex
        "SOFTWARE\tLanguage\t1\t4G00\n",         // not hex
        "SOFTWARE\tLanguage\tone\t4100\n",       // type not a number
        "SOFTWARE\tLanguage\t99999999999\t00\n", // type beyond 32 bits
        "SOFTWARE\ta\tb\n",                      // three fields
        "SOFT\\qWARE\n",                         // unknown escape
        "SOFT\\u12G4\n",                         // bad \\u escape
        "SOFT\xFFWARE\n",                        // not UTF-8
    };
    const std::string aside = store + ".bad";
    for (const std::string& line : damaged) {
        SCOPED_TRACE(line);
        std::filesystem::remove(aside);
        const std::string text = before + line + after;
        WriteStore(text);
        // Every line that reads is there; reading writes nothing.
        EXPECT_EQ(StoredNumber(u"Kept"), 1);
        EXPECT_EQ(StoredNumber(u"After"), 2);
        EXPECT_EQ(ReadStore(), text);
        EXPECT_FALSE(std::filesystem::exists(aside));
        // The first write that drops the line keeps the whole old store aside first; later ones add nothing.
        RegistryKey key = nullptr;
        ASSERT_EQ(RegistryOpenKey(u"SOFTWARE", &key), RegistrySuccess);
        uint32_t number = 3;
        ASSERT_EQ(RegistrySetValue(key, u"New", RegistryTypeNumber, &number, 4), RegistrySuccess);
        ASSERT_EQ(RegistrySetValue(key, u"New", RegistryTypeNumber, &number, 4), RegistrySuccess);
        RegistryCloseKey(key);
        EXPECT_EQ(StoredNumber(u"Kept"), 1);
        EXPECT_EQ(StoredNumber(u"After"), 2);
        EXPECT_EQ(StoredNumber(u"New"), 3);
        EXPECT_EQ(ReadStore().find(line), std::string::npos);
        std::ifstream keptAside(aside, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(keptAside), {}), text);
    }

    // A missing final line feed is no damage: the last line reads and nothing is set aside.
    std::filesystem::remove(aside);
    WriteStore(before + "SOFTWARE\tLast\t4\t04000000");
    EXPECT_EQ(StoredNumber(u"Last"), 4);
    RegistryKey key = nullptr;
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    RegistryCloseKey(key);
    EXPECT_EQ(StoredNumber(u"Last"), 4);
    EXPECT_EQ(StoredNumber(u"Kept"), 1);
    EXPECT_FALSE(std::filesystem::exists(aside));
}

TEST_F(RegistryTest, AFileThatIsNoStoreReadsEmptyAndIsKeptAsideByTheNextWrite) {
    const std::string garbage[] = {
        std::string("\x00\x01\x02garbage", 10),
        "SOFTWARE\n",                     // no header
        "Dialdex registry 2\nSOFTWARE\n", // another format
    };
    for (const std::string& text : garbage) {
        SCOPED_TRACE(text);
        std::filesystem::remove(store + ".bad");
        WriteStore(text);
        RegistryKey key = nullptr;
        EXPECT_EQ(RegistryOpenKey(u"SOFTWARE", &key), RegistryErrorNotFound);
        if (key != nullptr) RegistryCloseKey(key);
        ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
        uint32_t width = 120;
        ASSERT_EQ(RegistrySetValue(key, u"Col1Width", RegistryTypeNumber, &width, 4), RegistrySuccess);
        RegistryCloseKey(key);
        EXPECT_EQ(ReadStore(),
                  "Dialdex registry 1\nSOFTWARE\nSOFTWARE\\\\Kestrel\nSOFTWARE\\\\Kestrel\\\\Dialdex\n"
                  "SOFTWARE\\\\Kestrel\\\\Dialdex\tCol1Width\t4\t78000000\n");
        std::ifstream keptAside(store + ".bad", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(keptAside), {}), text);
    }

    RegistryKey key = nullptr;
    // A store written by hand with CR LF line ends and blank lines is still a store.
    WriteStore("Dialdex registry 1\r\n\r\nA\\\\B\tName\t4\t01000000\r\n");
    ASSERT_EQ(RegistryOpenKey(u"A", &key), RegistrySuccess);
    RegistryCloseKey(key);
    ASSERT_EQ(RegistryOpenKey(u"a\\b", &key), RegistrySuccess);
    uint32_t number = 0;
    uint32_t byteCount = 4;
    EXPECT_EQ(RegistryQueryValue(key, u"name", nullptr, &number, &byteCount), RegistrySuccess);
    EXPECT_EQ(number, 1u);
    RegistryCloseKey(key);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    RegistryKey key = nullptr;
    ASSERT_EQ(RegistryCreateKey(SettingsKey, &key), RegistrySuccess);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; writer++) {
        writers.emplace_back([key, writer] {
            for (int round = 0; round < 5; round++) {
                char16_t name[] = u"W0R0";
                name[1] = static_cast<char16_t>(u'0' + writer);
                name[3] = static_cast<char16_t>(u'0' + round);
                uint32_t value = writer * 10 + round;
                RegistrySetValue(key, name, RegistryTypeNumber, &value, 4);
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    for (int writer = 0; writer < 4; writer++) {
        for (int round = 0; round < 5; round++) {
            char16_t name[] = u"W0R0";
            name[1] = static_cast<char16_t>(u'0' + writer);
            name[3] = static_cast<char16_t>(u'0' + round);
            uint32_t value = 0;
            uint32_t byteCount = 4;
            ASSERT_EQ(RegistryQueryValue(key, name, nullptr, &value, &byteCount), RegistrySuccess);
            EXPECT_EQ(value, static_cast<uint32_t>(writer * 10 + round));
        }
    }
    RegistryCloseKey(key);
}

} // namespace
