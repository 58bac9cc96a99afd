#include "chart/catalogue/indicator_factory.h"

#include "chart/catalogue/oscillator_classes.h"
#include "chart/catalogue/simple_classes.h"
#include "chart/catalogue/trend_classes.h"

namespace kb::chart {
namespace {

template <class T>
std::unique_ptr<CInd> make() {
    return std::make_unique<T>();
}

struct Maker {
    std::string_view name;
    std::unique_ptr<CInd> (*create)();
};

// In the order of catalogue_names().
const Maker kMakers[kCatalogueSize] = {
    {"Accelerator Oscillator", make<AcceleratorOscillator>},
    {"Accumulation/Distribution", make<AccumulationDistribution>},
    {"Alligator", make<Alligator>},
    {"Average Directional Movement Index", make<AverageDirectionalMovementIndex>},
    {"Average True Range", make<AverageTrueRange>},
    {"Awesome Oscillator", make<AwesomeOscillator>},
    {"Bears Power", make<BearsPower>},
    {"Bollinger Bands", make<BollingerBands>},
    {"Bulls Power", make<BullsPower>},
    {"Commodity Channel Index", make<CommodityChannelIndex>},
    {"DeMarker", make<DeMarker>},
    {"Envelopes", make<Envelopes>},
    {"Force Index", make<ForceIndex>},
    {"Fractals", make<Fractals>},
    {"Gator Oscillator", make<GatorOscillator>},
    {"Ichimoku Kinko Hyo", make<IchimokuKinkoHyo>},
    {"MACD", make<Macd>},
    {"Market Facilitation Index", make<MarketFacilitationIndex>},
    {"Momentum", make<Momentum>},
    {"Money Flow Index", make<MoneyFlowIndex>},
    {"Moving Average", make<MovingAverage>},
    {"Moving Average of Oscillator", make<MovingAverageOfOscillator>},
    {"On Balance Volume", make<OnBalanceVolume>},
    {"Parabolic SAR", make<ParabolicSar>},
    {"Relative Strength Index", make<RelativeStrengthIndex>},
    {"Relative Vigor Index", make<RelativeVigorIndex>},
    {"Standard Deviation", make<StandardDeviation>},
    {"Stochastic Oscillator", make<StochasticOscillator>},
    {"Volumes", make<Volumes>},
    {"Williams' Percent Range", make<WilliamsPercentRange>},
};

}  // namespace

const std::array<std::string_view, kCatalogueSize>& catalogue_names() {
    static const std::array<std::string_view, kCatalogueSize> kNames = [] {
        std::array<std::string_view, kCatalogueSize> names;
        for (int i = 0; i < kCatalogueSize; ++i) names[i] = kMakers[i].name;
        return names;
    }();
    return kNames;
}

std::unique_ptr<CInd> create_indicator(std::string_view name) {
    for (const Maker& maker : kMakers)
        if (maker.name == name) return maker.create();
    return nullptr;
}

}  // namespace kb::chart
