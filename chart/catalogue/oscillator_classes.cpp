#include "chart/catalogue/oscillator_classes.h"

#include "chart/catalogue/class_support.h"

namespace kb::chart {
namespace {

constexpr bool kSource = true;
constexpr bool kNoSource = false;
constexpr bool kInput = true;
constexpr bool kNoInput = false;

//                          name, label, type, window, draw, source, input, buffers, lines, digits
const IndicatorTraits kMacd{"MACD", "MACD", IndicatorType::Macd, WindowKind::Own, DrawKind::Histogram, kSource,
                            kInput, 4, 2, DigitsRule::SymbolPlus1};
const IndicatorTraits kOsma{"Moving Average of Oscillator", "OsMA", IndicatorType::MovingAverageOfOscillator,
                            WindowKind::Own, DrawKind::Histogram, kSource, kInput, 4, 1, DigitsRule::SymbolPlus2};
const IndicatorTraits kStochastic{"Stochastic Oscillator", "Stoch", IndicatorType::StochasticOscillator,
                                  WindowKind::Own, DrawKind::Lines, kSource, kNoInput, 4, 2, DigitsRule::Fixed4};
const IndicatorTraits kForce{"Force Index", "Force(%d)", IndicatorType::ForceIndex, WindowKind::Own,
                             DrawKind::Lines, kSource, kNoInput, 2, 1, DigitsRule::Fixed4};
const IndicatorTraits kAlligator{"Alligator", "Alligator", IndicatorType::Alligator, WindowKind::Main,
                                 DrawKind::Lines, kNoSource, kNoInput, 3, 3, DigitsRule::Symbol};
const IndicatorTraits kGator{"Gator Oscillator", "Gator", IndicatorType::GatorOscillator, WindowKind::Own,
                             DrawKind::Histogram, kNoSource, kNoInput, 3, 2, DigitsRule::SymbolPlus1};

const DefaultsRow kMacdDefaults(kDefaultPeriod, ind::kPriceClose, {solid(0xC0C0C0), dashed(0x0000FF)});
const DefaultsRow kOsmaDefaults(kDefaultPeriod, ind::kPriceClose, {solid(0xC0C0C0)});
const DefaultsRow kStochasticDefaults =
    DefaultsRow(kDefaultPeriod, 0, {solid(0xAAB220), dashed(0x0000FF)}).levels({20, 80}).range(0, 100);
const DefaultsRow kForceDefaults(13, ind::kPriceClose, {solid(0xAAB220)});
const DefaultsRow kAlligatorDefaults(13, ind::kPriceMedian, {solid(0xFF0000), solid(0x0000FF), solid(0x00FF00)});
const DefaultsRow kGatorDefaults(13, ind::kPriceMedian, {solid(0x008000), solid(0x0000FF)});

int period_within_limits(int period) { return period >= 1 && period <= kMaxPeriod ? period : 1; }
int price_field_within_limits(int field) { return field == 0 || field == 1 ? field : 0; }

}  // namespace

// ---- MACD and Moving Average of Oscillator ----

MacdIndicator::MacdIndicator(const IndicatorTraits& traits, const IndicatorDefaults& defaults, ind::MacdForm form)
    : CInd(traits, defaults), form_(form) {}

void MacdIndicator::set_periods(int fast, int slow, int signal) {
    fast_ = fast;
    slow_ = slow;
    signal_ = signal;
}

std::string MacdIndicator::build_label() const {
    return std::string(traits_.label) + "(" + std::to_string(fast_) + "," + std::to_string(slow_) + "," +
           std::to_string(signal_) + ")";
}

bool MacdIndicator::parse_line(std::string_view line) {
    return read_integer_key(line, "fast_ema=", fast_) || read_integer_key(line, "slow_ema=", slow_) ||
           read_integer_key(line, "macd_sma=", signal_) || CInd::parse_line(line);
}

void MacdIndicator::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("fast_ema=", fast_));
    sink.write_line(integer_line("slow_ema=", slow_));
    sink.write_line(integer_line("macd_sma=", signal_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool MacdIndicator::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const MacdIndicator*>(&other);
    return same && type() == other.type() && fast_ == same->fast_ && slow_ == same->slow_ &&
           signal_ == same->signal_ && apply_ == same->apply_;
}

void MacdIndicator::load_defaults(const core::SettingsStore& store) {
    fast_ = read_indicator_setting(store, registry_name(), "fastema", 12);
    slow_ = read_indicator_setting(store, registry_name(), "slowema", 26);
    signal_ = read_indicator_setting(store, registry_name(), "macdsma", 9);
    CInd::load_defaults(store);
}

ind::Calculation MacdIndicator::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::macd(bars, form_, fast_, slow_, signal_, apply_, computed, {output(0), output(1), output(2), output(3)});
}

