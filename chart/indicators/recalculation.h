#pragma once

namespace kb::chart::ind {

// What an update of the bars asks of an indicator.
enum class Recalculation {
    Refresh = 0,  // same bar count: only the newest values change
    Full = 1,     // everything from the first bar
    NewBar = 2,   // one bar more: the newest values and the new bar
};

// The history base's version counter moves by 1 per tick and by 100 per load or import;
// more than this many steps since the last calculation means the history was replaced.
inline constexpr int kMaxIncrementalVersionSteps = 7;

// Decides from the last calculation (its series, bar count and history version) and the
// update. A different symbol or period, or any bar count other than the same or one more,
// gives Full.
inline Recalculation decide_recalculation(bool same_symbol_and_period, int last_count,
                                          int last_version, int bar_count, int version) {
    if (!same_symbol_and_period || last_count <= 0) return Recalculation::Full;
    if (version - last_version > kMaxIncrementalVersionSteps || version < last_version)
        return Recalculation::Full;
    if (bar_count == last_count) return Recalculation::Refresh;
    if (bar_count == last_count + 1) return Recalculation::NewBar;
    return Recalculation::Full;
}

// The computed count to hand to a calculation: 0 for a full one.
inline int computed_count_for(Recalculation kind, int last_count) {
    return kind == Recalculation::Full ? 0 : last_count;
}

}  // namespace kb::chart::ind
