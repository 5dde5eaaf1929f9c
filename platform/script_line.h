// The script driver's command reader: one line of a script split into its command, its target control
// and its arguments, with no window touched, so that any bytes can be read safely (and fuzzed).
#pragma once

#include <string>

enum class ScriptCommand {
    None, // a blank line or a comment ("#...")
    Tab,
    Wait,
    Dump,
    Close,
    Command,
    Shot,
    Click,
    Type,
    Clear,
    Choose,
    Activate,
    Header,
    Print,
    Resize,
    Key,
    Clipboard,
    Answer,
    Drop,
};

constexpr int ScriptLineMaxNumbers = 2;

struct ScriptLine {
    ScriptCommand command = ScriptCommand::None;
    std::string line;  // the line without its line end, for messages
    std::string page;  // PAGE of "PAGE/ID" for commands on a control
    int controlId = 0; // ID of "PAGE/ID"
    int numbers[ScriptLineMaxNumbers] = {};
    int numberCount = 0;
    std::string text; // the text to type (after one space), the keys, or a file (shot, answer, drop)
};

// `ParseScriptLine`: reads one script line. Returns 0 when the line is a well-formed command (or blank,
// or a comment), -1 with a reason in error when it is not: unknown command, missing or malformed
// "PAGE/ID", a missing or non-numeric number, a screenshot, answer or drop without a file, keys missing.
int ParseScriptLine(const std::string& rawLine, ScriptLine* parsed, std::string* error);
