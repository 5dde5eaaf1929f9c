// The device on the host: which host folder is the device's root, which one is its storage card, and how a
// device path becomes a host path that can never lie outside them.
#include "platform/device.h"

#include "platform/files.h"
#include "platform/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#ifndef DIALDEX_DATA_FROM_PROGRAM
#define DIALDEX_DATA_FROM_PROGRAM "../share/dialdex"
#endif
const char* const InstalledDataFolderFromProgram = DIALDEX_DATA_FROM_PROGRAM;

static std::string DeviceFolderPath;
static std::string StorageCardFolderPath;

static constexpr std::u16string_view StorageCardName = u"Storage Card";

// The host files opened for this run, by their number less one. The worker opens a file by its device
// path while the window thread may open another: both go through the lock.
static std::mutex openedFilesLock;
static std::vector<std::string> openedHostFiles;

// The folder's canonical path when it exists (so that containment tests compare like with like), else
// the path as given without trailing slashes.
static std::string CanonicalFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr) return resolved;
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed;
}

static bool IsFolder(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A program run from its build folder has the file beside it; an installed one has it in the data folder.
std::string FindShippedLanguageFile(const std::string& executableFolder) {
    std::string beside = executableFolder + "/dialdex.lng";
    std::string installed = executableFolder + "/" + InstalledDataFolderFromProgram + "/dialdex.lng";
    struct stat status;
    if (stat(beside.c_str(), &status) != 0 && stat(installed.c_str(), &status) == 0 &&
        S_ISREG(status.st_mode))
        return installed;
    return beside;
}

// Creates the folder and the folders above it. Returns 0, or -1.
static int MakeFolders(const std::string& path) {
    if (path.empty() || IsFolder(path)) return 0;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && MakeFolders(path.substr(0, slash)) != 0) return -1;
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    return IsFolder(path) ? 0 : -1;
}

int CopyFileBytes(int input, int output) {
    char buffer[65536];
    for (;;) {
        ssize_t got = read(input, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0 ? 0 : -1;
        for (ssize_t done = 0; done < got;) {
            ssize_t wrote = write(output, buffer + done, static_cast<size_t>(got - done));
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) return -1;
            done += wrote;
        }
    }
}

// Copies a host file. Returns 0, or -1 (a partial copy is removed).
static int CopyHostFile(const std::string& source, const std::string& destination) {
    int input = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) return -1;
    int output = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) {
        close(input);
        return -1;
    }
    int result = CopyFileBytes(input, output);
    close(input);
    if (close(output) != 0) result = -1;
    if (result != 0) unlink(destination.c_str());
    return result;
}

// Removes a folder tree made by PrepareDeviceFolder that did not come out whole.
static void RemoveFolders(const std::string& root, const std::vector<std::string>& files,
                          const std::vector<std::string>& folders) {
    for (const std::string& file : files)
        unlink((root + "/" + file).c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        rmdir((root + "/" + *folder).c_str());
    rmdir(root.c_str());
}

// A new device is built under a temporary name and renamed into place, so that a device folder, once it
// exists, is always complete: a failed start leaves nothing that the next start would take as it stands.
int PrepareDeviceFolder(const std::string& hostFolder, const std::string& shippedLanguageFile) {
    if (hostFolder.empty()) return -1;
    std::string folder = hostFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat status;
    if (stat(folder.c_str(), &status) == 0) {
        if (!S_ISDIR(status.st_mode)) return -1;
        DeviceFolderPath = CanonicalFolder(folder);
        return 0;
    }

    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && MakeFolders(folder.substr(0, slash)) != 0) return -1;
    std::string building = folder + ".tmp-" + std::to_string(getpid());
    std::vector<std::string> folders = {"Program Files", "Program Files/Dialdex"};
    std::vector<std::string> files;
    if (mkdir(building.c_str(), 0755) != 0) return -1;
    int result = 0;
    for (const std::string& inner : folders) {
        if (result == 0 && mkdir((building + "/" + inner).c_str(), 0755) != 0) result = -1;
    }
    if (result == 0 && !shippedLanguageFile.empty()) {
        files.push_back("Program Files/Dialdex/dialdex.lng");
        result = CopyHostFile(shippedLanguageFile, building + "/" + files.back());
    }
    if (result == 0 && rename(building.c_str(), folder.c_str()) != 0) {
        // Another start may have made the folder meanwhile: use that one, as it stands.
        result = IsFolder(folder) ? 1 : -1;
    }
    if (result != 0) RemoveFolders(building, files, folders);
    if (result < 0) return -1;
    DeviceFolderPath = CanonicalFolder(folder);
    return 0;
}

void SetStorageCardFolder(const std::string& hostFolder) {
    StorageCardFolderPath = hostFolder.empty() ? std::string() : CanonicalFolder(hostFolder);
}

const std::string& DeviceFolder() {
    return DeviceFolderPath;
}

const std::string& StorageCardFolder() {
    return StorageCardFolderPath;
}

static bool IsSeparator(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}

