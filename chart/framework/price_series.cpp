#include "chart/framework/price_series.h"

#include "chart/framework/key_lines.h"
#include "chart/indicators/recalculation.h"

namespace kb::chart {
namespace {

const IndicatorTraits kTraits{
    .name = "main",
    .label = "",
    .type = IndicatorType::Main,
    .window = WindowKind::Main,
    .draw = DrawKind::Lines,
    .data_source = true,
    .data_input = false,
    .buffers = 0,
    .lines = 1,
    .digits = DigitsRule::Symbol,
};

const IndicatorDefaults kDefaults{};

}  // namespace

PriceSeries::PriceSeries() : CInd(kTraits, kDefaults) { rebuild_label(); }

void PriceSeries::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("period=", period_));
    save_line_style(sink, 0);
}

CalculationResult PriceSeries::calculate_on_bars(const BarsUpdate& update) {
    // Always shown, whatever its flags say.
    ask_ = update.ask;
    const int count = static_cast<int>(update.bars.size());
    const bool same_series = symbol_ == update.symbol && series_period_ == update.period;
    if (ind::decide_recalculation(same_series, bar_count_, history_version_, count, update.history_version) ==
        ind::Recalculation::Full)
        objects_need_positions_ = true;
    symbol_ = std::string(update.symbol.substr(0, 11));
    series_period_ = update.period;
    bar_count_ = count;
    history_version_ = update.history_version;
    return count > 0 ? CalculationResult::Calculated : CalculationResult::Empty;
}

}  // namespace kb::chart
