// The program in this test process, on the offscreen platform: started as the program's entry would,
// driven by the script driver's commands, with every message to a window observable.
#pragma once

#include "platform/windows.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedBox {
    std::string owner; // class of the owner window, or "" for none
    std::string caption;
    std::string text;
};

// Starts the program on a device folder (made as the program would make it when missing) with the given
// screen; returns the start-up result (0, 1, 2) or 16 when the main window was not created.
int StartProgram(const std::string& device, int screenWidth = 240, int screenHeight = 320);
// Runs script commands (as `dialdex --script` would); fails the test on a command that cannot run.
void Act(const std::string& commands);
// Message boxes shown since the program started.
const std::vector<RecordedBox>& Boxes();
// Closes the main window (the shutdown sequence) and forgets every window; returns the quit code.
int StopProgram();
// The text of a control on a page (PAGE/ID as in scripts).
std::string ControlText(const std::string& target);
// Calls observe for every message a window procedure receives from now on (null: stop).
void ObserveMessages(std::function<void(Window, uint32_t, FirstParameter, SecondParameter)> observe);
