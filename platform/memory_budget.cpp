// The host's memory limits: physical memory, the address-space limit and the control group's limit
// (the unified hierarchy's memory.max or the older memory controller's memory.limit_in_bytes), read from
// the system each time a search starts.
#include "platform/memory_budget.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The older controller says "no limit" with the largest page-aligned count it can hold (2^63 - 4096 on a
// 64-bit host); anything that large limits nothing.
constexpr uint64_t UnlimitedFrom = uint64_t(1) << 62;

uint64_t HalfTheRoom(uint64_t limit, uint64_t inUse) {
    if (limit == NoMemoryLimit) return NoMemoryLimit;
    return limit > inUse ? (limit - inUse) / 2 : 0;
}

// The first number of a small file, or NoMemoryLimit when it holds none ("max").
uint64_t ReadNumber(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return NoMemoryLimit;
    unsigned long long number = 0;
    bool read = std::fscanf(file, "%llu", &number) == 1;
    std::fclose(file);
    return read ? number : NoMemoryLimit;
}

// The value of the "NAME VALUE" line of a statistics file; 0 when it has none.
uint64_t ReadStatistic(const std::string& path, const char* name) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return 0;
    char line[256];
    size_t nameLength = std::strlen(name);
    uint64_t value = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ' ')
            value = std::strtoull(line + nameLength + 1, nullptr, 10);
    std::fclose(file);
    return value;
}

// One hierarchy's files: where the limit, the use and the reclaimable file cache are read.
struct Hierarchy {
    const char* limitFile;
    const char* usageFile;
    const char* cacheStatistic; // inactive file pages, counted for the group and its children
};
constexpr Hierarchy Unified = {"/memory.max", "/memory.current", "inactive_file"};
constexpr Hierarchy MemoryController = {"/memory.limit_in_bytes", "/memory.usage_in_bytes",
                                        "total_inactive_file"};

// True when the comma-separated controllers hold "memory".
bool NamesMemory(const char* controllers, size_t length) {
    std::string list(controllers, length);
    std::string wrapped = "," + list + ",";
    return wrapped.find(",memory,") != std::string::npos;
}

// The process's path in the unified hierarchy (the "0::PATH" line) and in the memory controller's (a
// line naming "memory"), without a trailing slash; found is false for a hierarchy it has no line for.
struct GroupPaths {
    std::string unified, memory;
    bool unifiedFound = false, memoryFound = false;
};
GroupPaths ReadGroupPaths(const char* processGroups) {
    GroupPaths paths;
    FILE* file = std::fopen(processGroups, "r");
    if (!file) return paths;
    char line[4096];
    while (std::fgets(line, sizeof line, file)) {
        char* controllers = std::strchr(line, ':');
        char* path = controllers ? std::strchr(controllers + 1, ':') : nullptr;
        if (!path) continue;
        std::string value = path + 1;
        while (!value.empty() && (value.back() == '\n' || value.back() == '/'))
            value.pop_back();
        size_t controllersLength = size_t(path - controllers - 1);
        if (std::strncmp(line, "0::", 3) == 0) {
            paths.unified = value;
            paths.unifiedFound = true;
        } else if (NamesMemory(controllers + 1, controllersLength)) {
            paths.memory = value;
            paths.memoryFound = true;
        }
    }
    std::fclose(file);
    return paths;
}

// Walks from the group up to the hierarchy's root (the group and each parent may set a limit) and keeps
// the limit with the least room left. A folder that is not there (the process's path as the host names
// it, seen from inside a container) is passed over.
void TightestLimit(const std::string& root, std::string group, const Hierarchy& hierarchy,
                   uint64_t* leastRoom, MemoryLimits* limits) {
    for (;;) {
        std::string folder = root + group;
        uint64_t limit = ReadNumber(folder + hierarchy.limitFile);
        if (limit != NoMemoryLimit && limit < UnlimitedFrom) {
            uint64_t usage = ReadNumber(folder + hierarchy.usageFile);
            if (usage == NoMemoryLimit) usage = 0;
            // Inactive file cache is given back as soon as memory is short: reading a big file fills it,
            // and must not shrink the room a search has.
            uint64_t cache = ReadStatistic(folder + "/memory.stat", hierarchy.cacheStatistic);
            uint64_t inUse = usage > cache ? usage - cache : 0;
            uint64_t room = limit > inUse ? limit - inUse : 0;
            if (room < *leastRoom) {
                *leastRoom = room;
                limits->groupLimit = limit;
                limits->groupInUse = inUse;
            }
        }
        if (group.empty()) break;
        size_t slash = group.rfind('/');
        group.erase(slash == std::string::npos ? 0 : slash);
    }
}

} // namespace

uint64_t MemoryBudgetOf(const MemoryLimits& limits) {
    uint64_t budget = limits.physical > 0 ? limits.physical / 2 : NoMemoryLimit;
    uint64_t address = HalfTheRoom(limits.addressLimit, limits.addressInUse);
    uint64_t group = HalfTheRoom(limits.groupLimit, limits.groupInUse);
    if (address < budget) budget = address;
    if (group < budget) budget = group;
    return budget;
}

void ReadControlGroupLimit(const ControlGroupFiles& files, MemoryLimits* limits) {
    GroupPaths paths = ReadGroupPaths(files.processGroups);
    uint64_t leastRoom = NoMemoryLimit;
    if (paths.unifiedFound) TightestLimit(files.unifiedRoot, paths.unified, Unified, &leastRoom, limits);
    if (paths.memoryFound)
        TightestLimit(files.memoryRoot, paths.memory, MemoryController, &leastRoom, limits);
}

MemoryLimits HostMemoryLimits() {
    MemoryLimits limits;
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) limits.physical = uint64_t(pages) * uint64_t(pageSize);

    rlimit address{};
    if (getrlimit(RLIMIT_AS, &address) == 0 && address.rlim_cur != RLIM_INFINITY) {
        limits.addressLimit = address.rlim_cur;
        uint64_t sizePages = ReadNumber("/proc/self/statm");
        if (sizePages != NoMemoryLimit && pageSize > 0) limits.addressInUse = sizePages * uint64_t(pageSize);
    }
    ReadControlGroupLimit(HostControlGroupFiles, &limits);
    return limits;
}

namespace {
uint64_t budgetLimit = 0; // LimitMemoryBudget's bytes; 0 for the host's
} // namespace

uint64_t CurrentMemoryBudget() {
    return budgetLimit ? budgetLimit : MemoryBudgetOf(HostMemoryLimits());
}

void LimitMemoryBudget(uint64_t bytes) {
    budgetLimit = bytes;
}
