#include <gtest/gtest.h>

#include "chart/indicators/recalculation.h"

namespace kb::chart::ind {
namespace {

TEST(Recalculation, DecidesFromSeriesBarCountAndHistoryVersion) {
    struct Case {
        bool same_series;
        int last_count, last_version, bar_count, version;
        Recalculation expected;
    } cases[] = {
        {true, 100, 10, 100, 11, Recalculation::Refresh},
        {true, 100, 10, 101, 12, Recalculation::NewBar},
        {true, 100, 10, 101, 17, Recalculation::NewBar},
        {true, 100, 10, 101, 18, Recalculation::Full},   // more than 7 steps: history replaced
        {true, 100, 10, 100, 110, Recalculation::Full},  // a load adds 100
        {true, 100, 10, 102, 11, Recalculation::Full},
        {true, 100, 10, 99, 11, Recalculation::Full},
        {false, 100, 10, 100, 11, Recalculation::Full},
        {true, 0, -1, 100, 11, Recalculation::Full},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decide_recalculation(c.same_series, c.last_count, c.last_version, c.bar_count, c.version),
                  c.expected)
            << c.last_count << "->" << c.bar_count << " v" << c.last_version << "->" << c.version;
    }
    EXPECT_EQ(computed_count_for(Recalculation::Full, 100), 0);
    EXPECT_EQ(computed_count_for(Recalculation::NewBar, 100), 100);
}

}  // namespace
}  // namespace kb::chart::ind
