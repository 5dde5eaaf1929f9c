// libFuzzer target: the script driver's command reader over any bytes, one line at a time. It must end,
// and a line it accepts must say what the command needs: its target, its numbers, its file.
#include "platform/script_line.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ScriptLine parsed;
        std::string error;
        int code = ParseScriptLine(text.substr(start, end - start), &parsed, &error);
        if (code != 0 && code != -1) std::abort();
        if (code == -1 && error.empty()) std::abort();
        if (code == 0) {
            switch (parsed.command) {
            case ScriptCommand::Click:
            case ScriptCommand::Clear:
            case ScriptCommand::Print:
            case ScriptCommand::Type:
                if (parsed.numberCount != 0) std::abort();
                break;
            case ScriptCommand::Choose:
            case ScriptCommand::Activate:
            case ScriptCommand::Header:
            case ScriptCommand::Tab:
            case ScriptCommand::Command:
                if (parsed.numberCount != 1) std::abort();
                break;
            case ScriptCommand::Resize:
                if (parsed.numberCount != 2) std::abort();
                break;
            case ScriptCommand::Shot:
                if (parsed.text.empty()) std::abort();
                break;
            default:
                break;
            }
            if (parsed.line.find('\n') != std::string::npos) std::abort();
        }
        start = end + 1;
    }
    return 0;
}
