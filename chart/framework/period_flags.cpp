#include "chart/framework/period_flags.h"

#include <cstddef>

namespace kb::chart {

int32_t period_bit(int period_minutes) {
    for (size_t bit = 0; bit < kTimeframes.size(); ++bit)
        if (kTimeframes[bit].minutes == period_minutes) return int32_t{1} << bit;
    return 0;
}

bool visible_on_period(int32_t period_flags, int period_minutes) {
    if (period_flags == kNoPeriods) return false;
    if (period_flags == 0 || (period_flags & kAllPeriods) == kAllPeriods) return true;
    return (period_flags & period_bit(period_minutes)) != 0;
}

}  // namespace kb::chart
