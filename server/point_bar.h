#pragma once
#include <cstdint>

namespace kb::server {

// A bar in the instrument's points: the wire forms are differences of these.
struct PointBar {
    int32_t time = 0;     // open time, server time
    int32_t open = 0;
    int32_t high = 0;
    int32_t low = 0;
    int32_t close = 0;
    int32_t volume = 0;   // ticks
};

}  // namespace kb::server
