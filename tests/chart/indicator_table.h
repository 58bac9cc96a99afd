#pragma once
// The thirty indicators with their default parameters, each as one call with its buffers,
// for tests and benchmarks that run them all alike.

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/bill_williams.h"
#include "chart/indicators/oscillators.h"
#include "chart/indicators/trend.h"
#include "chart/indicators/volume_indicators.h"

namespace kb::chart::test {

using namespace ind;

// The buffers and kept state of one indicator instance.
struct Instance {
    std::vector<std::vector<double>> buffers;
    SarState sar;
    Instance(int count, std::size_t capacity) : buffers(count, std::vector<double>(capacity, 0.0)) {}
    std::span<double> operator[](int k) { return buffers[k]; }
};

using Calc = std::function<Calculation(const BarView&, int computed, Instance&)>;

struct Case {
    std::string name;
    int buffers;
    Calc calc;
};

inline std::vector<Case> default_indicators() {
    return {
        {"Accelerator Oscillator", 5,
         [](const BarView& b, int c, Instance& in) {
             return accelerator(b, c, {in[0], in[1], in[2], in[3], in[4]});
         }},
        {"Accumulation/Distribution", 1,
         [](const BarView& b, int c, Instance& in) { return accumulation_distribution(b, c, in[0]); }},
        {"Alligator", 3,
         [](const BarView& b, int c, Instance& in) {
             return alligator(b, 13, 8, 5, kSmoothed, kPriceMedian, c, {in[0], in[1], in[2]});
         }},
        {"Average Directional Movement Index", 6,
         [](const BarView& b, int c, Instance& in) {
             return adx(b, 14, kPriceClose, c, {in[0], in[1], in[2], in[3], in[4], in[5]});
         }},
        {"Average True Range", 2,
         [](const BarView& b, int c, Instance& in) { return atr(b, 14, c, {in[0], in[1]}); }},
        {"Awesome Oscillator", 3,
         [](const BarView& b, int c, Instance& in) { return awesome(b, c, {in[0], in[1], in[2]}); }},
        {"Bears Power", 2,
         [](const BarView& b, int c, Instance& in) {
             return power(b, PowerSide::Bears, 13, kPriceClose, c, {in[0], in[1]});
         }},
        {"Bollinger Bands", 4,
         [](const BarView& b, int c, Instance& in) {
             return bollinger_bands(b, 20, 2, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Bulls Power", 2,
         [](const BarView& b, int c, Instance& in) {
             return power(b, PowerSide::Bulls, 13, kPriceClose, c, {in[0], in[1]});
         }},
        {"Commodity Channel Index", 4,
         [](const BarView& b, int c, Instance& in) {
             return cci(b, 14, kPriceTypical, c, {in[0], in[1], in[2], in[3]});
         }},
        {"DeMarker", 3,
         [](const BarView& b, int c, Instance& in) { return demarker(b, 14, c, {in[0], in[1], in[2]}); }},
        {"Envelopes", 3,
         [](const BarView& b, int c, Instance& in) {
             return envelopes(b, 14, kSimple, kPriceClose, 0.1, c, {in[0], in[1], in[2]});
         }},
        {"Force Index", 2,
         [](const BarView& b, int c, Instance& in) {
             return force_index(b, 13, kSimple, kPriceClose, c, {in[0], in[1]});
         }},
        {"Fractals", 2,
         [](const BarView& b, int c, Instance& in) { return fractals(b, c, {in[0], in[1]}); }},
        {"Gator Oscillator", 3,
         [](const BarView& b, int c, Instance& in) {
             return alligator(b, 13, 8, 5, kSmoothed, kPriceMedian, c, {in[0], in[1], in[2]});
         }},
        {"Ichimoku Kinko Hyo", 5,
         [](const BarView& b, int c, Instance& in) {
             return ichimoku(b, 9, 26, 52, c, {in[0], in[1], in[2], in[3], in[4]});
         }},
        {"Market Facilitation Index", 2,
         [](const BarView& b, int c, Instance& in) { return market_facilitation(b, 5, c, {in[0], in[1]}); }},
        {"MACD", 4,
         [](const BarView& b, int c, Instance& in) {
             return macd(b, MacdForm::Macd, 12, 26, 9, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Momentum", 1,
         [](const BarView& b, int c, Instance& in) { return momentum(b, 14, kPriceClose, c, in[0]); }},
        {"Money Flow Index", 1,
         [](const BarView& b, int c, Instance& in) { return money_flow_index(b, 14, c, in[0]); }},
        {"Moving Average", 1,
         [](const BarView& b, int c, Instance& in) {
             return moving_average(b, 14, kSimple, kPriceClose, c, in[0]);
         }},
        {"Moving Average of Oscillator", 4,
         [](const BarView& b, int c, Instance& in) {
             return macd(b, MacdForm::Osma, 12, 26, 9, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"On Balance Volume", 1,
         [](const BarView& b, int c, Instance& in) { return on_balance_volume(b, kPriceClose, c, in[0]); }},
        {"Parabolic SAR", 1,
         [](const BarView& b, int c, Instance& in) { return parabolic_sar(b, 0.02, 0.2, c, in.sar, in[0]); }},
        {"Relative Strength Index", 3,
         [](const BarView& b, int c, Instance& in) {
             return rsi(b, 14, kPriceClose, c, {in[0], in[1], in[2]});
         }},
        {"Relative Vigor Index", 6,
         [](const BarView& b, int c, Instance& in) {
             return rvi(b, 10, c, {in[0], in[1], in[2], in[3], in[4], in[5]});
         }},
        {"Standard Deviation", 2,
         [](const BarView& b, int c, Instance& in) {
             return standard_deviation(b, 20, kSimple, kPriceClose, c, {in[0], in[1]});
         }},
        {"Stochastic Oscillator", 4,
         [](const BarView& b, int c, Instance& in) {
             return stochastic(b, 5, 3, 3, kSimple, 0, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Volumes", 1, [](const BarView& b, int c, Instance& in) { return volumes(b, c, in[0]); }},
        {"Williams' Percent Range", 1,
         [](const BarView& b, int c, Instance& in) { return williams_r(b, 14, c, in[0]); }},
    };
}

}  // namespace kb::chart::test
