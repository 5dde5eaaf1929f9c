// File names, text conversions, numbers and standard output for the command-line tools.
#include "tools/tool_support.h"

#include "platform/text.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

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

int DecodeUtf8Strictly(std::string_view utf8, std::u16string* wide, std::string* problem) {
    if (utf8.find('\0') != std::string_view::npos) {
        *problem = "holds a NUL character";
        return -1;
    }
    *wide = WideFromUtf8(utf8);
    if (Utf8FromWide(*wide) != utf8) {
        *problem = "is not valid UTF-8";
        return -1;
    }
    return 0;
}

// The length of the UTF-8 sequence at text[at] (1 to 4), or 0 when the bytes there are none.
static int Utf8SequenceLength(std::string_view text, size_t at) {
    unsigned char lead = (unsigned char)text[at];
    int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4   ? 4
                                                                : 0;
    if (length == 0 || at + size_t(length) > text.size()) return 0;
    if (length == 1) return 1;
    for (int index = 1; index < length; index++)
        if (((unsigned char)text[at + size_t(index)] & 0xC0) != 0x80) return 0;
    unsigned char second = (unsigned char)text[at + 1];
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

std::string QuotableText(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string quoted;
    for (size_t at = 0; at < text.size();) {
        int length = Utf8SequenceLength(text, at);
        unsigned char byte = (unsigned char)text[at];
        if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F)) {
            quoted.append(text.substr(at, size_t(length)));
            at += size_t(length);
            continue;
        }
        quoted += "\\x";
        quoted.push_back(Hex[byte >> 4]);
        quoted.push_back(Hex[byte & 15]);
        at++;
    }
    return quoted;
}

int DropRepeatedStandardInput(std::vector<std::string>* files) {
    bool seen = false;
    int dropped = 0;
    std::vector<std::string> kept;
    for (const std::string& file : *files) {
        if (file == "-" && seen) {
            dropped++;
            continue;
        }
        seen = seen || file == "-";
        kept.push_back(file);
    }
    *files = kept;
    return dropped;
}

static bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

int StrictWideToDevice(std::u16string_view wide, std::string* device, std::string* problem) {
    device->clear();
    for (size_t index = 0; index < wide.size(); index++) {
        if (WideFitsDevice(&wide[index], 1)) continue;
        uint32_t codePoint = wide[index];
        if (IsHighSurrogate(wide[index]) && index + 1 < wide.size())
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (wide[index + 1] - 0xDC00u);
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", unsigned(codePoint));
        *problem = std::string("holds ") + name + ", which code page " + std::to_string(DeviceCodePage()) +
                   " cannot write";
        return -1;
    }
    device->resize(wide.size() + 1);
    int length = WideToDevice(wide.data(), int(wide.size()), device->data(), int(device->size()));
    device->resize(size_t(length));
    return 0;
}

int StrictUtf8ToDevice(std::string_view utf8, std::string* device, std::string* problem) {
    std::u16string wide;
    device->clear();
    if (DecodeUtf8Strictly(utf8, &wide, problem) != 0) return -1;
    return StrictWideToDevice(wide, device, problem);
}

bool UpperCaseForDevice(std::u16string* wide) {
    std::u16string upper = UpperCaseWide(*wide);
    bool changed = false;
    for (size_t index = 0; index < upper.size(); index++) {
        if (upper[index] == (*wide)[index] || !WideFitsDevice(&upper[index], 1)) continue;
        (*wide)[index] = upper[index];
        changed = true;
    }
    return changed;
}

const unsigned char* DeviceUpperCaseTable() {
    static int codePage = -1;
    static unsigned char table[256];
    if (codePage != DeviceCodePage()) {
        codePage = DeviceCodePage();
        for (int byte = 0; byte < 256; byte++) {
            table[byte] = (unsigned char)byte;
            char source = char(byte);
            char16_t wide[4];
            if (byte == 0 || DeviceToWide(&source, 1, wide, 4) != 1) continue;
            std::u16string upper(wide, 1);
            char device[4];
            if (UpperCaseForDevice(&upper) && WideToDevice(upper.data(), 1, device, sizeof device) == 1)
                table[byte] = (unsigned char)device[0];
        }
    }
    return table;
}

// One UTF-8 sequence per device byte, for the code page in use.
struct Utf8Table {
    int codePage = -1;
    std::string sequences[256];
};

// dialdex-find's file threads print their first matches at once: the table is made by one of them while
// the others wait, and read by all once made.
static const Utf8Table& CurrentUtf8Table() {
    static Utf8Table table;
    static std::mutex making;
    static std::atomic<int> madeFor{-1};
    int codePage = DeviceCodePage();
    if (madeFor.load(std::memory_order_acquire) == codePage) return table;
    std::lock_guard<std::mutex> guard(making);
    if (table.codePage != codePage) {
        table.codePage = codePage;
        for (int byte = 1; byte < 256; byte++) {
            char source = char(byte);
            char16_t wide[4];
            int length = DeviceToWide(&source, 1, wide, 4);
            table.sequences[byte] = Utf8FromWide(std::u16string_view(wide, size_t(length)));
        }
    }
    madeFor.store(codePage, std::memory_order_release);
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

std::string GroupedNumber(long long number) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    std::string grouped;
    for (size_t index = 0; index < digits.size(); index++) {
        if (index > 0 && (digits.size() - index) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[index]);
    }
    return number < 0 ? "-" + grouped : grouped;
}

std::string CountOf(long long number, const char* noun) {
    return GroupedNumber(number) + " " + noun + (number == 1 ? "" : "s");
}

int FlushStandardOutput(StandardOutput* output) {
    size_t done = 0;
    while (!output->failed && done < output->text.size()) {
        ssize_t wrote = write(STDOUT_FILENO, output->text.data() + done, output->text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            output->failed = true;
            output->errorNumber = wrote < 0 ? errno : EIO;
        } else {
            done += size_t(wrote);
        }
    }
    output->text.clear();
    return output->failed ? -1 : 0;
}
