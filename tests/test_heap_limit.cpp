// The simulated heap's largest block: a machine with less memory refuses larger blocks as when
// memory runs out, and a reboot brings the default back.
#include "platform/sim/memory.h"
#include "support.h"

#include <stdlib.h>

namespace {

class HeapLimitTest : public test::Machine {};

TEST_F(HeapLimitTest, BlocksAboveTheLargestAreRefusedUntilReboot) {
    sim::SetLargestBlock(4096);
    void *fits = calloc(4096, 1);
    EXPECT_NE(fits, nullptr);
    EXPECT_EQ(calloc(4097, 1), nullptr);
    EXPECT_EQ(calloc(2, 2049), nullptr);
    EXPECT_EQ(realloc(fits, 8192), nullptr);
    void *grown = realloc(fits, 4000);
    ASSERT_NE(grown, nullptr);
    free(grown);
    EXPECT_EQ(sim::HeldBlocks(), 0u);

    sim::Reset();
    void *large = calloc(1 << 20, 1);
    EXPECT_NE(large, nullptr);
    free(large);
}

} // namespace
