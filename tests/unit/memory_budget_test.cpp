// The result rows' memory budget: half of the room the tightest of the host's limits leaves.
#include "platform/memory_budget.h"

#include <gtest/gtest.h>

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

TEST(MemoryBudget, TheHostsLimitsAreRead) {
    MemoryLimits limits = HostMemoryLimits();
    EXPECT_GT(limits.physical, uint64_t(0));
    EXPECT_LE(MemoryBudgetOf(limits), limits.physical / 2);
    if (limits.groupLimit != NoMemoryLimit) {
        EXPECT_GT(limits.groupInUse, uint64_t(0));
    }
}
