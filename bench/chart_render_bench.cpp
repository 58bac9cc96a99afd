// One chart frame drawn to a raster image: candles, six indicators (moving average,
// Bollinger Bands and Parabolic SAR over the prices, MACD in one sub-window, RSI and
// Stochastic in another) with grid, separators, volumes and the OHLC line, through the
// chart renderer and the QPainter canvas. Each iteration times the frame and, as the
// baseline, filling the same image with one colour; the counters give the frame time
// (frame_us) and fill_ratio = frame time / fill time. Two loads: a 480 x 640 view showing
// 142 bars (scale 3), and a view wide enough for 2,000 bars at scale 1.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <ctime>
#include <memory>
#include <string>

#include "bench/scratch_folder.h"
#include "chart/model/chart.h"
#include "chart/render/chart_renderer.h"
#include "platform/clock.h"
#include "tests/chart/bars_fixture.h"
#include "tests/chart/chart_test_support.h"
#include "ui/painter/qpainter_canvas.h"

namespace {

using namespace kb;

constexpr int kHistoryBars = 5000;

std::string profile(int scale) {
    return "<chart>\nsymbol=EURUSD\nperiod=60\nscale=" + std::to_string(scale) +
           "\ngraphmode=1\ngrid=1\ndays=1\nvolumes=1\nohlc=1\nscroll=1\ncolor_scheme=0\n"
           "<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n"
           "<indicator>\nname=Moving Average\nperiod=14\nmethod=1\n</indicator>\n"
           "<indicator>\nname=Bollinger Bands\nperiod=20\n</indicator>\n"
           "<indicator>\nname=Parabolic SAR\n</indicator>\n</window>\n"
           "<window>\nheight=40\n<indicator>\nname=MACD\n</indicator>\n</window>\n"
           "<window>\nheight=40\n<indicator>\nname=Relative Strength Index\nlevel_0=30\nlevel_1=70\n</indicator>\n"
           "<indicator>\nname=Stochastic Oscillator\n</indicator>\n</window>\n</chart>\n";
}

double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Load {
    int scale;
    int width;
    int height;
};

void BM_ChartFrame(benchmark::State& state, Load load) {
    bench::ScratchFolder folder("kb-chart-render");
    const std::string path = folder.path() + "/chart.ini";
    const std::string text = profile(load.scale);
    platform::write_file_atomic(path, std::vector<uint8_t>(text.begin(), text.end()));
    chart::test::FakeMarket market;
    market.add_symbol("EURUSD", 5);
    std::vector<market::BarRecord> bars = chart::test::random_bars(kHistoryBars, 3);
    for (int i = 0; i < kHistoryBars; ++i) bars[static_cast<size_t>(i)].time = 1700000000 + i * 3600;
    market.set_bars("EURUSD", 60, bars);
    core::DisplayMetrics metrics;
    metrics.dpi_x = metrics.dpi_y = 96;
    chart::Chart chart({path, market, metrics, nullptr, chart::ProfileWrites::No});
    chart.load_profile();

    QImage image(load.width, load.height, QImage::Format_RGB32);
    QPainter painter(&image);
    ui::TextCache texts;
    ui::QPainterCanvas canvas(painter, &texts);
    ui::QtFontFamilies families;
    chart::PenCollector pens(families, platform::system_clock(), nullptr, 96);
    chart::ChartRenderer renderer(pens);
    const chart::RenderOptions options;
    chart.set_area({0, 0, load.width, load.height});
    chart.set_price_axis_width(renderer.price_axis_width(chart, canvas, options));
    chart.scroll_to(kHistoryBars);

    double frame_seconds = 0;
    double fill_seconds = 0;
    for (auto _ : state) {
        double start = thread_seconds();
        painter.fillRect(image.rect(), QColor(0, 0, 0));
        fill_seconds += thread_seconds() - start;
        benchmark::DoNotOptimize(image.constBits());

        start = thread_seconds();
        renderer.paint(chart, canvas, options);
        const double elapsed = thread_seconds() - start;
        benchmark::DoNotOptimize(image.constBits());
        state.SetIterationTime(elapsed);
        frame_seconds += elapsed;
    }
    state.counters["visible_bars"] = chart.settings().visible_bars;
    if (state.iterations() > 0) state.counters["frame_us"] = frame_seconds * 1e6 / static_cast<double>(state.iterations());
    if (fill_seconds > 0) state.counters["fill_ratio"] = frame_seconds / fill_seconds;
}

BENCHMARK_CAPTURE(BM_ChartFrame, view_480x640_142_bars, Load{3, 480, 640})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChartFrame, view_2060x640_2000_bars, Load{1, 2060, 640})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // The font database needs a GUI application; the frames are drawn offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    char name[] = "chart_render_bench";
    char* qt_argv[] = {name, nullptr};
    QGuiApplication application(qt_argc, qt_argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
