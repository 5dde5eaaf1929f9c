// Decoding CSV fields from their encoding.
#include "tools/input_encoding.h"

#include "tools/tool_support.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

static const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

static bool IsUtf8Name(const std::string& name) {
    std::string lower;
    for (char character : name)
        lower.push_back(character >= 'A' && character <= 'Z' ? char(character - 'A' + 'a') : character);
    return lower == "utf-8" || lower == "utf8";
}

// Converts bytes to wide text through iconv. Returns 0, or -1 when they are not text in the encoding.
static int Convert(iconv_t converter, std::string_view bytes, std::u16string* wide) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    // A byte gives at most two UTF-16 units in any encoding iconv has.
    wide->resize(bytes.size() * 2 + 2);
    char* input = const_cast<char*>(bytes.data());
    size_t inputLeft = bytes.size();
    char* output = reinterpret_cast<char*>(wide->data());
    size_t outputLeft = wide->size() * sizeof(char16_t);
    size_t result = iconv(converter, &input, &inputLeft, &output, &outputLeft);
    if (result != size_t(-1)) result = iconv(converter, nullptr, nullptr, &output, &outputLeft);
    wide->resize(wide->size() - outputLeft / sizeof(char16_t));
    return result == size_t(-1) || inputLeft != 0 ? -1 : 0;
}

int OpenInputEncoding(InputEncoding* encoding, const std::string& name, std::string* problem) {
    *encoding = InputEncoding();
    encoding->name = name;
    if (IsUtf8Name(name)) return 0;
    encoding->utf8 = false;
    iconv_t converter =
        iconv_open(std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE", name.c_str());
    if (converter == NoConverter) {
        *problem = "'" + name + "' is no encoding iconv can convert from";
        return -1;
    }
    // The CSV is taken apart on its bytes: ASCII must mean ASCII in it.
    std::string ascii;
    for (int byte = 1; byte < 128; byte++)
        ascii.push_back(char(byte));
    std::u16string wide;
    bool keepsAscii = Convert(converter, ascii, &wide) == 0 && wide.size() == ascii.size();
    for (size_t index = 0; keepsAscii && index < ascii.size(); index++)
        keepsAscii = wide[index] == char16_t(ascii[index]);
    if (!keepsAscii) {
        iconv_close(converter);
        *problem = "'" + name + "' does not keep ASCII as it is, so its delimiters could not be found";
        return -1;
    }
    encoding->converter = converter;
    return 0;
}

int DecodeInputField(InputEncoding* encoding, std::string_view bytes, std::u16string* wide,
                     std::string* problem) {
    bool ascii = true;
    for (char byte : bytes)
        if ((unsigned char)byte >= 0x80) ascii = false;
    if (encoding->utf8 || ascii) {
        if (DecodeUtf8Strictly(bytes, wide, problem) == 0) return 0;
        if (!ascii) *problem += " (--input-encoding names another encoding, such as cp1251)";
        return -1;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        *problem = "holds a NUL character";
        return -1;
    }
    if (Convert(static_cast<iconv_t>(encoding->converter), bytes, wide) != 0) {
        *problem = "holds bytes that are not " + encoding->name + " text";
        return -1;
    }
    return 0;
}

void CloseInputEncoding(InputEncoding* encoding) {
    if (encoding->converter != nullptr) iconv_close(static_cast<iconv_t>(encoding->converter));
    encoding->converter = nullptr;
}
