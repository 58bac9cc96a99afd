#pragma once
#include <span>

#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"

namespace kb::chart::ind {

// Indicators of the bars' tick volume. Calling convention: calculation.h.

// Volumes: the volume of each bar (a two-colour histogram, see histogram_colours.h).
Calculation volumes(const BarView& bars, int computed, std::span<double> out);

// On Balance Volume over the applied price.
Calculation on_balance_volume(const BarView& bars, int apply, int computed, std::span<double> out);

// Money Flow Index over the typical price; 100 where the negative flow is 0.
Calculation money_flow_index(const BarView& bars, int period, int computed, std::span<double> out);

// Accumulation/Distribution.
Calculation accumulation_distribution(const BarView& bars, int computed, std::span<double> out);

// Market Facilitation Index: range × 10^digits / volume, the previous value where the volume
// is 0; and the change of the volume from the bar before.
struct FacilitationBuffers {
    std::span<double> value, volume_change;
};
Calculation market_facilitation(const BarView& bars, int digits, int computed,
                                const FacilitationBuffers& out);

}  // namespace kb::chart::ind
