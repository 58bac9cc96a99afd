#include "chart/objects/line_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "chart/framework/key_lines.h"
#include "core/number_format.h"

namespace kb::chart {
namespace {

constexpr ObjectLook kLineLook{};
constexpr ObjectLook kTrendlineLook{.ray = 1};

}  // namespace

VerticalLine::VerticalLine() : CObj(ObjectType::VerticalLine, kLineLook) {}

void VerticalLine::write_tail(LineSink& sink) const { sink.write_line(integer_line("time_0=", times_[0])); }

HorizontalLine::HorizontalLine() : CObj(ObjectType::HorizontalLine, kLineLook) {}

void HorizontalLine::write_tail(LineSink& sink) const { sink.write_line(fixed_line("value_0=", values_[0], 6)); }

Trendline::Trendline() : CObj(ObjectType::Trendline, kTrendlineLook) {}

void Trendline::write_tail(LineSink& sink) const {
    sink.write_line(integer_line("time_0=", times_[0]));
    sink.write_line(fixed_line("value_0=", values_[0], 6));
    sink.write_line(integer_line("time_1=", times_[1]));
    sink.write_line(fixed_line("value_1=", values_[1], 6));
    sink.write_line(integer_line("ray=", ray_));
}

std::string Trendline::info_text(const BarTimeline& timeline, int digits) const {
    const std::array<int, kObjectAnchors>& at = positions(timeline);
    const double points =
        std::round((values_[1] - values_[0]) * core::power_of_ten(std::clamp(digits, 0, core::kMaxDigits)));
    const int bounded = std::isfinite(points) ? static_cast<int>(std::clamp(points, -2147483647.0, 2147483647.0)) : 0;
    char text[64];
    std::snprintf(text, sizeof text, "   %d / %d", at[1] - at[0], bounded);
    return text;
}

}  // namespace kb::chart
