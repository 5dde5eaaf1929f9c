// The device registry: local-machine keys only, kept in a text file in the device folder
// ("\Windows\registry.txt"), written whole to a temporary file and renamed, so that a crash never
// leaves half a registry. Values keep their exact type and bytes. Instances of the program that share a
// device never lose each other's changes: each change is made under a lock, on the store as it is then.
//
// Every function returns 0 (RegistrySuccess) or a platform error code:
//   RegistryErrorNotFound   2    key or value missing
//   RegistryErrorAccess     5    the store cannot be written (create-or-open, set)
//   RegistryErrorMoreData   234  the value is longer than the caller's buffer (nothing is written to it)
//   RegistryErrorInvalid    87   a null key or argument
#pragma once

#include <cstdint>

constexpr long RegistrySuccess = 0;
constexpr long RegistryErrorNotFound = 2;
constexpr long RegistryErrorAccess = 5;
constexpr long RegistryErrorInvalid = 87;
constexpr long RegistryErrorMoreData = 234;

constexpr uint32_t RegistryTypeString = 1; // wide text, terminator included in the byte count
constexpr uint32_t RegistryTypeNumber = 4; // 32-bit little-endian number

struct RegistryKeyRecord;
using RegistryKey = RegistryKeyRecord*;

// Opens an existing key under the local-machine root; never creates one.
long RegistryOpenKey(const char16_t* path, RegistryKey* key);
// Creates the key (and the store) when missing, opens it otherwise; fails with RegistryErrorAccess
// when a missing key cannot be written to the store. An existing key is opened without writing.
long RegistryCreateKey(const char16_t* path, RegistryKey* key);
// Copies the value into data; *byteCount is the room on entry and the value's size on return.
// type may be null. A value longer than the room gives RegistryErrorMoreData and writes nothing.
long RegistryQueryValue(RegistryKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* byteCount);
// Stores exactly byteCount bytes of data with the given type, and writes the store.
long RegistrySetValue(RegistryKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t byteCount);
long RegistryCloseKey(RegistryKey key);
