// Files by device path on the host: stream files over the C library's FILE, files replaced whole, locks
// on files that several processes change, raw read-only files, attributes and folder enumeration. Only
// regular files are ever opened (a folder, a pipe or a device node behind a device path fails to open
// and never blocks), and an enumeration never leads out of the device folder nor round a loop of links.
#include "platform/files.h"

#include "platform/device.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

static constexpr size_t StreamBufferSize = 64 * 1024;

struct StreamFile {
    FILE* file = nullptr;
    char* buffer = nullptr;
    bool replacement = false;
    std::string temporaryPath;   // replacement files: where the text is written ("" when in place)
    std::string destinationPath; // replacement files: what it replaces on commit (a link's target)
    int inPlaceDescriptor = -1;  // replacement in place: the destination, open for writing
    char* inPlaceText = nullptr; // replacement in place: the text, gathered in memory until the commit
    size_t inPlaceSize = 0;      // replacement in place: its length
};

// --- Why a file call failed --------------------------------------------------------------------------

// The host's error number of this thread's last failure, NotRegularFile for something that is no regular
// file, 0 when none is known.
static constexpr int NotRegularFile = -1;
static thread_local int lastFileError = 0;

// Keeps the reason of a failure (errno when no other is given) and returns -1 for the caller to pass on.
static int FileFailed(int error = errno) {
    lastFileError = error;
    return -1;
}

void ClearFileError() {
    lastFileError = 0;
}

int FileErrorText(char16_t* text, int capacity) {
    const char* reason = lastFileError == NotRegularFile ? "not a regular file"
                         : lastFileError > 0             ? std::strerror(lastFileError)
                                                         : "cannot be read or written";
    return CopyText(text, capacity, WideFromUtf8(reason).c_str());
}

// The folder part of a host path ("/" for a file in the root).
static std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// --- Buffered stream files ------------------------------------------------------------------------

