// The device folder on the host: how it is made, and that no device path leads out of it.
#include "platform/device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dialdex-device-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        SetStorageCardFolder("");
    }
    void TearDown() override {
        SetStorageCardFolder("");
        std::filesystem::remove_all(scratch);
    }
    static std::string ReadWhole(const std::string& path) {
        std::ifstream input(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
    std::string scratch;
};

TEST_F(DeviceTest, NewDeviceGetsTheProgramFolderAndLanguageFile) {
    std::string shipped = scratch + "/shipped.lng";
    std::ofstream(shipped) << "[RUSSIAN]\r\n700=Поиск\r\n";
    std::string device = scratch + "/deep/er/device";
    ASSERT_EQ(PrepareDeviceFolder(device + "/", shipped), 0);
    EXPECT_EQ(DeviceFolder(), std::filesystem::canonical(device).string());
    EXPECT_EQ(ReadWhole(device + "/Program Files/Dialdex/dialdex.lng"), "[RUSSIAN]\r\n700=Поиск\r\n");

    // An existing device is used as it stands: the user's edited file is never overwritten.
    std::ofstream(device + "/Program Files/Dialdex/dialdex.lng") << "edited";
    ASSERT_EQ(PrepareDeviceFolder(device, shipped), 0);
    EXPECT_EQ(ReadWhole(device + "/Program Files/Dialdex/dialdex.lng"), "edited");

    // Without a shipped file the device gets the program folder only.
    std::string bare = scratch + "/bare";
    ASSERT_EQ(PrepareDeviceFolder(bare, ""), 0);
    EXPECT_TRUE(std::filesystem::is_directory(bare + "/Program Files/Dialdex"));
    EXPECT_FALSE(std::filesystem::exists(bare + "/Program Files/Dialdex/dialdex.lng"));
}

TEST_F(DeviceTest, ShippedLanguageFileBesideTheProgramThenInstalled) {
    // An installed layout: PREFIX/bin/dialdex and the data folder where the program looks for it.
    std::string programFolder = scratch + "/prefix/bin";
    std::string installed = programFolder + "/" + InstalledDataFolderFromProgram + "/dialdex.lng";
    std::filesystem::create_directories(std::filesystem::path(installed).parent_path());
    std::filesystem::create_directories(programFolder);
    std::string beside = programFolder + "/dialdex.lng";

    // Neither: the path beside the program, so that the device's preparation fails and makes nothing.
    EXPECT_EQ(FindShippedLanguageFile(programFolder), beside);
    std::ofstream(installed) << "installed";
    EXPECT_EQ(FindShippedLanguageFile(programFolder), installed);
    // A file beside the program (a build folder) wins over the installed one.
    std::ofstream(beside) << "beside";
    EXPECT_EQ(FindShippedLanguageFile(programFolder), beside);

    // A folder where the installed file should be is not a language file.
    std::filesystem::remove(beside);
    std::filesystem::remove(installed);
    std::filesystem::create_directory(installed);
    EXPECT_EQ(FindShippedLanguageFile(programFolder), beside);
}

TEST_F(DeviceTest, FailedPreparationLeavesNothingBehind) {
    std::string device = scratch + "/device";
    EXPECT_EQ(PrepareDeviceFolder(device, scratch + "/missing.lng"), -1);
    EXPECT_FALSE(std::filesystem::exists(device));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(scratch), std::filesystem::directory_iterator()),
        0);

    std::ofstream(scratch + "/file") << "x";
    EXPECT_EQ(PrepareDeviceFolder(scratch + "/file", ""), -1);
    EXPECT_EQ(PrepareDeviceFolder(scratch + "/file/below", ""), -1);
    EXPECT_EQ(PrepareDeviceFolder("", ""), -1);
}

