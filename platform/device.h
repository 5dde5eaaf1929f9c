// The device on the host: a host folder is the device's root "\", an optional second host folder is
// "\Storage Card". Device paths keep the platform's backslashes; this file maps them to host paths.
#pragma once

#include <string>

// The program's folder on the device and its executable's full path there.
inline constexpr const char16_t* ProgramFolderDevicePath = u"\\Program Files\\Dialdex\\";
inline constexpr const char16_t* ProgramExecutableDevicePath = u"\\Program Files\\Dialdex\\dialdex.exe";

// The installed data folder seen from the folder of the program's executable ("../share/dialdex").
extern const char* const InstalledDataFolderFromProgram;
// The shipped "dialdex.lng" that a new device folder gets: the one beside the program's executable, else
// the installed one in InstalledDataFolderFromProgram; when neither exists, the path beside the executable.
std::string FindShippedLanguageFile(const std::string& executableFolder);

// Uses hostFolder as the device's root. When it does not exist yet, it is created with the program
// folder in it and shippedLanguageFile (a host path; may be empty) copied there as "dialdex.lng";
// an existing folder is used exactly as it is. Returns 0, or -1 when the folder cannot be made.
int PrepareDeviceFolder(const std::string& hostFolder, const std::string& shippedLanguageFile);
// Makes hostFolder the device folder "\Storage Card" (empty: none).
void SetStorageCardFolder(const std::string& hostFolder);
const std::string& DeviceFolder();
// The storage card's host folder, empty when there is none.
const std::string& StorageCardFolder();
// True when the device path names the device's root folder ("\", "", "\.." and the like).
bool IsDeviceRoot(const char16_t* devicePath);

// A host file the user opened for this run (given on the command line or dropped on the window) is
// reached from the device as "\Opened File\N\NAME": N counts the files opened in this run from 1, NAME is
// the host file's own name when the device code page can spell it (and it holds no ';'; a backslash in it
// becomes "_", so that no name separates into folders on the device), else "opened"
// with the name's ".zdb" or ".db" ending. Such a path names the host file, as given, for the rest of the
// run and nothing in the next one. Returns the device path (empty for an empty host path). Any thread.
std::u16string OpenHostFile(const std::string& hostPath);
// The host path of the file opened last in this run (opened, dropped or chosen to save to); empty for none.
std::string LastOpenedHostFile();
// The folder's name under the device root.
inline constexpr const char16_t* OpenedFileFolderName = u"Opened File";

// The file a message box names: for a file the user opened on the host, its host path and the reason
// ("/home/u/x.csv: Permission denied"; reason null: the reason this thread's last file call failed,
// FileErrorText); for any other device path, that path as it is. Returns the characters written.
int FileNameForBox(const char16_t* devicePath, const char16_t* reason, char16_t* text, int capacity);

// The host path of a device path. "\" and "/" both separate; "." and ".." are resolved on the device
// path itself, and ".." never climbs above the device root, so the result always lies inside the
// device folder (or the storage card folder).
std::string HostPathOf(const char16_t* devicePath);

// Copies the rest of one open host file to the end of what has been written to another. Returns 0, or -1.
int CopyFileBytes(int input, int output);

// The full path of the program's own executable, as the device names it (GetModuleFileName).
// Returns the characters written.
int GetProgramExecutablePath(char16_t* buffer, int capacity);

// The language of the user's locale (the first of LC_ALL, LC_MESSAGES and LANG that is set): its
// language code in lower case ("en" for "en_GB.UTF-8"); empty for none, "C" and "POSIX".
std::string UserLocaleLanguage();
