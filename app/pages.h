// The window classes of the main window and the five pages.
#pragma once

#include "platform/windows.h"

inline constexpr const char16_t* MainWindowClassName = u"Dialdex";

// Each returns 0, or 1 when the platform refuses the registration.
int RegisterMainWindowClass(Instance instance);
int RegisterSearchPageClass(Instance instance);
int RegisterResultPageClass(Instance instance);
int RegisterSetupPageClass(Instance instance);
int RegisterAboutPageClass(Instance instance);
int RegisterExitPageClass(Instance instance);

// The page classes by page index, with the built-in tab labels (text identifiers 700 to 704).
struct PageDescription {
    const char16_t* className;
    const char16_t* tabLabel;
};
extern const PageDescription Pages[5];

// Names the desktop's keys for the main window and its pages (key_table.cpp), once they are made.
void InstallKeyCommands();
// Asks where to save and writes the result rows there as CSV (result_export.cpp). Codes: 0 written;
// 1 the user cancelled; -1 not written (the user has been told; an existing file stays as it was).
int ExportResults(Window owner);
// Copy (the focused row) and Copy all: the rows as tab-separated text on the clipboard. Codes: 0 copied;
// 1 refused, the text would pass the memory budget (the user has been told, with owner as the box's owner).
int CopyResultRows(Window owner, bool allRows);
