// Wide text, the device code page and the host's UTF-8. Conversions between the device's 8-bit code page
// and wide text go through two tables built once (from iconv, or built in for code page 1251): a scan
// converts millions of short texts, and a table lookup per character is all that costs.
#include "platform/text.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

// --- Copying and comparing ----------------------------------------------------------------------------

template <typename Character>
static int CopyUnits(Character* destination, int capacity, const Character* source) {
    if (destination == nullptr || capacity <= 0) return 0;
    int copied = 0;
    if (source != nullptr) {
        while (copied < capacity - 1 && source[copied] != 0) {
            destination[copied] = source[copied];
            copied++;
        }
    }
    destination[copied] = 0;
    return copied;
}

int CopyText(char* destination, int capacity, const char* source) {
    return CopyUnits(destination, capacity, source);
}

int CopyText(char16_t* destination, int capacity, const char16_t* source) {
    return CopyUnits(destination, capacity, source);
}

int WideLength(const char16_t* text) {
    if (text == nullptr) return 0;
    int length = 0;
    while (text[length] != 0)
        length++;
    return length;
}

int CompareWide(const char16_t* left, const char16_t* right) {
    if (left == nullptr) left = u"";
    if (right == nullptr) right = u"";
    int index = 0;
    while (left[index] != 0 && left[index] == right[index])
        index++;
    if (left[index] == right[index]) return 0;
    return left[index] < right[index] ? -1 : 1;
}

static char16_t AsciiUpperCase(char16_t character) {
    return character >= u'a' && character <= u'z' ? char16_t(character - u'a' + u'A') : character;
}

bool SameTextIgnoringAsciiCase(std::u16string_view left, std::u16string_view right) {
    if (left.size() != right.size()) return false;
    for (size_t index = 0; index < left.size(); index++)
        if (AsciiUpperCase(left[index]) != AsciiUpperCase(right[index])) return false;
    return true;
}

bool EndsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view ending) {
    return text.size() >= ending.size() &&
           SameTextIgnoringAsciiCase(text.substr(text.size() - ending.size()), ending);
}

// --- Letter case and the locale-aware comparison -----------------------------------------------------
// The device sorts Russian and Western European text. Upper case covers Basic Latin, Latin-1 and the
// Cyrillic block (U+0400 to U+04FF), which is every letter the device code pages hold; other characters
// keep their case. The comparison orders by the upper-case form, character by character, with one
// alphabet rule: Ё sorts right after Е (as in a Russian dictionary) instead of before А, where its code
// point would put it. Texts equal in that order are then ordered by their exact code units, unless case
// is ignored.

static constexpr char16_t UpperCaseCharacter(char16_t character) {
    if (character >= u'a' && character <= u'z') return character - 0x20;
    if (character < 0xE0) return character;
    if (character <= 0xFE) return character == 0xF7 ? character : character - 0x20; // ÷ is no letter
    if (character == 0xFF) return 0x178;                                            // ÿ -> Ÿ
    if (character >= 0x430 && character <= 0x44F) return character - 0x20;          // а..я
    if (character >= 0x450 && character <= 0x45F) return character - 0x50;          // ѐ..џ
    // The historic and national letters come in pairs, upper case first...
    if ((character >= 0x460 && character <= 0x481) || (character >= 0x48A && character <= 0x4BF) ||
        (character >= 0x4D0 && character <= 0x4FF)) {
        return character & ~1;
    }
    // ...except the run from Ӂ to ӎ, where the upper-case letter has the odd code point.
    if (character >= 0x4C1 && character <= 0x4CE) return (character & 1) ? character : character - 1;
    if (character == 0x4CF) return 0x4C0; // ӏ -> Ӏ
    return character;
}

// The primary sort weight: the upper-case form, with Ё placed between Е and Ж.
static constexpr uint32_t SortWeight(char16_t character) {
    char16_t upper = UpperCaseCharacter(character);
    if (upper == 0x401) return (0x415u << 1) | 1;
    return static_cast<uint32_t>(upper) << 1;
}

// --- The device code page -----------------------------------------------------------------------------

static constexpr int DefaultDeviceCodePage = 1251;
static constexpr char16_t DefaultCharacter = u'?';
static constexpr uint16_t UnmappedByte = 0x100;

struct CodePageTables {
    int codePage;
    char16_t wideFromByte[256];     // DefaultCharacter where the byte means nothing in the code page
    bool byteMapped[256];           // false for bytes without a character
    uint16_t byteFromWide[0x10000]; // UnmappedByte where the character has no byte
    uint32_t sortWeight[256];       // the sort weight of each byte's character
    unsigned char sortRank[256];    // the same order in a byte: how many smaller weights there are
};

