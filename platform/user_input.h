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
// A host file dropped on a top-level window: reached from the device as an opened file (device.h) and
// handed to the window's procedure as MessageDropFiles. False when the window is not top-level.
bool UserDropFile(WindowRecord* record, const std::string& hostPath);
// Presses the keys (Qt's portable text, up to four combinations such as "Ctrl+Shift+C") in the control, each
// pressed and released. False when the keys cannot be read.
bool UserPressKeys(WindowRecord* record, const std::string& keys);
