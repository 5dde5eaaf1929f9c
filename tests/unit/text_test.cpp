// Wide text, the device code page and UTF-8: buffer limits and the conversions the program depends on.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iconv.h>
#include <tuple>

TEST(Text, CopyTextNeverPassesTheCapacity) {
    char narrow[8];
    std::memset(narrow, 'x', sizeof narrow);
    EXPECT_EQ(CopyText(narrow, 1, "abc"), 0);
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_EQ(narrow[1], 'x');

    EXPECT_EQ(CopyText(narrow, 4, "abc"), 3); // exact fit
    EXPECT_STREQ(narrow, "abc");
    std::memset(narrow, 'x', sizeof narrow);
    EXPECT_EQ(CopyText(narrow, 4, "abcd"), 3); // one over
    EXPECT_STREQ(narrow, "abc");
    EXPECT_EQ(narrow[4], 'x');
    EXPECT_EQ(CopyText(narrow, 0, "abc"), 0);
    EXPECT_EQ(narrow[0], 'a');
    EXPECT_EQ(CopyText(narrow, nullptr), 0);
    EXPECT_STREQ(narrow, "");

    char16_t wide[4];
    EXPECT_EQ(CopyText(wide, u"Привет"), 3);
    EXPECT_EQ(std::u16string(wide), u"При");
    EXPECT_EQ(WideLength(wide), 3);
    EXPECT_EQ(WideLength(nullptr), 0);
}

TEST(Text, CompareWideIsByCodeUnit) {
    EXPECT_EQ(CompareWide(u"abc", u"abc"), 0);
    EXPECT_LT(CompareWide(u"ab", u"abc"), 0);
    EXPECT_GT(CompareWide(u"abc", u"ab"), 0);
    EXPECT_LT(CompareWide(u"B", u"a"), 0);
    EXPECT_GT(CompareWide(u"\xFFFF", u"a"), 0); // no sign trouble with high units
}

// Class names and file extensions: only ASCII letters fold, so no other letter can make two names one.
TEST(Text, AsciiCaseIsTheOnlyCaseIgnored) {
    EXPECT_TRUE(SameTextIgnoringAsciiCase(u"BUTTON", u"button"));
    EXPECT_TRUE(SameTextIgnoringAsciiCase(u"SysListView32", u"syslistview32"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase(u"Listbox", u"Listbo"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase(u"ЁЖ", u"ёж"));
    EXPECT_FALSE(SameTextIgnoringAsciiCase(u"@", u"`")); // one apart from letters, not letters
    EXPECT_TRUE(EndsWithIgnoringAsciiCase(u"\\A\\city.ZdB", u".zdb"));
    EXPECT_TRUE(EndsWithIgnoringAsciiCase(u".db", u".db"));
    EXPECT_FALSE(EndsWithIgnoringAsciiCase(u"db", u".db"));
    EXPECT_FALSE(EndsWithIgnoringAsciiCase(u"file.dbx", u".db"));
}

TEST(Text, Cp1251RoundTripsCyrillic) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    EXPECT_EQ(DeviceCodePage(), 1251);
    const char16_t* russian = u"Съешь же ещё этих мягких французских булок, Ёж! №5";
    char device[128];
    int bytes = WideToDevice(russian, -1, device, sizeof device);
    EXPECT_EQ(bytes, WideLength(russian));
    EXPECT_EQ(static_cast<unsigned char>(device[0]), 0xD1); // С
    EXPECT_EQ(static_cast<unsigned char>(device[1]), 0xFA); // ъ
    EXPECT_TRUE(WideFitsDevice(russian, -1));
    char16_t back[128];
    EXPECT_EQ(DeviceToWide(device, -1, back, 128), bytes);
    EXPECT_EQ(std::u16string(back), std::u16string(russian));

    // Every byte that the code page maps comes back as itself.
    for (int byte = 1; byte < 256; byte++) {
        char16_t character = WideFromDeviceByte(static_cast<unsigned char>(byte));
        if (character != u'?') {
            EXPECT_EQ(static_cast<unsigned char>(DeviceByteFromWide(character)), byte);
        }
    }
}

// Code page 1251 is built in rather than taken from iconv: every byte must still mean what iconv says.
TEST(Text, BuiltInCp1251AgreesWithIconv) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    iconv_t converter = iconv_open("UTF-16LE", "CP1251");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
    for (int byte = 1; byte < 256; byte++) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        char input[1] = {static_cast<char>(byte)};
        unsigned char output[4] = {};
        char* inputPointer = input;
        char* outputPointer = reinterpret_cast<char*>(output);
        size_t inputLeft = 1, outputLeft = sizeof output;
        bool mapped = iconv(converter, &inputPointer, &inputLeft, &outputPointer, &outputLeft) != size_t(-1);
        char16_t expected = mapped ? char16_t(output[0] | output[1] << 8) : u'?';
        EXPECT_EQ(WideFromDeviceByte(static_cast<unsigned char>(byte)), expected) << "byte " << byte;
        if (mapped) {
            EXPECT_EQ(static_cast<unsigned char>(DeviceByteFromWide(expected)), byte) << "byte " << byte;
        }
    }
    iconv_close(converter);
}

