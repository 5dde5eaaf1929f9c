// The message text table and the one place that turns the program's texts into message boxes.
#pragma once

#include "app/identifiers.h"
#include "platform/format.h"
#include "platform/windows.h"

constexpr int MessageTextCapacity = 80; // 79 characters and the terminator

extern char16_t MessageTexts[MessageTextCount][MessageTextCapacity];

// The slot of a message text by its identifier (900 to 924).
const char16_t* MessageText(int textId);
// Puts the built-in texts back into every slot.
void ResetMessageTexts();
// Start-up step 6: every non-empty text of identifiers 900 to 924 in the selected section replaces the
// slot's text (cut to 79 characters).
void ReplaceMessageTexts();

// Formats text (at most 1023 characters) and shows it in a modal box with an OK button, captioned
// by a message text (captionId) or by a fixed caption.
void ShowMessage(Window owner, int captionId, const char16_t* format,
                 std::initializer_list<FormatArgument> arguments);
void ShowMessageFixedCaption(Window owner, const char16_t* caption, const char16_t* format,
                             std::initializer_list<FormatArgument> arguments);
