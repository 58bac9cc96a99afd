#pragma once
#include "chart/framework/indicator.h"
#include "chart/indicators/trend.h"

namespace kb::chart {

// Moving Average: one line MA(price, period, method) drawn `shift` bars to the right; may
// run on another indicator's data.
class MovingAverage final : public CInd {
public:
    MovingAverage();
    int shift() const { return shift_; }
    void set_shift(int shift) { shift_ = shift; }
    int method() const { return method_; }
    void set_method(int method) { method_ = method; }

    bool parse_line(std::string_view line) override;
    bool equals(const CInd& other) const override;
    void load_defaults(const core::SettingsStore& store) override;

protected:
    void save_parameters(LineSink& sink) const override;
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override;
    ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin, int computed) override;

private:
    int shift_ = 0;
    int method_ = ind::kSimple;
};

}  // namespace kb::chart
