#pragma once
#include "chart/framework/indicator.h"
#include "chart/indicators/bill_williams.h"
#include "chart/indicators/oscillators.h"

namespace kb::chart {

// MACD and Moving Average of Oscillator: fast and slow exponential averages and a simple
// signal average of their difference; both may run on another indicator's data.
class MacdIndicator : public CInd {
public:
    int fast_period() const { return fast_; }
    int slow_period() const { return slow_; }
    int signal_period() const { return signal_; }
    void set_periods(int fast, int slow, int signal);

    std::string build_label() const override;
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    MacdIndicator(const IndicatorTraits& traits, const IndicatorDefaults& defaults, ind::MacdForm form);
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;

private:
    ind::MacdForm form_;
    int fast_ = 12;
    int slow_ = 26;
    int signal_ = 9;
};

// MACD: the difference as a histogram and its signal line ("signal_color=" ... keys).
class Macd final : public MacdIndicator {
public:
    Macd();
    bool parse_line(std::string_view line) override;

protected:
    void save_parameters(LineSink& sink) const override;
};

// Moving Average of Oscillator: the difference less its signal, as a histogram.
class MovingAverageOfOscillator final : public MacdIndicator {
public:
    MovingAverageOfOscillator();
};

// Stochastic Oscillator. Its applied price is the price field: 0 lows and highs, 1 closes.
class StochasticOscillator final : public CInd {
public:
    StochasticOscillator();
    int kperiod() const { return kperiod_; }
    int dperiod() const { return dperiod_; }
    int slowing() const { return slowing_; }
    int method() const { return method_; }

    std::string build_label() const override;
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;

private:
    int kperiod_ = 5;
    int dperiod_ = 3;
    int slowing_ = 3;
    int method_ = ind::kSimple;
};

// Force Index: change of the average price times the volume.
class ForceIndex final : public CInd {
public:
    ForceIndex();
    int method() const { return method_; }

    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;

private:
    int method_ = ind::kSimple;
};

// Alligator and Gator Oscillator: three averages of the price (jaw = period/shift, teeth =
// period2/shift2, lips = period3/shift3), drawn shifted right (Alligator) or as the two
// histograms of their distances (Gator).
class AlligatorIndicator : public CInd {
public:
    int period2() const { return period2_; }
    int period3() const { return period3_; }
    int shift() const { return shift_; }
    int shift2() const { return shift2_; }
    int shift3() const { return shift3_; }
    int method() const { return method_; }

    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    using CInd::CInd;
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;

private:
    int period2_ = 8;
    int period3_ = 5;
    int shift_ = 8;
    int shift2_ = 5;
    int shift3_ = 3;
    int method_ = ind::kSmoothed;
};

class Alligator final : public AlligatorIndicator {
public:
    Alligator();
};

class GatorOscillator final : public AlligatorIndicator {
public:
    GatorOscillator();
};

}  // namespace kb::chart
