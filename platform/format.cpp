// The type-safe formatter: one engine for wide and 8-bit output. Each argument carries its own kind, so a
// format text from the language file can choose how a value looks but never how it is read.
#include "platform/format.h"

#include "platform/text.h"

#include <cstring>

// Width and precision beyond this are taken as this: no output buffer of the program is that long.
static constexpr int LargestWidth = 4096;

template <typename Character> struct FormatOutput {
    Character* buffer;
    int capacity;
    int length;
};

template <typename Character> static void PutUnit(FormatOutput<Character>* output, Character unit) {
    if (output->length < output->capacity - 1) output->buffer[output->length++] = unit;
}

template <typename Character> static void PutPadding(FormatOutput<Character>* output, int count, char pad) {
    for (int index = 0; index < count && output->length < output->capacity - 1; index++) {
        PutUnit(output, static_cast<Character>(pad));
    }
}

static bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
static bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// How many output units a text argument gives: one per unit into the same kind, one per byte from the
// device code page into wide text, one byte per character (a surrogate pair is one) into the code page.
static int TextUnits(const FormatArgument& argument, char16_t*) {
    if (argument.kind == FormatArgument::Wide) return WideLength(argument.wide);
    return argument.device == nullptr ? 0 : static_cast<int>(std::strlen(argument.device));
}

static int TextUnits(const FormatArgument& argument, char*) {
    if (argument.kind == FormatArgument::Device) {
        return argument.device == nullptr ? 0 : static_cast<int>(std::strlen(argument.device));
    }
    int count = 0;
    for (const char16_t* unit = argument.wide; unit != nullptr && *unit != 0; unit++) {
        if (IsHighSurrogate(unit[0]) && IsLowSurrogate(unit[1])) unit++;
        count++;
    }
    return count;
}

static void PutText(FormatOutput<char16_t>* output, const FormatArgument& argument, int limit) {
    if (argument.kind == FormatArgument::Wide) {
        for (int index = 0; index < limit && argument.wide[index] != 0; index++) {
            PutUnit(output, argument.wide[index]);
        }
    } else {
        for (int index = 0; index < limit && argument.device[index] != 0; index++) {
            PutUnit(output, WideFromDeviceByte(static_cast<unsigned char>(argument.device[index])));
        }
    }
}

static void PutText(FormatOutput<char>* output, const FormatArgument& argument, int limit) {
    if (argument.kind == FormatArgument::Device) {
        for (int index = 0; index < limit && argument.device[index] != 0; index++) {
            PutUnit(output, argument.device[index]);
        }
    } else {
        const char16_t* unit = argument.wide;
        for (int count = 0; count < limit && *unit != 0; count++, unit++) {
            if (IsHighSurrogate(unit[0]) && IsLowSurrogate(unit[1])) {
                PutUnit(output, '?');
                unit++;
            } else {
                PutUnit(output, DeviceByteFromWide(*unit));
            }
        }
    }
}

struct Specifier {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1; // -1: none given
    char conversion = 0;
};

// A text argument: cut to the precision for %s only, then padded with blanks to the width.
template <typename Character>
static void FormatTextArgument(FormatOutput<Character>* output, const Specifier& specifier,
                               const FormatArgument& argument) {
    bool missing =
        argument.kind == FormatArgument::Wide ? argument.wide == nullptr : argument.device == nullptr;
    int units = missing ? 0 : TextUnits(argument, static_cast<Character*>(nullptr));
    if (specifier.conversion == 's' && specifier.precision >= 0 && specifier.precision < units) {
        units = specifier.precision;
    }
    int padding = specifier.width > units ? specifier.width - units : 0;
    if (!specifier.leftAlign) PutPadding(output, padding, ' ');
    if (!missing) PutText(output, argument, units);
    if (specifier.leftAlign) PutPadding(output, padding, ' ');
}

