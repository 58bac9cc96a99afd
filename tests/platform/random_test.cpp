#include "platform/random.h"

#include <gtest/gtest.h>

namespace kb::platform {
namespace {

// The demo-server's prices depend on this exact sequence: the first outputs of splitmix64
// from seed 0 as published with the algorithm.
TEST(SeededRandom, FollowsTheSplitmixSequence) {
    SeededRandom random(0);
    const uint64_t expected[] = {0xE220A8397B1DCDAFull, 0x6E789E6AA1B965F4ull, 0x06C45D188009454Full};
    for (uint64_t value : expected) EXPECT_EQ(random.next(), value);
}

TEST(SeededRandom, SameSeedSameNumbersAndUniformStaysInsideTheUnitInterval) {
    SeededRandom first(1234), second(1234), other(1235);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        const double a = first.uniform();
        EXPECT_EQ(a, second.uniform());
        EXPECT_GT(a, 0.0);
        EXPECT_LT(a, 1.0);
        differs = differs || a != other.uniform();
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace kb::platform
