// A progress line on standard error while a long task runs, in place of a silent wait: shown only when
// standard error is a terminal, once the task has run for a second, and redrawn at most five times a
// second. The summary that follows starts on a clean line.
#pragma once

#include <chrono>
#include <string>

struct ProgressLine {
    bool terminal = false; // standard error is a terminal
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point drawn; // when the line was last drawn
    bool visible = false;                        // a line is on the screen
};

void StartProgress(ProgressLine* progress);
// True when the line is due to be drawn again.
bool ProgressDue(ProgressLine* progress);
// Draws the text in place of the line before.
void ShowProgress(ProgressLine* progress, const std::string& text);
// Clears the line.
void EndProgress(ProgressLine* progress);
