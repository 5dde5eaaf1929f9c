// The language file reader: header selection, lookup by identifier and the listing of section names.
#include "i18n/language_file.h"

#include "platform/format.h"
#include "platform/text.h"

#include <cstring>

StreamFile* LanguageFile = nullptr;
int32_t LanguageSectionStart = 0;
int32_t LanguageSectionEnd = 0;
char LanguageLineBuffer[LanguageLineCapacity];
char16_t LanguageLookupBuffer[LanguageTextCapacity];

static constexpr const char16_t* LanguageFileName = u"dialdex.lng";
static constexpr int SeekFromStart = 0;

// The stream's position as the 32-bit position the reader keeps.
// Returns 0, or -1 when the position is unknown or does not fit 32 bits.
static int ReadStreamPosition(StreamFile* stream, int32_t* position) {
    long current = TellStreamFile(stream);
    if (current < 0 || current > INT32_MAX) return -1;
    *position = static_cast<int32_t>(current);
    return 0;
}

static char* ReadLanguageLine(StreamFile* stream) {
    return ReadStreamLine(LanguageLineBuffer, LanguageLineCapacity, stream);
}

StreamFile* OpenLanguageFileStream(const char16_t* programFolder, char16_t* pathOut, int pathCapacity) {
    char16_t path[LanguagePathCapacity];
    FormatText(path, u"%s%s", programFolder, LanguageFileName);
    if (pathOut != nullptr && pathCapacity > 0) CopyText(pathOut, pathCapacity, path);
    // A cut path names some other file; reading that as the language file helps nobody.
    if (WideLength(programFolder) + WideLength(LanguageFileName) >= LanguagePathCapacity) return nullptr;
    return OpenStreamFile(path, "rb");
}

int SelectLanguageSection(StreamFile* stream, const char16_t* languageName) {
    if (stream == nullptr || languageName == nullptr) return -1;
    if (SeekStreamFile(stream, 0, SeekFromStart) != 0) return -1;

    // "[" + name + terminator fit the 16 bytes of the header pattern. A longer name, or one the code page
    // cannot write, selects nothing: cut or with stand-in characters it would name another section.
    if (WideLength(languageName) >= LanguageNameCapacity || !WideFitsDevice(languageName, -1)) return -1;
    char name[LanguageNameCapacity];
    WideToDevice(languageName, -1, name, LanguageNameCapacity);
    char headerPattern[LanguageNameCapacity + 1];
    FormatText(headerPattern, "[%s", name);

    bool found = false;
    while (!found && ReadLanguageLine(stream) != nullptr) {
        char* closingBracket = std::strchr(LanguageLineBuffer, ']');
        if (closingBracket == nullptr) continue;
        *closingBracket = '\0';
        found = std::strcmp(LanguageLineBuffer, headerPattern) == 0;
    }
    if (!found) return -1;

    int32_t sectionStart = 0;
    if (ReadStreamPosition(stream, &sectionStart) != 0) return -1;
    while (ReadLanguageLine(stream) != nullptr && LanguageLineBuffer[0] != '[') {
    }
    // The scan has consumed the line that ended it (the next header, if any): the end lies one byte
    // before the position after it, so a lookup reads that header too, which never matches a key.
    int32_t positionAfterScan = 0;
    if (ReadStreamPosition(stream, &positionAfterScan) != 0) return -1;
    LanguageSectionStart = sectionStart;
    LanguageSectionEnd = positionAfterScan - 1;
    return 0;
}

// An unknown position counts as the end: the lookup then stops rather than read on.
static bool SectionEndReached(StreamFile* stream) {
    int32_t position = 0;
    if (ReadStreamPosition(stream, &position) != 0) return true;
    return position >= LanguageSectionEnd;
}

int GetLanguageText(StreamFile* stream, int32_t identifier, char16_t* output) {
    output[0] = u'\0';
    if (stream == nullptr) return 1;
    if (SeekStreamFile(stream, LanguageSectionStart, SeekFromStart) != 0) return 1;

    // Only the identifier's digits are compared, not the "=" behind them: identifier 1306 also takes a
    // line "13065=..." that comes first in the section.
    char key[16];
    int digitCount = FormatText(key, "%i=", identifier) - 1;

    if (SectionEndReached(stream)) return 1;
    while (ReadLanguageLine(stream) != nullptr) {
        char* equalsSign = std::strchr(LanguageLineBuffer, '=');
        if (equalsSign != nullptr && std::strncmp(LanguageLineBuffer, key, digitCount) == 0) {
            char* text = equalsSign + 1;
            char* carriageReturn = std::strchr(text, '\r');
            if (carriageReturn != nullptr) *carriageReturn = '\0';
            DeviceToWide(text, -1, output, LanguageTextCapacity);
            return 0;
        }
        if (SectionEndReached(stream)) return 1;
    }
    return 1;
}

const char16_t* TranslatedText(int32_t identifier, const char16_t* builtIn) {
    GetLanguageText(LanguageFile, identifier, LanguageLookupBuffer);
    return LanguageLookupBuffer[0] != 0 ? LanguageLookupBuffer : builtIn;
}

void ResetLanguageSection() {
    LanguageSectionStart = 0;
    LanguageSectionEnd = 0;
}

int ForEachLanguageSection(StreamFile* stream, void (*visit)(const char16_t* name, void* context),
                           void* context) {
    if (stream == nullptr || SeekStreamFile(stream, 0, SeekFromStart) != 0) return -1;
    int count = 0;
    while (ReadLanguageLine(stream) != nullptr) {
        if (LanguageLineBuffer[0] != '[') continue;
        char* closingBracket = std::strchr(LanguageLineBuffer, ']');
        if (closingBracket == nullptr) continue;
        *closingBracket = '\0';
        char16_t name[LanguageListNameCapacity];
        DeviceToWide(LanguageLineBuffer + 1, -1, name, LanguageListNameCapacity);
        visit(name, context);
        count++;
    }
    return count;
}
