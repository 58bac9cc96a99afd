#pragma once
#include "chart/framework/indicator.h"
#include "chart/indicators/trend.h"

namespace kb::chart {

// The indicators of this file that average a price (or another indicator's data) over
// `period` bars: Moving Average, Envelopes, Standard Deviation and Bollinger Bands. `shift`
// moves the drawn lines right by that many bars; `method` is the averaging method.
class AveragingIndicator : public CInd {
public:
    int shift() const { return shift_; }
    void set_shift(int shift) { shift_ = shift; }
    int method() const { return method_; }
    void set_method(int method) { method_ = method; }

    void load_defaults(const core::SettingsStore& store) override;

protected:
    using CInd::CInd;
    // shift= and method=.
    bool parse_average_key(std::string_view line);

    int shift_ = 0;
    int method_ = ind::kSimple;
};

// Moving Average: one line MA(price, period, method).
class MovingAverage final : public AveragingIndicator {
public:
    MovingAverage();
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;
};

// Envelopes: the Moving Average centre and bands `deviation` percent above and below it.
class Envelopes final : public AveragingIndicator {
public:
    static constexpr double kDefaultDeviation = 0.1;
    Envelopes();
    double deviation() const { return deviation_; }
    // Limited to (0, 100]: 0 or less becomes 0.1, more than 100 becomes 100.
    void set_deviation(double deviation);

    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;

private:
    double deviation_ = kDefaultDeviation;
};

// Bollinger Bands: a simple average and bands `deviations` standard deviations around it.
class BollingerBands final : public AveragingIndicator {
public:
    static constexpr int kDefaultDeviations = 2;
    BollingerBands();
    int deviations() const { return deviations_; }
    // Limited to 1..15, any other value becomes 2.
    void set_deviations(int deviations);

    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;

private:
    int deviations_ = kDefaultDeviations;
};

// Standard Deviation of the price around its average, in its own window.
class StandardDeviation final : public AveragingIndicator {
public:
    StandardDeviation();
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;
};

// Parabolic SAR with its acceleration step and maximum ("end").
class ParabolicSar final : public CInd {
public:
    static constexpr double kDefaultStep = 0.02;
    static constexpr double kDefaultMaximum = 0.2;
    ParabolicSar();
    double step() const { return step_; }
    double maximum() const { return maximum_; }
    // A step of 0 or less becomes 0.02; then a maximum below the step becomes 0.2.
    void set_step_and_maximum(double step, double maximum);

    std::string build_label() const override;
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    void finish_load() override;

private:
    double step_ = kDefaultStep;
    double maximum_ = kDefaultMaximum;
    ind::SarState state_;
};

// Ichimoku Kinko Hyo: five lines from the tenkan, kijun and senkou periods.
class IchimokuKinkoHyo final : public CInd {
public:
    IchimokuKinkoHyo();
    int tenkan() const { return tenkan_; }
    int kijun() const { return kijun_; }
    int senkou() const { return senkou_; }

    std::string build_label() const override;
    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;

private:
    int tenkan_ = 9;
    int kijun_ = 26;
    int senkou_ = 52;
};

}  // namespace kb::chart