ind::Calculation MacdIndicator::compute_on_data(std::span<const double> source, int source_draw_begin,
                                                int computed) {
    return ind::macd(source, source_draw_begin, form_, fast_, slow_, signal_, computed,
                     {output(0), output(1), output(2), output(3)});
}

Macd::Macd() : MacdIndicator(kMacd, kMacdDefaults, ind::MacdForm::Macd) { rebuild_label(); }

bool Macd::parse_line(std::string_view line) {
    return read_integer_key(line, "signal_color=", lines_[1].color) ||
           read_integer_key(line, "signal_style=", lines_[1].style) ||
           read_integer_key(line, "signal_weight=", lines_[1].weight) || MacdIndicator::parse_line(line);
}

void Macd::save_parameters(LineSink& sink) const {
    MacdIndicator::save_parameters(sink);
    sink.write_line(integer_line("signal_color=", lines_[1].color));
    sink.write_line(integer_line("signal_style=", lines_[1].style));
    sink.write_line(integer_line("signal_weight=", lines_[1].weight));
}

MovingAverageOfOscillator::MovingAverageOfOscillator() : MacdIndicator(kOsma, kOsmaDefaults, ind::MacdForm::Osma) {
    rebuild_label();
}

// ---- Stochastic Oscillator ----

StochasticOscillator::StochasticOscillator() : CInd(kStochastic, kStochasticDefaults) { rebuild_label(); }

std::string StochasticOscillator::build_label() const {
    return "Stoch(" + std::to_string(kperiod_) + "," + std::to_string(dperiod_) + "," + std::to_string(slowing_) +
           ")";
}

bool StochasticOscillator::parse_line(std::string_view line) {
    int value = 0;
    if (read_integer_key(line, "kperiod=", value)) {
        kperiod_ = period_within_limits(value);
        return true;
    }
    if (read_integer_key(line, "dperiod=", value)) {
        dperiod_ = period_within_limits(value);
        return true;
    }
    if (read_integer_key(line, "slowing=", value)) {
        slowing_ = period_within_limits(value);
        return true;
    }
    if (read_integer_key(line, "apply=", value)) {
        apply_ = price_field_within_limits(value);
        return true;
    }
    return read_integer_key(line, "method=", method_) || parse_line_style(line, 1, 1) || CInd::parse_line(line);
}

void StochasticOscillator::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("kperiod=", kperiod_));
    sink.write_line(integer_line("dperiod=", dperiod_));
    sink.write_line(integer_line("slowing=", slowing_));
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
    save_line_style(sink, 1);
}

bool StochasticOscillator::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const StochasticOscillator*>(&other);
    return same && apply_ == same->apply_ && kperiod_ == same->kperiod_ && dperiod_ == same->dperiod_ &&
           slowing_ == same->slowing_ && method_ == same->method_;
}

