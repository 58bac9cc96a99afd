#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace kb::chart::ind {

// Colours of the histogram indicators as data for the drawing: one entry per drawn bar,
// worked out from the leftmost drawn bar to the right. Bars [first, end) are coloured into
// colours[0 ..]; the leftmost still compares with the bar before it when there is one.

// Volumes, Awesome and Accelerator: the colour starts as up; a bar above the one before
// turns it up, one below turns it down, an equal one keeps it. Bars whose value is exactly 0
// are not drawn (the drawing skips them; they still take part in the comparison).
enum TwoColour : std::uint8_t { kColourUp = 0, kColourDown = 1 };
void two_colour_histogram(std::span<const double> values, std::size_t first, std::size_t end,
                          std::span<std::uint8_t> colours);

// Market Facilitation Index: the direction of the value (rising at the start, kept when
// equal) and of the volume change (rising at the start, kept when 0) pick one of four colour
// slots: both rising 0 (colour 1), value falling and volume falling 1 (colour 2), value
// rising and volume falling 2 (colour 3), value falling and volume rising 3 (colour 4).
void facilitation_colours(std::span<const double> value, std::span<const double> volume_change,
                          std::size_t first, std::size_t end, std::span<std::uint8_t> colours);

// Gator Oscillator for drawn bars b in [first, end) (which may run past the buffers by the
// shifts): upper[b - first] = |J - T| and lower[b - first] = -|T - L| with J = jaw[b - shift],
// T = teeth[b - shift2], L = lips[b - shift3] (0 outside the buffers); a bar is 0 when one of
// its two lines has no value. Upper bars are coloured up (colour 1) when above the previous
// upper bar, down when below; lower bars up when below (longer than) the previous lower bar,
// down when above; equal keeps.
struct GatorLines {
    std::span<const double> jaw, teeth, lips;
    int jaw_shift = 0, teeth_shift = 0, lips_shift = 0;
};
struct GatorHistograms {
    std::span<double> upper, lower;
    std::span<std::uint8_t> upper_colours, lower_colours;
};
void gator_histograms(const GatorLines& lines, long first, long end, const GatorHistograms& out);

}  // namespace kb::chart::ind
