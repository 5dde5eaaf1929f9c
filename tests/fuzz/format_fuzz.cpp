// libFuzzer target: the type-safe formatter with any format text, as the language file gives them (texts
// 903-908 and the rest), and with number and text arguments in any order. The output must stay inside its
// buffer (allocated at its exact capacity, so a write past it is caught), be terminated, and the returned
// length must be the length written.
#include "platform/format.h"
#include "platform/text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

static int WideLengthWithin(const char16_t* text, int capacity) {
    for (int index = 0; index < capacity; index++)
        if (text[index] == 0) return index;
    std::abort(); // not terminated inside the buffer
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    // The first bytes choose the capacity, the arguments' kinds and their numbers; the rest is the format.
    int capacity = 1 + data[0] % 160;
    uint8_t kinds = data[1];
    long long numbers[2] = {
        int32_t(uint32_t(data[2]) << 24 | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 8 | data[5]),
        -int32_t(data[2]) * 1000003LL};
    std::vector<char> format(reinterpret_cast<const char*>(data) + 6,
                             reinterpret_cast<const char*>(data) + size);
    format.push_back('\0');
    std::vector<char16_t> wideFormat(format.size());
    DeviceToWide(format.data(), -1, wideFormat.data(), int(wideFormat.size()));

    static const char DeviceText[] = "\xC8\xE2\xE0\xED\xEE\xE2 %s %n"; // "Иванов %s %n" in code page 1251
    static const char16_t WideText[] = u"Ленина \U0001F4DE %i";        // a surrogate pair inside
    std::vector<FormatArgument> arguments;
    for (int index = 0; index < 4; index++) {
        switch ((kinds >> (2 * index)) & 3) {
        case 0:
            arguments.push_back(FormatArgument(numbers[index % 2]));
            break;
        case 1:
            arguments.push_back(FormatArgument(DeviceText));
            break;
        case 2:
            arguments.push_back(FormatArgument(WideText));
            break;
        default:
            arguments.push_back(FormatArgument(static_cast<const char*>(nullptr)));
            break;
        }
    }
    int argumentCount = (kinds >> 6) % 5;
    auto call = [&](auto function, auto* output, const auto* text) {
        switch (argumentCount) {
        case 0:
            return function(output, capacity, text, {});
        case 1:
            return function(output, capacity, text, {arguments[0]});
        case 2:
            return function(output, capacity, text, {arguments[0], arguments[1]});
        case 3:
            return function(output, capacity, text, {arguments[0], arguments[1], arguments[2]});
        default:
            return function(output, capacity, text, {arguments[0], arguments[1], arguments[2], arguments[3]});
        }
    };

    char* device = new char[capacity];
    int deviceLength = call(FormatDevice, device, format.data());
    if (std::memchr(device, 0, capacity) == nullptr) std::abort();
    if (deviceLength != int(std::strlen(device)) || deviceLength > capacity - 1) std::abort();
    delete[] device;

    char16_t* wide = new char16_t[capacity];
    int wideLength = call(FormatWide, wide, wideFormat.data());
    if (wideLength != WideLengthWithin(wide, capacity) || wideLength > capacity - 1) std::abort();
    delete[] wide;
    return 0;
}
