// The parameters a properties dialog offers for each class: taken from the class's own
// profile lines, set back through the class's limits, with the choices of the enumerated
// ones.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/catalogue/indicator_factory.h"
#include "chart/catalogue/indicator_parameters.h"
#include "chart/catalogue/trend_classes.h"

namespace kb::chart {
namespace {

std::string keys_of(const CInd& indicator) {
    std::string keys;
    for (const ParameterValue& value : indicator_parameters(indicator)) {
        if (!keys.empty()) keys += ' ';
        keys += value.shape.key;
    }
    return keys;
}

double value_of(const CInd& indicator, std::string_view key) {
    for (const ParameterValue& value : indicator_parameters(indicator))
        if (value.shape.key == key) return value.value;
    ADD_FAILURE() << "no parameter " << key;
    return 0;
}

ParameterValue entry(const CInd& indicator, std::string_view key, double value) {
    for (ParameterValue parameter : indicator_parameters(indicator))
        if (parameter.shape.key == key) {
            parameter.value = value;
            return parameter;
        }
    ADD_FAILURE() << "no parameter " << key;
    return {};
}

TEST(IndicatorParameters, AreTheClasssOwnParameterKeysWithoutItsLineStyles) {
    const std::pair<const char*, const char*> cases[] = {
        {"Relative Strength Index", "period apply"},
        {"Williams' Percent Range", "period"},
        {"Moving Average", "period shift method apply"},
        {"Bollinger Bands", "period shift deviations apply"},
        {"Envelopes", "period shift method apply deviation"},
        {"Parabolic SAR", "step end"},
        {"Stochastic Oscillator", "kperiod dperiod slowing method apply"},
        {"MACD", "fast_ema slow_ema macd_sma apply"},
        {"Ichimoku Kinko Hyo", "tenkan kijun senkou"},
        {"Alligator", "period shift period2 shift2 period3 shift3 method apply"},
        {"On Balance Volume", "apply"},
        {"Volumes", ""},
        {"Fractals", ""},
        {"Market Facilitation Index", ""},
    };
    for (auto [name, keys] : cases) {
        std::unique_ptr<CInd> indicator = create_indicator(name);
        ASSERT_NE(indicator, nullptr) << name;
        EXPECT_EQ(keys_of(*indicator), keys) << name;
    }
    std::unique_ptr<CInd> stochastic = create_indicator("Stochastic Oscillator");
    EXPECT_EQ(value_of(*stochastic, "kperiod"), 5);
    EXPECT_EQ(value_of(*stochastic, "slowing"), 3);
    EXPECT_DOUBLE_EQ(value_of(*create_indicator("Parabolic SAR"), "step"), 0.02);
}

TEST(IndicatorParameters, SettingGoesThroughTheClassLimitsAndRebuildsTheLabel) {
    std::unique_ptr<CInd> stochastic = create_indicator("Stochastic Oscillator");
    const ParameterValue stochastic_values[] = {entry(*stochastic, "kperiod", 8), entry(*stochastic, "dperiod", 4),
                                                entry(*stochastic, "slowing", 2), entry(*stochastic, "apply", 1)};
    EXPECT_TRUE(set_indicator_parameters(*stochastic, stochastic_values));
    EXPECT_EQ(stochastic->label(), "Stoch(8,4,2)");
    EXPECT_EQ(stochastic->apply(), 1);

    // The maximum below the step is raised the way a profile block is read.
    std::unique_ptr<CInd> sar = create_indicator("Parabolic SAR");
    const ParameterValue sar_values[] = {entry(*sar, "step", 0.05), entry(*sar, "end", 0.01)};
    set_indicator_parameters(*sar, sar_values);
    EXPECT_DOUBLE_EQ(value_of(*sar, "step"), 0.05);
    EXPECT_DOUBLE_EQ(value_of(*sar, "end"), 0.2);
    EXPECT_EQ(sar->label(), "SAR(0.05,0.20)");

    std::unique_ptr<CInd> envelopes = create_indicator("Envelopes");
    const ParameterValue envelope_values[] = {entry(*envelopes, "deviation", 0.37), entry(*envelopes, "shift", -3)};
    set_indicator_parameters(*envelopes, envelope_values);
    EXPECT_DOUBLE_EQ(static_cast<Envelopes&>(*envelopes).deviation(), 0.37);
    EXPECT_EQ(static_cast<Envelopes&>(*envelopes).shift(), -3);

    // A key of another class is not set, and says so.
    std::unique_ptr<CInd> rsi = create_indicator("Relative Strength Index");
    const ParameterValue foreign[] = {entry(*stochastic, "kperiod", 9), entry(*rsi, "period", 21)};
    EXPECT_FALSE(set_indicator_parameters(*rsi, foreign));
    EXPECT_EQ(rsi->label(), "RSI(21)");
}

TEST(IndicatorParameters, RangesAndChoicesFollowTheClass) {
    std::unique_ptr<CInd> rsi = create_indicator("Relative Strength Index");
    std::unique_ptr<CInd> average = create_indicator("Moving Average");
    std::unique_ptr<CInd> bands = create_indicator("Bollinger Bands");
    std::unique_ptr<CInd> stochastic = create_indicator("Stochastic Oscillator");
    struct Case {
        const CInd* indicator;
        const char* key;
        double value;
        bool in_range;
    } cases[] = {
        {rsi.get(), "period", 1, true},        {rsi.get(), "period", 4000, true},
        {rsi.get(), "period", 0, false},       {rsi.get(), "period", 4001, false},
        {rsi.get(), "apply", 6, true},         {rsi.get(), "apply", 7, false},   // takes no indicator's data
        {average.get(), "apply", 8, true},     {average.get(), "apply", 9, false},
        {average.get(), "method", 3, true},    {average.get(), "method", 4, false},
        {average.get(), "shift", -5, true},    {bands.get(), "deviations", 15, true},
        {bands.get(), "deviations", 16, false}, {stochastic.get(), "apply", 1, true},
        {stochastic.get(), "apply", 2, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parameter_in_range(*c.indicator, entry(*c.indicator, c.key, c.value)), c.in_range)
            << c.indicator->registry_name() << " " << c.key << "=" << c.value;

    EXPECT_EQ(parameter_choices(*rsi, ParameterKind::AppliedPrice).size(), 7u);
    EXPECT_EQ(parameter_choices(*average, ParameterKind::AppliedPrice).back().text, "First Indicator's Data");
    EXPECT_EQ(parameter_choices(*stochastic, ParameterKind::PriceField).front().text, "Low/High");
    EXPECT_EQ(indicator_parameters(*stochastic).back().shape.kind, ParameterKind::PriceField);
}

TEST(IndicatorParameters, EveryDrawnLineHasACaption) {
    for (std::string_view name : catalogue_names()) {
        std::unique_ptr<CInd> indicator = create_indicator(name);
        const std::vector<std::string_view> captions = line_captions(*indicator);
        EXPECT_EQ(captions.size(), static_cast<size_t>(indicator->line_count())) << name;
    }
    EXPECT_EQ(line_captions(*create_indicator("Average Directional Movement Index"))[2], "-DI");
    EXPECT_FALSE(lines_have_style(*create_indicator("Fractals")));
    EXPECT_TRUE(lines_have_style(*create_indicator("MACD")));
}

}  // namespace
}  // namespace kb::chart