TEST(Text, UnmappableCharactersBecomeTheDefaultCharacter) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    // 0x98 means nothing in 1251.
    char16_t wide[4];
    EXPECT_EQ(DeviceToWide("\x98\x88", -1, wide, 4), 2);
    EXPECT_EQ(wide[0], u'?');
    EXPECT_EQ(wide[1], u'\x20AC'); // euro sign

    char device[16];
    EXPECT_EQ(WideToDevice(u"a\x4E2D\xFFFD\x00E9z", -1, device, sizeof device), 5);
    EXPECT_STREQ(device, "a???z");
    // A surrogate pair is one character, so one default character.
    EXPECT_EQ(WideToDevice(u"x\xD83D\xDE00y", -1, device, sizeof device), 3);
    EXPECT_STREQ(device, "x?y");
    EXPECT_FALSE(WideFitsDevice(u"Жук \x4E2D", -1));
    EXPECT_TRUE(WideFitsDevice(u"Жук \x4E2D", 4)); // the length stops before the Chinese character
    EXPECT_TRUE(WideFitsDevice(u"", -1));
}

TEST(Text, ConversionsStopAtTheCapacityAndTheStatedLength) {
    char16_t wide[8];
    std::fill(std::begin(wide), std::end(wide), u'#');
    EXPECT_EQ(DeviceToWide("abc", -1, wide, 1), 0);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wide[1], u'#');
    EXPECT_EQ(DeviceToWide("abc", -1, wide, 4), 3); // exact fit
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(DeviceToWide("abcd", -1, wide, 4), 3); // one over
    EXPECT_EQ(wide[4], u'#');
    EXPECT_EQ(DeviceToWide("abcdef", 2, wide, 8), 2);
    EXPECT_EQ(std::u16string(wide), u"ab");
    EXPECT_EQ(DeviceToWide("ab\0cd", 5, wide, 8), 2); // a terminator inside ends the text
    EXPECT_EQ(DeviceToWide(nullptr, -1, wide, 8), 0);
    EXPECT_EQ(wide[0], 0);

    char device[4];
    std::memset(device, '#', sizeof device);
    EXPECT_EQ(WideToDevice(u"Дом", -1, device, 1), 0);
    EXPECT_EQ(device[0], '\0');
    EXPECT_EQ(device[1], '#');
    EXPECT_EQ(WideToDevice(u"Дом", -1, device, 4), 3);
    EXPECT_EQ(WideToDevice(u"Дома", -1, device, 4), 3);
    EXPECT_EQ(WideToDevice(u"Дома", 1, device, 4), 1);
    // A pair cut by the stated length leaves a lone surrogate: still one default character, no overrun.
    EXPECT_EQ(WideToDevice(u"\xD83D\xDE00", 1, device, 4), 1);
    EXPECT_STREQ(device, "?");
}

