#pragma once
#include <algorithm>
#include <cstddef>
#include <span>

namespace kb::chart::ind {

// How every indicator calculation of this folder is called.
//
// Inputs: the bars (BarView, oldest first, index 0 = oldest) or, for the indicators that can
// run on another indicator's output, a source series of the same length; the indicator's
// parameters; `computed`, the bar count of the indicator's last calculation over these
// buffers (0 asks for a full calculation); the output buffers, spans of doubles that the
// caller sizes to at least the bar count and keeps between calls, in the indicator's buffer
// order. A full calculation writes every entry below the bar count (leading entries that the
// formula cannot fill are 0, which the drawing reads as "no value"). An incremental one
// (computed > 0) recomputes from computed - 2 on, so that a tick changing the newest bar and
// one new bar are both followed; older entries are taken as they are.
//
// Result: whether anything was calculated (false for no bars or invalid periods: the caller
// then shows nothing) and the first bar of each drawn line. After a calculated result the
// caller stores the bar count as its new computed count.
struct Calculation {
    bool calculated = false;
    int draw_begin = 0;    // main line
    int draw_begin2 = 0;   // second line (signal), where the indicator has one
};

inline constexpr Calculation kNothing{};

inline Calculation drawn_from(int first, int second = 0) { return {true, first, second}; }

enum MaMethod : int {
    kSimple = 0,
    kExponential = 1,
    kSmoothed = 2,
    kLinearWeighted = 3,
};

// First index an incremental calculation recomputes: a loop that starts at `first` on a full
// calculation starts at computed - 2 when that is later.
inline std::size_t restart_index(std::size_t first, int computed) {
    return computed - 2 > static_cast<int>(first) ? static_cast<std::size_t>(computed - 2) : first;
}

inline void zero(std::span<double> buffer, std::size_t from, std::size_t to) {
    to = std::min(to, buffer.size());
    if (from < to) std::fill(buffer.begin() + from, buffer.begin() + to, 0.0);
}

}  // namespace kb::chart::ind
