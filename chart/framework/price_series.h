#pragma once
#include "chart/framework/indicator.h"

namespace kb::chart {

// The price series "main", the first entry of the main window's list: the bars themselves,
// drawn by the chart. It has no buffers and is shown on every timeframe whatever its
// period flags say (the window layout counts the main window through it); its block has no
// "period_flags=" line. A calculation takes the symbol's current ask for the ask line.
class PriceSeries final : public CInd {
public:
    PriceSeries();

    // The ask of the last calculation (0 before the first).
    double ask() const { return ask_; }
    // Set by a full calculation: the objects anchored in the main window must recompute
    // their positions. The drawing clears it once it has done so.
    bool objects_need_positions() const { return objects_need_positions_; }
    void clear_objects_need_positions() { objects_need_positions_ = false; }

    CalculationResult calculate_on_bars(const BarsUpdate& update) override;

protected:
    void save_parameters(LineSink& sink) const override;

private:
    double ask_ = 0;
    bool objects_need_positions_ = false;
    std::string symbol_;
    int series_period_ = 0;
    int bar_count_ = 0;
    int history_version_ = -1;
};

}  // namespace kb::chart