// A number: in decimal (%s, %i, %d, %u) or hexadecimal (%x, %X), at least precision digits, padded to the
// width with blanks, or with zeros after the sign when '0' is given without a precision. %u and %x show a
// negative 32-bit number as the platform's 32-bit unsigned number does.
template <typename Character>
static void FormatNumberArgument(FormatOutput<Character>* output, const Specifier& specifier,
                                 long long value) {
    if (specifier.conversion == 'c') {
        Character character =
            static_cast<Character>(sizeof(Character) == 1 ? (value & 0xFF) : (value & 0xFFFF));
        int padding = specifier.width > 1 ? specifier.width - 1 : 0;
        if (!specifier.leftAlign) PutPadding(output, padding, ' ');
        if (character != 0) PutUnit(output, character); // a terminator would end the text early
        if (specifier.leftAlign) PutPadding(output, padding, ' ');
        return;
    }
    bool isSigned = specifier.conversion == 's' || specifier.conversion == 'i' || specifier.conversion == 'd';
    bool negative = isSigned && value < 0;
    unsigned long long magnitude = 0;
    if (negative) {
        magnitude = 0ull - static_cast<unsigned long long>(value);
    } else if (value < 0 && value >= INT32_MIN) {
        magnitude = static_cast<uint32_t>(value);
    } else {
        magnitude = static_cast<unsigned long long>(value);
    }
    unsigned base = specifier.conversion == 'x' || specifier.conversion == 'X' ? 16 : 10;
    const char* digitsOf = specifier.conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[32];
    int digitCount = 0;
    while (magnitude != 0) {
        digits[digitCount++] = digitsOf[magnitude % base];
        magnitude /= base;
    }
    int precision = specifier.conversion == 's' ? -1 : specifier.precision;
    int leadingZeros = 0;
    if (precision >= 0) {
        leadingZeros = precision > digitCount ? precision - digitCount : 0;
    } else if (digitCount == 0) {
        leadingZeros = 1; // zero itself
    }
    int length = (negative ? 1 : 0) + leadingZeros + digitCount;
    int padding = specifier.width > length ? specifier.width - length : 0;
    bool padWithZeros = specifier.zeroPad && !specifier.leftAlign && precision < 0;
    if (!specifier.leftAlign && !padWithZeros) PutPadding(output, padding, ' ');
    if (negative) PutUnit(output, static_cast<Character>('-'));
    if (padWithZeros) PutPadding(output, padding, '0');
    PutPadding(output, leadingZeros, '0');
    while (digitCount > 0)
        PutUnit(output, static_cast<Character>(digits[--digitCount]));
    if (specifier.leftAlign) PutPadding(output, padding, ' ');
}

static bool IsDigit(int unit) {
    return unit >= '0' && unit <= '9';
}

// Reads digits at format[*index], stopping the value at LargestWidth.
template <typename Character> static int ReadCount(const Character* format, int* index) {
    int value = 0;
    while (IsDigit(format[*index])) {
        value = value * 10 + (format[*index] - '0');
        if (value > LargestWidth) value = LargestWidth;
        (*index)++;
    }
    return value;
}

// Reads the specifier that starts after the '%' at format[*index]. Returns false when the text there is
// no specifier this formatter knows; *index is then past the unit that made it unknown.
template <typename Character>
static bool ReadSpecifier(const Character* format, int* index, Specifier* specifier) {
    for (;; (*index)++) {
        if (format[*index] == '-') {
            specifier->leftAlign = true;
        } else if (format[*index] == '0') {
            specifier->zeroPad = true;
        } else {
            break;
        }
    }
    specifier->width = ReadCount(format, index);
    if (format[*index] == '.') {
        (*index)++;
        specifier->precision = ReadCount(format, index);
    }
    // Size prefixes mean nothing here: every argument states its own kind and size.
    while (format[*index] == 'h' || format[*index] == 'l' || format[*index] == 'L' || format[*index] == 'w') {
        (*index)++;
    }
    if (format[*index] == 'I' && format[*index + 1] == '6' && format[*index + 2] == '4') *index += 3;
    Character conversion = format[*index];
    if (conversion == 0) return false;
    (*index)++;
    if (conversion == 'S') conversion = 's';
    const char* known = "sidcuxXn";
    if (conversion > 0x7F || std::strchr(known, static_cast<char>(conversion)) == nullptr) return false;
    specifier->conversion = static_cast<char>(conversion);
    return true;
}

template <typename Character>
static int FormatInto(Character* buffer, int capacity, const Character* format,
                      std::initializer_list<FormatArgument> arguments) {
    if (buffer == nullptr || capacity <= 0) return 0;
    FormatOutput<Character> output{buffer, capacity, 0};
    const FormatArgument* nextArgument = arguments.begin();
    int index = 0;
    while (format != nullptr && format[index] != 0) {
        if (format[index] != '%') {
            PutUnit(&output, format[index++]);
            continue;
        }
        if (format[index + 1] == '%') {
            PutUnit(&output, static_cast<Character>('%'));
            index += 2;
            continue;
        }
        int start = index;
        index++;
        Specifier specifier;
        if (!ReadSpecifier(format, &index, &specifier)) {
            for (int unknown = start; unknown < index; unknown++)
                PutUnit(&output, format[unknown]);
            continue;
        }
        if (specifier.conversion == 'n' || nextArgument == arguments.end()) continue;
        const FormatArgument& argument = *nextArgument++;
        if (argument.kind == FormatArgument::Number) {
            FormatNumberArgument(&output, specifier, argument.number);
        } else {
            FormatTextArgument(&output, specifier, argument);
        }
    }
    buffer[output.length] = 0;
    return output.length;
}

int FormatWide(char16_t* output, int capacity, const char16_t* format,
               std::initializer_list<FormatArgument> arguments) {
    return FormatInto(output, capacity, format, arguments);
}

int FormatDevice(char* output, int capacity, const char* format,
                 std::initializer_list<FormatArgument> arguments) {
    return FormatInto(output, capacity, format, arguments);
}
