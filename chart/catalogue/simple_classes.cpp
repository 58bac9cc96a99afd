#include "chart/catalogue/simple_classes.h"

#include "chart/catalogue/class_support.h"
#include "chart/indicators/oscillators.h"
#include "chart/indicators/volume_indicators.h"

namespace kb::chart {

// ---- the common shape ----

SimpleIndicator::SimpleIndicator(const IndicatorTraits& traits, const IndicatorDefaults& defaults,
                                 LeadingKeys keys)
    : CInd(traits, defaults), keys_(keys) {
    rebuild_label();
}

bool SimpleIndicator::parse_line(std::string_view line) {
    return parse_line_style(line, 1, line_count() - 1) || CInd::parse_line(line);
}

void SimpleIndicator::save_parameters(LineSink& sink) const {
    if (keys_ == LeadingKeys::Period || keys_ == LeadingKeys::PeriodAndApply)
        sink.write_line(integer_line("period=", period_));
    if (keys_ == LeadingKeys::Apply || keys_ == LeadingKeys::PeriodAndApply)
        sink.write_line(integer_line("apply=", apply_));
    for (int line = 0; line < line_count(); ++line) save_line_style(sink, line);
}

namespace {

constexpr bool kSource = true;
constexpr bool kNoSource = false;
constexpr bool kNoInput = false;
constexpr int kNoApply = -1;

// Two-colour histograms: up bars, down bars.
const DefaultsRow kUpDown(kDefaultPeriod, kNoApply, {solid(0x008000), solid(0x0000FF)});

//                             name, label, type, window, draw, source, input, buffers, lines, digits
const IndicatorTraits kAccelerator{"Accelerator Oscillator", "AC", IndicatorType::AcceleratorOscillator,
                                   WindowKind::Own, DrawKind::Histogram, kSource, kNoInput, 5, 2,
                                   DigitsRule::SymbolPlus2};
const IndicatorTraits kAccumulation{"Accumulation/Distribution", "A/D", IndicatorType::AccumulationDistribution,
                                    WindowKind::Own, DrawKind::Lines, kSource, kNoInput, 1, 1, DigitsRule::Fixed0};
const IndicatorTraits kAdx{"Average Directional Movement Index", "ADX(%d)",
                           IndicatorType::AverageDirectionalMovementIndex, WindowKind::Own, DrawKind::Lines, kSource,
                           kNoInput, 6, 3, DigitsRule::Fixed4};
const IndicatorTraits kAtr{"Average True Range", "ATR(%d)", IndicatorType::AverageTrueRange, WindowKind::Own,
                           DrawKind::Lines, kSource, kNoInput, 2, 1, DigitsRule::Fixed4};
const IndicatorTraits kAwesome{"Awesome Oscillator", "AO", IndicatorType::AwesomeOscillator, WindowKind::Own,
                               DrawKind::Histogram, kSource, kNoInput, 3, 2, DigitsRule::SymbolPlus1};
const IndicatorTraits kBears{"Bears Power", "Bears(%d)", IndicatorType::BearsPower, WindowKind::Own,
                             DrawKind::Histogram, kSource, kNoInput, 2, 1, DigitsRule::Symbol};
const IndicatorTraits kBulls{"Bulls Power", "Bulls(%d)", IndicatorType::BullsPower, WindowKind::Own,
                             DrawKind::Histogram, kSource, kNoInput, 2, 1, DigitsRule::Symbol};
const IndicatorTraits kCci{"Commodity Channel Index", "CCI(%d)", IndicatorType::CommodityChannelIndex,
                           WindowKind::Own, DrawKind::Lines, kSource, kNoInput, 4, 1, DigitsRule::Fixed4};
const IndicatorTraits kDeMarker{"DeMarker", "DeM(%d)", IndicatorType::DeMarker, WindowKind::Own, DrawKind::Lines,
                                kSource, kNoInput, 3, 1, DigitsRule::Fixed4};
const IndicatorTraits kFacilitation{"Market Facilitation Index", "BW MFI", IndicatorType::MarketFacilitationIndex,
                                    WindowKind::Own, DrawKind::Histogram, kSource, kNoInput, 2, 4,
                                    DigitsRule::Fixed4};
const IndicatorTraits kMomentum{"Momentum", "Momentum(%d)", IndicatorType::Momentum, WindowKind::Own,
                                DrawKind::Lines, kSource, kNoInput, 1, 1, DigitsRule::Fixed4};
const IndicatorTraits kMoneyFlow{"Money Flow Index", "MFI(%d)", IndicatorType::MoneyFlowIndex, WindowKind::Own,
                                 DrawKind::Lines, kSource, kNoInput, 1, 1, DigitsRule::Fixed4};
const IndicatorTraits kObv{"On Balance Volume", "OBV", IndicatorType::OnBalanceVolume, WindowKind::Own,
                           DrawKind::Lines, kSource, kNoInput, 1, 1, DigitsRule::Fixed0};
const IndicatorTraits kRsi{"Relative Strength Index", "RSI(%d)", IndicatorType::RelativeStrengthIndex,
                           WindowKind::Own, DrawKind::Lines, kSource, kNoInput, 3, 1, DigitsRule::Fixed4};
const IndicatorTraits kRvi{"Relative Vigor Index", "RVI(%d)", IndicatorType::RelativeVigorIndex, WindowKind::Own,
                           DrawKind::Lines, kSource, kNoInput, 6, 2, DigitsRule::Fixed4};
const IndicatorTraits kVolumes{"Volumes", "Volumes", IndicatorType::Volumes, WindowKind::Own, DrawKind::Histogram,
                               kSource, kNoInput, 1, 2, DigitsRule::Fixed0};
const IndicatorTraits kWilliams{"Williams' Percent Range", "%%R(%d)", IndicatorType::WilliamsPercentRange,
                                WindowKind::Own, DrawKind::Lines, kSource, kNoInput, 1, 1, DigitsRule::Fixed4};
const IndicatorTraits kFractals{"Fractals", "Fractals", IndicatorType::Fractals, WindowKind::Main, DrawKind::Arrows,
                                kNoSource, kNoInput, 2, 2, DigitsRule::Symbol};

const DefaultsRow kAccumulationDefaults(kDefaultPeriod, kNoApply, {solid(0xAAB220)});
const DefaultsRow kAdxDefaults(14, ind::kPriceClose, {solid(0xAAB220), dashed(0x32CD9A), dashed(0xB3DEF2)});
const DefaultsRow kAtrDefaults(14, kNoApply, {solid(0xAAB220)});
const DefaultsRow kPowerDefaults(13, ind::kPriceClose, {solid(0xC0C0C0)});
const DefaultsRow kCciDefaults = DefaultsRow(14, ind::kPriceTypical, {solid(0xAAB220)}).levels({-100, 100});
const DefaultsRow kDeMarkerDefaults =
    DefaultsRow(14, kNoApply, {solid(0xAAB220)}).levels({0.3, 0.7}).range(0, 1);
const DefaultsRow kFacilitationDefaults =
    DefaultsRow(kDefaultPeriod, kNoApply, {solid(0x00FF00), solid(0x13458B), solid(0xFF0000), solid(0xCBC0FF)})
        .minimum(0);
const DefaultsRow kMomentumDefaults(14, ind::kPriceClose, {solid(0xFF901E)});
const DefaultsRow kMoneyFlowDefaults = DefaultsRow(14, kNoApply, {solid(0xFF901E)}).levels({20, 80}).range(0, 100);
const DefaultsRow kObvDefaults(kDefaultPeriod, ind::kPriceClose, {solid(0xAAB220)});
const DefaultsRow kRsiDefaults =
    DefaultsRow(14, ind::kPriceClose, {solid(0xFF901E)}).levels({30, 70}).range(0, 100);
const DefaultsRow kRviDefaults(10, kNoApply, {solid(0x008000), solid(0x0000FF)});
const DefaultsRow kVolumesDefaults = DefaultsRow(kUpDown).minimum(0);
const DefaultsRow kWilliamsDefaults =
    DefaultsRow(14, kNoApply, {solid(0xFFFF00)}).levels({-80, -20}).range(-100, 0);
const DefaultsRow kFractalsDefaults(kDefaultPeriod, kNoApply, {solid(0xFF0000), solid(0x0000FF)});

}  // namespace

// ---- the classes ----

AcceleratorOscillator::AcceleratorOscillator() : SimpleIndicator(kAccelerator, kUpDown, LeadingKeys::None) {}
ind::Calculation AcceleratorOscillator::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::accelerator(bars, computed, {output(0), output(1), output(2), output(3), output(4)});
}

