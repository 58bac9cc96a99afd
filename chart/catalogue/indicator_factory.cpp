#include "chart/catalogue/indicator_factory.h"

#include <functional>

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

const Maker kMakers[] = {
    {"Moving Average", make<MovingAverage>},
};

}  // namespace

const std::array<std::string_view, kCatalogueSize>& catalogue_names() {
    static const std::array<std::string_view, kCatalogueSize> kNames = {
        "Accelerator Oscillator",
        "Accumulation/Distribution",
        "Alligator",
        "Average Directional Movement Index",
        "Average True Range",
        "Awesome Oscillator",
        "Bears Power",
        "Bollinger Bands",
        "Bulls Power",
        "Commodity Channel Index",
        "DeMarker",
        "Envelopes",
        "Force Index",
        "Fractals",
        "Gator Oscillator",
        "Ichimoku Kinko Hyo",
        "MACD",
        "Market Facilitation Index",
        "Momentum",
        "Money Flow Index",
        "Moving Average",
        "Moving Average of Oscillator",
        "On Balance Volume",
        "Parabolic SAR",
        "Relative Strength Index",
        "Relative Vigor Index",
        "Standard Deviation",
        "Stochastic Oscillator",
        "Volumes",
        "Williams' Percent Range",
    };
    return kNames;
}

std::unique_ptr<CInd> create_indicator(std::string_view name) {
    for (const Maker& maker : kMakers)
        if (maker.name == name) return maker.create();
    return nullptr;
}

}  // namespace kb::chart
