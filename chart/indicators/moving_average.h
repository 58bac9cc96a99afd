#pragma once
#include <span>

#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"

namespace kb::chart::ind {

// The shared moving average MA(series, period, method) into out[0, n).
//
// Simple, Smoothed and Linear Weighted leave the first `period` entries at 0 (all of them
// when there are fewer values than the period); Exponential starts at out[0] = series[0].
// An incremental call (computed >= period) recomputes from computed - 2 on; a computed count
// below the period is taken as 0. An unknown method leaves out untouched.
// Returns false, writing nothing, for period <= 0 or too few values (bars: fewer than 2;
// series: none).
bool ma_prices(const BarView& bars, int apply, int period, int method, int computed,
               std::span<double> out);
bool ma_series(std::span<const double> series, int period, int method, int computed,
               std::span<double> out);

}  // namespace kb::chart::ind
