// Files by device path ("\folder\name", backslashes, wide text), mapped into the device folder on the
// host (see device.h). Buffered stream files as the runtime library offers them, raw read-only files,
// attributes and folder enumeration.
#pragma once

#include <cstdint>

// --- Buffered stream files ------------------------------------------------------------------------
struct StreamFile;

// mode "rb" (read bytes) or "wb" (create or empty, write bytes). Returns null on failure.
StreamFile* OpenStreamFile(const char16_t* devicePath, const char* mode);
// Reads one line of at most size - 1 bytes, keeping its line feed, and terminates it (fgets).
// Returns buffer, or null at the end of the file (or on a read error) when nothing was read.
char* ReadStreamLine(char* buffer, int size, StreamFile* file);
// Writes the text up to its terminator, or count bytes. Returns the bytes written.
int WriteStreamText(StreamFile* file, const char* text);
int WriteStreamBytes(StreamFile* file, const void* bytes, int count);
// origin: 0 from the start, 1 from the current position, 2 from the end. Returns 0 or -1.
int SeekStreamFile(StreamFile* file, long offset, int origin);
long TellStreamFile(StreamFile* file);
// Returns 0, or -1 when buffered output could not be written.
int CloseStreamFile(StreamFile* file);

// A file written whole and then put in place of the old one, so that a crash or a full disk never
// leaves it torn: the text goes to a temporary file ("NAME.tmp-PID") beside it; CommitReplacementFile
// flushes it to disk and renames it over the destination. Returns 0, or -1 (the old file is then
// untouched and the temporary file removed). AbandonReplacementFile removes the temporary file.
// A link is followed: the file it names is replaced and the link stays. Open returns null for what a
// "wb" open would refuse (a file this user may not write, a folder, a pipe, a device node), and for a
// new file in a folder that refuses it. When the folder refuses only the temporary file, an existing
// file the user may write is written in place at the commit (not proof against a crash part way).
// The replacement keeps the old file's permissions, except that others may not write it and nobody may
// run it; a new file gets 0644.
StreamFile* OpenReplacementFile(const char16_t* devicePath);
int CommitReplacementFile(StreamFile* file);
void AbandonReplacementFile(StreamFile* file);

// Adds the whole of one file to the end of another (made when missing) and syncs it: a copy kept aside
// before a file is rewritten. Returns 0, or -1.
int AppendFileCopy(const char16_t* sourcePath, const char16_t* destinationPath);

// --- Files that several processes change -----------------------------------------------------------
// A change is a read-change-write under the exclusive lock: lock, read the file as it is on disk, write
// its replacement, commit, unlock. Readers take the shared lock, so they never meet a file being
// written in place. The lock is the file's folder (a link's target's folder), locked with flock, which
// every instance honours. Never hold it while waiting for the user.
// LockSharedFile waits at most 10 seconds and then returns null; where the folder cannot be locked at
// all (no read access, a file system without locks) it returns a lock that holds nothing. The first
// lock of a file in a run also removes the temporary files that killed saves left beside it (those whose
// process no longer runs).
struct SharedFileLock;
SharedFileLock* LockSharedFile(const char16_t* devicePath, bool exclusive);
void UnlockSharedFile(SharedFileLock* lock);

// --- Raw read-only files (read access, existing file only) -----------------------------------------
using FileHandle = int; // -1 when none
constexpr FileHandle NoFile = -1;
FileHandle OpenFileForReading(const char16_t* devicePath);
// Reads up to count bytes; returns how many arrived (0 at the end), -1 on error.
long ReadFileBytes(FileHandle file, void* buffer, long count);
void CloseFile(FileHandle file);

// True when the file can be read at any offset (a regular file); false for a pipe, a socket or a terminal,
// which give their bytes once, in order.
bool FileReadableAtOffsets(FileHandle file);
// --- Database files ---------------------------------------------------------------------------------
// Every open of a database file, in either storage form and again after damage, goes through here: the
// open never waits (a pipe without a writer would hold the caller forever) and only a regular file is
// kept. The check is made on the opened descriptor, so a pipe swapped in after an attribute check
// cannot slip through. Returns NoFile when the path names anything else or cannot be opened.
FileHandle OpenDatabaseFile(const char16_t* devicePath);
// For tests: while on, every OpenDatabaseFile fails as for a file that cannot be opened, while a plain
// file's validation (OpenFileForReading) still passes: a file lost between its check and its open.
void FailDatabaseFileOpens(bool on);
// Reads up to count bytes at offset from the start of the file, without moving the file's position (a
// compressed database is read again from a member's start after damage). Returns how many arrived (0 at
// the end), -1 on error.
long ReadFileBytesAt(FileHandle file, long long offset, void* buffer, long count);

// What tells one state of a file from another: the same file (device and inode), unchanged in size and
// modification time. Returns 0, or -1 when the file cannot be looked at.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    long long size = 0;
    long long modifiedNanoseconds = 0;
};
int IdentifyFile(FileHandle file, FileIdentity* identity);
// The same for a regular file only, by its open handle, its device path, or a host path as given (the
// tools): true with identity filled, or false with identity zeroed (nothing there, or not a regular file:
// a pipe's size and time say nothing about its bytes). A read that ends with another identity than it
// began with read a file that changed under it (written in place, cut, or another file renamed over it).
bool IdentityOfFile(FileHandle file, FileIdentity* identity);
bool IdentityOfPath(const char16_t* devicePath, FileIdentity* identity);
bool IdentityOfHostPath(const char* hostPath, FileIdentity* identity);
bool SameFileIdentity(const FileIdentity& first, const FileIdentity& second);

// --- Attributes and folder enumeration -------------------------------------------------------------
constexpr uint32_t FileAttributeFolder = 0x10;
constexpr uint32_t FileAttributeNormal = 0x80;
constexpr uint32_t InvalidFileAttributes = 0xFFFFFFFFu;
// InvalidFileAttributes when nothing exists at the path.
uint32_t GetFileAttributesOf(const char16_t* devicePath);

struct FindData {
    uint32_t attributes;    // FileAttributeFolder for a folder, FileAttributeNormal otherwise
    char16_t fileName[260]; // the entry's name, without its folder
};
struct FolderSearch;
// pattern: a folder path followed by "\*.*" (the only pattern the program uses). Returns null when the
// folder cannot be enumerated; otherwise fills the first entry ("." first, then "..", as the platform
// reports them; the root folder reports neither).
FolderSearch* FindFirstFile(const char16_t* pattern, FindData* data);
// Returns true and fills the next entry, false when there are no more.
bool FindNextFile(FolderSearch* search, FindData* data);
void FindClose(FolderSearch* search);

// True when both device paths lead to the one file (links followed; the same device and inode).
bool IsSameFile(const char16_t* devicePath, const char16_t* otherDevicePath);

// --- Why a file call failed --------------------------------------------------------------------------
// Each thread keeps the reason its last failed file call gave, as the platform's GetLastError does: a
// call that succeeds leaves it as it was; ClearFileError forgets it.
void ClearFileError();
// The reason as text ("Permission denied", "not a regular file" for a pipe or a device node; "cannot be
// read or written" when none is known). Returns the characters written.
int FileErrorText(char16_t* text, int capacity);
