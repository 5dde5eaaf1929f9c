// The formatter takes format texts the user can edit: every argument is printed in its own kind, and no
// format text can make it read what is not there or write past the buffer.
#include "platform/format.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

template <int Capacity, typename... Arguments>
static std::string Device(const char* format, Arguments... arguments) {
    char output[Capacity];
    int length = FormatText(output, format, arguments...);
    EXPECT_EQ(length, static_cast<int>(std::strlen(output)));
    return output;
}

template <typename... Arguments> static std::u16string Wide(const char16_t* format, Arguments... arguments) {
    char16_t output[128];
    int length = FormatText(output, format, arguments...);
    EXPECT_EQ(length, WideLength(output));
    return output;
}

TEST(Format, NumbersWidthPrecisionAndFlags) {
    EXPECT_EQ(Device<64>("%7.7i", 1234), "0001234");
    EXPECT_EQ(Device<64>("%4.4i", 1234567), "1234567");
    EXPECT_EQ(Device<64>("%%%i.%ii", 7, 7), "%7.7i");
    EXPECT_EQ(Device<64>("[%5d|%-5d|%05d]", 42, 42, -42), "[   42|42   |-0042]");
    EXPECT_EQ(Device<64>("%i %u %x %X", -1, -1, 255, 0xABCu), "-1 4294967295 ff ABC");
    EXPECT_EQ(Device<64>("%d", 0), "0");
    EXPECT_EQ(Device<64>("%.3d", -5), "-005");
    EXPECT_EQ(Device<64>("%lld %ld", 9000000000LL, 7L), "9000000000 7");
    EXPECT_EQ(Device<64>("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(Wide(u"Col%dWidth", 3), u"Col3Width");
    EXPECT_EQ(Wide(u"%s [%i] %s", u"Москва", 120000, u"\\Storage Card\\msk.zdb"),
              u"Москва [120000] \\Storage Card\\msk.zdb");
}

TEST(Format, ArgumentsAreNeverReadAsAnotherKind) {
    EXPECT_EQ(Device<64>("Bad db file  - %s", 17), "Bad db file  - 17");
    EXPECT_EQ(Device<64>("Max db file = %i", "ten"), "Max db file = ten");
    EXPECT_EQ(Device<64>("%x|%c|%5u", "a", "b", "c"), "a|b|    c");
    EXPECT_EQ(Wide(u"%i%%", u"сто"), u"сто%");
    // %n writes nothing anywhere and takes no argument.
    EXPECT_EQ(Device<64>("a%nb%hn%lnc%s", "!"), "abc!");
    // More specifiers than arguments: the rest print nothing, padding included.
    EXPECT_EQ(Device<64>("%s|%s|%5i|%s", "one"), "one|||");
    EXPECT_EQ(Wide(u"%s %s %s %s %s"), u"    ");
    // Null texts print as empty texts.
    EXPECT_EQ(
        Device<64>("[%s][%3s]", static_cast<const char*>(nullptr), static_cast<const char16_t*>(nullptr)),
        "[][   ]");
    // Unknown specifiers and '*' print as they stand and take no argument.
    EXPECT_EQ(Device<64>("%q %*d %5.2f %+d %", 1, 2), "%q %*d %5.2f %+d %");
    EXPECT_EQ(Device<64>("%-07", 1), "%-07");
    // Absurd widths are bounded by the buffer, not by the format.
    EXPECT_EQ(Device<8>("%999999999999999999i", 5), "       ");
}

TEST(Format, TextsConvertBetweenWideAndTheDeviceCodePage) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    EXPECT_EQ(Device<64>("%s;%s\r\n", u"\\Базы\\м.zdb", "\xCC\xEE\xF1\xEA\xE2\xE0"),
              "\\\xC1\xE0\xE7\xFB\\\xEC.zdb;\xCC\xEE\xF1\xEA\xE2\xE0\r\n");
    EXPECT_EQ(Wide(u"%s/%s", "\xCC\xEE\xF1\xEA\xE2\xE0", u"Київ"), u"Москва/Київ");
    EXPECT_EQ(Device<64>("%s", u"中\xD83D\xDE00:"), "??:");
    EXPECT_EQ(Device<64>("[%.2s][%-4s][%3s]", u"Москва", u"Ом", "x"), "[\xCC\xEE][\xCE\xEC  ][  x]");
    EXPECT_EQ(Wide(u"[%.3s]", "abcdef"), u"[abc]");
    EXPECT_EQ(Wide(u"%c", 0x416), u"Ж");
    EXPECT_EQ(Device<64>("%c", 0xC6), "\xC6");
}

TEST(Format, OutputIsCutAtTheCapacityAndTerminated) {
    char small[6];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(FormatText(small, "%s-%07i", "abc", 5), 5);
    EXPECT_STREQ(small, "abc-0");
    char16_t wide[4];
    EXPECT_EQ(FormatText(wide, u"%s", "long text"), 3);
    EXPECT_EQ(std::u16string(wide), u"lon");

    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(FormatDevice(buffer, 1, "%s", {"abc"}), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');
    EXPECT_EQ(FormatDevice(buffer, 4, "%i", {123}), 3); // exact fit
    EXPECT_STREQ(buffer, "123");
    EXPECT_EQ(FormatDevice(buffer, 4, "%i", {1234}), 3); // one over
    EXPECT_STREQ(buffer, "123");
    EXPECT_EQ(buffer[4], '#');
    EXPECT_EQ(FormatDevice(buffer, 0, "%i", {1}), 0);
    EXPECT_EQ(FormatDevice(buffer, 8, nullptr, {1}), 0);
    EXPECT_STREQ(buffer, "");
}