TEST(Text, OtherCodePages) {
    EXPECT_EQ(SetDeviceCodePage(1252), 0);
    char device[8];
    WideToDevice(u"é€Ж", -1, device, sizeof device);
    EXPECT_STREQ(device, "\xE9\x80?");
    EXPECT_EQ(SetDeviceCodePage(932), -1); // Japanese: two bytes a character
    EXPECT_EQ(SetDeviceCodePage(123456), -1);
    EXPECT_EQ(SetDeviceCodePage(-5), -1);
    EXPECT_EQ(DeviceCodePage(), 1252); // a refused code page leaves the one in use
    EXPECT_EQ(SetDeviceCodePage(866), 0);
    WideToDevice(u"Ж", -1, device, sizeof device);
    EXPECT_STREQ(device, "\x86");
    // Code pages whose iconv names are not "CP" and their number: KOI8-R, ISO 8859-5 and -15, US-ASCII.
    for (auto [codePage, text, bytes] : {
             std::tuple{20866, u"Ж",  "\xF6"},
             std::tuple{28595, u"Ж",  "\xB6"},
             std::tuple{28605, u"€", "\xA4"},
             std::tuple{20127, u"é",  "?"   },
    }) {
        ASSERT_EQ(SetDeviceCodePage(codePage), 0) << codePage;
        WideToDevice(text, -1, device, sizeof device);
        EXPECT_STREQ(device, bytes) << codePage;
    }
    EXPECT_EQ(SetDeviceCodePage(1251), 0);
    WideToDevice(u"Ж", -1, device, sizeof device);
    EXPECT_STREQ(device, "\xC6");
}

TEST(Text, LocaleComparisonFoldsLatinAndCyrillicCase) {
    EXPECT_EQ(CompareWideLocale(u"base.ZDB", u"BASE.zdb", true), 0);
    EXPECT_EQ(CompareWideLocale(u"ИВАНОВ", u"иванов", true), 0);
    EXPECT_EQ(CompareWideLocale(u"ЁЛКА ЇЖАК ÀÉ", u"ёлка їжак àé", true), 0);
    EXPECT_NE(CompareWideLocale(u"ИВАНОВ", u"иванов", false), 0);
    EXPECT_EQ(CompareWideLocale(u"\\Db\\a.db", u"\\Db\\a.db", false), 0);
    // Case is only a tie-breaker: the letters decide first.
    EXPECT_LT(CompareWideLocale(u"абв", u"АБГ", false), 0);
    EXPECT_LT(CompareWideLocale(u"Apple", u"banana", false), 0);
    EXPECT_LT(CompareWideLocale(u"Ab", u"abc", true), 0);
    EXPECT_GT(CompareWideLocale(u"абв", u"аб", true), 0);
    // Cyrillic after Latin, and Ё between Е and Ж.
    EXPECT_LT(CompareWideLocale(u"Zebra", u"Азбука", true), 0);
    EXPECT_LT(CompareWideLocale(u"Ежов", u"Ёлкин", true), 0);
    EXPECT_LT(CompareWideLocale(u"Ёлкин", u"Жуков", true), 0);
    EXPECT_LT(CompareWideLocale(u"Еж", u"ёж", true), 0);
    EXPECT_EQ(CompareWideLocale(nullptr, u"", true), 0);

    EXPECT_EQ(UpperCaseWide(u"привет, world! ёжик ÿ ß 1"), u"ПРИВЕТ, WORLD! ЁЖИК \x0178 ß 1");
    EXPECT_EQ(UpperCaseWide(u"ґєії ѣ ӂ ӏ"), u"ҐЄІЇ Ѣ Ӂ Ӏ");
    EXPECT_EQ(UpperCaseWide(u"÷×"), u"÷×");
}

