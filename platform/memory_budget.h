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
    uint64_t groupLimit = NoMemoryLimit;   // the tightest memory.max of the control group and its parents
    uint64_t groupInUse = 0;               // memory.current of that group
};

// The smallest of half the physical memory and half the room left under each limit; 0 when a limit is
// already reached, NoMemoryLimit when nothing is known.
uint64_t MemoryBudgetOf(const MemoryLimits& limits);
// The limits as the host gives them now.
MemoryLimits HostMemoryLimits();
