// The QPainter canvas writes solid rectangles straight into a 32-bit image; the pictures
// must be the very pixels Qt's own painting gives, which a pixmap's painter (never
// bypassed) draws here for comparison.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/render/chart_renderer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/chart/bars_fixture.h"
#include "tests/chart/chart_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/painter/qpainter_canvas.h"

namespace kb::ui {
namespace {

constexpr int kBars = 600;

std::string profile(int scale, int graphmode, int scheme) {
    return "<chart>\nsymbol=EURUSD\nperiod=60\nscale=" + std::to_string(scale) + "\ngraphmode=" +
           std::to_string(graphmode) + "\ncolor_scheme=" + std::to_string(scheme) +
           "\ngrid=1\ndays=1\nvolumes=1\nohlc=1\naskline=1\nscroll=1\n"
           "<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n"
           "<indicator>\nname=Bollinger Bands\nperiod=20\n</indicator>\n"
           "<indicator>\nname=Parabolic SAR\n</indicator>\n</window>\n"
           "<window>\nheight=40\n<indicator>\nname=MACD\n</indicator>\n</window>\n"
           "<window>\nheight=40\n<indicator>\nname=Relative Strength Index\nlevel_0=30\nlevel_1=70\n"
           "levels_style=0\n</indicator>\n</window>\n"
           "<window>\nheight=30\n<indicator>\nname=Market Facilitation Index\n</indicator>\n</window>\n</chart>\n";
}

class QPainterCanvasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    QPainterCanvasTest() {
        market.add_symbol("EURUSD", 5);
        std::vector<market::BarRecord> bars = chart::test::random_bars(kBars, 5);
        for (int i = 0; i < kBars; ++i) bars[static_cast<size_t>(i)].time = 1796601600 - (kBars - i) * 3600;
        market.set_bars("EURUSD", 60, bars);
    }

    // The chart of the profile drawn at that size, through a painter on device.
    void draw(const std::string& text, QPaintDevice& device, bool crosshair) {
        const std::string path = folder.file("chart.ini");
        ASSERT_TRUE(platform::write_file_atomic(path, std::vector<uint8_t>(text.begin(), text.end())));
        core::DisplayMetrics metrics;
        metrics.dpi_x = metrics.dpi_y = 96;
        chart::Chart chart({path, market, metrics, nullptr, chart::ProfileWrites::No});
        chart.load_profile();
        QPainter painter(&device);
        TextCache texts;
        QPainterCanvas canvas(painter, &texts);
        QtFontFamilies families;
        chart::PenCollector pens(families, clock, nullptr, 96);
        chart::ChartRenderer renderer(pens);
        chart.set_area({0, 0, device.width(), device.height()});
        chart.set_price_axis_width(renderer.price_axis_width(chart, canvas, {}));
        chart.scroll_to(kBars);
        if (crosshair) {
            chart.set_crosshair(true);
            chart.set_cursor(device.width() / 3, device.height() / 2);
        }
        renderer.paint(chart, canvas, {});
    }

    kb::testing::TempFolder folder;
    platform::ManualClock clock;
    chart::test::FakeMarket market;
};

TEST_F(QPainterCanvasTest, DrawingIntoAnImageGivesThePixelsOfQtsOwnPainting) {
    const struct {
        int scale, graphmode, scheme, width, height;
        bool crosshair;
    } cases[] = {
        {8, 1, 2, 480, 640, false}, {1, 0, 0, 900, 500, true}, {32, 2, 1, 480, 640, true}, {4, 1, 0, 333, 777, true},
    };
    for (const auto& c : cases) {
        const std::string text = profile(c.scale, c.graphmode, c.scheme);
        QImage image(c.width, c.height, QImage::Format_RGB32);
        draw(text, image, c.crosshair);
        QPixmap pixmap(c.width, c.height);
        draw(text, pixmap, c.crosshair);
        const QImage reference = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(reference.size(), image.size());
        long differing = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) differing += image.pixel(x, y) != reference.pixel(x, y);
        EXPECT_EQ(differing, 0) << "scale " << c.scale << " mode " << c.graphmode << " scheme " << c.scheme;
    }
}

}  // namespace
}  // namespace kb::ui
