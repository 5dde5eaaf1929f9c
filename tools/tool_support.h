// What the command-line tools share: file names, and text between UTF-8 and the device code page.
#pragma once

#include <string>
#include <string_view>

// True when the name's last four characters are ".zdb" in any letter case: the compressed form.
bool HasCompressedExtension(std::string_view path);

// Converts UTF-8 into the device code page, strictly. Returns 0, or -1 with problem saying why: a NUL
// character, bytes that are not UTF-8, or a character the code page cannot write (named as U+XXXX).
int StrictUtf8ToDevice(std::string_view utf8, std::string* device, std::string* problem);

// Appends device-code-page text as UTF-8 through a table built once per code page.
void AppendDeviceTextAsUtf8(std::string* output, const char* text);
// At most maximumCharacters characters of it (as a result row's field holds them).
void AppendDeviceTextAsUtf8(std::string* output, const char* text, int maximumCharacters);
