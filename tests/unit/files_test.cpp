// Files by device path: stream files, files replaced whole, raw reads, attributes, folder enumeration.
#include "platform/device.h"
#include "platform/files.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dialdex-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        ASSERT_EQ(PrepareDeviceFolder(scratch + "/device", ""), 0);
        device = DeviceFolder();
        SetStorageCardFolder("");
    }
    void TearDown() override {
        SetStorageCardFolder("");
        std::filesystem::remove_all(scratch);
    }
    void WriteHost(const std::string& relative, const std::string& text) {
        std::ofstream(device + "/" + relative, std::ios::binary) << text;
    }
    std::string ReadHost(const std::string& relative) {
        std::ifstream input(device + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
    // The folder's entries as "name/" for folders and "name" for files, in the order reported.
    std::vector<std::string> List(const char16_t* pattern) {
        std::vector<std::string> names;
        FindData data;
        FolderSearch* search = FindFirstFile(pattern, &data);
        if (search == nullptr) return names;
        do {
            names.push_back(Utf8FromWide(data.fileName) +
                            (data.attributes == FileAttributeFolder ? "/" : ""));
        } while (FindNextFile(search, &data));
        FindClose(search);
        return names;
    }
    std::string scratch;
    std::string device;
};

TEST_F(FilesTest, StreamFilesWriteReadSeekAndTell) {
    StreamFile* file = OpenStreamFile(u"\\notes.txt", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteStreamText(file, "first\r\n"), 7);
    EXPECT_EQ(WriteStreamBytes(file, "sec\0nd\n", 7), 7);
    EXPECT_EQ(WriteStreamText(file, "last"), 4);
    EXPECT_EQ(TellStreamFile(file), 18);
    EXPECT_EQ(CloseStreamFile(file), 0);
    EXPECT_EQ(ReadHost("notes.txt"), std::string("first\r\nsec\0nd\nlast", 18));

    file = OpenStreamFile(u"/notes.txt", "rb");
    ASSERT_NE(file, nullptr);
    char line[64];
    EXPECT_STREQ(ReadStreamLine(line, sizeof line, file), "first\r\n");
    EXPECT_EQ(TellStreamFile(file), 7);
    ASSERT_NE(ReadStreamLine(line, sizeof line, file), nullptr);
    EXPECT_EQ(std::memcmp(line, "sec\0nd\n", 8), 0);
    EXPECT_STREQ(ReadStreamLine(line, sizeof line, file), "last"); // no line feed at the end
    EXPECT_EQ(ReadStreamLine(line, sizeof line, file), nullptr);
    EXPECT_EQ(SeekStreamFile(file, 2, 0), 0);
    EXPECT_STREQ(ReadStreamLine(line, 4, file), "rst");
    EXPECT_EQ(SeekStreamFile(file, -4, 2), 0);
    EXPECT_STREQ(ReadStreamLine(line, sizeof line, file), "last");
    EXPECT_EQ(SeekStreamFile(file, 0, 3), -1);
    EXPECT_EQ(SeekStreamFile(file, -100, 0), -1);
    // A one-byte buffer holds only the terminator: reading reports the end instead of spinning.
    EXPECT_EQ(SeekStreamFile(file, 0, 0), 0);
    EXPECT_EQ(ReadStreamLine(line, 1, file), nullptr);
    EXPECT_EQ(line[0], '\0');
    EXPECT_EQ(CloseStreamFile(file), 0);

    // "wb" empties an existing file.
    file = OpenStreamFile(u"\\notes.txt", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(CloseStreamFile(file), 0);
    EXPECT_EQ(ReadHost("notes.txt"), "");
}

TEST_F(FilesTest, StreamFilesRefuseOtherModesFoldersAndMissingFiles) {
    WriteHost("a.txt", "text");
    for (const char* mode : {"r", "w", "ab", "rb+", "wb+", "", "rbx"}) {
        EXPECT_EQ(OpenStreamFile(u"\\a.txt", mode), nullptr) << mode;
    }
    EXPECT_EQ(ReadHost("a.txt"), "text");
    EXPECT_EQ(OpenStreamFile(u"\\a.txt", nullptr), nullptr);
    EXPECT_EQ(OpenStreamFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenStreamFile(u"\\missing.txt", "rb"), nullptr);
    EXPECT_EQ(OpenStreamFile(u"\\Program Files", "rb"), nullptr);
    EXPECT_EQ(OpenStreamFile(u"\\Program Files", "wb"), nullptr);
    EXPECT_EQ(OpenStreamFile(u"\\no folder\\a.txt", "wb"), nullptr);
    // A pipe would block the opener forever: it is no file.
    ASSERT_EQ(mkfifo((device + "/pipe").c_str(), 0644), 0);
    EXPECT_EQ(OpenStreamFile(u"\\pipe", "rb"), nullptr);
    EXPECT_EQ(OpenStreamFile(u"\\pipe", "wb"), nullptr);
    EXPECT_EQ(OpenFileForReading(u"\\pipe"), NoFile);
    EXPECT_EQ(CloseStreamFile(nullptr), -1);
}

TEST_F(FilesTest, LongLinesComeInPiecesOfTheBufferSize) {
    std::string longLine(1200, 'x');
    longLine[0] = 'A';
    longLine[511] = 'B';
    WriteHost("long.txt", longLine + "\nnext\n");
    StreamFile* file = OpenStreamFile(u"\\long.txt", "rb");
    ASSERT_NE(file, nullptr);
    char buffer[512];
    std::vector<std::string> pieces;
    while (ReadStreamLine(buffer, sizeof buffer, file) != nullptr)
        pieces.push_back(buffer);
    EXPECT_EQ(CloseStreamFile(file), 0);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].size(), 511u);
    EXPECT_EQ(pieces[0][0], 'A');
    EXPECT_EQ(pieces[1].size(), 511u);
    EXPECT_EQ(pieces[1][0], 'B');
    EXPECT_EQ(pieces[2], std::string(178, 'x') + "\n");
    EXPECT_EQ(pieces[3], "next\n");
}

