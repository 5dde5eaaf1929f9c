// The language choice on the Setup page: the selector (control 1308) lists the language file's sections
// with the one in use preselected, and Save (control 1309) stores the chosen one for the next start.
#pragma once

#include "platform/files.h"
#include "platform/windows.h"

#include <string>

// `FillLanguageList`: appends every section name of the language file to the Setup page's selector in
// file order (a name longer than the current language name's 31 characters is listed cut to them) and
// makes current the last item whose name equals the current language name, ignoring letter case.
// Returns 0.
int FillLanguageList(StreamFile* languageFile, Window setupPage);

// `SaveLanguage`, the Setup page's handler for Save: on a click, takes the selector's current item as
// the current language name, stores it as "Language" and tells the user it counts from the next start.
// Codes: 0 stored (or nothing to do: not a click, or no current item); -1 the settings key cannot be
// created or opened (the user has been told, and the restart box is not shown).
MessageResult SaveLanguage(Window setupPage, int controlId, Window control, int notificationCode);

// When no language is stored: the section named after the locale's language (ENGLISH for "en", UKRAINIAN
// for "uk", RUSSIAN for "ru") becomes the current language name when the file has it; otherwise the name
// stays as it is. Returns 0 when the locale's section was taken, -1 when not.
int TakeLocaleLanguage(StreamFile* languageFile, const std::string& localeLanguage);

// The language code ("en", "uk", "ru") of a section name, as the locale names it; "" for another section.
const char* SectionLanguageCode(const char16_t* section);
