// The user's own input on a control, as the script driver gives it (user_input.cpp): each acts on the
// control's face as a person would, so the program receives every notification that input gives. Each
// returns false when the control is not of a kind that takes that input, is disabled, or the index is out
// of range.
#pragma once

#include "platform/window_system.h"

#include <string>

bool UserClick(WindowRecord* record);
bool UserType(WindowRecord* record, const std::u16string& text);
bool UserClear(WindowRecord* record);
bool UserChoose(WindowRecord* record, int index);
bool UserChooseTab(WindowRecord* record, int index);
bool UserActivateRow(WindowRecord* record, int row);
bool UserClickHeader(WindowRecord* record, int column);
bool UserResizeColumn(WindowRecord* record, int column, int width);
