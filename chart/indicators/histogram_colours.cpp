#include "chart/indicators/histogram_colours.h"

#include <cmath>

namespace kb::chart::ind {
namespace {

// Direction carried from bar to bar: `rising` when `now` is above `before`, kept when equal.
bool next_direction(bool rising, double before, double now) {
    if (now > before) return true;
    if (now < before) return false;
    return rising;
}

double value_at(std::span<const double> buffer, long index) {
    return index >= 0 && static_cast<std::size_t>(index) < buffer.size() ? buffer[index] : 0.0;
}

}  // namespace

void two_colour_histogram(std::span<const double> values, std::size_t first, std::size_t end,
                          std::span<std::uint8_t> colours) {
    bool up = true;
    for (std::size_t i = first; i < end && i < values.size(); ++i) {
        if (i > 0) up = next_direction(up, values[i - 1], values[i]);
        colours[i - first] = up ? kColourUp : kColourDown;
    }
}

void facilitation_colours(std::span<const double> value, std::span<const double> volume_change,
                          std::size_t first, std::size_t end, std::span<std::uint8_t> colours) {
    bool value_rising = true, volume_rising = true;
    for (std::size_t i = first; i < end && i < value.size(); ++i) {
        if (i > 0) value_rising = next_direction(value_rising, value[i - 1], value[i]);
        volume_rising = next_direction(volume_rising, 0.0, volume_change[i]);
        colours[i - first] = value_rising ? (volume_rising ? 0 : 2) : (volume_rising ? 3 : 1);
    }
}

void gator_histograms(const GatorLines& lines, long first, long end, const GatorHistograms& out) {
    const auto upper_at = [&](long b) {
        const double j = value_at(lines.jaw, b - lines.jaw_shift);
        const double t = value_at(lines.teeth, b - lines.teeth_shift);
        return j == 0 || t == 0 ? 0.0 : std::fabs(j - t);
    };
    const auto lower_at = [&](long b) {
        const double t = value_at(lines.teeth, b - lines.teeth_shift);
        const double l = value_at(lines.lips, b - lines.lips_shift);
        return t == 0 || l == 0 ? 0.0 : -std::fabs(t - l);
    };
    bool upper_up = true, lower_up = true;
    double upper_before = upper_at(first - 1), lower_before = lower_at(first - 1);
    for (long b = first; b < end; ++b) {
        const std::size_t k = static_cast<std::size_t>(b - first);
        const double upper = upper_at(b), lower = lower_at(b);
        if (b > 0) {
            upper_up = next_direction(upper_up, upper_before, upper);
            lower_up = next_direction(lower_up, lower, lower_before);
        }
        out.upper[k] = upper;
        out.lower[k] = lower;
        out.upper_colours[k] = upper_up ? kColourUp : kColourDown;
        out.lower_colours[k] = lower_up ? kColourUp : kColourDown;
        upper_before = upper;
        lower_before = lower;
    }
}

}  // namespace kb::chart::ind
