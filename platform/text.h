// Wide text (UTF-16, as the device's window system takes it) and the device's 8-bit code page.
// Every function here is bounded by the capacity its caller states and always leaves a terminator
// (when the capacity is at least 1): nothing in this file ever writes past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The one safe copy helper: copies at most capacity - 1 units of source and terminates.
// Returns the number of units copied (excluding the terminator).
int CopyText(char* destination, int capacity, const char* source);
int CopyText(char16_t* destination, int capacity, const char16_t* source);

template <int Capacity> inline int CopyText(char (&destination)[Capacity], const char* source) {
    return CopyText(destination, Capacity, source);
}
template <int Capacity> inline int CopyText(char16_t (&destination)[Capacity], const char16_t* source) {
    return CopyText(destination, Capacity, source);
}

// Length up to the terminator, and exact code-unit comparison (like wcslen / wcscmp).
int WideLength(const char16_t* text);
int CompareWide(const char16_t* left, const char16_t* right);
// The same texts but for the letter case of ASCII letters, as the platform compares class names
// ("BUTTON", "button") and as file names are matched to an extension (".zdb", ".ZDB").
bool SameTextIgnoringAsciiCase(std::u16string_view left, std::u16string_view right);
bool EndsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view ending);

// The device's 8-bit code page: 1251 unless the device says otherwise. Returns 0 on success,
// -1 when the code page is not a single-byte code page this system can convert.
int SetDeviceCodePage(int codePage);
int DeviceCodePage();

// Device code page -> wide. sourceLength -1 means "up to the terminator". Unmappable bytes become
// U+FFFD's stand-in, the platform's default character '?'. Returns the characters written.
int DeviceToWide(const char* source, int sourceLength, char16_t* destination, int capacity);
// Wide -> device code page; unmappable characters become '?'. Returns the bytes written.
int WideToDevice(const char16_t* source, int sourceLength, char* destination, int capacity);
// One character each way, for code that converts as it goes (the formatter): the same tables as above.
char16_t WideFromDeviceByte(unsigned char byte);
char DeviceByteFromWide(char16_t character);
// True when every character of the wide text has a byte of its own in the device code page.
bool WideFitsDevice(const char16_t* source, int sourceLength);

// The digit character-class test on one 8-bit character: only '0' to '9'; bytes from 0x80 up never.
inline bool IsDeviceDigit(unsigned char character) {
    return character >= '0' && character <= '9';
}

// The platform's locale-aware comparison (<0, 0, >0), optionally ignoring letter case.
int CompareWideLocale(const char16_t* left, const char16_t* right, bool ignoreCase);
// The same comparison ignoring case on texts in the device code page (lengths in bytes, no terminator
// needed), character by character: in the alphabet of the language in use once UseLanguageAlphabet has
// set it, otherwise the order CompareWideLocale gives their wide forms; without converting them.
int CompareDeviceLocale(const char* left, int leftLength, const char* right, int rightLength);
// The first keyLength characters of a device text as a key whose bytes (memcmp) sort as the comparison
// above does, padded with 0 past the text's end: texts whose keys differ are in their keys' order.
void DeviceSortKey(const char* text, int length, unsigned char* key, int keyLength);
// Sets the order of the device code page's characters for the two functions above: a rank per byte
// (byte 0 alone has rank 0; equal ranks compare equal). It holds while the code page stays the one
// given; code page 0 returns to the code page's own order. Set at start-up, before any other thread runs.
void SetDeviceSortRanks(int codePage, const unsigned char (&ranks)[256]);
// Orders the device's characters by the alphabet of a language ("ru", "uk", "en"), as the host's
// collation of that language puts them one by one, ignoring case (collation.cpp, with the window
// system). Returns 0, or -1 for no language or one the host has no collation for (the order stays).
int UseLanguageAlphabet(const char* language);
// Upper case as the upper-casing edit control converts typed letters.
std::u16string UpperCaseWide(std::u16string_view text);

// Host-side conversions (command-line tools, the script driver, JSON output). Invalid UTF-8 bytes
// become U+FFFD; lone surrogates become U+FFFD in UTF-8.
std::u16string WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::u16string_view text);
std::string Utf8FromWide(const char16_t* text);
