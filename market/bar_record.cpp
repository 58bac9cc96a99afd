#include "market/bar_record.h"

#include <limits>

#include "market/price_points.h"

namespace kb::market {

namespace {

template <typename Wire>
BarRecord convert_from_wire(const Wire& bar, int digits) {
    auto price = [&](int64_t difference) { return price_from_points(int64_t{bar.open_points} + difference, digits); };
    BarRecord out{};
    out.time = bar.time;
    out.open = price(0);
    out.high = price(bar.high_delta);
    out.low = price(bar.low_delta);
    out.close = price(bar.close_delta);
    out.volume = bar.volume;
    return out;
}

template <typename Delta>
bool fits(int64_t value) {
    return value >= std::numeric_limits<Delta>::min() && value <= std::numeric_limits<Delta>::max();
}

template <typename Wire, typename Delta>
std::optional<Wire> convert_to_wire(const PointBar& bar) {
    const int64_t high_delta = int64_t{bar.high} - bar.open;
    const int64_t low_delta = int64_t{bar.low} - bar.open;
    const int64_t close_delta = int64_t{bar.close} - bar.open;
    if (!fits<Delta>(high_delta) || !fits<Delta>(low_delta) || !fits<Delta>(close_delta)) return std::nullopt;
    Wire out{};
    out.time = bar.time;
    out.open_points = bar.open;
    out.high_delta = static_cast<Delta>(high_delta);
    out.low_delta = static_cast<Delta>(low_delta);
    out.close_delta = static_cast<Delta>(close_delta);
    out.volume = static_cast<double>(bar.volume);
    return out;
}

// A stored bar: its prices in points first, nothing when one doesn't fit 32 bits. Its
// volume travels as the double it is.
template <typename Wire, typename Delta>
std::optional<Wire> convert_to_wire(const BarRecord& bar, int digits) {
    std::optional<int32_t> open = price_to_points(bar.open, digits);
    std::optional<int32_t> high = price_to_points(bar.high, digits);
    std::optional<int32_t> low = price_to_points(bar.low, digits);
    std::optional<int32_t> close = price_to_points(bar.close, digits);
    if (!open || !high || !low || !close) return std::nullopt;
    std::optional<Wire> out = convert_to_wire<Wire, Delta>(PointBar{bar.time, *open, *high, *low, *close, 0});
    if (out) out->volume = bar.volume;
    return out;
}

}  // namespace

BarRecord bar_from_wire(const WireBar22& bar, int digits) { return convert_from_wire(bar, digits); }
BarRecord bar_from_wire(const WireBar28& bar, int digits) { return convert_from_wire(bar, digits); }

std::optional<WireBar22> wire_bar22_from(const PointBar& bar) { return convert_to_wire<WireBar22, int16_t>(bar); }
std::optional<WireBar28> wire_bar28_from(const PointBar& bar) { return convert_to_wire<WireBar28, int32_t>(bar); }

std::optional<WireBar22> wire_bar22_from(const BarRecord& bar, int digits) {
    return convert_to_wire<WireBar22, int16_t>(bar, digits);
}

std::optional<WireBar28> wire_bar28_from(const BarRecord& bar, int digits) {
    return convert_to_wire<WireBar28, int32_t>(bar, digits);
}

}  // namespace kb::market
