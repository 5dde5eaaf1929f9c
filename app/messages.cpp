// The message text table: built-in English texts, replaced at start-up by the selected language.
#include "app/messages.h"

#include "app/program.h"
#include "i18n/language_file.h"
#include "platform/text.h"

char16_t MessageTexts[MessageTextCount][MessageTextCapacity];

namespace {

constexpr const char16_t* builtInMessageTexts[MessageTextCount] = {
    u"Error",                                                    // 900
    u"Info",                                                     // 901
    u"You must input some criteria(s)",                          // 902
    u"Could not open ini file for save - %s",                    // 903
    u"Bad db file  - %s",                                        // 904
    u"Max db file = %i",                                         // 905
    u"All installed db files - ok!",                             // 906
    u"Found: %i wrong db files\r\n\r\nBad entrances deleted.",   // 907
    u"Scaned: %i, results: %i",                                  // 908
    u"Query: ",                                                  // 909
    u"phone=",                                                   // 910
    u"name=",                                                    // 911
    u"street=",                                                  // 912
    u"house=",                                                   // 913
    u"flat=",                                                    // 914
    u"Start",                                                    // 915
    u"Stop",                                                     // 916
    u"No database is installed: install one on the Setup page.", // 917
    u"Memory full! Read %i, found %i",                           // 918
    u"The db file is damaged, the results may be wrong - %s",    // 919
    u"The db file ended early, the results are incomplete - %s", // 920
    u"The db file changed during the search, the results may be wrong - %s", // 921
    u"Out of memory: the last action was not completed.",        // 922
    u"Not enough memory to copy %i rows.",                       // 923
    u"Not enough memory to sort %i rows.",                       // 924
};

// The table starts out built-in, before anything reads it.
const bool messageTextsReady = (ResetMessageTexts(), true);

} // namespace

const char16_t* MessageText(int textId) {
    int slot = textId - FirstMessageTextId;
    if (slot < 0 || slot >= MessageTextCount) return u"";
    return MessageTexts[slot];
}

void ResetMessageTexts() {
    for (int slot = 0; slot < MessageTextCount; slot++)
        CopyText(MessageTexts[slot], builtInMessageTexts[slot]);
}

void ReplaceMessageTexts() {
    for (int slot = 0; slot < MessageTextCount; slot++) {
        const char16_t* text = TranslatedText(FirstMessageTextId + slot, MessageTexts[slot]);
        if (text != MessageTexts[slot]) CopyText(MessageTexts[slot], text);
    }
}

void ShowMessageFixedCaption(Window owner, const char16_t* caption, const char16_t* format,
                             std::initializer_list<FormatArgument> arguments) {
    // Each box formats into its own buffer: the search worker shows boxes too, and a buffer shared
    // between the two threads could be overwritten while a box still shows it.
    char16_t text[1024];
    FormatWide(text, 1024, format, arguments);
    MessageBox(owner, text, caption, MessageBoxOk);
}

void ShowMessage(Window owner, int captionId, const char16_t* format,
                 std::initializer_list<FormatArgument> arguments) {
    ShowMessageFixedCaption(owner, MessageText(captionId), format, arguments);
}
