// How much memory a search's result rows may take: half of what the host has room for, so that a search
// matching everything ends with its rows shown instead of the process being killed or refused memory.
#pragma once

#include <cstdint>

constexpr uint64_t NoMemoryLimit = UINT64_MAX;

// The host's limits, in bytes.
struct MemoryLimits {
    uint64_t physical = 0;                 // physical memory; 0 when unknown
    uint64_t addressLimit = NoMemoryLimit; // the soft limit of the address space (RLIMIT_AS)
    uint64_t addressInUse = 0;             // the process's address space now
    uint64_t groupLimit = NoMemoryLimit;   // the control group's limit with the least room left
    uint64_t groupInUse = 0;               // what that group uses, reclaimable file cache left out
};

// Where the host tells a process's control groups and their limits: the files of the running system, or
// a copy of their shape made by a test.
struct ControlGroupFiles {
    const char* processGroups; // the process's groups, one "ID:CONTROLLERS:PATH" line each
    const char* unifiedRoot;   // the mount of the unified hierarchy (memory.max, memory.current)
    const char* memoryRoot;    // the mount of the older memory controller (memory.limit_in_bytes)
};
constexpr ControlGroupFiles HostControlGroupFiles = {"/proc/self/cgroup", "/sys/fs/cgroup",
                                                     "/sys/fs/cgroup/memory"};

// The smallest of half the physical memory and half the room left under each limit; 0 when a limit is
// already reached, NoMemoryLimit when nothing is known.
uint64_t MemoryBudgetOf(const MemoryLimits& limits);
// The control-group limit with the least room left, of the process's group and each of its parents, in
// either hierarchy; sets groupLimit and groupInUse of limits (left as they are when no group is limited).
void ReadControlGroupLimit(const ControlGroupFiles& files, MemoryLimits* limits);
// The limits as the host gives them now.
MemoryLimits HostMemoryLimits();
// The budget of a step that takes memory in proportion to the rows (a copy, a sort): the host's now, or
// the bytes LimitMemoryBudget set (0 sets the host's again; for tests).
uint64_t CurrentMemoryBudget();
void LimitMemoryBudget(uint64_t bytes);
