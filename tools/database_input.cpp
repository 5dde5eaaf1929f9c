// Databases opened by host path or from standard input.
#include "tools/database_input.h"

#include "platform/text.h"
#include "tools/tool_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// True when a regular file begins with the gzip magic bytes.
static bool StartsWithGzipMagic(int descriptor) {
    unsigned char magic[2];
    return pread(descriptor, magic, sizeof magic, 0) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
}

int OpenToolDatabase(const std::string& path, DatabaseReader* reader,
                     unsigned char header[DatabaseHeaderSize], std::string* problem, MemberReading reading) {
    bool standardInput = path == "-";
    int descriptor =
        standardInput ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *problem = std::strerror(errno);
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        *problem = std::strerror(errno);
        close(descriptor);
        return -1;
    }
    if (S_ISDIR(status.st_mode)) {
        *problem = "is a folder";
        close(descriptor);
        return -1;
    }
    // Only a regular file can be looked at before it is read; anything else goes through the gzip
    // stream, which hands plain bytes on unchanged.
    bool seekable = !standardInput && S_ISREG(status.st_mode);
    bool gzipMagic = seekable && StartsWithGzipMagic(descriptor);
    bool namedCompressed = seekable && HasCompressedExtension(path);
    bool compressed = !seekable || namedCompressed || gzipMagic;
    int code = OpenDatabaseReaderOnFile(reader, descriptor, compressed);
    if (code != 0) {
        *problem = code == -2 ? "no memory for the reader's buffer" : "cannot be read";
        return -1;
    }
    if (reading == MembersSequential) {
        CloseMemberReader(reader->members);
        reader->members = nullptr;
    }
    if (reading == MembersScanned) LeaveMembersToTheScan(reader);
    int count = ReadDatabaseHeader(reader, header);
    if (count == DatabaseHeaderSize && HeaderFormatMark(header) == DatabaseFormatMark) return 0;
    const GzipStream& gzip = reader->gzip;
    std::string own = count < DatabaseHeaderSize
                          ? std::to_string(count) + " of the 29 header bytes"
                          : "format mark " + std::to_string(HeaderFormatMark(header));
    // gzip data that broke off before the header's end are named by what broke them.
    if (count < DatabaseHeaderSize && gzip.endCode == GzipEndedDamaged && gzip.damage != GzipDamageNone)
        *problem = "damaged (" + Utf8FromWide(GzipDamageText(gzip.damage)) + "): no database header could be read";
    else if (count < DatabaseHeaderSize && gzip.endCode == GzipEndedEarly)
        *problem = "cut: the gzip data end after " + own;
    else if (namedCompressed && !gzipMagic)
        *problem = "not a gzip file, nor a plain database (" + own + ")";
    else
        *problem = "not a database (" + own + ")";
    CloseDatabaseReader(reader);
    return -2;
}

// What each end of a read means for the records printed, in the order of DatabaseReadEndCode (sound and
// not looked at say nothing); %d stands for the gzip damage in words.
static const char* const ReadEndProblems[] = {
    "",
    "",
    "damaged (CRC error): the records printed may be wrong",
    "damaged (%d): the records printed may be wrong",
    "data end before the end mark after %s",
    "changed while it was read: the records printed may be wrong",
    "read error after %s: the records printed are incomplete",
};
static_assert(sizeof ReadEndProblems / sizeof ReadEndProblems[0] == DatabaseReadUnreadable + 1);

int DatabaseReadVerdict(const std::string& path, DatabaseReader* reader, int scanned, std::string* message) {
    message->clear();
    bool standardInput = path == "-";
    std::string name = standardInput ? "(standard input)" : path;
    if (!FinishDatabaseRead(reader, nullptr, nullptr)) return DatabaseReadNotChecked;
    FileIdentity pathNow;
    IdentityOfHostPath(path.c_str(), &pathNow);
    int code = DatabaseReadEnd(reader, standardInput ? nullptr : &pathNow);
    if (code == DatabaseReadSound || code == DatabaseReadNotChecked) {
        if (DatabaseHasTrailingBytes(reader)) *message = name + ": decompression OK, trailing garbage ignored";
        return code;
    }
    std::string problem = ReadEndProblems[code];
    size_t count = problem.find("%s");
    if (count != std::string::npos) problem.replace(count, 2, CountOf(scanned, "record"));
    size_t damage = problem.find("%d");
    if (damage != std::string::npos) {
        int kind = reader->gzip.damage != GzipDamageNone ? reader->gzip.damage : GzipDamageData;
        problem.replace(damage, 2, Utf8FromWide(GzipDamageText(kind)));
    }
    *message = name + ": " + problem;
    return code;
}
