#include "chart/catalogue/trend_classes.h"

#include "chart/catalogue/class_support.h"

namespace kb::chart {

// ---- Moving Average ----

namespace {
const IndicatorTraits kMovingAverage{.name = "Moving Average",
                                     .label = "MA(%d)",
                                     .type = IndicatorType::MovingAverage,
                                     .window = WindowKind::Main,
                                     .draw = DrawKind::Lines,
                                     .data_source = true,
                                     .data_input = true,
                                     .buffers = 1,
                                     .lines = 1,
                                     .digits = DigitsRule::Symbol};
const IndicatorDefaults kMovingAverageDefaults{.period = 14,
                                               .apply = ind::kPriceClose,
                                               .lines = {LineStyle{0x0000FF, 0, 1}},
                                               .levels = {},
                                               .level_style = kSolidLevelStyle,
                                               .fixed_minimum = std::nullopt,
                                               .fixed_maximum = std::nullopt};
}  // namespace

MovingAverage::MovingAverage() : CInd(kMovingAverage, kMovingAverageDefaults) { rebuild_label(); }

bool MovingAverage::parse_line(std::string_view line) {
    return read_integer_key(line, "shift=", shift_) || read_integer_key(line, "method=", method_) ||
           is_scale_bound_key(line) || CInd::parse_line(line);
}

void MovingAverage::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("period=", period_));
    sink.write_line(integer_line("shift=", shift_));
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool MovingAverage::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const MovingAverage*>(&other);
    return same && CInd::equals(other) && shift_ == same->shift_ && method_ == same->method_;
}

void MovingAverage::load_defaults(const core::SettingsStore& store) {
    shift_ = read_indicator_setting(store, registry_name(), "shift", 0);
    method_ = read_indicator_setting(store, registry_name(), "method", ind::kSimple);
    CInd::load_defaults(store);
}

ind::Calculation MovingAverage::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::moving_average(bars, period_, method_, apply_, computed, output(0));
}

ind::Calculation MovingAverage::compute_on_data(std::span<const double> source, int source_draw_begin,
                                                int computed) {
    return ind::moving_average(source, source_draw_begin, period_, method_, computed, output(0));
}

}  // namespace kb::chart
