// Database files written by the tools.
#include "tools/database_output.h"

#include "db/database_file.h"
#include "db/database_reader.h"
#include "tools/tool_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <zlib.h>

constexpr size_t PendingLimit = 1 << 20;
// zlib's default, as "wb6" gives the single member.
constexpr int CompressionLevel = 6;
// As many links as the system itself follows before it calls it a loop.
constexpr int MaximumLinksFollowed = 40;

static std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links from path, one at a time, to the name that is not a link (it may not exist).
// Returns 0, or -1 with problem.
static int FollowLinks(const std::string& path, std::string* resolved, std::string* problem) {
    std::string current = path;
    for (int followed = 0; followed <= MaximumLinksFollowed; followed++) {
        struct stat status;
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            *resolved = current;
            return 0;
        }
        char target[PATH_MAX];
        ssize_t length = readlink(current.c_str(), target, sizeof target - 1);
        if (length < 0) {
            *problem = std::strerror(errno);
            return -1;
        }
        target[length] = 0;
        current = target[0] == '/' ? std::string(target) : FolderOf(current) + "/" + target;
    }
    *problem = "too many levels of symbolic links";
    return -1;
}

int ResolveDatabaseOutput(const std::string& path, OutputTarget* target, std::string* problem) {
    *target = OutputTarget();
    target->path = path;
    target->resolvedPath = path;
    target->compressed = HasCompressedExtension(path);
    if (path == "-") {
        target->kind = OutputToStandardOutput;
        target->compressed = false;
        struct stat status;
        if (fstat(STDOUT_FILENO, &status) == 0) {
            target->exists = true;
            target->device = uint64_t(status.st_dev);
            target->inode = uint64_t(status.st_ino);
        }
        return 0;
    }
    if (path.empty()) {
        *problem = "an empty name names no file";
        return -1;
    }
    if (FollowLinks(path, &target->resolvedPath, problem) != 0) return -1;
    struct stat status;
    if (stat(target->resolvedPath.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            *problem = std::strerror(errno);
            return -1;
        }
        target->kind = OutputByReplacement;
        return 0;
    }
    target->exists = true;
    target->device = uint64_t(status.st_dev);
    target->inode = uint64_t(status.st_ino);
    if (S_ISREG(status.st_mode)) {
        target->kind = OutputByReplacement;
    } else if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) {
        target->kind = OutputIntoStream;
    } else {
        *problem =
            S_ISDIR(status.st_mode) ? "is a folder" : "is neither a file, a pipe nor a character device";
        return -1;
    }
    return 0;
}

bool OutputIsOpenFile(const OutputTarget& target, int descriptor) {
    struct stat status;
    if (!target.exists || fstat(descriptor, &status) != 0) return false;
    return uint64_t(status.st_dev) == target.device && uint64_t(status.st_ino) == target.inode;
}

static void NoteFailure(DatabaseOutput* output) {
    if (!output->failed) output->errorNumber = errno != 0 ? errno : EIO;
    output->failed = true;
}

// --- The temporary file and the signals that end a run -------------------------------------------------

// The temporary file being written ("" when none): a signal that ends the program removes it first.
// Fixed, so the handler reads it without touching anything that may be half-changed.
static char partialFile[PATH_MAX + 64];
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

static void RemovePartialFileAndEnd(int signalNumber) {
    if (partialFile[0] != 0) unlink(partialFile);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber); // delivered as the handler returns: the program ends as the signal asked
}

