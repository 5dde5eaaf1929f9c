// What the command-line tools share: file names, text between UTF-8 and the device code page, numbers
// for people, and standard output that notices when it cannot be written.
#pragma once

#include <string>
#include <string_view>
#include <vector>


// True when the name's last four characters are ".zdb" in any letter case: the compressed form.
bool HasCompressedExtension(std::string_view path);

// Decodes UTF-8 strictly. Returns 0, or -1 with problem saying why: a NUL character or bytes that are not
// UTF-8.
int DecodeUtf8Strictly(std::string_view utf8, std::u16string* wide, std::string* problem);
// Converts wide text into the device code page, strictly. Returns 0, or -1 with problem naming the first
// character the code page cannot write (as U+XXXX).
int StrictWideToDevice(std::u16string_view wide, std::string* device, std::string* problem);
// Both: UTF-8 into the device code page. Returns 0, or -1 with problem.
int StrictUtf8ToDevice(std::string_view utf8, std::string* device, std::string* problem);
// The text as a message quotes it: UTF-8 characters as they are, every other byte and every control
// character (NUL too) as \xNN, so a message never carries raw bytes to a terminal and never ends early.
std::string QuotableText(std::string_view text);

// Drops every "-" after the first: standard input is read once. Returns how many were dropped.
int DropRepeatedStandardInput(std::vector<std::string>* files);

// Upper case as the window's edits turn typed letters, character by character; a character whose upper
// case the device code page cannot write keeps its case. Returns true when anything changed.
bool UpperCaseForDevice(std::u16string* wide);

// The code page's case table: each device byte's upper case as UpperCaseForDevice makes it (a byte
// whose upper case the code page cannot write maps to itself). Built once per code page.
const unsigned char* DeviceUpperCaseTable();

// Appends device-code-page text as UTF-8 through a table built once per code page.
void AppendDeviceTextAsUtf8(std::string* output, const char* text);
// At most maximumCharacters characters of it (as a result row's field holds them).
void AppendDeviceTextAsUtf8(std::string* output, const char* text, int maximumCharacters);

// A count for people: 485594 as "485,594".
std::string GroupedNumber(long long number);
// A count with its noun: "1 record", "485,594 records" (the plural adds an "s").
std::string CountOf(long long number, const char* noun);

// Standard output gathered in large pieces. A write that fails (a full disk, a closed pipe's EPIPE when
// SIGPIPE is ignored) is kept: the program reports it and ends with an error.
struct StandardOutput {
    std::string text;    // what waits to be written
    bool failed = false; // a write failed; nothing more is written
    int errorNumber = 0; // the system's reason
};
constexpr size_t StandardOutputPiece = 1 << 20;
// Writes what waits. Returns 0, or -1 when a write failed (now or before).
int FlushStandardOutput(StandardOutput* output);
inline void FlushStandardOutputWhenFull(StandardOutput* output) {
    if (output->text.size() >= StandardOutputPiece) FlushStandardOutput(output);
}
