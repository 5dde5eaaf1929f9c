// The script driver: drives the program as a user would, one command a line, on the offscreen platform.
//   tab N · click PAGE/ID · type PAGE/ID TEXT · clear PAGE/ID · choose PAGE/ID N ·
//   activate PAGE/ID ROW · header PAGE/ID COL · resize PAGE/ID COL WIDTH · wait · dump · shot FILE.png ·
//   close · command N · print PAGE/ID (a control as a person reads it: its text, items or rows) ·
//   key PAGE/ID KEYS (Qt's portable text: "Return", "Ctrl+Shift+C") · clipboard · answer PATH (the next
//   file dialog's answer; a dialog without one is cancelled) · drop PATH (a file dropped on the main window)
// PAGE is a page class (SearchWnd, ResultWnd, SetupWnd, AboutWnd) or "main"; ID a control identifier.
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

// The window tree as one JSON line ({"windows":[...]}), and a message box as one ({"box":{...}}).
std::string DumpWindowTree();
std::string DescribeMessageBox(Window owner, const char16_t* text, const char16_t* caption);

// Runs one script command now. Returns 0, or -1 with a reason in error for a line that cannot be run.
// Output lines (dump, shot) are appended to output.
int RunScriptCommand(const std::string& line, std::string* output, std::string* error);

// Loads the script (a file path, or "-" for standard input) and has the message loop run it, a command
// whenever no posted message waits; when it ends the main window is closed. Message boxes are printed
// and answered OK. Returns 0, or -1 when the script cannot be read.
int StartScript(const std::string& path);
// How many lines of the script could not be carried out (an unknown command, no such control, a bad
// argument): the process then ends with 2, so automation sees that the script did not do its work.
size_t FailedScriptLines();
// Message boxes printed to standard output and answered OK (the script and the tests use this).
void PrintMessageBoxes();