// Opens a regular file without blocking on a pipe. Returns the descriptor, or -1.
static int OpenRegularFile(const std::string& hostPath, int flags, mode_t mode) {
    if (hostPath.empty()) return FileFailed(ENOENT);
    int descriptor = open(hostPath.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (descriptor < 0) return FileFailed();
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        int error = errno;
        bool stated = fstat(descriptor, &status) == 0;
        close(descriptor);
        return FileFailed(!stated ? error : S_ISDIR(status.st_mode) ? EISDIR : NotRegularFile);
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return descriptor;
}

// Wraps a descriptor in a buffered stream. Returns null (the descriptor closed) on failure.
static StreamFile* WrapDescriptor(int descriptor, const char* mode) {
    FILE* file = fdopen(descriptor, mode);
    if (file == nullptr) {
        close(descriptor);
        return nullptr;
    }
    StreamFile* stream = new StreamFile;
    stream->file = file;
    stream->buffer = new char[StreamBufferSize];
    setvbuf(file, stream->buffer, _IOFBF, StreamBufferSize);
    return stream;
}

static void FreeStream(StreamFile* stream) {
    delete[] stream->buffer;
    free(stream->inPlaceText);
    delete stream;
}

StreamFile* OpenStreamFile(const char16_t* devicePath, const char* mode) {
    if (devicePath == nullptr || mode == nullptr) return nullptr;
    int descriptor = -1;
    if (std::strcmp(mode, "rb") == 0) {
        descriptor = OpenRegularFile(HostPathOf(devicePath), O_RDONLY, 0);
    } else if (std::strcmp(mode, "wb") == 0) {
        descriptor = OpenRegularFile(HostPathOf(devicePath), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else {
        return nullptr;
    }
    if (descriptor < 0) return nullptr;
    return WrapDescriptor(descriptor, mode);
}

// A buffer of one byte holds only the terminator: returning it would make a reading loop spin forever,
// so sizes below 2 read nothing and report the end.
char* ReadStreamLine(char* buffer, int size, StreamFile* file) {
    if (buffer == nullptr || size <= 0) return nullptr;
    buffer[0] = '\0';
    if (file == nullptr || size < 2) return nullptr;
    return fgets(buffer, size, file->file);
}

int WriteStreamText(StreamFile* file, const char* text) {
    if (text == nullptr) return 0;
    return WriteStreamBytes(file, text, static_cast<int>(std::strlen(text)));
}

int WriteStreamBytes(StreamFile* file, const void* bytes, int count) {
    if (file == nullptr || bytes == nullptr || count <= 0) return 0;
    size_t written = fwrite(bytes, 1, static_cast<size_t>(count), file->file);
    if (written < static_cast<size_t>(count)) FileFailed();
    return static_cast<int>(written);
}

int SeekStreamFile(StreamFile* file, long offset, int origin) {
    static const int Origins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (file == nullptr || origin < 0 || origin > 2) return -1;
    return fseek(file->file, offset, Origins[origin]) == 0 ? 0 : -1;
}

long TellStreamFile(StreamFile* file) {
    if (file == nullptr) return -1;
    return ftell(file->file);
}

// A replacement file closed without a commit is abandoned: the old file stays, and -1 says nothing was
// saved.
int CloseStreamFile(StreamFile* file) {
    if (file == nullptr) return -1;
    if (file->replacement) {
        AbandonReplacementFile(file);
        return -1;
    }
    int result = ferror(file->file) ? -1 : 0;
    if (fclose(file->file) != 0) result = -1;
    FreeStream(file);
    return result;
}

// --- Files replaced whole ---------------------------------------------------------------------------

static void RemoveStaleReplacementFiles(const std::string& file);

// The file a host path names: a link in its last part is followed to its end (a link to a missing file
// names that file). Returns "" for a loop of links.
static std::string FileNamedBy(const std::string& hostPath) {
    std::string path = hostPath;
    for (int hop = 0; hop < 40; hop++) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        char target[PATH_MAX];
        ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0) return std::string();
        target[length] = '\0';
        path = target[0] == '/' ? std::string(target) : FolderOf(path) + "/" + target;
    }
    return std::string();
}

// Others may not write a replacement (any user could change the settings of this one) and nobody may
// run it; the rest of the old file's permissions stay.
static mode_t ReplacementMode(const struct stat* old) {
    return old != nullptr ? old->st_mode & 0664 : 0644;
}

// The text is gathered in memory and written over the destination at the commit.
static StreamFile* OpenInPlace(const std::string& destination, int destinationDescriptor) {
    StreamFile* stream = new StreamFile;
    stream->file = open_memstream(&stream->inPlaceText, &stream->inPlaceSize);
    if (stream->file == nullptr) {
        close(destinationDescriptor);
        FreeStream(stream);
        return nullptr;
    }
    stream->replacement = true;
    stream->destinationPath = destination;
    stream->inPlaceDescriptor = destinationDescriptor;
    return stream;
}

// Opening the old file for writing (without emptying it) asks exactly what a "wb" open would: may this
// user write it. Only when the folder refuses the temporary file for want of permission is the file
// written in place; a full disk fails instead, since writing in place could then tear the old text.
StreamFile* OpenReplacementFile(const char16_t* devicePath) {
    if (devicePath == nullptr || IsDeviceRoot(devicePath)) return nullptr;
    std::string hostPath = HostPathOf(devicePath);
    std::string destination = hostPath.empty() ? std::string() : FileNamedBy(hostPath);
    if (destination.empty()) return FileFailed(ELOOP), nullptr;
    // An export's text left by a killed run lies beside the file it was to replace, as the device's own
    // files' do; no lock is taken for an export, so its leftovers go here.
    RemoveStaleReplacementFiles(destination);
    struct stat status;
    bool exists = lstat(destination.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return FileFailed(), nullptr;
    if (exists && !S_ISREG(status.st_mode))
        return FileFailed(S_ISDIR(status.st_mode) ? EISDIR : NotRegularFile), nullptr;
    int destinationDescriptor = -1;
    if (exists) {
        destinationDescriptor = OpenRegularFile(destination, O_WRONLY | O_NOFOLLOW, 0);
        if (destinationDescriptor < 0) return nullptr;
    }
    mode_t mode = ReplacementMode(exists ? &status : nullptr);
    std::string temporary = destination + ".tmp-" + std::to_string(getpid());
    int descriptor = OpenRegularFile(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, mode);
    if (descriptor < 0) {
        bool refused = errno == EACCES || errno == EPERM;
        if (destinationDescriptor >= 0 && refused) return OpenInPlace(destination, destinationDescriptor);
        if (destinationDescriptor >= 0) close(destinationDescriptor);
        return nullptr;
    }
    if (destinationDescriptor >= 0) close(destinationDescriptor);
    fchmod(descriptor, mode);
    StreamFile* stream = WrapDescriptor(descriptor, "wb");
    if (stream == nullptr) {
        unlink(temporary.c_str());
        return nullptr;
    }
    stream->replacement = true;
    stream->temporaryPath = temporary;
    stream->destinationPath = destination;
    return stream;
}

// The new text is written over the old from the start and the file is then cut to its length.
static int CommitInPlace(StreamFile* file) {
    int result = fclose(file->file) == 0 ? 0 : -1; // the memory stream's text is complete after this
    size_t done = 0;
    while (result == 0 && done < file->inPlaceSize) {
        ssize_t wrote = pwrite(file->inPlaceDescriptor, file->inPlaceText + done, file->inPlaceSize - done,
                               static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0)
            result = FileFailed();
        else
            done += static_cast<size_t>(wrote);
    }
    if (result == 0 && ftruncate(file->inPlaceDescriptor, static_cast<off_t>(file->inPlaceSize)) != 0)
        result = FileFailed();
    if (result == 0 && fsync(file->inPlaceDescriptor) != 0) result = FileFailed();
    close(file->inPlaceDescriptor);
    FreeStream(file);
    return result;
}

// The rename is what makes the new text count; the folder is synced after it so that the rename itself
// survives a power cut. A folder that cannot be synced does not undo a rename that has happened.
int CommitReplacementFile(StreamFile* file) {
    if (file == nullptr || !file->replacement) return -1;
    if (file->inPlaceDescriptor >= 0) return CommitInPlace(file);
    int result = 0;
    if (fflush(file->file) != 0 || ferror(file->file)) result = FileFailed();
    if (result == 0 && fsync(fileno(file->file)) != 0) result = FileFailed();
    if (fclose(file->file) != 0 && result == 0) result = FileFailed();
    if (result == 0 && rename(file->temporaryPath.c_str(), file->destinationPath.c_str()) != 0)
        result = FileFailed();
    if (result != 0) {
        unlink(file->temporaryPath.c_str());
    } else {
        int folderDescriptor =
            open(FolderOf(file->destinationPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderDescriptor >= 0) {
            fsync(folderDescriptor);
            close(folderDescriptor);
        }
    }
    FreeStream(file);
    return result;
}

void AbandonReplacementFile(StreamFile* file) {
    if (file == nullptr) return;
    fclose(file->file);
    if (file->inPlaceDescriptor >= 0) close(file->inPlaceDescriptor);
    if (file->replacement && !file->temporaryPath.empty()) unlink(file->temporaryPath.c_str());
    FreeStream(file);
}

int AppendFileCopy(const char16_t* sourcePath, const char16_t* destinationPath) {
    if (sourcePath == nullptr || destinationPath == nullptr) return -1;
    int input = OpenRegularFile(HostPathOf(sourcePath), O_RDONLY, 0);
    if (input < 0) return -1;
    int output = OpenRegularFile(HostPathOf(destinationPath), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (output < 0) {
        close(input);
        return -1;
    }
    int result = CopyFileBytes(input, output);
    if (result == 0 && fsync(output) != 0) result = -1;
    close(input);
    if (close(output) != 0) result = -1;
    return result;
}

// --- Files that several processes change ----------------------------------------------------------

struct SharedFileLock {
    int folderDescriptor; // the locked folder, or -1 when nothing could be locked
};

static constexpr auto LockPatience = std::chrono::seconds(10);
static constexpr auto LockRetryPause = std::chrono::milliseconds(2);

// Removes "NAME.tmp-PID" beside the file for every PID that no longer runs: the text of a save killed
// before its rename. A live process's file (another instance saving now) is left alone.
static void RemoveStaleReplacementFiles(const std::string& file) {
    std::string prefix = file.substr(file.find_last_of('/') + 1) + ".tmp-";
    DIR* directory = opendir(FolderOf(file).c_str());
    if (directory == nullptr) return;
    while (dirent* entry = readdir(directory)) {
        std::string_view name(entry->d_name);
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
            name.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view digits = name.substr(prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
        pid_t process = static_cast<pid_t>(std::strtol(std::string(digits).c_str(), nullptr, 10));
        if (process <= 0 || kill(process, 0) == 0 || errno != ESRCH) continue;
        unlinkat(dirfd(directory), entry->d_name, 0); // a folder of that name stays
    }
    closedir(directory);
}

// Once per file and run, at its first lock.
static void RemoveStaleReplacementFilesOnce(const std::string& file) {
    static std::mutex cleanedLock;
    static std::set<std::string> cleaned;
    std::lock_guard<std::mutex> guard(cleanedLock);
    if (!cleaned.insert(file).second) return;
    RemoveStaleReplacementFiles(file);
}

SharedFileLock* LockSharedFile(const char16_t* devicePath, bool exclusive) {
    if (devicePath == nullptr) return nullptr;
    std::string hostPath = HostPathOf(devicePath);
    if (hostPath.empty()) return nullptr;
    std::string file = FileNamedBy(hostPath);
    if (file.empty()) file = hostPath;
    RemoveStaleReplacementFilesOnce(file);
    SharedFileLock* lock =
        new SharedFileLock{open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (lock->folderDescriptor < 0) return lock;
    auto deadline = std::chrono::steady_clock::now() + LockPatience;
    int error = 0;
    for (;;) {
        if (flock(lock->folderDescriptor, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return lock;
        error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(LockRetryPause);
    }
    close(lock->folderDescriptor);
    lock->folderDescriptor = -1;
    // A folder that cannot be locked at all is worked on unlocked; a lock held too long gives up.
    if (error != EWOULDBLOCK) return lock;
    delete lock;
    return nullptr;
}

void UnlockSharedFile(SharedFileLock* lock) {
    if (lock == nullptr) return;
    if (lock->folderDescriptor >= 0) close(lock->folderDescriptor); // closing releases the lock
    delete lock;
}

// --- Raw read-only files -------------------------------------------------------------------------------

FileHandle OpenFileForReading(const char16_t* devicePath) {
    if (devicePath == nullptr) return NoFile;
    int descriptor = OpenRegularFile(HostPathOf(devicePath), O_RDONLY, 0);
    return descriptor < 0 ? NoFile : descriptor;
}

long ReadFileBytes(FileHandle file, void* buffer, long count) {
    if (file < 0 || buffer == nullptr || count < 0) return -1;
    for (;;) {
        ssize_t got = read(file, buffer, static_cast<size_t>(count));
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

void CloseFile(FileHandle file) {
    if (file >= 0) close(file);
}

// --- Database files ---------------------------------------------------------------------------------

static std::atomic<bool> databaseOpensFail{false};

void FailDatabaseFileOpens(bool on) {
    databaseOpensFail = on;
}

FileHandle OpenDatabaseFile(const char16_t* devicePath) {
    if (devicePath == nullptr) return NoFile;
    if (databaseOpensFail) return FileFailed(EACCES), NoFile;
    int descriptor = OpenRegularFile(HostPathOf(devicePath), O_RDONLY, 0);
    return descriptor < 0 ? NoFile : descriptor;
}

bool FileReadableAtOffsets(FileHandle file) {
    return file >= 0 && lseek(file, 0, SEEK_CUR) != -1;
}

int IdentifyFile(FileHandle file, FileIdentity* identity) {
    struct stat status;
    if (file < 0 || fstat(file, &status) != 0) return -1;
    identity->device = uint64_t(status.st_dev);
    identity->inode = uint64_t(status.st_ino);
    identity->size = (long long)status.st_size;
    identity->modifiedNanoseconds = (long long)status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec;
    return 0;
}

long ReadFileBytesAt(FileHandle file, long long offset, void* buffer, long count) {
    if (file < 0 || buffer == nullptr || count < 0 || offset < 0) return -1;
    for (;;) {
        ssize_t got = pread(file, buffer, static_cast<size_t>(count), static_cast<off_t>(offset));
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

static bool IdentityOfStatus(int result, const struct stat& status, FileIdentity* identity) {
    *identity = FileIdentity();
    if (result != 0 || !S_ISREG(status.st_mode)) return false;
    identity->device = uint64_t(status.st_dev);
    identity->inode = uint64_t(status.st_ino);
    identity->size = (long long)status.st_size;
    identity->modifiedNanoseconds = (long long)status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec;
    return true;
}

bool IdentityOfFile(FileHandle file, FileIdentity* identity) {
    struct stat status;
    return IdentityOfStatus(file < 0 ? -1 : fstat(file, &status), status, identity);
}

bool IdentityOfHostPath(const char* hostPath, FileIdentity* identity) {
    struct stat status;
    return IdentityOfStatus(hostPath == nullptr ? -1 : stat(hostPath, &status), status, identity);
}

bool IdentityOfPath(const char16_t* devicePath, FileIdentity* identity) {
    if (devicePath == nullptr) return IdentityOfHostPath(nullptr, identity);
    return IdentityOfHostPath(HostPathOf(devicePath).c_str(), identity);
}

bool SameFileIdentity(const FileIdentity& first, const FileIdentity& second) {
    return first.device == second.device && first.inode == second.inode && first.size == second.size &&
           first.modifiedNanoseconds == second.modifiedNanoseconds;
}

// --- Attributes and folder enumeration ---------------------------------------------------------------

// Folders are folders, regular files are files; anything else (a pipe, a device node, a broken link) is
// nothing the device knows.
uint32_t GetFileAttributesOf(const char16_t* devicePath) {
    if (devicePath == nullptr) return InvalidFileAttributes;
    std::string hostPath = HostPathOf(devicePath);
    struct stat status;
    if (hostPath.empty()) return FileFailed(ENOENT), InvalidFileAttributes;
    if (stat(hostPath.c_str(), &status) != 0) return FileFailed(), InvalidFileAttributes;
    if (S_ISDIR(status.st_mode)) return FileAttributeFolder;
    if (S_ISREG(status.st_mode)) return FileAttributeNormal;
    return FileFailed(NotRegularFile), InvalidFileAttributes;
}

bool IsSameFile(const char16_t* devicePath, const char16_t* otherDevicePath) {
    if (devicePath == nullptr || otherDevicePath == nullptr) return false;
    std::string one = HostPathOf(devicePath), other = HostPathOf(otherDevicePath);
    struct stat oneStatus, otherStatus;
    if (one.empty() || other.empty() || stat(one.c_str(), &oneStatus) != 0 ||
        stat(other.c_str(), &otherStatus) != 0)
        return false;
    return oneStatus.st_dev == otherStatus.st_dev && oneStatus.st_ino == otherStatus.st_ino;
}

struct FolderEntry {
    std::u16string name;
    uint32_t attributes;
};

struct FolderSearch {
    std::vector<FolderEntry> entries;
    size_t next = 0;
};

static constexpr int FindNameCapacity = sizeof(FindData::fileName) / sizeof(char16_t);

// True when the canonical path lies inside the canonical folder.
static bool LiesInside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// A link to a file counts when the file lies in the device folder or on the storage card; a link to a
// folder never counts, so that a walk neither loops nor leaves the device.
static bool LinkedFileCounts(const std::string& linkPath) {
    struct stat status;
    if (stat(linkPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    char resolved[PATH_MAX];
    if (realpath(linkPath.c_str(), resolved) == nullptr) return false;
    return LiesInside(resolved, DeviceFolder()) || LiesInside(resolved, StorageCardFolder());
}

// Strict UTF-8: a name that does not decode (or decodes only with replacement characters) cannot be named
// by the device, so it is left out rather than shown under a name that opens nothing. A backslash in a
// name would be read by the device as a folder separator, naming another file or none: left out too.
static bool DecodeName(const char* name, std::u16string* wideName) {
    if (std::strchr(name, '\\') != nullptr) return false;
    *wideName = WideFromUtf8(name);
    if (Utf8FromWide(*wideName) != name) return false;
    return !wideName->empty() && static_cast<int>(wideName->size()) < FindNameCapacity;
}

// Splits "<folder>\*.*" (or "/*.*", or "*.*" alone for the root). Returns false for any other pattern.
static bool FolderOfPattern(const char16_t* pattern, std::u16string* folder) {
    std::u16string_view text(pattern);
    constexpr std::u16string_view AllFiles = u"*.*";
    if (text.size() < AllFiles.size() || text.substr(text.size() - AllFiles.size()) != AllFiles) return false;
    text.remove_suffix(AllFiles.size());
    if (!text.empty() && text.back() != u'\\' && text.back() != u'/') return false;
    *folder = std::u16string(text);
    return true;
}

FolderSearch* FindFirstFile(const char16_t* pattern, FindData* data) {
    std::u16string folder;
    if (pattern == nullptr || data == nullptr || !FolderOfPattern(pattern, &folder)) return nullptr;
    std::string hostFolder = HostPathOf(folder.c_str());
    if (hostFolder.empty()) return nullptr;
    DIR* directory = opendir(hostFolder.c_str());
    if (directory == nullptr) return nullptr;

    bool root = IsDeviceRoot(folder.c_str());
    bool cardShown = root && !StorageCardFolder().empty();
    FolderSearch* search = new FolderSearch;
    if (!root) {
        search->entries.push_back({u".", FileAttributeFolder});
        search->entries.push_back({u"..", FileAttributeFolder});
    }
    while (dirent* entry = readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        FolderEntry found;
        if (!DecodeName(entry->d_name, &found.name)) continue;
        // On the root, "Storage Card" names the card; a folder of that name in the device folder is hidden.
        if (cardShown && CompareWideLocale(found.name.c_str(), u"Storage Card", true) == 0) continue;
        struct stat status;
        if (fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            found.attributes = FileAttributeFolder;
        } else if (S_ISREG(status.st_mode)) {
            found.attributes = FileAttributeNormal;
        } else if (S_ISLNK(status.st_mode) && LinkedFileCounts(hostFolder + "/" + entry->d_name)) {
            found.attributes = FileAttributeNormal;
        } else {
            continue;
        }
        search->entries.push_back(found);
    }
    closedir(directory);
    if (cardShown) search->entries.push_back({u"Storage Card", FileAttributeFolder});

    if (!FindNextFile(search, data)) {
        delete search;
        return nullptr;
    }
    return search;
}

bool FindNextFile(FolderSearch* search, FindData* data) {
    if (search == nullptr || data == nullptr || search->next >= search->entries.size()) return false;
    const FolderEntry& entry = search->entries[search->next++];
    data->attributes = entry.attributes;
    CopyText(data->fileName, entry.name.c_str());
    return true;
}

void FindClose(FolderSearch* search) {
    delete search;
}
