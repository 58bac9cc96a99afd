#pragma once
#include <string>

#include "chart/objects/chart_object.h"

namespace kb::chart {

// A vertical line at a time: anchor 0's time. Its block ends with "time_0=".
class VerticalLine final : public CObj {
public:
    static constexpr std::string_view kName = "Vertical Line";
    VerticalLine();
    std::string_view name() const override { return kName; }
    int anchor_count() const override { return 1; }
    AnchorUse anchor_use() const override { return AnchorUse::Time; }
    std::unique_ptr<CObj> clone() const override { return std::unique_ptr<CObj>(new VerticalLine(*this)); }

protected:
    void write_tail(LineSink& sink) const override;

private:
    VerticalLine(const VerticalLine&) = default;
};

// A horizontal line at a price: anchor 0's price. Its block ends with "value_0=".
class HorizontalLine final : public CObj {
public:
    static constexpr std::string_view kName = "Horizontal Line";
    HorizontalLine();
    std::string_view name() const override { return kName; }
    int anchor_count() const override { return 1; }
    AnchorUse anchor_use() const override { return AnchorUse::Price; }
    std::unique_ptr<CObj> clone() const override { return std::unique_ptr<CObj>(new HorizontalLine(*this)); }

protected:
    void write_tail(LineSink& sink) const override;

private:
    HorizontalLine(const HorizontalLine&) = default;
};

// A line through two anchors, going on past the second one while its ray flag is set
// (the class default). Its block ends with both anchors and "ray=".
class Trendline final : public CObj {
public:
    static constexpr std::string_view kName = "Trendline";
    Trendline();
    std::string_view name() const override { return kName; }
    int anchor_count() const override { return 2; }
    AnchorUse anchor_use() const override { return AnchorUse::TimeAndPrice; }
    std::unique_ptr<CObj> clone() const override { return std::unique_ptr<CObj>(new Trendline(*this)); }

    // The distance from the first anchor to the second in bars and in points of a symbol
    // with digits decimals, as "   %d / %d" (bars, points; negative when falling or
    // going back in time).
    std::string info_text(const BarTimeline& timeline, int digits) const;

protected:
    void write_tail(LineSink& sink) const override;

private:
    Trendline(const Trendline&) = default;
};

}  // namespace kb::chart
