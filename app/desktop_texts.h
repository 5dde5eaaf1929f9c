// The desktop's texts: the menus, the file dialogs and the messages only a desktop shows, each with a
// built-in English text replaced at start-up by the selected language's (identifiers 1000 to 1069).
#pragma once

#include "app/identifiers.h"

// The text of a desktop text identifier as it stands after start-up; "" for an identifier not in the
// table.
const char16_t* DesktopText(int textId);
// Puts the built-in texts back.
void ResetDesktopTexts();
// Start-up, after the section is selected: every non-empty text the section gives replaces the built-in
// one (cut to 127 characters).
void ReplaceDesktopTexts();
