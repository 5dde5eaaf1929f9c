// The desktop's texts: built-in English, replaced at start-up by the selected language.
#include "app/desktop_texts.h"

#include "i18n/language_file.h"
#include "platform/text.h"

namespace {

struct DesktopTextRow {
    int id;
    const char16_t* builtIn; // "&" marks a menu's key letter
};
// clang-format off
constexpr DesktopTextRow desktopTextRows[] = {
    {TextMenuFile,          u"&File"                          },
    {TextMenuOpen,          u"&Open\u2026"                    },
    {TextMenuExport,        u"&Export results\u2026"          },
    {TextMenuSetup,         u"&Setup"                         },
    {TextMenuExit,          u"E&xit"                          },
    {TextMenuEdit,          u"&Edit"                          },
    {TextMenuCopy,          u"&Copy"                          },
    {TextMenuCopyAll,       u"Copy &all"                      },
    {TextMenuHelp,          u"&Help"                          },
    {TextMenuAbout,         u"&About"                         },
    {TextOpenCaption,       u"Open a directory database"      },
    {TextDatabaseFiles,     u"Directory databases"            },
    {TextExportCaption,     u"Export results"                 },
    {TextCsvFiles,          u"CSV files"                      },
    {TextAllFiles,          u"All files"                      },
    {TextCouldNotWrite,     u"Could not write - %s"           },
};
// clang-format on
constexpr int desktopTextCount = sizeof desktopTextRows / sizeof desktopTextRows[0];

char16_t desktopTexts[desktopTextCount][LanguageTextCapacity];

// The table starts out built-in, before anything reads it.
const bool desktopTextsReady = (ResetDesktopTexts(), true);

} // namespace

const char16_t* DesktopText(int textId) {
    for (int row = 0; row < desktopTextCount; row++)
        if (desktopTextRows[row].id == textId) return desktopTexts[row];
    return u"";
}

void ResetDesktopTexts() {
    for (int row = 0; row < desktopTextCount; row++)
        CopyText(desktopTexts[row], desktopTextRows[row].builtIn);
}

void ReplaceDesktopTexts() {
    for (int row = 0; row < desktopTextCount; row++) {
        const char16_t* text = TranslatedText(desktopTextRows[row].id, desktopTexts[row]);
        if (text != desktopTexts[row]) CopyText(desktopTexts[row], text);
    }
}