void StochasticOscillator::load_defaults(const core::SettingsStore& store) {
    kperiod_ = period_within_limits(read_indicator_setting(store, registry_name(), "kperiod", 5));
    dperiod_ = period_within_limits(read_indicator_setting(store, registry_name(), "dperiod", 3));
    slowing_ = period_within_limits(read_indicator_setting(store, registry_name(), "slowing", 3));
    method_ = read_indicator_setting(store, registry_name(), "method", ind::kSimple);
    CInd::load_defaults(store);
    apply_ = price_field_within_limits(apply_);
}

ind::Calculation StochasticOscillator::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::stochastic(bars, kperiod_, dperiod_, slowing_, method_, apply_, computed,
                           {output(0), output(1), output(2), output(3)});
}

// ---- Force Index ----

ForceIndex::ForceIndex() : CInd(kForce, kForceDefaults) { rebuild_label(); }

bool ForceIndex::parse_line(std::string_view line) {
    return read_integer_key(line, "method=", method_) || CInd::parse_line(line);
}

void ForceIndex::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("period=", period_));
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    save_line_style(sink, 0);
}

bool ForceIndex::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const ForceIndex*>(&other);
    return same && period_ == same->period_ && apply_ == same->apply_ && method_ == same->method_;
}

void ForceIndex::load_defaults(const core::SettingsStore& store) {
    method_ = read_indicator_setting(store, registry_name(), "method", ind::kSimple);
    CInd::load_defaults(store);
}

ind::Calculation ForceIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::force_index(bars, period_, method_, apply_, computed, {output(0), output(1)});
}

// ---- Alligator and Gator Oscillator ----

bool AlligatorIndicator::parse_line(std::string_view line) {
    return read_integer_key(line, "period2=", period2_) || read_integer_key(line, "period3=", period3_) ||
           read_integer_key(line, "shift=", shift_) || read_integer_key(line, "shift2=", shift2_) ||
           read_integer_key(line, "shift3=", shift3_) || read_integer_key(line, "method=", method_) ||
           parse_line_style(line, 1, line_count() - 1) || CInd::parse_line(line);
}

void AlligatorIndicator::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("period=", period_));
    sink.write_line(integer_line("shift=", shift_));
    sink.write_line(integer_line("period2=", period2_));
    sink.write_line(integer_line("shift2=", shift2_));
    sink.write_line(integer_line("period3=", period3_));
    sink.write_line(integer_line("shift3=", shift3_));
    sink.write_line(integer_line("method=", method_));
    sink.write_line(integer_line("apply=", apply_));
    for (int line = 0; line < line_count(); ++line) save_line_style(sink, line);
}

bool AlligatorIndicator::equals(const CInd& other) const {
    const auto* same = dynamic_cast<const AlligatorIndicator*>(&other);
    return same && type() == other.type() && period_ == same->period_ && period2_ == same->period2_ &&
           period3_ == same->period3_ && shift_ == same->shift_ && shift2_ == same->shift2_ &&
           shift3_ == same->shift3_ && method_ == same->method_ && apply_ == same->apply_;
}

void AlligatorIndicator::load_defaults(const core::SettingsStore& store) {
    period2_ = read_indicator_setting(store, registry_name(), "period2", 8);
    period3_ = read_indicator_setting(store, registry_name(), "period3", 5);
    shift_ = read_indicator_setting(store, registry_name(), "shift", 8);
    shift2_ = read_indicator_setting(store, registry_name(), "shift2", 5);
    shift3_ = read_indicator_setting(store, registry_name(), "shift3", 3);
    method_ = read_indicator_setting(store, registry_name(), "method", ind::kSmoothed);
    CInd::load_defaults(store);
}

ind::Calculation AlligatorIndicator::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::alligator(bars, period_, period2_, period3_, method_, apply_, computed,
                          {output(0), output(1), output(2)});
}

Alligator::Alligator() : AlligatorIndicator(kAlligator, kAlligatorDefaults) { rebuild_label(); }

GatorOscillator::GatorOscillator() : AlligatorIndicator(kGator, kGatorDefaults) { rebuild_label(); }

}  // namespace kb::chart