// Converts one byte through iconv. Returns the wide character, 0 when the byte has no character, or
// -1 when the byte starts a longer sequence (the code page is not a single-byte one).
static int ConvertOneByte(iconv_t converter, unsigned char byte) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char input[1] = {static_cast<char>(byte)};
    char16_t output[4] = {};
    char* inputPointer = input;
    size_t inputLeft = 1;
    char* outputPointer = reinterpret_cast<char*>(output);
    size_t outputLeft = sizeof output;
    size_t result = iconv(converter, &inputPointer, &inputLeft, &outputPointer, &outputLeft);
    if (result == static_cast<size_t>(-1)) return errno == EINVAL ? -1 : 0;
    size_t unitsWritten = (sizeof output - outputLeft) / sizeof(char16_t);
    // A byte that stands for two units (a character beyond the first plane) fits no single wide unit.
    if (unitsWritten != 1) return unitsWritten == 0 ? -1 : 0;
    return output[0];
}

// Code page 1251, the device's default, is built in so that start-up loads no iconv modules: the
// characters of bytes 128 to 255, 0 where a byte has none. Bytes below 128 are ASCII.
// clang-format off
static constexpr char16_t BuiltInCodePage1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on

static constexpr void StartTables(int codePage, CodePageTables* tables) {
    tables->codePage = codePage;
    for (int character = 0; character < 0x10000; character++)
        tables->byteFromWide[character] = UnmappedByte;
}

// character: the byte's wide character, 0 when it has none (byte 0 is the terminator and maps to 0).
static constexpr void MapByte(CodePageTables* tables, int byte, int character) {
    bool mapped = character > 0 || byte == 0;
    tables->byteMapped[byte] = mapped;
    tables->wideFromByte[byte] = mapped ? static_cast<char16_t>(character) : DefaultCharacter;
    tables->sortWeight[byte] = SortWeight(tables->wideFromByte[byte]);
    // The first byte for a character wins, so that a round trip is stable.
    if (mapped && tables->byteFromWide[character] == UnmappedByte) tables->byteFromWide[character] = byte;
}

// Ranks the bytes' weights once every byte is mapped. Byte 0, the terminator, has the smallest weight and
// rank 0; the 255 others have 255 ranks at most, so a rank fits a byte.
static constexpr void RankSortWeights(CodePageTables* tables) {
    bool firstOfItsWeight[256] = {};
    for (int byte = 0; byte < 256; byte++) {
        firstOfItsWeight[byte] = true;
        for (int earlier = 0; earlier < byte && firstOfItsWeight[byte]; earlier++)
            firstOfItsWeight[byte] = tables->sortWeight[earlier] != tables->sortWeight[byte];
    }
    for (int byte = 0; byte < 256; byte++) {
        int smaller = 0;
        for (int other = 0; other < 256; other++)
            if (firstOfItsWeight[other] && tables->sortWeight[other] < tables->sortWeight[byte]) smaller++;
        tables->sortRank[byte] = static_cast<unsigned char>(smaller);
    }
}

// The built-in tables are made by the compiler: start-up does no work for them, and only the pages of
// the tables a conversion touches are ever read in.
static constexpr CodePageTables MakeBuiltInTables() {
    CodePageTables tables{};
    StartTables(DefaultDeviceCodePage, &tables);
    for (int byte = 0; byte < 256; byte++)
        MapByte(&tables, byte, byte < 128 ? byte : BuiltInCodePage1251[byte - 128]);
    RankSortWeights(&tables);
    return tables;
}
static constexpr CodePageTables BuiltInTables = MakeBuiltInTables();

// The tables in use: the built-in ones, or those of another code page chosen at start-up.
static const CodePageTables* DeviceTables = &BuiltInTables;
static CodePageTables OtherTables;

// The code page numbers whose iconv names are not "CP" and the number (those iconv knows as such).
struct CodePageName {
    int codePage;
    const char* iconvName;
};
// clang-format off
static constexpr CodePageName CodePageNames[] = {
    {708,   "ASMO-708"         },
    {10000, "MACINTOSH"        },
    {10017, "MACUKRAINIAN"     },
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"           },
    {20127, "ASCII"            },
    {20866, "KOI8-R"           },
    {21866, "KOI8-U"           },
    {28591, "ISO-8859-1"       },
    {28592, "ISO-8859-2"       },
    {28593, "ISO-8859-3"       },
    {28594, "ISO-8859-4"       },
    {28595, "ISO-8859-5"       },
    {28596, "ISO-8859-6"       },
    {28597, "ISO-8859-7"       },
    {28598, "ISO-8859-8"       },
    {28599, "ISO-8859-9"       },
    {28603, "ISO-8859-13"      },
    {28605, "ISO-8859-15"      },
    {38598, "ISO-8859-8"       },
};
// clang-format on

