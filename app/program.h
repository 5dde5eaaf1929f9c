// The program's entry and the process-wide state that start-up prepares and every other part reads.
#pragma once

#include "app/identifiers.h"
#include "platform/files.h"
#include "platform/windows.h"

#include <cstdint>

// Exit codes of the program's entry.
constexpr int ExitNormal = 0;
constexpr int ExitStartupFailed = 1;     // main window class not registered, or no language file
constexpr int ExitPageClassFailed = 2;   // a page class not registered
constexpr int ExitMainWindowFailed = 16; // main window (or its tab control, or a page) not created

// Page indexes: the order of the tabs, the page windows table, the class registrations and creation.
enum PageIndex { PageSearch = 0, PageResult = 1, PageSetup = 2, PageAbout = 3, PageExit = 4, PageCount = 5 };
static_assert(FirstPageWindowId + PageExit == 9, "the page windows are controls 5 to 9");
static_assert(FirstTabLabelId + PageExit == 704, "the tab labels are texts 700 to 704");

extern Instance ProgramInstance;         // given to the program's entry; every window is made with it
extern char16_t ProgramFolder[260];      // folder of the executable, always ending in a backslash
extern StreamFile* LanguageFile;         // open from start-up to shutdown
extern char16_t CurrentLanguageName[32]; // the language-file section in use (at most 31 characters)
extern int OrientationIndex;             // 0 portrait, 1 landscape; chosen once at start-up
extern Window MainWindow;                // the main window "Dialdex v.2"
extern Window TabControl;                // control 200, parent of the page windows
extern int CurrentPage;                  // the page shown; never PageExit
extern Window PageWindows[PageCount];    // by page index

// Takes the program instance, the previous instance (ignored), the command line (the device path of a
// database to open for this run, or empty) and the show mode; returns the exit code (ExitNormal,
// ExitStartupFailed, ExitPageClassFailed, ExitMainWindowFailed).
int ProgramEntry(Instance instance, Instance previousInstance, const char16_t* commandLine, int showMode);

// Start-up in order: main window class, program folder, language file, language setting, section,
// message texts, page classes. Returns 0, ExitStartupFailed or ExitPageClassFailed.
int RunStartupSequence(Instance instance);
// Creates and shows the main window; returns it, or null (exit code 16).
Window CreateMainWindow(Instance instance, int showMode);

// The folder of an executable path: cut right after its last backslash, or "\" when it has none.
void ProgramFolderFromPath(const char16_t* executablePath, char16_t* folder, int capacity);
// 1 (landscape) when the screen height is less than 295 pixels, else 0 (portrait).
int OrientationForScreenHeight(int screenHeight);

// Page switching and closing (the main window's operations, used by other pages).
void SelectPage(int pageIndex);
void ShowPage(int pageIndex);
MessageResult CloseRequest(Window mainWindow);
// Whether the main window's command can be done now: Copy needs a focused row, Copy all and Export a row,
// and none of them a running search (its rows are still changing). Every other command: true.
bool CommandAvailable(int command);
