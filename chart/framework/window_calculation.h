#pragma once
#include <span>

#include "chart/framework/indicator.h"

namespace kb::chart {

// Calculates the indicators of one chart window in list order, as the chart does on every
// update of its bars: the first (in the main window the price series "main") on the bars,
// then each next one on another indicator's data where its applied price asks for it, else
// on the bars.
//  - Applied price 7 takes the main buffer of the indicator just before it; 8 that of the
//    first indicator of the window (the price series not counted) that can serve as a data
//    source and holds values for every bar. Only indicators that accept data input use them.
//  - The indicator right after the price series cannot: its 7 or 8 becomes 0 (close).
//  - An indicator on 7 whose predecessor cannot serve as a source, or on 8 with no
//    indicator before it that can, becomes 0 (close) and calculates on the bars.
//  - An indicator on 7 or 8 whose sources can serve but hold no values now (hidden on this
//    timeframe, nothing to calculate) keeps its setting and shows nothing until they do.
// The chart calls it under the window's lock.
void calculate_window(std::span<CInd* const> indicators, const BarsUpdate& update);

}  // namespace kb::chart
