// Checked with the assertions on, whatever the build: a release build compiles them out.
#undef NDEBUG
#include "core/debug_assert.h"

#include <gtest/gtest.h>

namespace {

TEST(DebugAssert, BrokenInvariantAbortsNamingItsPlaceAndText) {
    int evaluated = 0;
    KB_DEBUG_ASSERT(++evaluated == 1, "holds");
    EXPECT_EQ(evaluated, 1);
    EXPECT_DEATH(KB_DEBUG_ASSERT(evaluated == 2, "7. the count is two"),
                 "debug_assert_test.cpp:[0-9]+: invariant broken: 7. the count is two");
}

}  // namespace
