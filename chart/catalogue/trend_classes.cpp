#include "chart/catalogue/trend_classes.h"

#include "chart/catalogue/class_support.h"
#include "core/number_format.h"

namespace kb::chart {
namespace {

constexpr bool kSource = true;
constexpr bool kNoSource = false;
constexpr bool kInput = true;
constexpr bool kNoInput = false;
constexpr int kNoApply = -1;

//                               name, label, type, window, draw, source, input, buffers, lines, digits
const IndicatorTraits kMovingAverage{"Moving Average", "MA(%d)", IndicatorType::MovingAverage, WindowKind::Main,
                                     DrawKind::Lines, kSource, kInput, 1, 1, DigitsRule::Symbol};
const IndicatorTraits kEnvelopes{"Envelopes", "Env(%d)", IndicatorType::Envelopes, WindowKind::Main,
                                 DrawKind::Lines, kSource, kInput, 3, 2, DigitsRule::Symbol};
const IndicatorTraits kBands{"Bollinger Bands", "Bands(%d)", IndicatorType::BollingerBands, WindowKind::Main,
                             DrawKind::Lines, kSource, kInput, 4, 1, DigitsRule::Symbol};
const IndicatorTraits kStdDev{"Standard Deviation", "StdDev(%d)", IndicatorType::StandardDeviation,
                              WindowKind::Own, DrawKind::Lines, kSource, kInput, 2, 1, DigitsRule::Fixed4};
const IndicatorTraits kSar{"Parabolic SAR", "SAR", IndicatorType::ParabolicSar, WindowKind::Main, DrawKind::Arrows,
                           kNoSource, kNoInput, 1, 1, DigitsRule::Symbol};
const IndicatorTraits kIchimoku{"Ichimoku Kinko Hyo", "Ichimoku", IndicatorType::IchimokuKinkoHyo,
                                WindowKind::Main, DrawKind::Lines, kNoSource, kNoInput, 5, 5, DigitsRule::Symbol};

const DefaultsRow kMovingAverageDefaults =
    DefaultsRow(14, ind::kPriceClose, {solid(0x0000FF)}).level_style(kSolidLevelStyle);
const DefaultsRow kEnvelopesDefaults =
    DefaultsRow(14, ind::kPriceClose, {solid(0xFF0000), solid(0x0000FF)}).level_style(kSolidLevelStyle);
const DefaultsRow kBandsDefaults = DefaultsRow(20, ind::kPriceClose, {solid(0x71B33C)}).level_style(kSolidLevelStyle);
const DefaultsRow kStdDevDefaults = DefaultsRow(20, ind::kPriceClose, {solid(0x71B33C)}).minimum(0);
const DefaultsRow kSarDefaults(kDefaultPeriod, kNoApply, {solid(0x00FF00)});
const DefaultsRow kIchimokuDefaults(kDefaultPeriod, kNoApply,
                                    {solid(0x0000FF), solid(0xFF0000), solid(0x00FF00), solid(0x60A4F4),
                                     solid(0xD8BFD8)});

// The first part of every averaging indicator's parameter lines.
void save_period_and_shift(LineSink& sink, int period, int shift) {
    sink.write_line(integer_line("period=", period));
    sink.write_line(integer_line("shift=", shift));
}

}  // namespace

// ---- shared by the averaging indicators ----

bool AveragingIndicator::parse_average_key(std::string_view line) {
    return read_integer_key(line, "shift=", shift_) || read_integer_key(line, "method=", method_);
}

void AveragingIndicator::load_defaults(const core::SettingsStore& store) {
    shift_ = read_indicator_setting(store, registry_name(), "shift", 0);
    method_ = read_indicator_setting(store, registry_name(), "method", ind::kSimple);
    CInd::load_defaults(store);
}

// ---- Moving Average ----

MovingAverage::MovingAverage() : AveragingIndicator(kMovingAverage, kMovingAverageDefaults) { rebuild_label(); }

bool MovingAverage::parse_line(std::string_view line) {
    return parse_average_key(line) || is_scale_bound_key(line) || CInd::parse_line(line);
}

void MovingAverage::save_parameters(LineSink& sink) const {
    save_period_and_shift(sink, period_, shift_);
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool MovingAverage::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const MovingAverage*>(&other);
    return same && CInd::equals(other) && shift_ == same->shift_ && method_ == same->method_;
}

ind::Calculation MovingAverage::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::moving_average(bars, period_, method_, apply_, computed, output(0));
}

