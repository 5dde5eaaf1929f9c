// The window program's command line: the device it runs on, the screen it reports, a script to drive it
// and a database to open.
//   dialdex [--device DIR] [--card DIR] [--screen WxH] [--codepage N] [--script FILE|-] [--zoom F] [FILE]
#pragma once

#include <string>

struct StartOptions {
    std::string device;  // the device's root folder "\" on the host
    std::string card;    // a host folder shown as "\Storage Card"; empty: none
    int screenWidth = 0; // the screen the device reports; 0: the host's
    int screenHeight = 0;
    int codePage = 1251; // the device's 8-bit code page, already in use once parsed
    std::string script;  // commands to run on the offscreen platform ("-": standard input); empty: none
    std::string file;    // a database given to open; empty: none
    double zoom = 0;     // host pixels per device pixel, 0.5 to 8 in steps of 0.25; 0: the default
};

// Parses and checks the arguments; device starts as the default folder given. Returns -1 to go on, or the
// exit code: 0 after --help or --version, 2 after a bad option or value (reported on standard error).
int ParseStartOptions(int argumentCount, char** arguments, const std::string& defaultDevice,
                      StartOptions* options);
// Reports a start-up failure as "dialdex: text" on standard error. Returns 2.
int ReportStartFailure(const std::string& text);