AccumulationDistribution::AccumulationDistribution()
    : SimpleIndicator(kAccumulation, kAccumulationDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation AccumulationDistribution::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::accumulation_distribution(bars, computed, output(0));
}

AverageDirectionalMovementIndex::AverageDirectionalMovementIndex()
    : SimpleIndicator(kAdx, kAdxDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation AverageDirectionalMovementIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::adx(bars, period_, apply_, computed,
                    {output(0), output(1), output(2), output(3), output(4), output(5)});
}

AverageTrueRange::AverageTrueRange() : SimpleIndicator(kAtr, kAtrDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation AverageTrueRange::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::atr(bars, period_, computed, {output(0), output(1)});
}

AwesomeOscillator::AwesomeOscillator() : SimpleIndicator(kAwesome, kUpDown, LeadingKeys::None) {}
ind::Calculation AwesomeOscillator::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::awesome(bars, computed, {output(0), output(1), output(2)});
}

BearsPower::BearsPower() : SimpleIndicator(kBears, kPowerDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation BearsPower::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::power(bars, ind::PowerSide::Bears, period_, apply_, computed, {output(0), output(1)});
}

BullsPower::BullsPower() : SimpleIndicator(kBulls, kPowerDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation BullsPower::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::power(bars, ind::PowerSide::Bulls, period_, apply_, computed, {output(0), output(1)});
}

