// The output formats' table and the escaping of a field in each.
#include "tools/record_format.h"

#include "tools/csv.h"

static void AppendPlainField(std::string* output, std::string_view field) {
    output->append(field);
}

static void AppendTsvField(std::string* output, std::string_view field) {
    size_t start = 0;
    for (size_t index = 0; index < field.size(); index++) {
        const char* escape = field[index] == '\t'   ? "\\t"
                             : field[index] == '\n' ? "\\n"
                             : field[index] == '\r' ? "\\r"
                             : field[index] == '\\' ? "\\\\"
                                                    : nullptr;
        if (escape == nullptr) continue;
        output->append(field.substr(start, index - start));
        output->append(escape);
        start = index + 1;
    }
    output->append(field.substr(start));
}

static void AppendJsonString(std::string* output, std::string_view field) {
    static constexpr char Hex[] = "0123456789abcdef";
    output->push_back('"');
    size_t start = 0;
    for (size_t index = 0; index < field.size(); index++) {
        unsigned char character = (unsigned char)field[index];
        if (character >= 0x20 && character != '"' && character != '\\') continue;
        output->append(field.substr(start, index - start));
        start = index + 1;
        output->push_back('\\');
        switch (character) {
        case '"':
            output->push_back('"');
            break;
        case '\\':
            output->push_back('\\');
            break;
        case '\n':
            output->push_back('n');
            break;
        case '\r':
            output->push_back('r');
            break;
        case '\t':
            output->push_back('t');
            break;
        default:
            output->append("u00");
            output->push_back(Hex[character >> 4]);
            output->push_back(Hex[character & 15]);
        }
    }
    output->append(field.substr(start));
    output->push_back('"');
}

// clang-format off
const OutputFormatRow OutputFormats[OutputFormatCount] = {
    {"plain", ';',  true,  "\n",   AppendPlainField},
    {"csv",   ',',  true,  "\r\n", AppendCsvField  },
    {"tsv",   '\t', true,  "\n",   AppendTsvField  },
    {"json",  ',',  false, "\n",   AppendJsonString},
};
// clang-format on

int FindOutputFormat(std::string_view name, OutputFormat* format) {
    for (int index = 0; index < OutputFormatCount; index++) {
        if (name != OutputFormats[index].name) continue;
        *format = OutputFormat(index);
        return 0;
    }
    return -1;
}

std::string OutputFormatNames() {
    std::string names;
    for (int index = 0; index < OutputFormatCount; index++) {
        if (index > 0) names += index + 1 == OutputFormatCount ? " or " : ", ";
        names += OutputFormats[index].name;
    }
    return names;
}

void AppendOutputLine(std::string* output, OutputFormat format, const char* const* names,
                      const std::string_view* fields, int count, unsigned numericFields) {
    const OutputFormatRow& row = OutputFormats[format];
    if (format == JsonFormat) output->push_back('{');
    for (int index = 0; index < count; index++) {
        if (index > 0) output->push_back(row.separator);
        if (format == JsonFormat) {
            AppendJsonString(output, names[index]);
            output->push_back(':');
            if (numericFields & (1u << index)) {
                output->append(fields[index]);
                continue;
            }
        }
        row.appendField(output, fields[index]);
    }
    if (format == JsonFormat) output->push_back('}');
    output->append(row.lineEnd);
}

void AppendHeaderLine(std::string* output, OutputFormat format, const char* const* names, int count) {
    const OutputFormatRow& row = OutputFormats[format];
    if (!row.header) return;
    for (int index = 0; index < count; index++) {
        if (index > 0) output->push_back(row.separator);
        row.appendField(output, names[index]);
    }
    output->append(row.lineEnd);
}
