#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::market {

// A bar in the instrument's points: the wire forms are differences of these. The demo
// server keeps its bars in this form (packed, as is, in its database's bar chunks).
#pragma pack(push, 1)
struct PointBar {
    int32_t time = 0;     // open time, server time
    int32_t open = 0;
    int32_t high = 0;
    int32_t low = 0;
    int32_t close = 0;
    int32_t volume = 0;   // ticks
};
#pragma pack(pop)
static_assert(sizeof(PointBar) == 24);
static_assert(offsetof(PointBar, open) == 4);
static_assert(offsetof(PointBar, high) == 8);
static_assert(offsetof(PointBar, low) == 12);
static_assert(offsetof(PointBar, close) == 16);
static_assert(offsetof(PointBar, volume) == 20);

}  // namespace kb::market
