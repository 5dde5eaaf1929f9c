// The script driver's command reader. What each command takes is in one table.
#include "platform/script_line.h"

#include <charconv>
#include <sstream>

namespace {

enum class Argument { Nothing, Numbers, RestOfLine, TextAfterSpace };

struct CommandForm {
    const char* name;
    ScriptCommand command;
    bool takesTarget;  // "PAGE/ID" first
    Argument argument; // what follows
    int numberCount;   // for Argument::Numbers
};

constexpr CommandForm CommandForms[] = {
    {"tab",       ScriptCommand::Tab,       false, Argument::Numbers,        1},
    {"wait",      ScriptCommand::Wait,      false, Argument::Nothing,        0},
    {"dump",      ScriptCommand::Dump,      false, Argument::Nothing,        0},
    {"close",     ScriptCommand::Close,     false, Argument::Nothing,        0},
    {"command",   ScriptCommand::Command,   false, Argument::Numbers,        1},
    {"shot",      ScriptCommand::Shot,      false, Argument::RestOfLine,     0},
    {"click",     ScriptCommand::Click,     true,  Argument::Nothing,        0},
    {"type",      ScriptCommand::Type,      true,  Argument::TextAfterSpace, 0},
    {"clear",     ScriptCommand::Clear,     true,  Argument::Nothing,        0},
    {"choose",    ScriptCommand::Choose,    true,  Argument::Numbers,        1},
    {"activate",  ScriptCommand::Activate,  true,  Argument::Numbers,        1},
    {"header",    ScriptCommand::Header,    true,  Argument::Numbers,        1},
    {"print",     ScriptCommand::Print,     true,  Argument::Nothing,        0},
    {"resize",    ScriptCommand::Resize,    true,  Argument::Numbers,        2},
    {"key",       ScriptCommand::Key,       true,  Argument::RestOfLine,     0},
    {"clipboard", ScriptCommand::Clipboard, false, Argument::Nothing,        0},
    {"answer",    ScriptCommand::Answer,    false, Argument::RestOfLine,     0},
    {"drop",      ScriptCommand::Drop,      false, Argument::RestOfLine,     0},
};

// A whole word as a decimal int (a leading '-' allowed). Returns false for anything else, out of range
// included.
bool ReadWholeNumber(const std::string& word, int* number) {
    if (word.empty()) return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    auto [end, result] = std::from_chars(first, last, *number);
    return result == std::errc() && end == last;
}

} // namespace

int ParseScriptLine(const std::string& rawLine, ScriptLine* parsed, std::string* error) {
    *parsed = ScriptLine();
    parsed->line = rawLine;
    while (!parsed->line.empty() && (parsed->line.back() == '\r' || parsed->line.back() == '\n'))
        parsed->line.pop_back();
    std::istringstream words(parsed->line);
    std::string name;
    if (!(words >> name) || name[0] == '#') return 0;

    const CommandForm* form = nullptr;
    for (const CommandForm& candidate : CommandForms)
        if (name == candidate.name) form = &candidate;
    if (form == nullptr) {
        *error = "unknown command '" + name + "'";
        return -1;
    }
    parsed->command = form->command;

    if (form->takesTarget) {
        std::string target;
        if (!(words >> target)) {
            *error = "missing target in '" + parsed->line + "'";
            return -1;
        }
        size_t slash = target.find('/');
        if (slash == std::string::npos) {
            *error = "expected PAGE/ID, got '" + target + "'";
            return -1;
        }
        parsed->page = target.substr(0, slash);
        if (!ReadWholeNumber(target.substr(slash + 1), &parsed->controlId)) {
            *error = "bad control id in '" + target + "'";
            return -1;
        }
    }

    switch (form->argument) {
    case Argument::Nothing:
        break;
    case Argument::Numbers:
        for (int index = 0; index < form->numberCount; index++) {
            std::string word;
            if (!(words >> word) || !ReadWholeNumber(word, &parsed->numbers[index])) {
                *error = "expected a number in '" + parsed->line + "'";
                return -1;
            }
            parsed->numberCount++;
        }
        break;
    case Argument::RestOfLine:
        std::getline(words >> std::ws, parsed->text);
        if (parsed->text.empty()) {
            *error = std::string(form->command == ScriptCommand::Key ? "missing keys" : "missing file") +
                     " in '" + parsed->line + "'";
            return -1;
        }
        break;
    case Argument::TextAfterSpace:
        // One space separates the target from the text; further spaces belong to the text.
        if (words.peek() == ' ') words.get();
        std::getline(words, parsed->text);
        break;
    }
    return 0;
}
