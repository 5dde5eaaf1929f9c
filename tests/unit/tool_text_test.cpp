// Text for the tools: strict conversions, upper case as the window's edits make it, input encodings,
// numbers for people.
#include "platform/text.h"
#include "tools/input_encoding.h"
#include "tools/tool_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ToolText, UpperCaseForTheDeviceCodePage) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    std::u16string text = u"иванов ёлка Lenina ул. 12а";
    EXPECT_TRUE(UpperCaseForDevice(&text));
    EXPECT_EQ(text, u"ИВАНОВ ЁЛКА LENINA УЛ. 12А");
    EXPECT_FALSE(UpperCaseForDevice(&text));
    // Code page 437 has â but not Â: a letter whose upper case it cannot write keeps its case.
    if (SetDeviceCodePage(437) == 0) {
        text = u"âé";
        EXPECT_TRUE(UpperCaseForDevice(&text));
        EXPECT_EQ(text, u"âÉ");
    }
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
}

TEST(ToolText, StrictConversionsNameWhatTheyRefuse) {
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    std::string device, problem;
    EXPECT_EQ(StrictUtf8ToDevice("ЁЖ", &device, &problem), 0);
    EXPECT_EQ(device, "\xA8\xC6");
    EXPECT_EQ(StrictUtf8ToDevice("A\xFF", &device, &problem), -1);
    EXPECT_EQ(problem, "is not valid UTF-8");
    EXPECT_EQ(StrictUtf8ToDevice(std::string("A\0B", 3), &device, &problem), -1);
    EXPECT_EQ(problem, "holds a NUL character");
    EXPECT_EQ(StrictWideToDevice(u"a\U0001F600", &device, &problem), -1);
    EXPECT_EQ(problem, "holds U+1F600, which code page 1251 cannot write");
    EXPECT_EQ(StrictWideToDevice(u"名", &device, &problem), -1);
    EXPECT_EQ(problem, "holds U+540D, which code page 1251 cannot write");
    // What a message quotes: UTF-8 characters whole, every other byte and every control character escaped.
    const std::pair<std::string, std::string> quoted[] = {
        {"ЁЖ a\xF0\x9F\x98\x80",          "ЁЖ a\xF0\x9F\x98\x80"          },
        {std::string("A\0B\x7F\t", 5),    "A\\x00B\\x7F\\x09"             },
        {"\xC0\xAF\xED\xA0\x80",          "\\xC0\\xAF\\xED\\xA0\\x80"     }, // overlong, a surrogate
        {"\xE2\x82",                      "\\xE2\\x82"                    }, // cut short
        {"\xF4\x90\x80\x80\xFF",          "\\xF4\\x90\\x80\\x80\\xFF"     }, // past U+10FFFF
    };
    for (const auto& [text, expected] : quoted)
        EXPECT_EQ(QuotableText(text), expected);
}


TEST(ToolText, InputEncodings) {
    std::string problem;
    std::u16string wide;
    InputEncoding encoding;
    ASSERT_EQ(OpenInputEncoding(&encoding, "CP1251", &problem), 0) << problem;
    EXPECT_EQ(DecodeInputField(&encoding, "\xC8\xC2\xC0\xCD 12", &wide, &problem), 0);
    EXPECT_EQ(wide, u"ИВАН 12");
    EXPECT_EQ(DecodeInputField(&encoding, "\x98", &wide, &problem), -1); // no character in 1251
    EXPECT_EQ(problem, "holds bytes that are not CP1251 text");
    CloseInputEncoding(&encoding);
    ASSERT_EQ(OpenInputEncoding(&encoding, "Utf8", &problem), 0);
    EXPECT_TRUE(encoding.utf8);
    EXPECT_EQ(DecodeInputField(&encoding, "Ж", &wide, &problem), 0);
    EXPECT_EQ(wide, u"Ж");
    EXPECT_EQ(DecodeInputField(&encoding, "\xC6", &wide, &problem), -1);
    EXPECT_EQ(problem, "is not valid UTF-8 (--input-encoding names another encoding, such as cp1251)");
    CloseInputEncoding(&encoding);
    EXPECT_EQ(OpenInputEncoding(&encoding, "UTF-16", &problem), -1);
    EXPECT_EQ(problem, "'UTF-16' does not keep ASCII as it is, so its delimiters could not be found");
    EXPECT_EQ(OpenInputEncoding(&encoding, "NO-SUCH", &problem), -1);
    EXPECT_EQ(problem, "'NO-SUCH' is no encoding iconv can convert from");
}

TEST(ToolText, NumbersAndNames) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(485594), "485,594");
    EXPECT_EQ(GroupedNumber(-16777215), "-16,777,215");
    EXPECT_EQ(CountOf(1, "record"), "1 record");
    EXPECT_EQ(CountOf(1000, "record"), "1,000 records");
    EXPECT_TRUE(HasCompressedExtension("a/B.ZdB"));
    EXPECT_FALSE(HasCompressedExtension("zdb"));
    EXPECT_FALSE(HasCompressedExtension("a.zdb.gz"));
}

// dialdex-find's file threads may print their first matches at the same moment, each asking for the
// table that turns device bytes into UTF-8 while it is made (for a code page other than the last one).
TEST(ToolText, DeviceTextAsUtf8FromSeveralThreadsAtOnce) {
    std::string every, expected, other;
    for (int byte = 0x80; byte < 0x100; byte++)
        every.push_back(char(byte));
    ASSERT_EQ(SetDeviceCodePage(866), 0);
    AppendDeviceTextAsUtf8(&other, every.c_str());
    ASSERT_EQ(SetDeviceCodePage(1251), 0);
    std::vector<std::string> outputs(4);
    std::vector<std::thread> threads;
    for (std::string& output : outputs)
        threads.emplace_back([&output, &every] { AppendDeviceTextAsUtf8(&output, every.c_str()); });
    for (std::thread& thread : threads)
        thread.join();
    for (char byte : every) {
        char16_t wide[4];
        expected += Utf8FromWide(std::u16string_view(wide, size_t(DeviceToWide(&byte, 1, wide, 4))));
    }
    for (const std::string& output : outputs)
        EXPECT_EQ(output, expected);
}

} // namespace