ind::Calculation MovingAverage::compute_on_data(std::span<const double> source, int source_draw_begin,
                                                int computed) {
    return ind::moving_average(source, source_draw_begin, period_, method_, computed, output(0));
}

// ---- Envelopes ----

Envelopes::Envelopes() : AveragingIndicator(kEnvelopes, kEnvelopesDefaults) { rebuild_label(); }

void Envelopes::set_deviation(double deviation) {
    deviation_ = deviation <= 0 ? kDefaultDeviation : deviation > 100 ? 100 : deviation;
}

bool Envelopes::parse_line(std::string_view line) {
    double value = 0;
    if (auto read = read_number_key(line, "deviation=", value); read != NumberKey::NoMatch) {
        if (read == NumberKey::Read) set_deviation(value);
        return true;
    }
    return parse_average_key(line) || parse_line_style(line, 1, 1) || is_scale_bound_key(line) ||
           CInd::parse_line(line);
}

void Envelopes::save_parameters(LineSink& sink) const {
    save_period_and_shift(sink, period_, shift_);
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    sink.write_line(fixed_line("deviation=", deviation_, 2));
    save_line_style(sink, 0);
    save_line_style(sink, 1);
}

bool Envelopes::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const Envelopes*>(&other);
    return same && CInd::equals(other) && shift_ == same->shift_ && method_ == same->method_ &&
           deviation_ == same->deviation_;
}

void Envelopes::load_defaults(const core::SettingsStore& store) {
    set_deviation(read_indicator_number(store, registry_name(), "deviation", kDefaultDeviation));
    AveragingIndicator::load_defaults(store);
}

ind::Calculation Envelopes::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::envelopes(bars, period_, method_, apply_, deviation_, computed, {output(0), output(1), output(2)});
}

ind::Calculation Envelopes::compute_on_data(std::span<const double> source, int source_draw_begin, int computed) {
    return ind::envelopes(source, source_draw_begin, period_, method_, deviation_, computed,
                          {output(0), output(1), output(2)});
}

// ---- Bollinger Bands ----

BollingerBands::BollingerBands() : AveragingIndicator(kBands, kBandsDefaults) { rebuild_label(); }

void BollingerBands::set_deviations(int deviations) {
    deviations_ = deviations >= 1 && deviations <= 15 ? deviations : kDefaultDeviations;
}

bool BollingerBands::parse_line(std::string_view line) {
    int value = 0;
    if (read_integer_key(line, "deviations=", value)) {
        set_deviations(value);
        return true;
    }
    return read_integer_key(line, "shift=", shift_) || is_scale_bound_key(line) || CInd::parse_line(line);
}

void BollingerBands::save_parameters(LineSink& sink) const {
    save_period_and_shift(sink, period_, shift_);
    sink.write_line(integer_line("deviations=", deviations_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool BollingerBands::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const BollingerBands*>(&other);
    return same && CInd::equals(other) && shift_ == same->shift_ && deviations_ == same->deviations_;
}

void BollingerBands::load_defaults(const core::SettingsStore& store) {
    set_deviations(read_indicator_setting(store, registry_name(), "deviations", kDefaultDeviations));
    AveragingIndicator::load_defaults(store);
}

ind::Calculation BollingerBands::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::bollinger_bands(bars, period_, deviations_, apply_, computed,
                                {output(0), output(1), output(2), output(3)});
}

ind::Calculation BollingerBands::compute_on_data(std::span<const double> source, int source_draw_begin,
                                                 int computed) {
    return ind::bollinger_bands(source, source_draw_begin, period_, deviations_, computed,
                                {output(0), output(1), output(2), output(3)});
}

// ---- Standard Deviation ----

StandardDeviation::StandardDeviation() : AveragingIndicator(kStdDev, kStdDevDefaults) { rebuild_label(); }

bool StandardDeviation::parse_line(std::string_view line) {
    return parse_average_key(line) || CInd::parse_line(line);
}

void StandardDeviation::save_parameters(LineSink& sink) const {
    save_period_and_shift(sink, period_, shift_);
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool StandardDeviation::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const StandardDeviation*>(&other);
    return same && CInd::equals(other) && method_ == same->method_;
}

ind::Calculation StandardDeviation::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::standard_deviation(bars, period_, method_, apply_, computed, {output(0), output(1)});
}

