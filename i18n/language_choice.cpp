// The language selector and its Save button. The selector is filled once, when the Setup page is made;
// a saved choice changes nothing on the screen, since every text was taken at start-up.
#include "i18n/language_choice.h"

#include "app/identifiers.h"
#include "app/messages.h"
#include "app/program.h"
#include "i18n/language_file.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <cstring>

namespace {

constexpr int LanguageNameFieldCapacity = sizeof CurrentLanguageName / sizeof CurrentLanguageName[0];

struct LanguageListFilling {
    Window selector; // the language selector 1308
    int itemCount;   // items appended so far
};

// A name is listed as it would be stored: cut to the current language name's field, so that the item
// the user sees is exactly the name that Save writes and the next start reads back.
void AddLanguageItem(const char16_t* sectionName, void* context) {
    LanguageListFilling* filling = static_cast<LanguageListFilling*>(context);
    char16_t name[LanguageNameFieldCapacity];
    CopyText(name, sectionName);
    SendMessage(filling->selector, ComboBoxAddString, 0, reinterpret_cast<SecondParameter>(name));
    // Compared with each later item too, so that of two equal names the later one ends current.
    if (CompareWideLocale(name, CurrentLanguageName, true) == 0) {
        SendMessage(filling->selector, ComboBoxSetCurrentSelection,
                    static_cast<FirstParameter>(filling->itemCount), 0);
    }
    filling->itemCount++;
}

} // namespace

int FillLanguageList(StreamFile* languageFile, Window setupPage) {
    LanguageListFilling filling{GetDlgItem(setupPage, LanguageSelectorId), 0};
    ForEachLanguageSection(languageFile, AddLanguageItem, &filling);
    return 0;
}

MessageResult SaveLanguage(Window setupPage, int, Window, int notificationCode) {
    if (notificationCode != ButtonClicked) return 0;
    Window selector = GetDlgItem(setupPage, LanguageSelectorId);
    MessageResult current = SendMessage(selector, ComboBoxGetCurrentSelection, 0, 0);
    if (current < 0) return 0;
    // The selector hands over at most 260 characters; the name field keeps 31 of them.
    char16_t itemText[260] = {};
    if (SendMessage(selector, ComboBoxGetItemText, static_cast<FirstParameter>(current),
                    reinterpret_cast<SecondParameter>(itemText)) < 0)
        return 0;
    // The whole 64-byte field is stored: clearing it first keeps an earlier, longer name's tail out of
    // the registry.
    std::memset(CurrentLanguageName, 0, sizeof CurrentLanguageName);
    CopyText(CurrentLanguageName, itemText);
    if (SaveLanguageSetting(setupPage) != 0) return -1;
    ShowMessage(setupPage, TextInfo, u"You need to restart program in order to apply changes.", {});
    return 0;
}

namespace {

struct LocaleSection {
    const char* localeLanguage;
    const char16_t* section;
};
// clang-format off
constexpr LocaleSection localeSections[] = {
    {"en", u"ENGLISH"  },
    {"uk", u"UKRAINIAN"},
    {"ru", u"RUSSIAN"  },
};
// clang-format on

} // namespace

int TakeLocaleLanguage(StreamFile* languageFile, const std::string& localeLanguage) {
    for (const LocaleSection& row : localeSections) {
        if (localeLanguage != row.localeLanguage) continue;
        if (SelectLanguageSection(languageFile, row.section) != 0) return -1;
        CopyText(CurrentLanguageName, row.section);
        return 0;
    }
    return -1;
}

const char* SectionLanguageCode(const char16_t* section) {
    for (const LocaleSection& row : localeSections)
        if (CompareWide(section, row.section) == 0) return row.localeLanguage;
    return "";
}