static bool EqualIgnoringAsciiCase(std::u16string_view left, std::u16string_view right) {
    if (left.size() != right.size()) return false;
    for (size_t index = 0; index < left.size(); index++) {
        char16_t leftUnit = left[index] >= u'a' && left[index] <= u'z' ? left[index] - 0x20 : left[index];
        char16_t rightUnit =
            right[index] >= u'a' && right[index] <= u'z' ? right[index] - 0x20 : right[index];
        if (leftUnit != rightUnit) return false;
    }
    return true;
}

// The device path as its list of names, with "." dropped and ".." taking back the name before it (at the
// root, ".." stays at the root). A path without a leading separator is taken from the root: the device
// has no current folder.
static std::vector<std::u16string_view> DevicePathNames(const char16_t* devicePath) {
    std::vector<std::u16string_view> names;
    std::u16string_view path(devicePath);
    size_t index = 0;
    while (index < path.size()) {
        while (index < path.size() && IsSeparator(path[index]))
            index++;
        size_t start = index;
        while (index < path.size() && !IsSeparator(path[index]))
            index++;
        std::u16string_view name = path.substr(start, index - start);
        if (name.empty() || name == u".") continue;
        if (name == u"..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    return names;
}

bool IsDeviceRoot(const char16_t* devicePath) {
    return devicePath != nullptr && DevicePathNames(devicePath).empty();
}

std::u16string OpenHostFile(const std::string& hostPath) {
    if (hostPath.empty()) return std::u16string();
    size_t slash = hostPath.rfind('/');
    std::u16string name = WideFromUtf8(slash == std::string::npos ? hostPath : hostPath.substr(slash + 1));
    // A backslash is a separator on the device: left in the name, "..\..\x" would climb out of the
    // opened file's folder to the device's own files.
    for (char16_t& unit : name)
        if (unit == u'\\') unit = u'_';
    bool spelled = !name.empty() && name != u"." && name != u".." && name.size() < 200 &&
                   WideFitsDevice(name.c_str(), int(name.size())) && name.find(u';') == std::u16string::npos;
    for (char16_t unit : name)
        if (unit < 0x20) spelled = false;
    if (!spelled) name = EndsWithIgnoringAsciiCase(name, u".zdb") ? u"opened.zdb" : u"opened.db";
    size_t number;
    {
        std::lock_guard<std::mutex> hold(openedFilesLock);
        openedHostFiles.push_back(hostPath);
        number = openedHostFiles.size();
    }
    return u"\\" + std::u16string(OpenedFileFolderName) + u"\\" + WideFromUtf8(std::to_string(number)) +
           u"\\" + name;
}

std::string LastOpenedHostFile() {
    std::lock_guard<std::mutex> hold(openedFilesLock);
    return openedHostFiles.empty() ? std::string() : openedHostFiles.back();
}

// The host file an "\Opened File\N\NAME" path names; empty when the names are not such a path.
static std::string OpenedHostFileOf(const std::vector<std::u16string_view>& names) {
    if (names.size() != 3 || !EqualIgnoringAsciiCase(names[0], OpenedFileFolderName)) return std::string();
    size_t number = 0;
    for (char16_t unit : names[1]) {
        if (unit < u'0' || unit > u'9' || number > 1000000) return std::string();
        number = number * 10 + (unit - u'0');
    }
    std::lock_guard<std::mutex> hold(openedFilesLock);
    if (number < 1 || number > openedHostFiles.size()) return std::string();
    return openedHostFiles[number - 1];
}

std::string HostPathOf(const char16_t* devicePath) {
    if (devicePath == nullptr || DeviceFolderPath.empty()) return std::string();
    std::vector<std::u16string_view> names = DevicePathNames(devicePath);
    if (std::string opened = OpenedHostFileOf(names); !opened.empty()) return opened;
    size_t first = 0;
    std::string hostPath = DeviceFolderPath;
    if (!names.empty() && !StorageCardFolderPath.empty() &&
        EqualIgnoringAsciiCase(names[0], StorageCardName)) {
        hostPath = StorageCardFolderPath;
        first = 1;
    }
    for (size_t index = first; index < names.size(); index++) {
        if (hostPath.empty() || hostPath.back() != '/') hostPath += '/';
        hostPath += Utf8FromWide(names[index]);
    }
    return hostPath;
}

int FileNameForBox(const char16_t* devicePath, const char16_t* reason, char16_t* text, int capacity) {
    if (text == nullptr || capacity <= 0) return 0;
    std::string opened = devicePath ? OpenedHostFileOf(DevicePathNames(devicePath)) : std::string();
    if (opened.empty()) return CopyText(text, capacity, devicePath ? devicePath : u"");
    char16_t because[128];
    if (reason == nullptr) {
        FileErrorText(because, 128);
        reason = because;
    }
    std::u16string shown = WideFromUtf8(opened) + u": " + reason;
    return CopyText(text, capacity, shown.c_str());
}

int GetProgramExecutablePath(char16_t* buffer, int capacity) {
    return CopyText(buffer, capacity, ProgramExecutableDevicePath);
}

std::string UserLocaleLanguage() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) {
            locale = value;
            break;
        }
    std::string language;
    for (const char* at = locale; at && *at >= 'A' && *at <= 'z' && *at != '_'; at++)
        language += char(*at >= 'A' && *at <= 'Z' ? *at + 0x20 : *at);
    if (language == "c" || language == "posix") language.clear();
    return language;
}
