// CSV reading and writing for the database builder.
#include "tools/csv.h"

#include <unistd.h>
#include <zlib.h>

constexpr size_t CsvBufferSize = 1 << 20;
constexpr unsigned GzipInputBufferSize = 256 * 1024;

int OpenCsvFile(CsvReader* reader, int descriptor) {
    *reader = CsvReader();
    reader->gzip = gzdopen(descriptor, "rb");
    if (reader->gzip == nullptr) {
        close(descriptor);
        return -1;
    }
    gzbuffer(reader->gzip, GzipInputBufferSize);
    reader->buffer.resize(CsvBufferSize);
    return 0;
}

void OpenCsvMemory(CsvReader* reader, const char* data, size_t size) {
    *reader = CsvReader();
    reader->buffer.assign(data, data + size);
    reader->end = size;
    reader->finished = true;
}

void CloseCsv(CsvReader* reader) {
    if (reader->gzip != nullptr) gzclose(reader->gzip);
    reader->gzip = nullptr;
    reader->buffer.clear();
    reader->position = 0;
    reader->end = 0;
    reader->finished = true;
}

// The next byte (0..255), or -1 at the end of the input.
static int PeekByte(CsvReader* reader) {
    if (reader->position == reader->end) {
        if (reader->finished || reader->gzip == nullptr) return -1;
        int got = gzread(reader->gzip, reader->buffer.data(), unsigned(reader->buffer.size()));
        reader->end = got > 0 ? size_t(got) : 0;
        reader->position = 0;
        if (got <= 0) {
            reader->finished = true;
            // gzip data cut short ends like a file, but leaves zlib's error behind.
            int error = Z_OK;
            gzerror(reader->gzip, &error);
            if (got < 0 || error != Z_OK) reader->readError = true;
            return -1;
        }
    }
    return (unsigned char)reader->buffer[reader->position];
}

static int TakeByte(CsvReader* reader) {
    int byte = PeekByte(reader);
    if (byte < 0) return -1;
    reader->position++;
    // A carriage return alone ends a line as well (the old Mac line end some spreadsheets still write).
    if (byte == '\n' || (byte == '\r' && PeekByte(reader) != '\n')) reader->line++;
    return byte;
}

// Takes a line end at the reader's position: LF, CR followed by LF, or CR alone. Returns 1 for a line end,
// 0 when there is none.
static int TakeLineEnd(CsvReader* reader) {
    int byte = PeekByte(reader);
    if (byte != '\n' && byte != '\r') return 0;
    TakeByte(reader);
    if (byte == '\r' && PeekByte(reader) == '\n') TakeByte(reader);
    return 1;
}

static void SkipByteOrderMark(CsvReader* reader) {
    reader->atStart = false;
    if (PeekByte(reader) != 0xEF) return;
    // The mark lies whole in the first piece read unless the input is shorter than it.
    if (reader->end - reader->position >= 3 && (unsigned char)reader->buffer[reader->position + 1] == 0xBB &&
        (unsigned char)reader->buffer[reader->position + 2] == 0xBF) {
        reader->position += 3;
        reader->byteOrderMark = true;
    }
}

std::string_view PeekFirstCsvLine(CsvReader* reader) {
    if (reader->atStart) SkipByteOrderMark(reader);
    if (PeekByte(reader) < 0) return std::string_view();
    std::string_view piece(reader->buffer.data() + reader->position, reader->end - reader->position);
    return piece.substr(0, piece.find_first_of("\r\n"));
}

void SkipCsvLine(CsvReader* reader) {
    if (reader->atStart) SkipByteOrderMark(reader);
    while (PeekByte(reader) >= 0 && TakeLineEnd(reader) == 0)
        TakeByte(reader);
}

long long CsvInputOffset(CsvReader* reader) {
    return reader->gzip != nullptr ? (long long)gzoffset(reader->gzip) : (long long)reader->position;
}

static int Malformed(CsvReader* reader, std::string* error, const std::string& text) {
    *error = text;
    reader->position = reader->end;
    reader->finished = true;
    return -1;
}

int ReadCsvRecord(CsvReader* reader, std::vector<std::string>* fields, long* startLine, std::string* error) {
    if (reader->atStart) SkipByteOrderMark(reader);
    fields->clear();
    if (PeekByte(reader) < 0) return reader->readError ? -2 : 0;
    *startLine = reader->line;
    std::string field;
    for (;;) {
        field.clear();
        if (PeekByte(reader) == '"') {
            TakeByte(reader);
            long quoteLine = reader->line;
            for (;;) {
                int byte = TakeByte(reader);
                if (byte < 0) {
                    if (reader->readError) return -2;
                    return Malformed(reader, error,
                                     "line " + std::to_string(quoteLine) +
                                         ": a quoted field begins there and is never closed");

                }
                if (byte == '"') {
                    if (PeekByte(reader) != '"') break;
                    TakeByte(reader);
                }
                field.push_back(char(byte));
            }
            int next = PeekByte(reader);
            if (next == reader->delimiter) {
                TakeByte(reader);
                fields->push_back(field);
                continue;
            }
            if (next >= 0 && TakeLineEnd(reader) != 1)
                return Malformed(
                    reader, error,
                    "line " + std::to_string(reader->line) +
                        ": a closing quote must end its field (a delimiter or the line's end must follow)");
            fields->push_back(field);
            return 1;
        }
        for (;;) {
            int byte = PeekByte(reader);
            if (byte < 0) {
                if (reader->readError) return -2;
                fields->push_back(field);
                return 1;
            }
            if (byte == reader->delimiter) {
                TakeByte(reader);
                fields->push_back(field);
                break;
            }
            if (TakeLineEnd(reader) == 1) {
                fields->push_back(field);
                return 1;
            }
            field.push_back(char(TakeByte(reader)));
        }
    }
}

void AppendCsvField(std::string* output, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        output->append(field);
        return;
    }
    output->push_back('"');
    for (char character : field) {
        if (character == '"') output->push_back('"');
        output->push_back(character);
    }
    output->push_back('"');
}
