// The registry store file is outside bytes: whatever it holds, reading it must not crash, and a value set
// afterwards must read back exactly.
#include "platform/device.h"
#include "platform/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static std::string StorePath;

static bool PrepareDevice() {
    char pattern[] = "/tmp/dialdex-registry-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    if (PrepareDeviceFolder(std::string(pattern) + "/device", "") != 0) return false;
    mkdir((DeviceFolder() + "/Windows").c_str(), 0755);
    StorePath = DeviceFolder() + "/Windows/registry.txt";
    return true;
}

static void QueryAll(RegistryKey key) {
    static const char16_t* const Names[] = {u"Language", u"Last db", u"Col0Width", u"", u"a\\b"};
    for (const char16_t* name : Names) {
        uint8_t buffer[64];
        uint32_t type = 0;
        uint32_t byteCount = sizeof buffer;
        long result = RegistryQueryValue(key, name, &type, buffer, &byteCount);
        if (result == RegistryErrorMoreData && byteCount <= sizeof buffer) abort();
        if (result == RegistrySuccess && byteCount > sizeof buffer) abort();
        byteCount = 0;
        RegistryQueryValue(key, name, nullptr, nullptr, &byteCount);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = PrepareDevice();
    if (!ready) return 0;
    // A damaged store is kept aside by the first write; one input's copy must not pile up on the next.
    std::remove((StorePath + ".bad").c_str());
    FILE* file = std::fopen(StorePath.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    static const char16_t* const Keys[] = {u"SOFTWARE\\Kestrel\\Dialdex", u"SOFTWARE", u"", u"A\\B"};
    for (const char16_t* path : Keys) {
        RegistryKey key = nullptr;
        if (RegistryOpenKey(path, &key) == RegistrySuccess) {
            QueryAll(key);
            RegistryCloseKey(key);
        }
    }

    // Whatever was there, a value set now comes back byte for byte.
    RegistryKey key = nullptr;
    if (RegistryCreateKey(u"SOFTWARE\\Kestrel\\Dialdex", &key) != RegistrySuccess) abort();
    uint8_t value[64];
    size_t valueSize = size < sizeof value ? size : sizeof value;
    if (valueSize > 0) std::memcpy(value, data, valueSize);
    if (RegistrySetValue(key, u"Language", RegistryTypeString, value, static_cast<uint32_t>(valueSize)) !=
        RegistrySuccess) {
        abort();
    }
    uint8_t readBack[64];
    uint32_t type = 0;
    uint32_t byteCount = sizeof readBack;
    if (RegistryQueryValue(key, u"language", &type, readBack, &byteCount) != RegistrySuccess) abort();
    if (type != RegistryTypeString || byteCount != valueSize) abort();
    if (valueSize > 0 && std::memcmp(readBack, value, valueSize) != 0) abort();
    RegistryCloseKey(key);
    return 0;
}
