#include "chart/catalogue/indicator_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "chart/framework/key_lines.h"
#include "chart/indicators/applied_price.h"

namespace kb::chart {
namespace {

constexpr double kMaxShift = kMaxPeriod;

// Every parameter key a class writes, with the caption and range the dialog offers. The
// Alligator family names its three averages; the others share the plain captions.
constexpr ParameterSpec kSpecs[] = {
    {"period", "Period:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"shift", "Shift:", ParameterKind::Integer, -kMaxShift, kMaxShift, 0},
    {"method", "MA method:", ParameterKind::Method, 0, 3, 0},
    {"apply", "Apply to:", ParameterKind::AppliedPrice, 0, 8, 0},
    {"deviations", "Deviations:", ParameterKind::Integer, 1, 15, 0},
    {"deviation", "Deviation (%):", ParameterKind::Decimal, 0.01, 100, 2},
    {"step", "Step:", ParameterKind::Decimal, 0.0001, 10, 4},
    {"end", "Maximum:", ParameterKind::Decimal, 0.0001, 10, 4},
    {"fast_ema", "Fast EMA:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"slow_ema", "Slow EMA:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"macd_sma", "MACD SMA:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"kperiod", "%K period:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"dperiod", "%D period:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"slowing", "Slowing:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"tenkan", "Tenkan-sen:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"kijun", "Kijun-sen:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"senkou", "Senkou Span B:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"period2", "Teeth period:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"shift2", "Teeth shift:", ParameterKind::Integer, -kMaxShift, kMaxShift, 0},
    {"period3", "Lips period:", ParameterKind::Integer, 1, kMaxPeriod, 0},
    {"shift3", "Lips shift:", ParameterKind::Integer, -kMaxShift, kMaxShift, 0},
};

constexpr ParameterChoice kAppliedPrices[] = {
    {ind::kPriceClose, "Close"},
    {ind::kPriceOpen, "Open"},
    {ind::kPriceHigh, "High"},
    {ind::kPriceLow, "Low"},
    {ind::kPriceMedian, "Median Price (HL/2)"},
    {ind::kPriceTypical, "Typical Price (HLC/3)"},
    {ind::kPriceWeighted, "Weighted Close (HLCC/4)"},
    {ind::kPricePreviousIndicator, "Previous Indicator's Data"},
    {ind::kPriceFirstIndicator, "First Indicator's Data"},
};
constexpr ParameterChoice kMethods[] = {{0, "Simple"}, {1, "Exponential"}, {2, "Smoothed"}, {3, "Linear Weighted"}};
constexpr ParameterChoice kPriceFields[] = {{0, "Low/High"}, {1, "Close/Close"}};

bool is_alligator_family(const CInd& indicator) {
    return indicator.type() == IndicatorType::Alligator || indicator.type() == IndicatorType::GatorOscillator;
}

const ParameterSpec* spec_of(std::string_view key) {
    for (const ParameterSpec& shape : kSpecs)
        if (shape.key == key) return &shape;
    return nullptr;
}

ParameterSpec spec_for(const CInd& indicator, const ParameterSpec& shape) {
    ParameterSpec adjusted = shape;
    if (shape.kind == ParameterKind::AppliedPrice && indicator.type() == IndicatorType::StochasticOscillator) {
        adjusted.kind = ParameterKind::PriceField;
        adjusted.caption = "Price field:";
    }
    if (is_alligator_family(indicator)) {
        if (shape.key == "period") adjusted.caption = "Jaw period:";
        if (shape.key == "shift") adjusted.caption = "Jaw shift:";
    }
    return adjusted;
}

std::string parameter_line(const ParameterValue& value) {
    const std::string key = std::string(value.shape.key) + "=";
    if (value.shape.kind == ParameterKind::Decimal) return fixed_line(key, value.value, 10);
    return integer_line(key, std::llround(value.value));
}

}  // namespace

std::vector<ParameterValue> indicator_parameters(const CInd& indicator) {
    std::vector<ParameterValue> parameters;
    for (const std::string& line : indicator.parameter_lines()) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const ParameterSpec* shape = spec_of(std::string_view(line).substr(0, equals));
        if (!shape) continue;   // colours, styles and widths
        parameters.push_back({spec_for(indicator, *shape), std::strtod(line.c_str() + equals + 1, nullptr)});
    }
    return parameters;
}

std::vector<ParameterChoice> parameter_choices(const CInd& indicator, ParameterKind kind) {
    switch (kind) {
    case ParameterKind::Method: return {std::begin(kMethods), std::end(kMethods)};
    case ParameterKind::PriceField: return {std::begin(kPriceFields), std::end(kPriceFields)};
    case ParameterKind::AppliedPrice: {
        const std::size_t count = indicator.accepts_data_input() ? std::size(kAppliedPrices) : ind::kPriceWeighted + 1;
        return {std::begin(kAppliedPrices), std::begin(kAppliedPrices) + count};
    }
    case ParameterKind::Integer:
    case ParameterKind::Decimal: break;
    }
    return {};
}

bool parameter_in_range(const CInd& indicator, const ParameterValue& value) {
    if (!std::isfinite(value.value)) return false;
    if (value.shape.kind == ParameterKind::Integer || value.shape.kind == ParameterKind::Decimal)
        return value.value >= value.shape.minimum && value.value <= value.shape.maximum;
    const std::vector<ParameterChoice> choices = parameter_choices(indicator, value.shape.kind);
    return std::any_of(choices.begin(), choices.end(),
                       [&](const ParameterChoice& choice) { return choice.value == value.value; });
}

bool set_indicator_parameters(CInd& indicator, std::span<const ParameterValue> values) {
    const std::vector<ParameterValue> own = indicator_parameters(indicator);
    std::vector<std::string> lines;
    bool all_known = true;
    for (const ParameterValue& value : values) {
        const bool known = std::any_of(own.begin(), own.end(),
                                       [&](const ParameterValue& mine) { return mine.shape.key == value.shape.key; });
        if (known) lines.push_back(parameter_line(value));
        all_known = all_known && known;
    }
    indicator.apply_parameter_lines(lines);
    return all_known;
}

std::vector<std::string_view> line_captions(const CInd& indicator) {
    std::vector<std::string_view> captions;
    switch (indicator.type()) {
    case IndicatorType::StochasticOscillator:
    case IndicatorType::RelativeVigorIndex:
    case IndicatorType::Macd: captions = {"Main", "Signal"}; break;
    case IndicatorType::AverageDirectionalMovementIndex: captions = {"ADX", "+DI", "-DI"}; break;
    case IndicatorType::Envelopes: captions = {"Upper", "Lower"}; break;
    case IndicatorType::Alligator: captions = {"Jaw", "Teeth", "Lips"}; break;
    case IndicatorType::IchimokuKinkoHyo:
        captions = {"Tenkan-sen", "Kijun-sen", "Senkou Span A", "Senkou Span B", "Chikou Span"};
        break;
    case IndicatorType::MarketFacilitationIndex:
        captions = {"Value and volume up", "Both down", "Value up, volume down", "Value down, volume up"};
        break;
    default: captions = indicator.line_count() == 2 ? std::vector<std::string_view>{"Up", "Down"}
                                                     : std::vector<std::string_view>{"Main"};
    }
    captions.resize(static_cast<std::size_t>(std::max(indicator.line_count(), 0)), "Line");
    return captions;
}

bool lines_have_style(const CInd& indicator) { return indicator.type() != IndicatorType::Fractals; }

}  // namespace kb::chart