CommodityChannelIndex::CommodityChannelIndex() : SimpleIndicator(kCci, kCciDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation CommodityChannelIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::cci(bars, period_, apply_, computed, {output(0), output(1), output(2), output(3)});
}

DeMarker::DeMarker() : SimpleIndicator(kDeMarker, kDeMarkerDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation DeMarker::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::demarker(bars, period_, computed, {output(0), output(1), output(2)});
}

MarketFacilitationIndex::MarketFacilitationIndex()
    : SimpleIndicator(kFacilitation, kFacilitationDefaults, LeadingKeys::None) {}
ind::Calculation MarketFacilitationIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::market_facilitation(bars, symbol_digits(), computed, {output(0), output(1)});
}

Momentum::Momentum() : SimpleIndicator(kMomentum, kMomentumDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation Momentum::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::momentum(bars, period_, apply_, computed, output(0));
}

MoneyFlowIndex::MoneyFlowIndex() : SimpleIndicator(kMoneyFlow, kMoneyFlowDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation MoneyFlowIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::money_flow_index(bars, period_, computed, output(0));
}

OnBalanceVolume::OnBalanceVolume() : SimpleIndicator(kObv, kObvDefaults, LeadingKeys::Apply) {}
ind::Calculation OnBalanceVolume::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::on_balance_volume(bars, apply_, computed, output(0));
}

RelativeStrengthIndex::RelativeStrengthIndex()
    : SimpleIndicator(kRsi, kRsiDefaults, LeadingKeys::PeriodAndApply) {}
ind::Calculation RelativeStrengthIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::rsi(bars, period_, apply_, computed, {output(0), output(1), output(2)});
}

RelativeVigorIndex::RelativeVigorIndex() : SimpleIndicator(kRvi, kRviDefaults, LeadingKeys::Period) {}
ind::Calculation RelativeVigorIndex::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::rvi(bars, period_, computed, {output(0), output(1), output(2), output(3), output(4), output(5)});
}

Volumes::Volumes() : SimpleIndicator(kVolumes, kVolumesDefaults, LeadingKeys::None) {}
ind::Calculation Volumes::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::volumes(bars, computed, output(0));
}

WilliamsPercentRange::WilliamsPercentRange()
    : SimpleIndicator(kWilliams, kWilliamsDefaults, LeadingKeys::Period) {}
ind::Calculation WilliamsPercentRange::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::williams_r(bars, period_, computed, output(0));
}

// ---- Fractals ----

Fractals::Fractals() : CInd(kFractals, kFractalsDefaults) { rebuild_label(); }

bool Fractals::parse_line(std::string_view line) {
    return parse_line_style(line, 1, 1) || CInd::parse_line(line);
}

void Fractals::save_parameters(LineSink& sink) const {
    sink.write_line(integer_line("color=", lines_[0].color));
    sink.write_line(integer_line("weight=", lines_[0].weight));
    sink.write_line(integer_line("color2=", lines_[1].color));
    sink.write_line(integer_line("weight2=", lines_[1].weight));
}

ind::Calculation Fractals::compute_on_bars(const ind::BarView& bars, int computed) {
    return ind::fractals(bars, computed, {output(0), output(1)});
}

}  // namespace kb::chart
