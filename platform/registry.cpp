// The device registry, kept in "\Windows\registry.txt" in the device folder. Every operation reads the
// store file afresh and every change writes it whole through a replacement file, so that what is on disk
// is always the registry: nothing is cached that a crash could lose or that another process could stale.
// Other instances of the program share the store: a change is made under the store's exclusive lock on
// the file as it is on disk at that moment, and a read under its shared lock.
//
// The store file is UTF-8 text, one record a line, ending in a line feed:
//   Dialdex registry 1                      the first line, always
//   KEY                                      a key (every key but the root has its line)
//   KEY<TAB>NAME<TAB>TYPE<TAB>HEXBYTES       a value of the key: type in decimal, bytes as hex pairs
// KEY is the key's path below the local-machine root, its names joined by backslashes ("SOFTWARE\Kestrel");
// the root itself is the empty text. In KEY and NAME a backslash is written "\\", a tab "\t", a line feed
// "\n", a carriage return "\r", and a lone surrogate (which UTF-8 cannot carry) "\uD800" with four hex
// digits; so every name comes back unit for unit. A line that breaks these rules is skipped and every
// other line is read (a last line without its line feed too). A file without the first line, or larger
// than any registry the program writes could be, is no registry at all and reads as empty. Either way
// the next change would drop what was not read, so it first adds the whole old file to
// "\Windows\registry.txt.bad".
#include "platform/registry.h"

#include "platform/device.h"
#include "platform/files.h"
#include "platform/text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

static constexpr const char16_t* RegistryStorePath = u"\\Windows\\registry.txt";
static constexpr const char16_t* RegistryAsidePath = u"\\Windows\\registry.txt.bad";
static constexpr const char16_t* RegistryStoreFolder = u"\\Windows";
static constexpr std::string_view RegistryHeader = "Dialdex registry 1";
static constexpr long LargestStoreBytes = 4L * 1024 * 1024;
static constexpr uint32_t LargestValueBytes = 1024 * 1024;

struct RegistryValue {
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> bytes;
};

struct RegistryStoredKey {
    std::u16string path; // canonical: names joined by single backslashes, no leading or trailing one
    std::vector<RegistryValue> values;
};

using RegistryStore = std::vector<RegistryStoredKey>;

// The store as read, and whether anything of the file was left unread (which a rewrite would drop).
struct LoadedStore {
    RegistryStore keys; // every record that reads
    bool damaged;       // a line, or the whole file, could not be read
};

struct RegistryKeyRecord {
    std::u16string path;
};

static std::mutex RegistryLock;

// The store's locks: the process's own threads and the other instances. An exclusive lock that another
// instance holds for too long leaves `held` false.
struct StoreLock {
    std::lock_guard<std::mutex> threads{RegistryLock};
    SharedFileLock* processes;
    bool held;

    explicit StoreLock(bool exclusive) {
        // The folder is the lock, so it must exist before a change is locked.
        std::string folder = HostPathOf(RegistryStoreFolder);
        if (exclusive && !folder.empty()) mkdir(folder.c_str(), 0755);
        processes = LockSharedFile(RegistryStorePath, exclusive);
        held = processes != nullptr || !exclusive;
    }
    ~StoreLock() { UnlockSharedFile(processes); }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
};

// --- Names ---------------------------------------------------------------------------------------------

static char16_t AsciiUpper(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? unit - 0x20 : unit;
}

static bool SameName(std::u16string_view left, std::u16string_view right) {
    if (left.size() != right.size()) return false;
    for (size_t index = 0; index < left.size(); index++) {
        if (AsciiUpper(left[index]) != AsciiUpper(right[index])) return false;
    }
    return true;
}

// "\SOFTWARE\\Kestrel\" -> "SOFTWARE\Kestrel": empty names between backslashes are dropped.
static std::u16string CanonicalKeyPath(std::u16string_view path) {
    std::u16string canonical;
    size_t index = 0;
    while (index < path.size()) {
        size_t end = path.find(u'\\', index);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > index) {
            if (!canonical.empty()) canonical += u'\\';
            canonical.append(path.substr(index, end - index));
        }
        index = end + 1;
    }
    return canonical;
}

static RegistryStoredKey* FindKey(RegistryStore* store, std::u16string_view path) {
    for (RegistryStoredKey& key : *store) {
        if (SameName(key.path, path)) return &key;
    }
    return nullptr;
}