// The result rows are sorted on their code-page bytes and on keys made of them: every pair of realistic
// names must come out as the comparison of their wide forms puts them, in the default code page and in
// another one.
TEST(Text, DeviceTextComparisonAgreesWithTheLocaleComparison) {
    const char16_t* names[] = {u"ИВАНОВ ИВАН", u"иванов иван", u"ИВАНОВА",    u"ИВАНОВ",    u"Ёлкин",
                               u"ЕЖОВ",        u"ЁЖ",          u"ЕЖ",         u"ЖУКОВ",     u"Zebra",
                               u"o'brien",     u"O BRIEN",     u"OBRIEN",     u"O-BRIEN",   u"12 ЛЕТ",
                               u"1-Я УЛИЦА",   u"2",           u"10",         u"",          u" ",
                               u"ПР-Т МИРА",   u"ПР. МИРА",    u"ЯКОВЛЕВ Я.", u"якоВлев я", u"ЇЖАК",
                               u"ІВАНЕНКО",    u"ҐАНДЗЯ",      u"ЄВДОКИМОВ",  u"№5",        u"«ЛУЧ»"};
    for (int codePage : {1251, 20866}) {
        ASSERT_EQ(SetDeviceCodePage(codePage), 0);
        for (const char16_t* left : names)
            for (const char16_t* right : names) {
                char leftBytes[64], rightBytes[64];
                int leftLength = WideToDevice(left, -1, leftBytes, sizeof leftBytes);
                int rightLength = WideToDevice(right, -1, rightBytes, sizeof rightBytes);
                // As the list shows them: the bytes converted back (a character the page lacks is '?').
                char16_t leftShown[64], rightShown[64];
                DeviceToWide(leftBytes, leftLength, leftShown, 64);
                DeviceToWide(rightBytes, rightLength, rightShown, 64);
                int expected = CompareWideLocale(leftShown, rightShown, true);
                int got = CompareDeviceLocale(leftBytes, leftLength, rightBytes, rightLength);
                EXPECT_EQ((got > 0) - (got < 0), (expected > 0) - (expected < 0))
                    << codePage << " " << Utf8FromWide(left) << " / " << Utf8FromWide(right);
                // Keys of their first 6 characters: where the keys differ, they are in the same order.
                unsigned char leftKey[6], rightKey[6];
                DeviceSortKey(leftBytes, leftLength, leftKey, 6);
                DeviceSortKey(rightBytes, rightLength, rightKey, 6);
                int keys = std::memcmp(leftKey, rightKey, 6);
                if (keys != 0) {
                    EXPECT_EQ((keys > 0) - (keys < 0), (expected > 0) - (expected < 0))
                        << codePage << " keys " << Utf8FromWide(left) << " / " << Utf8FromWide(right);
                }
            }
    }
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
}

TEST(Text, Utf8ConversionsRoundTripAndReplaceBadInput) {
    std::u16string wide = u"Дом №5 \xD83D\xDE00 é";
    std::string utf8 = Utf8FromWide(wide);
    EXPECT_EQ(utf8, "Дом №5 😀 é");
    EXPECT_EQ(WideFromUtf8(utf8), wide);
    EXPECT_EQ(Utf8FromWide(wide.c_str()), utf8);
    EXPECT_EQ(Utf8FromWide(static_cast<const char16_t*>(nullptr)), "");

    EXPECT_EQ(WideFromUtf8("a\xFF"
                           "b"),
              u"a\xFFFD"
              "b");
    EXPECT_EQ(WideFromUtf8("\xC0\x80"), u"\xFFFD\xFFFD");                     // overlong
    EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD");           // encoded surrogate
    EXPECT_EQ(WideFromUtf8("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD"); // beyond U+10FFFF
    EXPECT_EQ(WideFromUtf8("x\xD0"), u"x\xFFFD");                             // cut off at the end
    EXPECT_EQ(Utf8FromWide(std::u16string(u"a\xD800"
                                          "b\xDC00")),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}
