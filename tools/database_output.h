// Writing a database file for the tools: the header, the record stream, plain or gzip-compressed by the
// file's name (".zdb"). Where the bytes go depends on what the name is:
// - "-": standard output, in the plain form;
// - a pipe or a character device: straight into it, nothing is made or replaced;
// - a regular file, or no file yet: a temporary file beside it, renamed into place only when everything
//   has been written, so no half-written database is ever left under the name (a file replaced keeps its
//   permissions);
// - a symbolic link: what it points at, as above; the link itself stays.
// Anything else (a folder, a block device, a socket) is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/member_writer.h"

struct gzFile_s;

enum OutputKind {
    OutputToStandardOutput = 0, // "-"
    OutputIntoStream = 1,       // a pipe or a character device, written straight into
    OutputByReplacement = 2,    // a regular file (or none yet), replaced through a temporary file
};

// Where a name given for a database leads.
struct OutputTarget {
    std::string path;         // as given
    std::string resolvedPath; // after symbolic links: the file written into or replaced
    OutputKind kind = OutputByReplacement;
    bool exists = false; // something is at resolvedPath now
    uint64_t device = 0; // and its device and inode numbers
    uint64_t inode = 0;
    bool compressed = false; // the name given ends in ".zdb" (any letter case)
    bool singleMember = false; // compressed as one gzip member rather than members for parallel reading
};

// Follows the name to what it will write. Codes:
//   0 resolved
//  -1 refused: a folder, a block device, a socket, a loop of links, or a name that cannot be looked at;
//     problem says why
int ResolveDatabaseOutput(const std::string& path, OutputTarget* target, std::string* problem);
// True when the target is the very file open on the descriptor (same device and inode), as when a build
// is asked to write over its own input.
bool OutputIsOpenFile(const OutputTarget& target, int descriptor);

struct DatabaseOutput {
    OutputTarget target;
    int descriptor = -1;         // where the plain bytes go (or what zlib was handed)
    bool ownsDescriptor = false; // false for standard output, which stays open
    std::string temporaryPath;   // OutputByReplacement: the file written before the rename
    gzFile_s* gzip = nullptr;   // a single member
    MemberWriter members;       // members for parallel reading (members.deflater set while in use)
    std::vector<unsigned char> pending;
    bool failed = false;
    int errorNumber = 0; // the system's reason for the first failure
};

// Opens what the target names (the temporary file for a replacement). Returns 0, or -1 (see
// DatabaseOutputProblem); nothing is left behind then.
int OpenDatabaseOutput(DatabaseOutput* output, const OutputTarget& target);
void WriteDatabaseBytes(DatabaseOutput* output, const void* bytes, size_t count);
// Writes the header: record count, format mark, phone digits and the title (device code page, at most 22
// bytes), and then the first length byte comes with the first record.
void WriteDatabaseHeader(DatabaseOutput* output, int32_t recordCount, int phoneDigits, const char* title);

// One record as the stream holds it: its length byte and its block content (the phone number and the four
// texts with their terminators); the next record's length byte, or the end mark, ends the block.
constexpr int EncodedRecordCapacity = 256;
// Encodes a record into bytes. Returns the byte count, or -1 when the phone passes 24 bits or the texts do
// not fit a block (8 + their lengths <= 254: see RecordBlockLength).
int EncodeDatabaseRecord(unsigned char bytes[EncodedRecordCapacity], uint32_t phone, const char* name,
                         const char* street, const char* house, const char* flat);
// Writes one record. Returns 0, or -1 when it cannot be encoded; nothing is written then.
int WriteDatabaseRecord(DatabaseOutput* output, uint32_t phone, const char* name, const char* street,
                        const char* house, const char* flat);
// The block length a record needs.
int RecordBlockLength(size_t nameLength, size_t streetLength, size_t houseLength, size_t flatLength);

// Writes the end mark, flushes and closes; a replacement is synced and renamed into place. Returns 0, or
// -1 (a replacement's temporary file is removed and the old file stays).
int FinishDatabaseOutput(DatabaseOutput* output);
// Closes, and removes a replacement's temporary file.
void AbandonDatabaseOutput(DatabaseOutput* output);
// Why the output failed, in the system's words.
std::string DatabaseOutputProblem(const DatabaseOutput* output);