TEST_F(FilesTest, ReplacementFilesCommitWholeOrNotAtAll) {
    WriteHost("dialdex.ini", "old\r\n");
    chmod((device + "/dialdex.ini").c_str(), 0600);
    std::string temporary = device + "/dialdex.ini.tmp-" + std::to_string(getpid());

    StreamFile* file = OpenReplacementFile(u"\\dialdex.ini");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteStreamText(file, "new\r\n"), 5);
    EXPECT_TRUE(std::filesystem::exists(temporary));
    EXPECT_EQ(ReadHost("dialdex.ini"), "old\r\n"); // nothing shows before the commit
    EXPECT_EQ(CommitReplacementFile(file), 0);
    EXPECT_EQ(ReadHost("dialdex.ini"), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));
    struct stat status;
    ASSERT_EQ(stat((device + "/dialdex.ini").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u); // the replacement keeps the old file's permissions

    file = OpenReplacementFile(u"\\dialdex.ini");
    ASSERT_NE(file, nullptr);
    WriteStreamText(file, "abandoned");
    AbandonReplacementFile(file);
    EXPECT_EQ(ReadHost("dialdex.ini"), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));

    // Closing without a commit abandons too, and says nothing was saved.
    file = OpenReplacementFile(u"\\dialdex.ini");
    ASSERT_NE(file, nullptr);
    WriteStreamText(file, "closed");
    EXPECT_EQ(CloseStreamFile(file), -1);
    EXPECT_EQ(ReadHost("dialdex.ini"), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));

    // A destination that cannot be replaced (a folder is in the way): refused, the folder untouched.
    std::filesystem::create_directory(device + "/taken");
    WriteHost("taken/inside", "kept");
    EXPECT_EQ(OpenReplacementFile(u"\\taken"), nullptr);
    EXPECT_EQ(ReadHost("taken/inside"), "kept");
    EXPECT_FALSE(std::filesystem::exists(device + "/taken.tmp-" + std::to_string(getpid())));

    // A new file, and places that cannot hold one.
    file = OpenReplacementFile(u"\\fresh.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(CommitReplacementFile(file), 0);
    EXPECT_EQ(ReadHost("fresh.txt"), "");
    EXPECT_EQ(OpenReplacementFile(u"\\no folder\\x.txt"), nullptr);
    EXPECT_EQ(OpenReplacementFile(u"\\"), nullptr);
    EXPECT_EQ(CommitReplacementFile(nullptr), -1);
    StreamFile* plain = OpenStreamFile(u"\\fresh.txt", "rb");
    EXPECT_EQ(CommitReplacementFile(plain), -1); // not a replacement file: refused, left open
    EXPECT_EQ(CloseStreamFile(plain), 0);
}

