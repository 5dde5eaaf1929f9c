// The language file reader against small files written into a device folder, and the shipped file.
#include "i18n/language_file.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::filesystem::path DeviceRoot;

class DeviceFolderEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        DeviceRoot = std::filesystem::temp_directory_path() /
                     ("dialdex_language_file_test_" + std::to_string(std::random_device{}()));
        ASSERT_EQ(PrepareDeviceFolder(DeviceRoot.string(), ""), 0);
    }
    void TearDown() override { std::filesystem::remove_all(DeviceRoot); }
};
[[maybe_unused]] const auto* const Environment =
    ::testing::AddGlobalTestEnvironment(new DeviceFolderEnvironment);

void WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class LanguageFileTest : public ::testing::Test {
  protected:
    StreamFile* file = nullptr;

    void SetUp() override { ResetLanguageSection(); }
    void TearDown() override { Close(); }
    void Close() {
        if (file != nullptr) CloseStreamFile(file);
        file = nullptr;
    }
    // Replaces the open file by a new one holding these bytes.
    void Use(const std::string& bytes) {
        Close();
        WriteHostFile(DeviceRoot / "test.lng", bytes);
        file = OpenStreamFile(u"\\test.lng", "rb");
        ASSERT_NE(file, nullptr);
    }
    int Select(const char* name) { return SelectLanguageSection(file, WideFromUtf8(name).c_str()); }
    // "result:text", with the text in UTF-8; the buffer is soiled first so that a miss must empty it.
    std::string Lookup(int32_t identifier) {
        CopyText(LanguageLookupBuffer, u"stale");
        int result = GetLanguageText(file, identifier, LanguageLookupBuffer);
        return std::to_string(result) + ":" + Utf8FromWide(LanguageLookupBuffer);
    }
};

TEST_F(LanguageFileTest, HeaderCompareIsExactAndCaseSensitive) {
    Use("[russian]\r\n1=lower\r\n"
        " [RUSSIAN]\r\n1=blank\r\n"
        "[RUSSIAN\r\n1=unclosed\r\n"
        "[RUSSIAN] comment\r\n1=right\r\n");
    EXPECT_EQ(Select("RUSSIAN"), 0);
    EXPECT_EQ(Lookup(1), "0:right");
    EXPECT_EQ(Select("russian"), 0);
    EXPECT_EQ(Lookup(1), "0:lower");
    // A failed selection keeps the section selected before.
    EXPECT_EQ(Select("RUSS"), -1);
    EXPECT_EQ(Select("Russian"), -1);
    EXPECT_EQ(Lookup(1), "0:lower");

    Use("");
    EXPECT_EQ(Select("RUSSIAN"), -1);

    // A name selects exactly its own section or none: a name over 14 bytes never selects the section
    // named by its first 14 bytes (nor its own, longer header), and a name the code page cannot write
    // never selects the section of its stand-in characters.
    Use("[ABCDEFGHIJKLMNOPQ]\r\n1=long\r\n[ABCDEFGHIJKLMN]\r\n1=cut\r\n[??]\r\n1=stand-ins\r\n");
    ResetLanguageSection();
    EXPECT_EQ(Select("ABCDEFGHIJKLMNOPQ"), -1);
    EXPECT_EQ(Select("ABCDEFGHIJKLMNO"), -1);
    EXPECT_EQ(Select("日本"), -1);
    EXPECT_EQ(Lookup(1), "1:");
    EXPECT_EQ(Select("ABCDEFGHIJKLMN"), 0);
    EXPECT_EQ(Lookup(1), "0:cut");
}