// The root always exists; every other key exists when the store holds it.
static bool KeyExists(RegistryStore* store, std::u16string_view path) {
    return path.empty() || FindKey(store, path) != nullptr;
}

// Adds the key and every key above it that is missing, as creating a key on the platform does.
static RegistryStoredKey* AddKey(RegistryStore* store, std::u16string_view path) {
    if (path.empty()) {
        RegistryStoredKey* root = FindKey(store, path);
        if (root != nullptr) return root;
        store->insert(store->begin(), RegistryStoredKey{std::u16string(), {}});
        return &store->front();
    }
    for (size_t end = path.find(u'\\'); end != std::u16string_view::npos; end = path.find(u'\\', end + 1)) {
        if (FindKey(store, path.substr(0, end)) == nullptr) {
            store->push_back(RegistryStoredKey{std::u16string(path.substr(0, end)), {}});
        }
    }
    RegistryStoredKey* key = FindKey(store, path);
    if (key != nullptr) return key;
    store->push_back(RegistryStoredKey{std::u16string(path), {}});
    return &store->back();
}

static RegistryValue* FindValue(RegistryStoredKey* key, std::u16string_view name) {
    for (RegistryValue& value : key->values) {
        if (SameName(value.name, name)) return &value;
    }
    return nullptr;
}

// --- The store file ------------------------------------------------------------------------------------

static const char HexDigits[] = "0123456789ABCDEF";

static void AppendEscaped(std::string* line, std::u16string_view text) {
    for (size_t index = 0; index < text.size(); index++) {
        char16_t unit = text[index];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && index + 1 < text.size() && text[index + 1] >= 0xDC00 && text[index + 1] <= 0xDFFF) {
            *line += Utf8FromWide(text.substr(index, 2));
            index++;
        } else if (high || low) {
            *line += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                *line += HexDigits[(unit >> shift) & 0xF];
        } else if (unit == u'\\') {
            *line += "\\\\";
        } else if (unit == u'\t') {
            *line += "\\t";
        } else if (unit == u'\n') {
            *line += "\\n";
        } else if (unit == u'\r') {
            *line += "\\r";
        } else {
            *line += Utf8FromWide(text.substr(index, 1));
        }
    }
}

static std::string StoreText(const RegistryStore& store) {
    std::string text(RegistryHeader);
    text += '\n';
    for (const RegistryStoredKey& key : store) {
        if (!key.path.empty()) {
            AppendEscaped(&text, key.path);
            text += '\n';
        }
        for (const RegistryValue& value : key.values) {
            AppendEscaped(&text, key.path);
            text += '\t';
            AppendEscaped(&text, value.name);
            text += '\t';
            text += std::to_string(value.type);
            text += '\t';
            for (uint8_t byte : value.bytes) {
                text += HexDigits[byte >> 4];
                text += HexDigits[byte & 0xF];
            }
            text += '\n';
        }
    }
    return text;
}

static int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

// Reverses AppendEscaped. Returns false for bytes that are not well-formed UTF-8 or an unknown escape.
static bool Unescape(std::string_view field, std::u16string* text) {
    text->clear();
    size_t index = 0;
    while (index < field.size()) {
        size_t backslash = field.find('\\', index);
        size_t plainEnd = backslash == std::string_view::npos ? field.size() : backslash;
        if (plainEnd > index) {
            std::string_view plain = field.substr(index, plainEnd - index);
            std::u16string wide = WideFromUtf8(plain);
            if (Utf8FromWide(wide) != plain) return false;
            *text += wide;
        }
        if (backslash == std::string_view::npos) break;
        if (backslash + 1 >= field.size()) return false;
        char escaped = field[backslash + 1];
        index = backslash + 2;
        if (escaped == '\\') {
            *text += u'\\';
        } else if (escaped == 't') {
            *text += u'\t';
        } else if (escaped == 'n') {
            *text += u'\n';
        } else if (escaped == 'r') {
            *text += u'\r';
        } else if (escaped == 'u' && index + 4 <= field.size()) {
            int unit = 0;
            for (int digit = 0; digit < 4; digit++) {
                int value = HexValue(field[index + digit]);
                if (value < 0) return false;
                unit = unit * 16 + value;
            }
            *text += static_cast<char16_t>(unit);
            index += 4;
        } else {
            return false;
        }
    }
    return true;
}