// Catches the ending signals that are not ignored (nohup's ignored SIGHUP stays ignored), once.
static void CatchEndingSignals() {
    static bool caught = false;
    if (caught) return;
    caught = true;
    for (int signalNumber : EndingSignals) {
        struct sigaction now;
        if (sigaction(signalNumber, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
        struct sigaction removing = {};
        removing.sa_handler = RemovePartialFileAndEnd;
        sigemptyset(&removing.sa_mask);
        sigaction(signalNumber, &removing, nullptr);
    }
}

// Names the file a signal removes ("" for none), with the signals held off so the handler never meets
// half a name.
static void SetPartialFile(const std::string& path) {
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int signalNumber : EndingSignals)
        sigaddset(&ending, signalNumber);
    sigprocmask(SIG_BLOCK, &ending, &before);
    if (path.size() < sizeof partialFile)
        std::memcpy(partialFile, path.c_str(), path.size() + 1);
    else
        partialFile[0] = 0;
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Makes the temporary file beside the one it replaces, with the permissions of the old file (or, for a new
// file, what the umask leaves of 0666). Returns the descriptor, or -1.
static int CreateTemporaryFile(DatabaseOutput* output) {
    const OutputTarget& target = output->target;
    struct stat old;
    bool replacing = stat(target.resolvedPath.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    for (int attempt = 0; attempt < 100; attempt++) {
        // Built by appending: g++ 12 at -O2 misreads "-" + std::to_string(...) as an overlapping copy.
        output->temporaryPath = target.resolvedPath + ".partial-" + std::to_string(getpid());
        if (attempt > 0) output->temporaryPath.append("-").append(std::to_string(attempt));
        CatchEndingSignals();
        // The name is given to the handler before the file exists, so no moment leaves it made and
        // unnamed (a file already of that name can only be the leftover of a killed run with this PID).
        SetPartialFile(output->temporaryPath);
        int descriptor = open(output->temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            if (replacing) fchmod(descriptor, old.st_mode & 07777);
            return descriptor;
        }
        SetPartialFile("");
        if (errno != EEXIST) break;
    }
    output->temporaryPath.clear();
    return -1;
}

int OpenDatabaseOutput(DatabaseOutput* output, const OutputTarget& target) {
    *output = DatabaseOutput();
    output->target = target;
    errno = 0;
    switch (target.kind) {
    case OutputToStandardOutput:
        output->descriptor = STDOUT_FILENO;
        break;
    case OutputIntoStream:
        // O_TRUNC does nothing to a pipe or a device; no O_CREAT, so nothing is ever made in its place.
        output->descriptor = open(target.resolvedPath.c_str(), O_WRONLY | O_CLOEXEC);
        output->ownsDescriptor = true;
        break;
    case OutputByReplacement:
        output->descriptor = CreateTemporaryFile(output);
        output->ownsDescriptor = true;
        break;
    }
    if (output->descriptor < 0) {
        NoteFailure(output);
        output->ownsDescriptor = false;
        return -1;
    }
    if (target.compressed && !target.singleMember) {
        if (StartMemberWriter(&output->members, CompressionLevel) != 0) {
            errno = ENOMEM;
            NoteFailure(output);
            AbandonDatabaseOutput(output);
            return -1;
        }
    } else if (target.compressed) {
        // zlib closes what it is handed; standard output is never compressed (its name is "-").
        output->gzip = gzdopen(output->descriptor, "wb6");
        if (output->gzip == nullptr) {
            NoteFailure(output);
            AbandonDatabaseOutput(output);
            return -1;
        }
        output->ownsDescriptor = false;
        gzbuffer(output->gzip, 1 << 20);
    }
    output->pending.reserve(PendingLimit + EncodedRecordCapacity);
    return 0;
}

static void WritePlain(DatabaseOutput* output, const unsigned char* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t wrote = write(output->descriptor, bytes + done, count - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            NoteFailure(output);
            return;
        }
        done += size_t(wrote);
    }
}

static void WriteMember(void* context, const unsigned char* bytes, size_t count) {
    WritePlain(static_cast<DatabaseOutput*>(context), bytes, count);
}

static void FlushPending(DatabaseOutput* output) {
    if (!output->pending.empty() && !output->failed) {
        if (output->members.deflater != nullptr) {
            errno = ENOMEM;
            if (AddMemberBytes(&output->members, output->pending.data(), output->pending.size(), WriteMember,
                               output) != 0)
                NoteFailure(output);
        } else if (output->gzip != nullptr) {
            errno = 0;
            if (gzwrite(output->gzip, output->pending.data(), unsigned(output->pending.size())) !=
                int(output->pending.size()))
                NoteFailure(output);
        } else {
            WritePlain(output, output->pending.data(), output->pending.size());
        }
    }
    output->pending.clear();
}

void WriteDatabaseBytes(DatabaseOutput* output, const void* bytes, size_t count) {
    const unsigned char* start = static_cast<const unsigned char*>(bytes);
    output->pending.insert(output->pending.end(), start, start + count);
    if (output->pending.size() >= PendingLimit) FlushPending(output);
}

void WriteDatabaseHeader(DatabaseOutput* output, int32_t recordCount, int phoneDigits, const char* title) {
    unsigned char header[DatabaseHeaderSize];
    MakeDatabaseHeader(header, recordCount, phoneDigits, title);
    WriteDatabaseBytes(output, header, sizeof header);
}

int RecordBlockLength(size_t nameLength, size_t streetLength, size_t houseLength, size_t flatLength) {
    size_t length = MinimumBlockLength + nameLength + streetLength + houseLength + flatLength;
    return length > 100000 ? 100000 : int(length);
}

int EncodeDatabaseRecord(unsigned char bytes[EncodedRecordCapacity], uint32_t phone, const char* name,
                         const char* street, const char* house, const char* flat) {
    if (phone > 0xFFFFFF || RecordBlockLength(std::strlen(name), std::strlen(street), std::strlen(house),
                                              std::strlen(flat)) > MaximumBlockLength)
        return -1;
    // The stream is: length byte, then each block, whose own last byte is the next length; written as a
    // length byte before each block's content and the end mark after the last.
    int length = 1;
    bytes[length++] = (unsigned char)(phone & 0xFF);
    bytes[length++] = (unsigned char)(phone >> 8 & 0xFF);
    bytes[length++] = (unsigned char)(phone >> 16 & 0xFF);
    for (const char* text : {name, street, house, flat}) {
        size_t textLength = std::strlen(text);
        std::memcpy(bytes + length, text, textLength + 1);
        length += int(textLength) + 1;
    }
    bytes[0] = (unsigned char)length; // the content and the next length byte that follows it
    return length;
}

int WriteDatabaseRecord(DatabaseOutput* output, uint32_t phone, const char* name, const char* street,
                        const char* house, const char* flat) {
    unsigned char record[EncodedRecordCapacity];
    int length = EncodeDatabaseRecord(record, phone, name, street, house, flat);
    if (length < 0) return -1;
    WriteDatabaseBytes(output, record, size_t(length));
    return 0;
}

// Closes what the output opened. Returns 0, or -1 when the last bytes could not be written.
static int CloseOutput(DatabaseOutput* output) {
    int result = 0;
    EndMemberWriter(&output->members);
    if (output->gzip != nullptr) {
        errno = 0;
        if (gzclose(output->gzip) != Z_OK) {
            NoteFailure(output);
            result = -1;
        }
        output->gzip = nullptr;
        output->descriptor = -1;
    }
    if (output->ownsDescriptor && output->descriptor >= 0) {
        if (close(output->descriptor) != 0) {
            NoteFailure(output);
            result = -1;
        }
    }
    output->ownsDescriptor = false;
    output->descriptor = -1;
    return result;
}

int FinishDatabaseOutput(DatabaseOutput* output) {
    unsigned char endMark = (unsigned char)DatabaseEndMark;
    WriteDatabaseBytes(output, &endMark, 1);
    FlushPending(output);
    if (output->members.deflater != nullptr && !output->failed) {
        errno = ENOMEM;
        if (FinishMemberWriter(&output->members, WriteMember, output) != 0) NoteFailure(output);
    }
    // A replacement reaches the disk before its name does, so a power cut leaves the old file or the new.
    if (!output->failed && output->target.kind == OutputByReplacement) {
        if (output->gzip != nullptr && gzflush(output->gzip, Z_FINISH) != Z_OK) NoteFailure(output);
        if (!output->failed && fsync(output->descriptor) != 0) NoteFailure(output);
    }
    CloseOutput(output);
    if (output->target.kind != OutputByReplacement) return output->failed ? -1 : 0;
    if (!output->failed && rename(output->temporaryPath.c_str(), output->target.resolvedPath.c_str()) != 0)
        NoteFailure(output);
    if (output->failed) unlink(output->temporaryPath.c_str());
    SetPartialFile(""); // after the rename: a signal before it still removes the file
    return output->failed ? -1 : 0;
}

void AbandonDatabaseOutput(DatabaseOutput* output) {
    int errorNumber = output->errorNumber;
    bool failed = output->failed;
    CloseOutput(output);
    output->errorNumber = errorNumber;
    output->failed = failed;
    if (!output->temporaryPath.empty()) unlink(output->temporaryPath.c_str());
    output->temporaryPath.clear();
    SetPartialFile("");
}

std::string DatabaseOutputProblem(const DatabaseOutput* output) {
    return std::strerror(output->errorNumber != 0 ? output->errorNumber : EIO);
}