TEST_F(LanguageFileTest, SectionBoundsStopLookups) {
    const std::string first = "1=orphan\r\n[A]\r\n";
    const std::string entries = "1=one\r\n";
    const std::string unclosed = "[ no bracket\r\n";
    const std::string rest = "2=two\r\n[B]\r\n3=three\r\n[C]";
    Use(first + entries + unclosed + rest);

    // Before any selection, and after a failed one, nothing is found, not even lines before any header.
    EXPECT_EQ(Select("MISSING"), -1);
    EXPECT_EQ(Lookup(1), "1:");

    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(LanguageSectionStart, static_cast<int32_t>(first.size()));
    EXPECT_EQ(LanguageSectionEnd, static_cast<int32_t>((first + entries + unclosed).size()) - 1);
    EXPECT_EQ(Lookup(1), "0:one");
    EXPECT_EQ(Lookup(2), "1:"); // after the unclosed header
    EXPECT_EQ(Lookup(3), "1:"); // in the next section

    EXPECT_EQ(Select(" no bracket"), -1);
    ASSERT_EQ(Select("B"), 0);
    EXPECT_EQ(Lookup(3), "0:three");
    EXPECT_EQ(Lookup(1), "1:");

    // A header on the last line, with or without its line end, holds nothing.
    ASSERT_EQ(Select("C"), 0);
    EXPECT_EQ(Lookup(1), "1:");
    Use("[A]\r\n1=one\r\n[C]\r\n");
    ASSERT_EQ(Select("C"), 0);
    EXPECT_EQ(Lookup(1), "1:");

    // A section that ends the file still finds its last entry.
    Use("[A]\r\n1=one\r\n22=two");
    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(LanguageSectionEnd, 17);
    EXPECT_EQ(Lookup(22), "0:two");
}

TEST_F(LanguageFileTest, KeyComparesTheIdentifierDigitsOnly) {
    Use("[A]\r\n"
        "-1=minus\r\n"
        "1306\r\n"
        "13065=longer key\r\n"
        "1306=Options\r\n"
        "1307 = Blank\r\n"
        "8=a=b=c\r\n"
        "9=\r\n"
        "9=second\r\n"
        "5=first\r\n"
        "5=second\r\n"
        "-10=minus ten\r\n");
    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(Lookup(1306), "0:longer key");
    EXPECT_EQ(Lookup(13065), "0:longer key");
    EXPECT_EQ(Lookup(130), "0:longer key");
    EXPECT_EQ(Lookup(1307), "0: Blank");
    EXPECT_EQ(Lookup(8), "0:a=b=c");
    // An empty text is found: the caller sees the empty output and keeps its built-in text.
    EXPECT_EQ(Lookup(9), "0:");
    EXPECT_EQ(Lookup(5), "0:first");
    EXPECT_EQ(Lookup(-1), "0:minus");
    EXPECT_EQ(Lookup(-10), "0:minus ten");
    EXPECT_EQ(Lookup(4), "1:");
    EXPECT_EQ(Lookup(INT32_MIN), "1:");
}

TEST_F(LanguageFileTest, LineEndsAndLongLines) {
    Use("[A]\n1=one\n2=cut\rhere\r\n");
    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(Lookup(1), "0:one\n");
    EXPECT_EQ(Lookup(2), "0:cut");

    // 511-byte pieces: the first piece of line 3 ends just before "4=tail", which is read as a line.
    const std::string longText(600, 'x');
    const std::string firstPiece = "3=" + std::string(509, 'y');
    Use("[A]\r\n1=" + longText + "\r\n" + firstPiece + "4=tail\r\n2=after\r\n");
    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(Lookup(1), "0:" + std::string(127, 'x'));
    EXPECT_EQ(Lookup(3), "0:" + std::string(127, 'y'));
    EXPECT_EQ(Lookup(4), "0:tail");
    EXPECT_EQ(Lookup(2), "0:after");
}

