// The result rows' memory budget: half of the room the tightest of the host's limits leaves.
#include "platform/memory_budget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

TEST(MemoryBudget, HalfOfTheTightestRoom) {
    constexpr uint64_t GiB = uint64_t(1) << 30;
    constexpr uint64_t None = NoMemoryLimit;
    struct Case {
        MemoryLimits limits;
        uint64_t budget;
    };
    // clang-format off
    const Case cases[] = {
        // physical  address limit, in use   group limit, in use    budget
        {{8 * GiB,   None,    0,             None,    0          }, 4 * GiB        },
        {{8 * GiB,   3 * GiB, 1 * GiB,       None,    0          }, 1 * GiB        }, // the address space
        {{8 * GiB,   None,    0,             2 * GiB, GiB / 2    }, 3 * GiB / 4    }, // the control group
        {{8 * GiB,   7 * GiB, 1 * GiB,       5 * GiB, 0          }, 5 * GiB / 2    }, // the group is tighter
        {{8 * GiB,   2 * GiB, 3 * GiB,       None,    0          }, 0              }, // already past a limit
        {{8 * GiB,   None,    0,             GiB,     GiB        }, 0              },
        {{0,         None,    0,             None,    0          }, None           }, // nothing known
        {{0,         4 * GiB, 0,             None,    0          }, 2 * GiB        },
    };
    // clang-format on
    for (const Case& one : cases)
        EXPECT_EQ(MemoryBudgetOf(one.limits), one.budget)
            << one.limits.physical << " " << one.limits.addressLimit << " " << one.limits.groupLimit;
}

// Fake control-group trees: the process's groups file and the files of each hierarchy, as the host lays
// them out (a container sees only its own part of the host's path, older hosts have the memory controller
// only, the unified hierarchy says "max" for no limit).
TEST(MemoryBudget, TheControlGroupsLimitIsReadFromEitherHierarchy) {
    constexpr uint64_t MiB = uint64_t(1) << 20;
    constexpr uint64_t None = NoMemoryLimit;
    struct File {
        const char* path; // under the fake root; "groups" is the process's groups file
        std::string text;
    };
    struct Case {
        const char* what;
        std::vector<File> files;
        uint64_t limit, inUse;
    };
    const std::string gib = std::to_string(1024 * MiB), mib300 = std::to_string(300 * MiB),
                      mib700 = std::to_string(700 * MiB), mib100 = std::to_string(100 * MiB);
    const std::string unlimitedV1 = "9223372036854771712";
    const Case cases[] = {
        {"v1: 1 GiB, 700 MiB used of which 300 MiB inactive file cache",
         {{"groups", "9:pids:/\n4:memory:/job/42\n1:cpu,cpuacct:/\n0::/\n"},
          {"v1/job/42/memory.limit_in_bytes", gib + "\n"},
          {"v1/job/42/memory.usage_in_bytes", mib700 + "\n"},
          {"v1/job/42/memory.stat", "cache 1\ninactive_file 5\ntotal_inactive_file " + mib300 + "\n"},
          {"v1/memory.limit_in_bytes", unlimitedV1 + "\n"}},
         1024 * MiB, 400 * MiB},
        {"v1: the limit is the parent's; the group itself is unlimited",
         {{"groups", "4:memory:/job/42\n"},
          {"v1/job/42/memory.limit_in_bytes", unlimitedV1},
          {"v1/job/42/memory.usage_in_bytes", mib100},
          {"v1/job/memory.limit_in_bytes", gib},
          {"v1/job/memory.usage_in_bytes", mib300}},
         1024 * MiB, 300 * MiB},
        {"v1 with the controller named among others",
         {{"groups", "7:cpuset,memory:/a\n"}, {"v1/a/memory.limit_in_bytes", gib}, {"v1/a/memory.usage_in_bytes", "0"}},
         1024 * MiB, 0},
        {"v1 seen from a container: only the root is there",
         {{"groups", "4:memory:/docker/abc\n"}, {"v1/memory.limit_in_bytes", gib}, {"v1/memory.usage_in_bytes", mib100}},
         1024 * MiB, 100 * MiB},
        {"v2: memory.max with its inactive file cache",
         {{"groups", "0::/user.slice/s.scope\n"},
          {"v2/user.slice/s.scope/memory.max", gib + "\n"},
          {"v2/user.slice/s.scope/memory.current", mib700 + "\n"},
          {"v2/user.slice/s.scope/memory.stat", "anon 1\nactive_file 9\ninactive_file " + mib300 + "\n"},
          {"v2/user.slice/memory.max", "max\n"}},
         1024 * MiB, 400 * MiB},
        {"v2: the tighter of the group and its parent",
         {{"groups", "0::/a/b\n"},
          {"v2/a/b/memory.max", gib}, {"v2/a/b/memory.current", mib100},
          {"v2/a/memory.max", mib700}, {"v2/a/memory.current", mib300}},
         700 * MiB, 300 * MiB},
        {"both hierarchies: the least room counts",
         {{"groups", "4:memory:/j\n0::/j\n"},
          {"v1/j/memory.limit_in_bytes", mib700}, {"v1/j/memory.usage_in_bytes", mib100},
          {"v2/j/memory.max", gib}, {"v2/j/memory.current", mib700}},
         1024 * MiB, 700 * MiB},
        {"cache larger than the use (read at different moments)",
         {{"groups", "0::/\n"}, {"v2/memory.max", gib}, {"v2/memory.current", mib100},
          {"v2/memory.stat", "inactive_file " + mib300}},
         1024 * MiB, 0},
        {"no limit anywhere", {{"groups", "0::/\n4:memory:/\n"}, {"v2/memory.max", "max"},
                               {"v1/memory.limit_in_bytes", unlimitedV1}}, None, 0},
        {"no groups file", {}, None, 0},
        {"no line for either hierarchy", {{"groups", "garbage\n3:cpu:/x\n"}, {"v1/memory.limit_in_bytes", gib}},
         None, 0},
    };
    char pattern[] = "/tmp/dialdex-cgroup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path scratch = pattern;
    for (const Case& one : cases) {
        std::filesystem::remove_all(scratch);
        std::filesystem::create_directories(scratch / "v1");
        std::filesystem::create_directories(scratch / "v2");
        for (const File& file : one.files) {
            std::filesystem::create_directories((scratch / file.path).parent_path());
            std::ofstream(scratch / file.path) << file.text;
        }
        const std::string groups = (scratch / "groups").string(), v2 = (scratch / "v2").string(),
                          v1 = (scratch / "v1").string();
        MemoryLimits limits;
        ReadControlGroupLimit({groups.c_str(), v2.c_str(), v1.c_str()}, &limits);
        EXPECT_EQ(limits.groupLimit, one.limit) << one.what;
        EXPECT_EQ(limits.groupInUse, one.inUse) << one.what;
    }
    std::filesystem::remove_all(scratch);
}

TEST(MemoryBudget, TheHostsLimitsAreRead) {
    MemoryLimits limits = HostMemoryLimits();
    EXPECT_GT(limits.physical, uint64_t(0));
    EXPECT_LE(MemoryBudgetOf(limits), limits.physical / 2);
    if (limits.groupLimit != NoMemoryLimit) {
        EXPECT_GT(limits.groupInUse, uint64_t(0));
    }
}
