// Writing a database file for the tools: the header, the record stream, plain or gzip-compressed by the
// file's name. The bytes go to a temporary file beside the destination, which is renamed into place only
// when everything has been written, so no half-written database is ever left under the name asked for.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct gzFile_s;

struct DatabaseOutput {
    std::string path;
    std::string temporaryPath;
    bool compressed = false;
    std::FILE* plain = nullptr;
    gzFile_s* gzip = nullptr;
    std::vector<unsigned char> pending;
    bool failed = false;
};

// Opens the temporary file. Returns 0, or -1 when it cannot be created.
int OpenDatabaseOutput(DatabaseOutput* output, const std::string& hostPath);
void WriteDatabaseBytes(DatabaseOutput* output, const void* bytes, size_t count);
// Writes the header: record count, format mark, phone digits and the title (device code page, at most 22
// bytes), and then the first length byte comes with the first record.
void WriteDatabaseHeader(DatabaseOutput* output, int32_t recordCount, int phoneDigits, const char* title);
// Writes one record as its length byte and block content: the phone number and the four texts with their
// terminators. Returns 0, or -1 when the phone passes 24 bits or the texts do not fit a block (8 + their
// lengths <= 254: see RecordBlockLength); nothing is written then.
int WriteDatabaseRecord(DatabaseOutput* output, uint32_t phone, const char* name, const char* street,
                        const char* house, const char* flat);
// The block length a record needs.
int RecordBlockLength(size_t nameLength, size_t streetLength, size_t houseLength, size_t flatLength);
// Writes the end mark, flushes, closes and renames into place. Returns 0, or -1 (nothing is left behind).
int FinishDatabaseOutput(DatabaseOutput* output);
// Closes and removes the temporary file.
void AbandonDatabaseOutput(DatabaseOutput* output);
