// The script driver's reading of a control (dump.cpp), beside the window tree and the message box lines
// that platform/script.h offers.
#pragma once

#include "platform/window_system.h"

#include <string>

// A control as a person reads it: its text, or its items a line each, or a list's rows with their cells
// joined by " | ".
std::string DescribeControlText(WindowRecord* record);
