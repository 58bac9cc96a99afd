#pragma once

namespace kb::core {

// The screen as layout code sees it. Sizes are given in units of a 96 dots-per-inch
// screen and scaled to pixels by the resolution rounded down to a multiple of 96. Plain
// data; zeroed until the user interface fills it.
struct DisplayMetrics {
    int dpi_x = 0;
    int dpi_y = 0;
    int screen_width = 0;
    int screen_height = 0;
    int work_area_height = 0;

    // A measured resolution rounded down to a multiple of 96. Anything below 96 counts as
    // 96, so a low reading never scales every size down to nothing.
    static int round_dpi(int measured) { return measured < 96 ? 96 : measured / 96 * 96; }

    // s units at 96 dpi in vertical pixels: (s * dpi_y + 48) / 96.
    int scale(int s) const { return (s * dpi_y + 48) / 96; }
    // The same for horizontal pixels.
    int scale_x(int s) const { return (s * dpi_x + 48) / 96; }
};

}  // namespace kb::core