TEST_F(FilesTest, ReplacingALinkReplacesTheFileItNames) {
    std::filesystem::create_directory(device + "/real");
    WriteHost("real/settings.txt", "old");
    chmod((device + "/real/settings.txt").c_str(), 0777);
    std::filesystem::create_symlink("real/settings.txt", device + "/link.txt");
    std::filesystem::create_symlink("link.txt", device + "/chain.txt");
    StreamFile* file = OpenReplacementFile(u"\\chain.txt");
    ASSERT_NE(file, nullptr);
    // The new text is made beside the file itself, so that the rename stays within its file system.
    EXPECT_TRUE(std::filesystem::exists(device + "/real/settings.txt.tmp-" + std::to_string(getpid())));
    WriteStreamText(file, "new");
    EXPECT_EQ(CommitReplacementFile(file), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(device + "/chain.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(device + "/link.txt"));
    EXPECT_EQ(ReadHost("real/settings.txt"), "new");
    // Others may no longer write it, and a text file gets no execute bits.
    struct stat status;
    ASSERT_EQ(stat((device + "/real/settings.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0664u);

    // A link to a missing file makes that file; the link stays.
    std::filesystem::create_symlink("real/made.txt", device + "/dangling.txt");
    file = OpenReplacementFile(u"\\dangling.txt");
    ASSERT_NE(file, nullptr);
    WriteStreamText(file, "made");
    EXPECT_EQ(CommitReplacementFile(file), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(device + "/dangling.txt"));
    EXPECT_EQ(ReadHost("real/made.txt"), "made");

    // A link to a pipe or to a folder names nothing that can be replaced.
    ASSERT_EQ(mkfifo((device + "/real/pipe").c_str(), 0644), 0);
    std::filesystem::create_symlink("real/pipe", device + "/pipe.txt");
    std::filesystem::create_directory_symlink("real", device + "/folder.txt");
    EXPECT_EQ(OpenReplacementFile(u"\\pipe.txt"), nullptr);
    EXPECT_EQ(OpenReplacementFile(u"\\folder.txt"), nullptr);
    EXPECT_TRUE(std::filesystem::is_fifo(device + "/real/pipe"));
    EXPECT_TRUE(std::filesystem::is_symlink(device + "/pipe.txt"));
}

// One process's share of the counter test: adds 1 to the number in counter.txt, rounds times, each a
// read-change-write under the lock. Returns 0, or the step that failed.
int CountUnderTheLock(int rounds) {
    for (int round = 0; round < rounds; round++) {
        SharedFileLock* lock = LockSharedFile(u"\\counter.txt", true);
        if (lock == nullptr) return 1;
        char text[32] = {};
        StreamFile* input = OpenStreamFile(u"\\counter.txt", "rb");
        if (input == nullptr || ReadStreamLine(text, sizeof text, input) == nullptr) return 2;
        CloseStreamFile(input);
        StreamFile* output = OpenReplacementFile(u"\\counter.txt");
        if (output == nullptr) return 3;
        WriteStreamText(output, std::to_string(std::atoi(text) + 1).c_str());
        if (CommitReplacementFile(output) != 0) return 4;
        UnlockSharedFile(lock);
    }
    return 0;
}

TEST_F(FilesTest, ChangesMadeUnderTheLockByManyProcessesAreAllKept) {
    WriteHost("counter.txt", "0");
    const int processes = 4, rounds = 25;
    std::vector<pid_t> children;
    for (int process = 0; process < processes; process++) {
        pid_t child = fork();
        if (child == 0) _exit(CountUnderTheLock(rounds));
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(ReadHost("counter.txt"), std::to_string(processes * rounds));
}

TEST_F(FilesTest, TheFirstLockRemovesTemporaryFilesOfSavesThatDied) {
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    const std::string stale = "x.txt.tmp-" + std::to_string(dead);
    WriteHost("x.txt", "x");
    WriteHost(stale, "left by a save that was killed");
    WriteHost("x.txt.tmp-1", "a process that runs");
    WriteHost("x.txt.tmp-12ab", "not a process number");
    WriteHost("y.txt.tmp-" + std::to_string(dead), "another file's");
    SharedFileLock* lock = LockSharedFile(u"\\x.txt", false);
    ASSERT_NE(lock, nullptr);
    UnlockSharedFile(lock);
    EXPECT_FALSE(std::filesystem::exists(device + "/" + stale));
    EXPECT_TRUE(std::filesystem::exists(device + "/x.txt.tmp-1"));
    EXPECT_TRUE(std::filesystem::exists(device + "/x.txt.tmp-12ab"));
    EXPECT_TRUE(std::filesystem::exists(device + "/y.txt.tmp-" + std::to_string(dead)));
    EXPECT_EQ(ReadHost("x.txt"), "x");
}

TEST_F(FilesTest, RawReadsAndAttributes) {
    WriteHost("data.db", std::string("\x01\x02\x03\x00\x05", 5));
    FileHandle file = OpenFileForReading(u"\\data.db");
    ASSERT_NE(file, NoFile);
    char buffer[8];
    EXPECT_EQ(ReadFileBytes(file, buffer, 3), 3);
    EXPECT_EQ(ReadFileBytes(file, buffer, 8), 2);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(ReadFileBytes(file, buffer, 8), 0);
    EXPECT_EQ(ReadFileBytes(file, buffer, -1), -1);
    CloseFile(file);
    CloseFile(NoFile);
    EXPECT_EQ(ReadFileBytes(NoFile, buffer, 1), -1);
    EXPECT_EQ(OpenFileForReading(u"\\Program Files"), NoFile);
    EXPECT_EQ(OpenFileForReading(u"\\missing.db"), NoFile);

    EXPECT_EQ(GetFileAttributesOf(u"\\data.db"), FileAttributeNormal);
    EXPECT_EQ(GetFileAttributesOf(u"\\Program Files\\Dialdex\\"), FileAttributeFolder);
    EXPECT_EQ(GetFileAttributesOf(u"\\"), FileAttributeFolder);
    EXPECT_EQ(GetFileAttributesOf(u"\\missing"), InvalidFileAttributes);
    EXPECT_EQ(GetFileAttributesOf(nullptr), InvalidFileAttributes);
}

TEST_F(FilesTest, EnumerationReportsDotsThenEntries) {
    std::filesystem::create_directories(device + "/Базы/inner");
    WriteHost("Базы/Москва.zdb", "x");
    WriteHost("root.db", "x");
    // The root reports neither "." nor "..".
    std::vector<std::string> root = List(u"\\*.*");
    std::sort(root.begin(), root.end());
    EXPECT_EQ(root, (std::vector<std::string>{"Program Files/", "root.db", "Базы/"}));
    EXPECT_EQ(List(u"*.*").size(), 3u);

    std::vector<std::string> folder = List(u"\\Базы\\*.*");
    ASSERT_EQ(folder.size(), 4u);
    EXPECT_EQ(folder[0], "./");
    EXPECT_EQ(folder[1], "../");
    std::sort(folder.begin() + 2, folder.end());
    EXPECT_EQ(folder[2], "inner/");
    EXPECT_EQ(folder[3], "Москва.zdb");
    EXPECT_EQ(List(u"\\Базы\\inner\\*.*"), (std::vector<std::string>{"./", "../"}));

    FindData data;
    EXPECT_EQ(FindFirstFile(u"\\missing\\*.*", &data), nullptr);
    EXPECT_EQ(FindFirstFile(u"\\root.db\\*.*", &data), nullptr);
    EXPECT_EQ(FindFirstFile(u"\\Базы\\*.db", &data), nullptr);
    EXPECT_EQ(FindFirstFile(u"\\Базы*.*", &data), nullptr);
    EXPECT_EQ(FindFirstFile(nullptr, &data), nullptr);
    EXPECT_FALSE(FindNextFile(nullptr, &data));
    FindClose(nullptr);
}

TEST_F(FilesTest, EnumerationNeverFollowsLinksOutOrRound) {
    std::filesystem::create_directories(device + "/a/b");
    std::filesystem::create_directories(scratch + "/outside");
    std::ofstream(scratch + "/outside/secret.db") << "x";
    WriteHost("a/real.db", "x");
    std::filesystem::create_directory_symlink("..", device + "/a/b/up");                // a loop
    std::filesystem::create_directory_symlink(scratch + "/outside", device + "/a/out"); // out of the device
    std::filesystem::create_symlink(scratch + "/outside/secret.db", device + "/a/secret.db");
    std::filesystem::create_symlink("real.db", device + "/a/inside.db");
    std::filesystem::create_symlink("nowhere.db", device + "/a/broken.db");
    ASSERT_EQ(mkfifo((device + "/a/pipe.db").c_str(), 0644), 0);

    std::vector<std::string> names = List(u"\\a\\*.*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"../", "./", "b/", "inside.db", "real.db"}));
    EXPECT_EQ(List(u"\\a\\b\\*.*"), (std::vector<std::string>{"./", "../"}));

    // A full walk, as the database search does it, ends and stays inside.
    std::vector<std::u16string> pending = {u""};
    int visited = 0;
    while (!pending.empty() && visited < 100) {
        std::u16string folder = pending.back();
        pending.pop_back();
        visited++;
        FindData data;
        FolderSearch* search = FindFirstFile((folder + u"\\*.*").c_str(), &data);
        if (search == nullptr) continue;
        do {
            std::u16string name = data.fileName;
            if (data.attributes == FileAttributeFolder && name != u"." && name != u"..") {
                pending.push_back(folder + u"\\" + name);
            }
        } while (FindNextFile(search, &data));
        FindClose(search);
    }
    EXPECT_EQ(visited, 5); // root, Program Files, Dialdex, a, b
}

TEST_F(FilesTest, EnumerationSkipsUndecodableNamesAndShowsTheStorageCard) {
    WriteHost("good.db", "x");
    WriteHost("bad\xFF\xFE.db", "x");
    WriteHost("back\\slash.db", "x");      // the device would take it for the file slash.db in folder back
    WriteHost(std::string(300, 'n'), "x"); // longer than a device name can be
    std::filesystem::create_directory(device + "/Storage Card");
    WriteHost("Storage Card/hidden.db", "x");

    std::vector<std::string> names = List(u"\\*.*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Program Files/", "Storage Card/", "good.db"}));

    std::filesystem::create_directory(scratch + "/card");
    std::ofstream(scratch + "/card/card.zdb") << "x";
    SetStorageCardFolder(scratch + "/card");
    names = List(u"\\*.*");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names.back(), "Storage Card/"); // the card comes last, and only once
    EXPECT_EQ(List(u"\\Storage Card\\*.*"), (std::vector<std::string>{"./", "../", "card.zdb"}));
    EXPECT_EQ(GetFileAttributesOf(u"\\Storage Card\\card.zdb"), FileAttributeNormal);
    EXPECT_EQ(GetFileAttributesOf(u"\\Storage Card\\hidden.db"), InvalidFileAttributes);
}

} // namespace
