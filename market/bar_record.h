#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "market/point_bar.h"

namespace kb::market {

// Bars of the chart history: the form kept in memory and in .hst files, and the two forms
// in which servers send them (command 156 and the history server's chart answer), with the
// headers that travel with them. Little-endian, packed.

#pragma pack(push, 1)

struct BarRecord {
    int32_t time;                    // open time, server time
    double open;
    double low;
    double high;
    double close;
    double volume;                   // ticks, for bars built from quotes
};
static_assert(sizeof(BarRecord) == 44);
static_assert(offsetof(BarRecord, open) == 4);
static_assert(offsetof(BarRecord, low) == 12);
static_assert(offsetof(BarRecord, high) == 20);
static_assert(offsetof(BarRecord, close) == 28);
static_assert(offsetof(BarRecord, volume) == 36);

// The older wire form: prices in points, high, low and close as 16-bit differences to
// the open.
struct WireBar22 {
    int32_t time;
    int32_t open_points;
    int16_t high_delta;
    int16_t low_delta;
    int16_t close_delta;
    double volume;
};
static_assert(sizeof(WireBar22) == 22);
static_assert(offsetof(WireBar22, open_points) == 4);
static_assert(offsetof(WireBar22, high_delta) == 8);
static_assert(offsetof(WireBar22, low_delta) == 10);
static_assert(offsetof(WireBar22, close_delta) == 12);
static_assert(offsetof(WireBar22, volume) == 14);

// The newer wire form: the same with 32-bit differences.
struct WireBar28 {
    int32_t time;
    int32_t open_points;
    int32_t high_delta;
    int32_t low_delta;
    int32_t close_delta;
    double volume;
};
static_assert(sizeof(WireBar28) == 28);
static_assert(offsetof(WireBar28, open_points) == 4);
static_assert(offsetof(WireBar28, high_delta) == 8);
static_assert(offsetof(WireBar28, low_delta) == 12);
static_assert(offsetof(WireBar28, close_delta) == 16);
static_assert(offsetof(WireBar28, volume) == 20);

// In front of the bars of a chart history push (command 156 from the trade server).
struct ChartHistoryHeader {
    char symbol[12];                 // byte 11 forced to NUL on receipt
    int32_t period;                  // minutes
    int32_t oldest_time;             // oldest time covered by the server's data
    int32_t bar_count;               // 0..kMaxChartHistoryBars
};
static_assert(sizeof(ChartHistoryHeader) == 24);
static_assert(offsetof(ChartHistoryHeader, period) == 12);
static_assert(offsetof(ChartHistoryHeader, oldest_time) == 16);
static_assert(offsetof(ChartHistoryHeader, bar_count) == 20);

inline constexpr int32_t kMaxChartHistoryBars = 65536;

// One chart-data request entry (command 156 to the trade server); entries whose first
// byte is 0 are skipped.
struct ChartRequest {
    char symbol[12];                 // 11 characters at most
    int32_t period;                  // minutes
    int32_t from_time;               // 0, or the open time of a bar of the history
    int16_t bar_count;               // 0: every bar from from_time to now; n: n bars before it
};
static_assert(sizeof(ChartRequest) == 22);
static_assert(offsetof(ChartRequest, period) == 12);
static_assert(offsetof(ChartRequest, from_time) == 16);
static_assert(offsetof(ChartRequest, bar_count) == 20);

#pragma pack(pop)

// ---- conversions (pure, callable from any thread) ----

// A downloaded bar in the stored form: each price is open + difference converted from
// points with the symbol's digits (market/price_points.h); the volume is copied.
BarRecord bar_from_wire(const WireBar22& bar, int digits);
BarRecord bar_from_wire(const WireBar28& bar, int digits);

// The wire forms of a bar in points, for a server. Nothing when a difference does not fit
// the form's fields (the 22-byte form holds differences of at most 32767 points).
std::optional<WireBar22> wire_bar22_from(const PointBar& bar);
std::optional<WireBar28> wire_bar28_from(const PointBar& bar);
// The same for a stored bar; also nothing when a price does not fit 32 bits of points.
std::optional<WireBar22> wire_bar22_from(const BarRecord& bar, int digits);
std::optional<WireBar28> wire_bar28_from(const BarRecord& bar, int digits);

}  // namespace kb::market
