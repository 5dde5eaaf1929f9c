// The meta line of a dump: written by dump --meta, read by build.
#include "tools/database_meta.h"

#include "platform/command_line.h"
#include "tools/tool_support.h"


static constexpr std::string_view MetaPrefix = "# dialdex:";

std::string FormatMetaLine(std::string_view titleUtf8, int phoneDigits) {
    std::string line = std::string(MetaPrefix) + " title=";
    for (char character : titleUtf8) {
        if (character == ';' || character == '\\') line.push_back('\\');
        line.push_back(character);
    }
    return line + "; digits=" + std::to_string(phoneDigits);
}

bool IsMetaLine(std::string_view line) {
    return line.substr(0, MetaPrefix.size()) == MetaPrefix;
}

int ParseMetaLine(std::string_view line, DatabaseMeta* meta, std::string* problem) {
    *meta = DatabaseMeta();
    size_t at = MetaPrefix.size();
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ')
            at++;
        if (at == line.size()) break;
        size_t equals = line.find('=', at);
        size_t semicolon = line.find(';', at);
        if (equals == std::string_view::npos || equals > semicolon) {
            *problem =
                "the meta line's \"" + QuotableText(line.substr(at, semicolon - at)) + "\" has no \"=\"";
            return -1;
        }
        std::string key(line.substr(at, equals - at));
        std::string value;
        for (at = equals + 1; at < line.size() && line[at] != ';'; at++) {
            if (line[at] == '\\' && ++at == line.size()) {
                *problem = "the meta line ends in the middle of an escape (\"\\\")";
                return -1;
            }
            value.push_back(line[at]);
        }
        at++; // the ";"
        if (key == "title") {
            meta->hasTitle = true;
            meta->title = value;
        } else if (key == "digits") {
            long long digits = 0;
            if (ParseWholeNumber(value, -128, 127, &digits) != 0) {
                *problem = "the meta line's digits '" + QuotableText(value) + "' are no number from -128 to 127";
                return -1;
            }
            meta->hasDigits = true;
            meta->phoneDigits = int(digits);
        }
    }
    return 0;
}
