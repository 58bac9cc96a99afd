#pragma once
#include <span>

#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"

namespace kb::chart::ind {

// Alligator, Gator, Awesome and Accelerator Oscillators and Fractals.
// Calling convention: calculation.h.

// Alligator (and Gator Oscillator, which draws histograms of the same lines, see
// histogram_colours.h): three moving averages of the applied price. The drawing moves each
// line right by its shift. All three periods must be > 0.
struct AlligatorBuffers {
    std::span<double> jaw, teeth, lips;
};
Calculation alligator(const BarView& bars, int jaw_period, int teeth_period, int lips_period,
                      int method, int apply, int computed, const AlligatorBuffers& out);

// Awesome Oscillator: 5-bar minus 34-bar simple average of the median price; 0 for bars
// 0 .. 33 and everywhere with 4 bars or fewer.
struct AwesomeBuffers {
    std::span<double> ao, average5, average34;
};
Calculation awesome(const BarView& bars, int computed, const AwesomeBuffers& out);

// Accelerator Oscillator: AO minus its own 5-bar simple average; needs more than 38 bars.
// Values from bar 38 on, where the average first covers five AO values.
struct AcceleratorBuffers {
    std::span<double> ac, ao, ao_average, average5, average34;
};
Calculation accelerator(const BarView& bars, int computed, const AcceleratorBuffers& out);

// Fractals: the high of an up fractal, the low of a down fractal, 0 elsewhere. Needs more
// than 6 bars.
struct FractalsBuffers {
    std::span<double> up, down;
};
Calculation fractals(const BarView& bars, int computed, const FractalsBuffers& out);

}  // namespace kb::chart::ind
