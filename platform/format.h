// The type-safe formatter. Format texts come partly from the language file, which the user edits, so:
// - each specifier takes the next argument and prints it in the argument's own kind (a number is never
//   read as a text pointer, nor a text as a number): %s with a number prints the number, %i/%d with a
//   text prints the text;
// - a specifier without a matching argument prints nothing;
// - %n does not exist (it prints nothing and takes no argument); unknown specifiers print as they stand;
// - output is cut at the capacity and always terminated.
// Supported: %s %i %d %u %x %c, %%, flags '-' '0', width and precision (digits or from the text only,
// never '*'), as in "%7.7i" (at least 7 digits, zero padded).
#pragma once

#include <cstdint>
#include <initializer_list>

struct FormatArgument {
    enum Kind { Number, Wide, Device };
    Kind kind;
    long long number = 0;
    const char16_t* wide = nullptr;
    const char* device = nullptr;

    FormatArgument(int value) : kind(Number), number(value) {}
    FormatArgument(unsigned value) : kind(Number), number(value) {}
    FormatArgument(long value) : kind(Number), number(value) {}
    FormatArgument(long long value) : kind(Number), number(value) {}
    FormatArgument(const char16_t* value) : kind(Wide), wide(value) {}
    FormatArgument(const char* value) : kind(Device), device(value) {}
};

// Wide output. Device (8-bit) text arguments are converted from the device code page.
// Returns the number of characters written (excluding the terminator).
int FormatWide(char16_t* output, int capacity, const char16_t* format,
               std::initializer_list<FormatArgument> arguments);
// 8-bit output in the device code page. Wide text arguments are converted to the device code page.
int FormatDevice(char* output, int capacity, const char* format,
                 std::initializer_list<FormatArgument> arguments);

template <int Capacity, typename... Arguments>
int FormatText(char16_t (&output)[Capacity], const char16_t* format, Arguments... arguments) {
    return FormatWide(output, Capacity, format, {FormatArgument(arguments)...});
}
template <int Capacity, typename... Arguments>
int FormatText(char (&output)[Capacity], const char* format, Arguments... arguments) {
    return FormatDevice(output, Capacity, format, {FormatArgument(arguments)...});
}
