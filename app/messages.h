// The message text table and the one place that turns the program's texts into message boxes.
#pragma once

#include "platform/format.h"
#include "platform/windows.h"

// Text identifiers of the message texts.
enum MessageTextId {
    TextError = 900,
    TextInfo = 901,
    TextNoCriteria = 902,
    TextCannotSaveIni = 903,
    TextBadDatabase = 904,
    TextMaxDatabases = 905,
    TextAllDatabasesGood = 906,
    TextWrongDatabases = 907,
    TextScanned = 908,
    TextQuery = 909,
    TextPhoneKey = 910,
    TextNameKey = 911,
    TextStreetKey = 912,
    TextHouseKey = 913,
    TextFlatKey = 914,
    TextStart = 915,
    TextStop = 916,
    TextNoDatabase = 917, // Start with no database installed
};
constexpr int FirstMessageTextId = 900;
constexpr int MessageTextCount = 18;
static_assert(TextNoDatabase - TextError + 1 == MessageTextCount,
              "the message texts are identifiers 900 to 917");
constexpr int MessageTextCapacity = 80; // 79 characters and the terminator

extern char16_t MessageTexts[MessageTextCount][MessageTextCapacity];

// The slot of a message text by its identifier (900 to 917).
const char16_t* MessageText(int textId);
// Puts the built-in texts back into every slot.
void ResetMessageTexts();
// Start-up step 6: every non-empty text of identifiers 900 to 917 in the selected section replaces the
// slot's text (cut to 79 characters).
void ReplaceMessageTexts();

// Formats text (at most 1023 characters) and shows it in a modal box with an OK button, captioned
// by a message text (captionId) or by a fixed caption.
void ShowMessage(Window owner, int captionId, const char16_t* format,
                 std::initializer_list<FormatArgument> arguments);
void ShowMessageFixedCaption(Window owner, const char16_t* caption, const char16_t* format,
                             std::initializer_list<FormatArgument> arguments);