ind::Calculation StandardDeviation::compute_on_data(std::span<const double> source, int source_draw_begin,
                                                    int computed) {
    return ind::standard_deviation(source, source_draw_begin, period_, method_, computed, {output(0), output(1)});
}

// ---- Parabolic SAR ----

ParabolicSar::ParabolicSar() : CInd(kSar, kSarDefaults) { rebuild_label(); }

void ParabolicSar::set_step_and_maximum(double step, double maximum) {
    step_ = step <= 0 ? kDefaultStep : step;
    maximum_ = maximum < step_ ? kDefaultMaximum : maximum;
}

std::string ParabolicSar::build_label() const {
    return "SAR(" + core::fixed_text(step_, 2) + "," + core::fixed_text(maximum_, 2) + ")";
}

bool ParabolicSar::parse_line(std::string_view line) {
    double value = 0;
    if (auto read = read_number_key(line, "step=", value); read != NumberKey::NoMatch) {
        if (read == NumberKey::Read) step_ = value <= 0 ? kDefaultStep : value;
        return true;
    }
    if (auto read = read_number_key(line, "end=", value); read != NumberKey::NoMatch) {
        if (read == NumberKey::Read) maximum_ = value;
        return true;
    }
    return CInd::parse_line(line);
}

// The maximum is checked against the step once the whole block is read, whatever the
// order of the two lines.
void ParabolicSar::finish_load() { set_step_and_maximum(step_, maximum_); }

void ParabolicSar::save_parameters(LineSink& sink) const {
    sink.write_line(fixed_line("step=", step_, 4));
    sink.write_line(fixed_line("end=", maximum_, 4));
    save_line_style(sink, 0);
}

bool ParabolicSar::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const ParabolicSar*>(&other);
    return same && step_ == same->step_ && maximum_ == same->maximum_;
}

void ParabolicSar::load_defaults(const core::SettingsStore& store) {
    set_step_and_maximum(read_indicator_number(store, registry_name(), "step", kDefaultStep),
                         read_indicator_number(store, registry_name(), "end", kDefaultMaximum));
    CInd::load_defaults(store);
}

ind::Calculation ParabolicSar::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::parabolic_sar(bars, step_, maximum_, computed, state_, output(0));
}

// ---- Ichimoku Kinko Hyo ----

IchimokuKinkoHyo::IchimokuKinkoHyo() : CInd(kIchimoku, kIchimokuDefaults) { rebuild_label(); }

std::string IchimokuKinkoHyo::build_label() const {
    return "Ichimoku(" + std::to_string(tenkan_) + "," + std::to_string(kijun_) + "," + std::to_string(senkou_) + ")";
}

bool IchimokuKinkoHyo::parse_line(std::string_view line) {
    return read_integer_key(line, "tenkan=", tenkan_) || read_integer_key(line, "kijun=", kijun_) ||
           read_integer_key(line, "senkou=", senkou_) || parse_line_style(line, 1, 4) || CInd::parse_line(line);
}

void IchimokuKinkoHyo::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("tenkan=", tenkan_));
    sink.write_line(integer_line("kijun=", kijun_));
    sink.write_line(integer_line("senkou=", senkou_));
    for (int line = 0; line < line_count(); ++line) save_line_style(sink, line);
}

bool IchimokuKinkoHyo::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const IchimokuKinkoHyo*>(&other);
    return same && tenkan_ == same->tenkan_ && kijun_ == same->kijun_ && senkou_ == same->senkou_;
}

void IchimokuKinkoHyo::load_defaults(const core::SettingsStore& store) {
    tenkan_ = read_indicator_setting(store, registry_name(), "tenkan", 9);
    kijun_ = read_indicator_setting(store, registry_name(), "kijun", 26);
    senkou_ = read_indicator_setting(store, registry_name(), "senkou", 52);
    CInd::load_defaults(store);
}

ind::Calculation IchimokuKinkoHyo::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::ichimoku(bars, tenkan_, kijun_, senkou_, computed,
                         {output(0), output(1), output(2), output(3), output(4)});
}

}  // namespace kb::chart
