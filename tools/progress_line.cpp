// The progress line of the tools.
#include "tools/progress_line.h"

#include <unistd.h>

#include <cstdio>

using ProgressClock = std::chrono::steady_clock;
static constexpr auto ProgressDelay = std::chrono::seconds(1);
static constexpr auto ProgressInterval = std::chrono::milliseconds(200);

void StartProgress(ProgressLine* progress) {
    *progress = ProgressLine();
    progress->terminal = isatty(STDERR_FILENO) == 1;
    progress->started = ProgressClock::now();
}

bool ProgressDue(ProgressLine* progress) {
    if (!progress->terminal) return false;
    ProgressClock::time_point now = ProgressClock::now();
    if (now - progress->started < ProgressDelay) return false;
    return !progress->visible || now - progress->drawn >= ProgressInterval;
}

void ShowProgress(ProgressLine* progress, const std::string& text) {
    // "\r" back to the start of the line, "ESC [ K" clears what a longer line left.
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    progress->visible = true;
    progress->drawn = ProgressClock::now();
}

void EndProgress(ProgressLine* progress) {
    if (progress->visible) std::fputs("\r\033[K", stderr);
    progress->visible = false;
}