TEST_F(LanguageFileTest, ListsSectionNamesInFileOrder) {
    const std::string cyrillic = "\xD0\xD3\xD1"; // "РУС" in code page 1251
    Use("[A]\r\n1=x\r\n []\r\n[]\r\n[D\r\n[E] comment ]\r\n[" + cyrillic + "]\r\n[" + std::string(300, 'n') +
        "]\r\n");
    std::vector<std::string> names;
    auto visit = [](const char16_t* name, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(Utf8FromWide(name));
    };
    EXPECT_EQ(ForEachLanguageSection(file, visit, &names), 5);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "", "E", "РУС", std::string(259, 'n')}));
    // Listing moves the stream; lookups still find the selected section.
    ASSERT_EQ(Select("A"), 0);
    ForEachLanguageSection(file, visit, &names);
    EXPECT_EQ(Lookup(1), "0:x");
}

TEST_F(LanguageFileTest, OpensTheFileInTheProgramFolder) {
    char16_t path[LanguagePathCapacity];
    const char16_t* programFolder = u"\\Program Files\\Dialdex\\";
    std::filesystem::remove(DeviceRoot / "Program Files" / "Dialdex" / "dialdex.lng");
    EXPECT_EQ(OpenLanguageFileStream(programFolder, path, LanguagePathCapacity), nullptr);
    EXPECT_EQ(Utf8FromWide(path), "\\Program Files\\Dialdex\\dialdex.lng");

    WriteHostFile(DeviceRoot / "Program Files" / "Dialdex" / "dialdex.lng", "[A]\r\n1=x\r\n");
    file = OpenLanguageFileStream(programFolder, path, LanguagePathCapacity);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(Select("A"), 0);
    EXPECT_EQ(Lookup(1), "0:x");

    // A folder so long that the path would be cut is refused rather than opened under another name.
    std::u16string longFolder = u"\\" + std::u16string(510, u'f') + u"\\";
    EXPECT_EQ(OpenLanguageFileStream(longFolder.c_str(), path, LanguagePathCapacity), nullptr);
    EXPECT_EQ(WideLength(path), LanguagePathCapacity - 1);
}

// The file shipped beside the program: every section translates every text the program asks for.
TEST_F(LanguageFileTest, ShippedFileTranslatesEveryText) {
    std::ifstream shipped(std::filesystem::path(DIALDEX_SOURCE_FOLDER) / "data/dialdex.lng",
                          std::ios::binary);
    ASSERT_TRUE(shipped.good());
    Use(std::string(std::istreambuf_iterator<char>(shipped), {}));

    std::vector<std::string> names;
    ForEachLanguageSection(
        file,
        [](const char16_t* name, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(Utf8FromWide(name));
        },
        &names);
    EXPECT_EQ(names, (std::vector<std::string>{"RUSSIAN", "ENGLISH", "UKRAINIAN"}));

    std::vector<int32_t> identifiers = {1106, 1107, 1109, 1110, 1111, 1112, 1113, 1114, 1203,
                                        1204, 1205, 1303, 1304, 1305, 1306, 1307, 1309};
    for (int32_t identifier = 700; identifier <= 704; identifier++)
        identifiers.push_back(identifier);
    for (int32_t identifier = 900; identifier <= 921; identifier++)
        identifiers.push_back(identifier);
    for (int32_t identifier = 1000; identifier <= 1015; identifier++) // the desktop's texts
        identifiers.push_back(identifier);
    for (const std::string& name : names) {
        ASSERT_EQ(Select(name.c_str()), 0) << name;
        for (int32_t identifier : identifiers) {
            int result = GetLanguageText(file, identifier, LanguageLookupBuffer);
            int length = WideLength(LanguageLookupBuffer);
            EXPECT_TRUE(result == 0 && length > 0) << name << " " << identifier;
            if (identifier >= 900) {
                EXPECT_LE(length, 79) << name << " " << identifier;
            }
        }
        // -1 titles the Search page and labels the language selector: no text suits both, so both keep
        // their built-in texts.
        EXPECT_EQ(GetLanguageText(file, -1, LanguageLookupBuffer), 1) << name;
    }
    ASSERT_EQ(Select("RUSSIAN"), 0);
    EXPECT_EQ(Lookup(1110), "0:Телефон");
    EXPECT_EQ(Lookup(909), "0:Запрос: ");
}

} // namespace
