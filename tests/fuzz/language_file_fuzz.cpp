// libFuzzer target: any bytes as the language file "dialdex.lng". Selecting a section (the names the
// program uses, a name over 14 bytes, a name taken from the input), looking up identifiers and listing the
// sections must stay inside their buffers and end; a found text is terminated within 127 characters.
#include "i18n/language_file.h"
#include "platform/device.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

static const std::string& FuzzFolder() {
    static std::string folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("dialdex-language-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        PrepareDeviceFolder(path.string(), "");
        return path.string();
    }();
    return folder;
}

static void CheckLookup(StreamFile* stream, int32_t identifier) {
    char16_t output[LanguageTextCapacity];
    int code = GetLanguageText(stream, identifier, output);
    if (code != 0 && code != 1) std::abort();
    int length = 0;
    while (length < LanguageTextCapacity && output[length] != 0)
        length++;
    if (length == LanguageTextCapacity) std::abort();
    if (code == 1 && length != 0) std::abort();
}

static void CountSection(const char16_t* name, void* context) {
    int length = 0;
    while (length < LanguageListNameCapacity && name[length] != 0)
        length++;
    if (length == LanguageListNameCapacity) std::abort();
    ++*static_cast<int*>(context);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = FuzzFolder() + "/dialdex.lng";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    // A name from the input: the bytes after the first "[" up to "]" or the line end, widened bytewise.
    std::u16string fromInput;
    for (size_t index = 0; index < size; index++) {
        if (data[index] != '[') continue;
        for (size_t next = index + 1; next < size && data[next] != ']' && data[next] != '\n'; next++)
            fromInput.push_back(char16_t(data[next] == 0 ? 1 : data[next]));
        break;
    }
    const char16_t* names[] = {u"RUSSIAN", u"ENGLISH", u"", u"A NAME LONGER THAN FOURTEEN BYTES",
                               fromInput.c_str()};
    const int32_t identifiers[] = {900,
                                   903,
                                   908,
                                   1100,
                                   1306,
                                   0,
                                   -1,
                                   INT32_MAX,
                                   INT32_MIN,
                                   size >= 4 ? int32_t(uint32_t(data[0]) | uint32_t(data[1]) << 8 |
                                                       uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24)
                                             : 7};

    StreamFile* stream = OpenStreamFile(u"\\dialdex.lng", "rb");
    if (stream == nullptr) std::abort();
    ResetLanguageSection();
    for (const char16_t* name : names) {
        if (SelectLanguageSection(stream, name) == 0 && LanguageSectionEnd < LanguageSectionStart - 1)
            std::abort();
        for (int32_t identifier : identifiers)
            CheckLookup(stream, identifier);
    }
    int visited = 0;
    int count = ForEachLanguageSection(stream, CountSection, &visited);
    if (count != visited) std::abort();
    // Lookups after a listing seek back to their section by themselves.
    CheckLookup(stream, 903);
    CloseStreamFile(stream);
    ResetLanguageSection();
    return 0;
}
