#pragma once
#include "chart/framework/indicator.h"
#include "chart/indicators/bill_williams.h"
#include "chart/indicators/trend.h"

namespace kb::chart {

// Which common keys head an indicator's parameter lines, before its line styles.
enum class LeadingKeys { None, Apply, Period, PeriodAndApply };

// An indicator whose parameter lines are some of "period=%d" and "apply=%d" followed by the
// colour, style and weight of each of its lines ("color=", "color2=", ...).
class SimpleIndicator : public CInd {
public:
    bool parse_line(std::string_view line) override;

protected:
    SimpleIndicator(const IndicatorTraits& traits, const IndicatorDefaults& defaults, LeadingKeys keys);
    void save_parameters(LineSink& sink) const override;

private:
    LeadingKeys keys_;
};

// One class per indicator; each differs from SimpleIndicator only in its row of the
// catalogue and its calculation.
#define KB_SIMPLE_INDICATOR(Class)                                                      \
    class Class final : public SimpleIndicator {                                        \
    public:                                                                             \
        Class();                                                                        \
                                                                                        \
    protected:                                                                          \
        ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override; \
    }

KB_SIMPLE_INDICATOR(AcceleratorOscillator);
KB_SIMPLE_INDICATOR(AccumulationDistribution);
KB_SIMPLE_INDICATOR(AverageDirectionalMovementIndex);
KB_SIMPLE_INDICATOR(AverageTrueRange);
KB_SIMPLE_INDICATOR(AwesomeOscillator);
KB_SIMPLE_INDICATOR(BearsPower);
KB_SIMPLE_INDICATOR(BullsPower);
KB_SIMPLE_INDICATOR(CommodityChannelIndex);
KB_SIMPLE_INDICATOR(DeMarker);
KB_SIMPLE_INDICATOR(MarketFacilitationIndex);
KB_SIMPLE_INDICATOR(Momentum);
KB_SIMPLE_INDICATOR(MoneyFlowIndex);
KB_SIMPLE_INDICATOR(OnBalanceVolume);
KB_SIMPLE_INDICATOR(RelativeStrengthIndex);
KB_SIMPLE_INDICATOR(RelativeVigorIndex);
KB_SIMPLE_INDICATOR(Volumes);
KB_SIMPLE_INDICATOR(WilliamsPercentRange);

#undef KB_SIMPLE_INDICATOR

// Fractals: up and down arrows, each line with a colour and a width but no style.
class Fractals final : public CInd {
public:
    Fractals();
    bool parse_line(std::string_view line) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
};

}  // namespace kb::chart