TEST_F(DeviceTest, HostPathsNeverLeaveTheDevice) {
    ASSERT_EQ(PrepareDeviceFolder(scratch + "/device", ""), 0);
    std::string root = DeviceFolder();
    EXPECT_EQ(HostPathOf(u"\\a\\b\\..\\c"), root + "/a/c");
    EXPECT_EQ(HostPathOf(u"\\..\\..\\..\\etc\\passwd"), root + "/etc/passwd");
    EXPECT_EQ(HostPathOf(u"\\a\\..\\..\\b"), root + "/b");
    EXPECT_EQ(HostPathOf(u"/a/./b//c/"), root + "/a/b/c");
    EXPECT_EQ(HostPathOf(u"a\\b"), root + "/a/b");
    EXPECT_EQ(HostPathOf(u"\\"), root);
    EXPECT_EQ(HostPathOf(u""), root);
    EXPECT_EQ(HostPathOf(u"\\..."), root + "/...");
    EXPECT_EQ(HostPathOf(u"\\Базы\\Москва.zdb"), root + "/Базы/Москва.zdb");
    EXPECT_EQ(HostPathOf(u"\\Storage Card\\x.db"), root + "/Storage Card/x.db");
    EXPECT_EQ(HostPathOf(nullptr), "");
    EXPECT_TRUE(IsDeviceRoot(u"\\"));
    EXPECT_TRUE(IsDeviceRoot(u"\\a\\.."));
    EXPECT_FALSE(IsDeviceRoot(u"\\a"));

    std::filesystem::create_directory(scratch + "/card");
    SetStorageCardFolder(scratch + "/card/");
    std::string card = std::filesystem::canonical(scratch + "/card").string();
    EXPECT_EQ(StorageCardFolder(), card);
    EXPECT_EQ(HostPathOf(u"\\Storage Card\\x.db"), card + "/x.db");
    EXPECT_EQ(HostPathOf(u"/storage card/a/../../../x.db"), root + "/x.db");
    EXPECT_EQ(HostPathOf(u"\\Storage Card"), card);
    EXPECT_EQ(HostPathOf(u"\\Storage Cards\\x"), root + "/Storage Cards/x");
    EXPECT_EQ(HostPathOf(u"\\x\\Storage Card"), root + "/x/Storage Card");
}

TEST_F(DeviceTest, OpenedHostFilesAreReachedByTheirHostPathAlone) {
    ASSERT_EQ(PrepareDeviceFolder(scratch + "/device", ""), 0);
    struct {
        std::string hostPath;
        std::u16string shownName; // the last name of the device path
    } cases[] = {
        {"/data/city.zdb", u"city.zdb"},
        // Backslashes are no separators on the host: the name keeps no device separator.
        {"/data/out/..\\..\\Databases\\home.db", u".._.._Databases_home.db"},
        {"/data/..\\..\\Program Files\\Dialdex\\dialdex.ini", u".._.._Program Files_Dialdex_dialdex.ini"},
        {"..\\x.zdb", u".._x.zdb"},
        {"/data/\\", u"_"},
        // Bytes that are no UTF-8 or no name the device can spell are shown by the storage form alone.
        {"/data/\xff\xfe.zdb", u"opened.zdb"},
        {"/data/a;b.db", u"opened.db"},
        {"/data/..", u"opened.db"},
    };
    for (const auto& test : cases) {
        std::u16string devicePath = OpenHostFile(test.hostPath);
        std::u16string prefix = u"\\Opened File\\";
        ASSERT_EQ(devicePath.compare(0, prefix.size(), prefix), 0) << test.hostPath;
        std::u16string rest = devicePath.substr(prefix.size());
        size_t separator = rest.find(u'\\');
        ASSERT_NE(separator, std::u16string::npos) << test.hostPath;
        EXPECT_EQ(rest.substr(separator + 1), test.shownName) << test.hostPath;
        // The host path comes back byte for byte, whatever the name holds.
        EXPECT_EQ(HostPathOf(devicePath.c_str()), test.hostPath);
    }
}

TEST_F(DeviceTest, ProgramExecutablePath) {
    char16_t buffer[64];
    EXPECT_EQ(GetProgramExecutablePath(buffer, 64), 34);
    EXPECT_EQ(std::u16string(buffer), u"\\Program Files\\Dialdex\\dialdex.exe");
    char16_t small[5];
    EXPECT_EQ(GetProgramExecutablePath(small, 5), 4);
    EXPECT_EQ(std::u16string(small), u"\\Pro");
}

} // namespace
