#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/framework/indicator.h"

namespace kb::chart {

// The parameters an indicator's properties dialog offers: taken from the class's own
// parameter lines (so every class shows exactly the keys it writes to the profile), with
// the ranges the dialog allows and the choices of the enumerated ones. Colours, styles and
// widths are not parameters here: they are the indicator's lines (line_captions()).
// Pure functions over the indicator, any thread that may touch it.

enum class ParameterKind {
    Integer,
    Decimal,
    Method,         // moving-average method: choices 0..3
    AppliedPrice,   // 0..6, and 7, 8 for classes that take another indicator's data
    PriceField,     // the Stochastic's applied price: 0 "Low/High", 1 "Close/Close"
};

struct ParameterSpec {
    std::string_view key;       // profile key without "=", "period", "kperiod", ...
    std::string_view caption;   // "Period:", ...
    ParameterKind kind = ParameterKind::Integer;
    double minimum = 0;         // the range the dialog accepts (Integer and Decimal)
    double maximum = 0;
    int decimals = 0;           // Decimal only
};

struct ParameterValue {
    ParameterSpec shape;
    double value = 0;
};

// One choice of an enumerated parameter: its value and its text ("Close", "Simple", ...).
struct ParameterChoice {
    int value = 0;
    std::string_view text;
};

// The class's parameters in the order of its parameter lines, with their current values.
std::vector<ParameterValue> indicator_parameters(const CInd& indicator);

// The choices of an enumerated parameter of this indicator; empty for Integer and Decimal.
std::vector<ParameterChoice> parameter_choices(const CInd& indicator, ParameterKind kind);

// Sets parameters by key, through the class's own reading of its profile lines (so its
// limits apply, those between two keys included) and rebuilds the label. False when a key
// is not one of the class's parameters (the others are still set).
bool set_indicator_parameters(CInd& indicator, std::span<const ParameterValue> values);

// Whether value lies in the shape's range (enumerated kinds: whether it is one of the
// choices for this indicator).
bool parameter_in_range(const CInd& indicator, const ParameterValue& value);

// The names of the indicator's drawn lines, one per line_count(): "Main", "Signal",
// "Jaw", "Up", ...
std::vector<std::string_view> line_captions(const CInd& indicator);

// Whether the indicator's lines have a pen style of their own (Fractals' arrows have
// colour and width only).
bool lines_have_style(const CInd& indicator);

}  // namespace kb::chart
