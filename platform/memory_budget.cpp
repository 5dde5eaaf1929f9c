// The host's memory limits: physical memory, the address-space limit and the control group's limit
// (cgroup v2), read from the system each time a search starts.
#include "platform/memory_budget.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

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

// The control group of this process (the "0::PATH" line of /proc/self/cgroup), empty when none.
std::string ControlGroupPath() {
    FILE* file = std::fopen("/proc/self/cgroup", "r");
    if (!file) return std::string();
    char line[4096];
    std::string path;
    while (std::fgets(line, sizeof line, file))
        if (line[0] == '0' && line[1] == ':' && line[2] == ':') {
            path = line + 3;
            while (!path.empty() && (path.back() == '\n' || path.back() == '/'))
                path.pop_back();
        }
    std::fclose(file);
    return path;
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

    // The group and each parent may set a limit: the one with the least room left counts.
    std::string group = ControlGroupPath();
    uint64_t leastRoom = NoMemoryLimit;
    for (;;) {
        std::string folder = "/sys/fs/cgroup" + group;
        uint64_t limit = ReadNumber(folder + "/memory.max");
        if (limit != NoMemoryLimit) {
            uint64_t inUse = ReadNumber(folder + "/memory.current");
            if (inUse == NoMemoryLimit) inUse = 0;
            uint64_t room = limit > inUse ? limit - inUse : 0;
            if (room < leastRoom) {
                leastRoom = room;
                limits.groupLimit = limit;
                limits.groupInUse = inUse;
            }
        }
        if (group.empty()) break;
        group.erase(group.rfind('/') == std::string::npos ? 0 : group.rfind('/'));
    }
    return limits;
}
