#pragma once
#include <optional>
#include <string>

namespace kb::core {
class Journal;
}
namespace kb::chart {
class Chart;
}

namespace kb::ui {

// The size and resolution of a chart picture.
struct PictureRequest {
    int width = 480;
    int height = 640;
    int dpi = 96;
};

// Draws the chart (its area already set to the picture's size; its price axis widened to
// fit the price texts) with the chart tab's renderer into a raster image and writes it as
// PNG to path, for chart-tool. Makes an offscreen QGuiApplication when none exists, for the
// fonts. The pen collector's lines go to the
// journal (may be null). Returns the error line, or nothing when the file was written.
std::optional<std::string> write_chart_picture(chart::Chart& chart, const PictureRequest& request,
                                               const std::string& path, core::Journal* journal);

}  // namespace kb::ui