// Fills tables for a code page from iconv. Returns 0, or -1 when iconv does not know it as a single-byte
// code page.
static int BuildTables(int codePage, CodePageTables* tables) {
    if (codePage <= 0 || codePage > 99999) return -1;
    char name[24];
    std::snprintf(name, sizeof name, "CP%d", codePage);
    for (const CodePageName& row : CodePageNames)
        if (row.codePage == codePage) std::snprintf(name, sizeof name, "%s", row.iconvName);
    // UTF-16 in the host's byte order, without a byte-order mark.
    iconv_t converter =
        iconv_open(std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE", name);
    if (converter == reinterpret_cast<iconv_t>(-1)) return -1;

    StartTables(codePage, tables);
    int result = 0;
    for (int byte = 0; byte < 256 && result == 0; byte++) {
        int character = ConvertOneByte(converter, static_cast<unsigned char>(byte));
        if (character < 0)
            result = -1;
        else
            MapByte(tables, byte, character);
    }
    iconv_close(converter);
    RankSortWeights(tables);
    // ASCII must come through unchanged, or texts such as "%s;%s" and paths would not survive.
    for (int byte = 0; byte < 128 && result == 0; byte++) {
        if (tables->wideFromByte[byte] != byte) result = -1;
    }
    return result;
}

static const CodePageTables& Tables() {
    return *DeviceTables;
}

// The code page is a device setting chosen at start-up, before any other thread runs.
int SetDeviceCodePage(int codePage) {
    if (codePage == DeviceTables->codePage) return 0;
    if (codePage == DefaultDeviceCodePage) {
        DeviceTables = &BuiltInTables;
        return 0;
    }
    static CodePageTables candidate;
    if (BuildTables(codePage, &candidate) != 0) return -1;
    std::memcpy(&OtherTables, &candidate, sizeof candidate);
    DeviceTables = &OtherTables;
    return 0;
}

int DeviceCodePage() {
    return Tables().codePage;
}

char16_t WideFromDeviceByte(unsigned char byte) {
    return Tables().wideFromByte[byte];
}

char DeviceByteFromWide(char16_t character) {
    uint16_t byte = Tables().byteFromWide[character];
    return static_cast<char>(byte == UnmappedByte ? DefaultCharacter : byte);
}

static bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
static bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A stated length caps the text; a terminator inside it ends the text earlier.
template <typename Character> static int BoundedLength(const Character* source, int sourceLength) {
    if (source == nullptr) return 0;
    int length = 0;
    while ((sourceLength < 0 || length < sourceLength) && source[length] != 0)
        length++;
    return length;
}

int DeviceToWide(const char* source, int sourceLength, char16_t* destination, int capacity) {
    if (destination == nullptr || capacity <= 0) return 0;
    const CodePageTables& tables = Tables();
    int length = BoundedLength(source, sourceLength);
    int written = 0;
    while (written < length && written < capacity - 1) {
        destination[written] = tables.wideFromByte[static_cast<unsigned char>(source[written])];
        written++;
    }
    destination[written] = 0;
    return written;
}

int WideToDevice(const char16_t* source, int sourceLength, char* destination, int capacity) {
    if (destination == nullptr || capacity <= 0) return 0;
    const CodePageTables& tables = Tables();
    int length = BoundedLength(source, sourceLength);
    int written = 0;
    for (int index = 0; index < length && written < capacity - 1; index++) {
        char16_t unit = source[index];
        // A surrogate pair is one character, and no single-byte code page has it: one default character.
        if (IsHighSurrogate(unit) && index + 1 < length && IsLowSurrogate(source[index + 1])) index++;
        uint16_t byte = tables.byteFromWide[unit];
        destination[written++] = static_cast<char>(byte == UnmappedByte ? DefaultCharacter : byte);
    }
    destination[written] = 0;
    return written;
}

bool WideFitsDevice(const char16_t* source, int sourceLength) {
    const CodePageTables& tables = Tables();
    int length = BoundedLength(source, sourceLength);
    for (int index = 0; index < length; index++) {
        if (tables.byteFromWide[source[index]] == UnmappedByte) return false;
    }
    return true;
}

// --- The locale-aware comparison ----------------------------------------------------------------------

std::u16string UpperCaseWide(std::u16string_view text) {
    std::u16string result(text);
    for (char16_t& character : result)
        character = UpperCaseCharacter(character);
    return result;
}

int CompareWideLocale(const char16_t* left, const char16_t* right, bool ignoreCase) {
    if (left == nullptr) left = u"";
    if (right == nullptr) right = u"";
    int index = 0;
    while (left[index] != 0 && right[index] != 0) {
        // Sorted names share long beginnings: equal characters need no weights.
        if (left[index] == right[index]) {
            index++;
            continue;
        }
        uint32_t leftWeight = SortWeight(left[index]);
        uint32_t rightWeight = SortWeight(right[index]);
        if (leftWeight != rightWeight) return leftWeight < rightWeight ? -1 : 1;
        index++;
    }
    if (left[index] != 0) return 1;
    if (right[index] != 0) return -1;
    return ignoreCase ? 0 : CompareWide(left, right);
}

// The language's order of the device's characters, when one is set for the code page in use.
struct LanguageOrder {
    int codePage = 0; // 0 while none is set
    unsigned char ranks[256] = {};
};
static LanguageOrder languageOrder;

void SetDeviceSortRanks(int codePage, const unsigned char (&ranks)[256]) {
    languageOrder.codePage = codePage;
    std::memcpy(languageOrder.ranks, ranks, sizeof ranks);
}

static const unsigned char* SortRanks() {
    return languageOrder.codePage == Tables().codePage ? languageOrder.ranks : Tables().sortRank;
}

int CompareDeviceLocale(const char* left, int leftLength, const char* right, int rightLength) {
    const unsigned char* weights = SortRanks();
    int shorter = leftLength < rightLength ? leftLength : rightLength;
    for (int index = 0; index < shorter; index++) {
        unsigned char leftByte = static_cast<unsigned char>(left[index]);
        unsigned char rightByte = static_cast<unsigned char>(right[index]);
        if (leftByte == rightByte) continue;
        unsigned char leftWeight = weights[leftByte];
        unsigned char rightWeight = weights[rightByte];
        if (leftWeight != rightWeight) return leftWeight < rightWeight ? -1 : 1;
    }
    return leftLength == rightLength ? 0 : (leftLength < rightLength ? -1 : 1);
}

void DeviceSortKey(const char* text, int length, unsigned char* key, int keyLength) {
    const unsigned char* ranks = SortRanks();
    for (int index = 0; index < keyLength; index++)
        key[index] = index < length ? ranks[static_cast<unsigned char>(text[index])] : 0;
}

// --- UTF-8 on the host --------------------------------------------------------------------------------

static constexpr char16_t ReplacementCharacter = 0xFFFD;

// Decodes one UTF-8 sequence at text[index]. Returns the code point and advances index, or returns
// ReplacementCharacter and advances by one byte when the sequence is not well formed (overlong forms,
// encoded surrogates and code points beyond U+10FFFF included).
static uint32_t DecodeUtf8(std::string_view text, size_t* index) {
    unsigned char lead = static_cast<unsigned char>(text[*index]);
    int extraBytes = 0;
    uint32_t codePoint = 0;
    uint32_t smallest = 0;
    if (lead < 0x80) {
        *index += 1;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extraBytes = 1, codePoint = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extraBytes = 2, codePoint = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extraBytes = 3, codePoint = lead & 0x07, smallest = 0x10000;
    } else {
        *index += 1;
        return ReplacementCharacter;
    }
    if (*index + extraBytes >= text.size()) {
        *index += 1;
        return ReplacementCharacter;
    }
    for (int extra = 1; extra <= extraBytes; extra++) {
        unsigned char continuation = static_cast<unsigned char>(text[*index + extra]);
        if ((continuation & 0xC0) != 0x80) {
            *index += 1;
            return ReplacementCharacter;
        }
        codePoint = (codePoint << 6) | (continuation & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        *index += 1;
        return ReplacementCharacter;
    }
    *index += 1 + extraBytes;
    return codePoint;
}

std::u16string WideFromUtf8(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        uint32_t codePoint = DecodeUtf8(text, &index);
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(codePoint));
        }
    }
    return result;
}

static void AppendUtf8(std::string* result, uint32_t codePoint) {
    if (codePoint < 0x80) {
        result->push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        result->push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        result->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        result->push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        result->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        result->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        result->push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        result->push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        result->push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        result->push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

std::string Utf8FromWide(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t index = 0; index < text.size(); index++) {
        char16_t unit = text[index];
        if (IsHighSurrogate(unit) && index + 1 < text.size() && IsLowSurrogate(text[index + 1])) {
            uint32_t codePoint = 0x10000 + ((unit - 0xD800u) << 10) + (text[index + 1] - 0xDC00u);
            AppendUtf8(&result, codePoint);
            index++;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(&result, ReplacementCharacter);
        } else {
            AppendUtf8(&result, unit);
        }
    }
    return result;
}

std::string Utf8FromWide(const char16_t* text) {
    if (text == nullptr) return std::string();
    return Utf8FromWide(std::u16string_view(text));
}
