// File names and text conversions for the command-line tools.
#include "tools/tool_support.h"

#include "platform/text.h"

#include <cstdio>

bool HasCompressedExtension(std::string_view path) {
    static constexpr char extension[] = ".zdb";
    if (path.size() < 4) return false;
    for (size_t index = 0; index < 4; index++) {
        char character = path[path.size() - 4 + index];
        if (character >= 'A' && character <= 'Z') character = char(character - 'A' + 'a');
        if (character != extension[index]) return false;
    }
    return true;
}

int StrictUtf8ToDevice(std::string_view utf8, std::string* device, std::string* problem) {
    device->clear();
    if (utf8.find('\0') != std::string_view::npos) {
        *problem = "holds a NUL character";
        return -1;
    }
    std::u16string wide = WideFromUtf8(utf8);
    if (Utf8FromWide(wide) != utf8) {
        *problem = "is not valid UTF-8";
        return -1;
    }
    for (char16_t character : wide) {
        if (!WideFitsDevice(&character, 1)) {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", unsigned(character));
            *problem = std::string("holds ") + name + ", which code page " +
                       std::to_string(DeviceCodePage()) + " cannot write";
            return -1;
        }
    }
    device->resize(wide.size() * 2 + 1);
    int length = WideToDevice(wide.c_str(), int(wide.size()), device->data(), int(device->size()));
    device->resize(size_t(length));
    return 0;
}

// One UTF-8 sequence per device byte, for the code page in use.
struct Utf8Table {
    int codePage = -1;
    std::string sequences[256];
};

static const Utf8Table& CurrentUtf8Table() {
    static Utf8Table table;
    if (table.codePage != DeviceCodePage()) {
        table.codePage = DeviceCodePage();
        for (int byte = 1; byte < 256; byte++) {
            char source = char(byte);
            char16_t wide[4];
            int length = DeviceToWide(&source, 1, wide, 4);
            table.sequences[byte] = Utf8FromWide(std::u16string_view(wide, size_t(length)));
        }
    }
    return table;
}

void AppendDeviceTextAsUtf8(std::string* output, const char* text) {
    AppendDeviceTextAsUtf8(output, text, 1 << 30);
}

void AppendDeviceTextAsUtf8(std::string* output, const char* text, int maximumCharacters) {
    const Utf8Table& table = CurrentUtf8Table();
    for (int index = 0; index < maximumCharacters && text[index] != 0; index++) {
        unsigned char byte = (unsigned char)text[index];
        if (byte < 0x80)
            output->push_back(char(byte));
        else
            output->append(table.sequences[byte]);
    }
}
