// The language file "dialdex.lng": sections headed "[NAME]", each holding lines "identifier=text" in the
// device's 8-bit code page. The reader keeps no index: every lookup seeks to the selected section and
// reads lines until it meets the identifier. One reader serves the whole program, on the user-interface
// thread only (the stream position, the line buffer and the lookup buffer are shared without locks).
#pragma once

#include "platform/files.h"

#include <cstdint>

// Buffer sizes that the file's format is bound to.
constexpr int LanguageLineCapacity = 512;     // a line is read in pieces of at most 511 bytes
constexpr int LanguageTextCapacity = 128;     // a looked-up text keeps at most 127 characters
constexpr int LanguageNameCapacity = 15;      // a section name selects with at most 14 bytes
constexpr int LanguagePathCapacity = 520;     // program folder + "dialdex.lng", at most 519 characters
constexpr int LanguageListNameCapacity = 260; // a listed section name keeps at most 259 characters

// The reader's program-wide state. The program opens the file at start-up into LanguageFile and closes
// it at shutdown; the section positions are 0 until a section is selected.
extern StreamFile* LanguageFile;
extern int32_t LanguageSectionStart; // just after the selected section's header line
extern int32_t LanguageSectionEnd;   // one less than the position after the line that ended the section
extern char LanguageLineBuffer[LanguageLineCapacity];
// Every caller of GetLanguageText passes this buffer and uses or copies its content at once.
extern char16_t LanguageLookupBuffer[LanguageTextCapacity];

// Builds "<programFolder>dialdex.lng" into pathOut (cut to pathCapacity - 1 and to 519 characters, for the
// caller's message) and opens it for reading as bytes ("rb"). A path that had to be cut names another
// file, so it is not opened. Returns the stream, or null when the file cannot be opened.
StreamFile* OpenLanguageFileStream(const char16_t* programFolder, char16_t* pathOut, int pathCapacity);

// `SelectLanguageSection`: finds the header "[languageName]" (exact, case-sensitive; anything after the
// first "]" of the header line is ignored) and records the section's bounds. A name selects its own
// section or none: one longer than 14 bytes in the device code page, or with a character the code page
// cannot write, is not found.
// Returns 0 when found, -1 when not (the section start and end keep their earlier values).
int SelectLanguageSection(StreamFile* stream, const char16_t* languageName);

// The selected section's text of the identifier (in LanguageFile) when it is not empty, else builtIn. A
// looked-up text lies in LanguageLookupBuffer: use or copy it before the next lookup.
const char16_t* TranslatedText(int32_t identifier, const char16_t* builtIn);

// `GetLanguageText`: the text of the first line of the selected section whose first characters are the
// identifier's decimal digits and that holds "=": everything after its first "=" up to the first carriage
// return, cut to 127 characters. output holds LanguageTextCapacity characters (pass LanguageLookupBuffer).
// Returns 0 when found (output holds the text, which may be empty), 1 when not found (output is empty).
int GetLanguageText(StreamFile* stream, int32_t identifier, char16_t* output);

// Section start and end back to 0, as before any selection (for a new file and for tests).
void ResetLanguageSection();

// Lists the file's section names in file order: every line whose first byte is "[" and that holds "]"
// gives the text between them, converted from the device code page and cut to 259 characters. The read
// position is left at the end of the file; lookups seek to their section by themselves.
// Returns the number of names visited, or -1 when the stream cannot be rewound.
int ForEachLanguageSection(StreamFile* stream, void (*visit)(const char16_t* name, void* context),
                           void* context);