static bool ParseType(std::string_view field, uint32_t* type) {
    if (field.empty() || field.size() > 10) return false;
    unsigned long long value = 0;
    for (char digit : field) {
        if (digit < '0' || digit > '9') return false;
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    if (value > UINT32_MAX) return false;
    *type = static_cast<uint32_t>(value);
    return true;
}

static bool ParseBytes(std::string_view field, std::vector<uint8_t>* bytes) {
    if (field.size() % 2 != 0) return false;
    bytes->clear();
    for (size_t index = 0; index < field.size(); index += 2) {
        int high = HexValue(field[index]);
        int low = HexValue(field[index + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

// One line without its line feed. Returns false when it is not a record of the store.
static bool ParseLine(std::string_view line, RegistryStore* store) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // a store edited by hand elsewhere
    if (line.empty()) return true;
    std::vector<std::string_view> fields;
    size_t index = 0;
    for (;;) {
        size_t tab = line.find('\t', index);
        fields.push_back(
            line.substr(index, tab == std::string_view::npos ? std::string_view::npos : tab - index));
        if (tab == std::string_view::npos) break;
        index = tab + 1;
    }
    std::u16string keyPath;
    if (!Unescape(fields[0], &keyPath)) return false;
    keyPath = CanonicalKeyPath(keyPath);
    if (fields.size() == 1) {
        if (keyPath.empty()) return false;
        AddKey(store, keyPath);
        return true;
    }
    if (fields.size() != 4) return false;
    RegistryValue value;
    if (!Unescape(fields[1], &value.name) || !ParseType(fields[2], &value.type) ||
        !ParseBytes(fields[3], &value.bytes)) {
        return false;
    }
    RegistryStoredKey* key = AddKey(store, keyPath);
    RegistryValue* existing = FindValue(key, value.name);
    if (existing != nullptr) {
        *existing = std::move(value);
    } else {
        key->values.push_back(std::move(value));
    }
    return true;
}

// Reads the store. A missing or empty file gives the empty store; see the top of this file for damage.
static LoadedStore LoadStore() {
    LoadedStore store{RegistryStore(), false};
    FileHandle file = OpenFileForReading(RegistryStorePath);
    if (file == NoFile) return store;
    std::string text;
    char buffer[16384];
    bool readable = true;
    for (;;) {
        long got = ReadFileBytes(file, buffer, sizeof buffer);
        if (got <= 0) {
            readable = got == 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
        if (static_cast<long>(text.size()) > LargestStoreBytes) {
            readable = false;
            break;
        }
    }
    CloseFile(file);
    if (!readable) {
        store.damaged = true;
        return store;
    }
    if (text.empty()) return store;

    std::string_view rest(text);
    size_t lineEnd = rest.find('\n');
    std::string_view header = rest.substr(0, lineEnd);
    if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
    if (header != RegistryHeader) {
        store.damaged = true;
        return store;
    }
    rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
    while (!rest.empty()) {
        lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        if (!ParseLine(line, &store.keys)) store.damaged = true;
        rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
    }
    return store;
}

// Writes the whole store in place of the old one; a damaged old store is first added to the store kept
// aside, and if that fails nothing is written. Returns 0, or -1 (the old store file is then untouched).
static int SaveStore(const LoadedStore& store) {
    std::string folder = HostPathOf(RegistryStoreFolder);
    if (folder.empty()) return -1;
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    StreamFile* file = OpenReplacementFile(RegistryStorePath);
    if (file == nullptr) return -1;
    if (store.damaged && AppendFileCopy(RegistryStorePath, RegistryAsidePath) != 0) {
        AbandonReplacementFile(file);
        return -1;
    }
    std::string text = StoreText(store.keys);
    if (WriteStreamBytes(file, text.data(), static_cast<int>(text.size())) != static_cast<int>(text.size())) {
        AbandonReplacementFile(file);
        return -1;
    }
    return CommitReplacementFile(file);
}

// --- The operations ------------------------------------------------------------------------------------

// Codes: RegistrySuccess, RegistryErrorNotFound (no such key), RegistryErrorInvalid (null argument).
long RegistryOpenKey(const char16_t* path, RegistryKey* key) {
    if (key == nullptr) return RegistryErrorInvalid;
    *key = nullptr;
    if (path == nullptr) return RegistryErrorInvalid;
    std::u16string canonical = CanonicalKeyPath(path);
    StoreLock lock(false);
    LoadedStore store = LoadStore();
    if (!KeyExists(&store.keys, canonical)) return RegistryErrorNotFound;
    *key = new RegistryKeyRecord{canonical};
    return RegistrySuccess;
}

// A new key is written to the store at once, so that a store that cannot be written is reported here,
// before the caller goes on to set values in the key.
// Codes: RegistrySuccess, RegistryErrorAccess (store not writable, or locked by another instance for too
// long), RegistryErrorInvalid (null argument).
long RegistryCreateKey(const char16_t* path, RegistryKey* key) {
    if (key == nullptr) return RegistryErrorInvalid;
    *key = nullptr;
    if (path == nullptr) return RegistryErrorInvalid;
    std::u16string canonical = CanonicalKeyPath(path);
    StoreLock lock(true);
    if (!lock.held) return RegistryErrorAccess;
    LoadedStore store = LoadStore();
    // An existing key is opened without writing the store: a device that cannot be written (read-only,
    // full) still opens its settings, and only the writes that fail are reported.
    if (FindKey(&store.keys, canonical) == nullptr) {
        AddKey(&store.keys, canonical);
        if (SaveStore(store) != 0) return RegistryErrorAccess;
    }
    *key = new RegistryKeyRecord{canonical};
    return RegistrySuccess;
}

// A null name is the key's default value, as on the platform. A null data asks only for the size.
// Codes: RegistrySuccess, RegistryErrorNotFound (key or value missing), RegistryErrorMoreData (the value
// is longer than *byteCount; *byteCount then holds its size and data is untouched), RegistryErrorInvalid.
long RegistryQueryValue(RegistryKey key, const char16_t* name, uint32_t* type, void* data,
                        uint32_t* byteCount) {
    if (key == nullptr || byteCount == nullptr) return RegistryErrorInvalid;
    std::u16string_view valueName = name == nullptr ? u"" : name;
    StoreLock lock(false);
    LoadedStore store = LoadStore();
    RegistryStoredKey* storedKey = FindKey(&store.keys, key->path);
    if (storedKey == nullptr) return RegistryErrorNotFound;
    RegistryValue* value = FindValue(storedKey, valueName);
    if (value == nullptr) return RegistryErrorNotFound;
    uint32_t size = static_cast<uint32_t>(value->bytes.size());
    if (data != nullptr && *byteCount < size) {
        *byteCount = size;
        return RegistryErrorMoreData;
    }
    if (data != nullptr && size > 0) std::memcpy(data, value->bytes.data(), size);
    *byteCount = size;
    if (type != nullptr) *type = value->type;
    return RegistrySuccess;
}

// A key whose store file vanished since it was opened is made again, so that the value is not lost. A
// value that holds these bytes and this type already is left as it is, and the store is not written.
// Codes: RegistrySuccess, RegistryErrorAccess (store not writable, or locked by another instance for too
// long; nothing changed), RegistryErrorInvalid (null key, null data with a non-zero count, or a value
// larger than 1 MiB).
long RegistrySetValue(RegistryKey key, const char16_t* name, uint32_t type, const void* data,
                      uint32_t byteCount) {
    if (key == nullptr || (data == nullptr && byteCount > 0) || byteCount > LargestValueBytes) {
        return RegistryErrorInvalid;
    }
    std::u16string_view valueName = name == nullptr ? u"" : name;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    StoreLock lock(true);
    if (!lock.held) return RegistryErrorAccess;
    LoadedStore store = LoadStore();
    RegistryStoredKey* storedKey = AddKey(&store.keys, key->path);
    RegistryValue* value = FindValue(storedKey, valueName);
    // A value set to what it holds already is not written again: every Start sets "Last db", mostly to
    // the database searched last, and each rewrite costs the window thread two fsyncs (and a device's
    // flash a write). A damaged store is still rewritten, as any change would.
    if (value != nullptr && !store.damaged && value->type == type && value->bytes.size() == byteCount &&
        (byteCount == 0 || std::memcmp(value->bytes.data(), bytes, byteCount) == 0)) {
        return RegistrySuccess;
    }
    if (value == nullptr) {
        storedKey->values.push_back(RegistryValue{std::u16string(valueName), type, {}});
        value = &storedKey->values.back();
    }
    value->type = type;
    value->bytes.assign(bytes, bytes + byteCount);
    return SaveStore(store) == 0 ? RegistrySuccess : RegistryErrorAccess;
}

// Codes: RegistrySuccess, RegistryErrorInvalid (null key).
long RegistryCloseKey(RegistryKey key) {
    if (key == nullptr) return RegistryErrorInvalid;
    delete key;
    return RegistrySuccess;
}
