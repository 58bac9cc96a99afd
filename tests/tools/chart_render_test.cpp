#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/market/market_test_support.h"
#include "tests/tools/tool_test.h"

namespace kb::tools {
namespace {

using market::BarRecord;
using market::testing::hst_bytes;
using server::testing::ProcessResult;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int32_t kHour = 3600;

// Candles, a moving average and the Bollinger Bands over the prices, MACD and RSI below.
constexpr const char* kReferenceProfile =
    "<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\ngraphmode=1\ngrid=1\ndays=1\nvolumes=1\nohlc=1\n"
    "color_scheme=2\n<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n"
    "<indicator>\nname=Moving Average\nperiod=14\nmethod=1\ncolor=255\n</indicator>\n"
    "<indicator>\nname=Bollinger Bands\nperiod=20\ncolor=16711680\n</indicator>\n</window>\n"
    "<window>\nheight=40\n<indicator>\nname=MACD\n</indicator>\n</window>\n"
    "<window>\nheight=40\n<indicator>\nname=Relative Strength Index\nlevel_0=30\nlevel_1=70\n</indicator>\n"
    "</window>\n</chart>\n";

// A reproducible walk of hourly bars ending at Monday 00:00.
std::vector<BarRecord> walk(int count) {
    std::vector<BarRecord> bars;
    double price = 1.1;
    uint32_t state = 5;
    const auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    for (int i = 0; i < count; ++i) {
        const double open = price;
        const double close = open + (next() - 0.5) * 0.0016;
        bars.push_back({kMonday - (count - 1 - i) * kHour, open, std::min(open, close) - next() * 0.0005,
                        std::max(open, close) + next() * 0.0005, close, 20 + std::floor(next() * 300)});
        price = close;
    }
    return bars;
}

class ChartRenderToolTest : public testing::ToolTest {
protected:
    ChartRenderToolTest() : ToolTest(CHART_TOOL_PATH) {}
};

// The share of pixels whose colour differs by more than 64 in a channel.
double differing_share(const QImage& a, const QImage& b) {
    long differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 64 || std::abs(qGreen(p) - qGreen(q)) > 64 ||
                std::abs(qBlue(p) - qBlue(q)) > 64)
                ++differing;
        }
    return static_cast<double>(differing) / (a.width() * a.height());
}

TEST_F(ChartRenderToolTest, TheReferenceChartIsDrawnAlikeWithinATolerance) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, walk(300)));
    write_text("chart.ini", kReferenceProfile);
    const ProcessResult result = tool({"render", path("chart.ini"), path("EURUSD60.hst"), path("out.png")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const QImage drawn(QString::fromStdString(path("out.png")));
    const QImage reference(QStringLiteral(TOOLS_TEST_DATA "/reference_chart.png"));
    ASSERT_FALSE(drawn.isNull());
    ASSERT_FALSE(reference.isNull());
    ASSERT_EQ(drawn.size(), QSize(480, 640));
    ASSERT_EQ(reference.size(), drawn.size());
    // Text rendering may differ a little between font versions; the lines may not.
    EXPECT_LT(differing_share(drawn, reference), 0.015);

    // Another part of the history is another picture.
    const ProcessResult older =
        tool({"render", path("chart.ini"), path("EURUSD60.hst"), path("older.png"), "--leftpos", "0"});
    ASSERT_EQ(older.exit_code, 0) << older.err;
    EXPECT_GT(differing_share(QImage(QString::fromStdString(path("older.png"))), reference), 0.02);
}

TEST_F(ChartRenderToolTest, TheBidLineSitsWhereTheScaleSaysAndSizeAndDpiAreHonoured) {
    // Highs reach 1.2100 and lows 1.2000: the range is 1.1997 .. 1.2103 (a 40th of the span
    // on each side, rounded out to 4 decimals). The newest close 1.2050 lies at
    // 622 - (1.2050 - 1.1997) x 619 / 0.0106 - 1 = row 311 of a window from row 2 to 622.
    std::vector<BarRecord> bars;
    for (int i = 0; i < 80; ++i) bars.push_back({kMonday + i * kHour, 1.205, 1.2, 1.21, 1.205, 10});
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    write_text("chart.ini", "<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\ngrid=0\ncolor_scheme=2\ngraphmode=2\n"
                            "<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n</window>\n</chart>\n");
    ProcessResult result = tool({"render", path("chart.ini"), path("EURUSD60.hst"), path("bid.png")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const QImage image(QString::fromStdString(path("bid.png")));
    ASSERT_EQ(image.size(), QSize(480, 640));
    EXPECT_EQ(image.pixel(100, 311) & 0xFFFFFF, 0xC0C0C0u);   // the grid colour of Black on White
    EXPECT_EQ(image.pixel(100, 300) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(image.pixel(100, 320) & 0xFFFFFF, 0xFFFFFFu);

    result = tool({"render", path("chart.ini"), path("EURUSD60.hst"), path("big.png"), "--size", "300x200", "--dpi",
                   "192"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(QImage(QString::fromStdString(path("big.png"))).size(), QSize(300, 200));
}

TEST_F(ChartRenderToolTest, ChartObjectsOfTheProfileAreDrawn) {
    // The scale of the bid-line test (1.1997 .. 1.2103 over rows 2 to 622): a horizontal
    // line at 1.2000 lies at 621 - 0.0003 x 619 / 0.0106 = row 603.48, i.e. 603; a line
    // whose time frames leave out H1 is not drawn.
    std::vector<BarRecord> bars;
    for (int i = 0; i < 80; ++i) bars.push_back({kMonday + i * kHour, 1.205, 1.2, 1.21, 1.205, 10});
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    const auto line = [](int flags, const char* price) {
        return "<object>\ntype=3\ncounter=1\nperiod_flags=" + std::to_string(flags) +
               "\ncreate_time=0\nperiod=60\nsymbol=EURUSD\ncolor=65280\nstyle=0\nweight=1\nbackground=0\nvalue_0=" +
               price + "\n</object>\n";
    };
    write_text("chart.ini", "<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\ngrid=0\ncolor_scheme=2\ngraphmode=2\n"
                            "<window>\nheight=100\n<indicator>\nname=main\n" +
                                line(511, "1.200000") + line(511 & ~16, "1.208000") +
                                "</indicator>\n</window>\n</chart>\n");
    const ProcessResult result = tool({"render", path("chart.ini"), path("EURUSD60.hst"), path("objects.png")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const QImage image(QString::fromStdString(path("objects.png")));
    ASSERT_EQ(image.size(), QSize(480, 640));
    for (int x : {4, 100, 400}) {
        EXPECT_EQ(image.pixel(x, 603) & 0xFFFFFF, 0x00FF00u) << x;
        EXPECT_EQ(image.pixel(x, 600) & 0xFFFFFF, 0xFFFFFFu) << x;
    }
    for (int y = 2; y < 622; ++y) {
        if (y == 603) continue;
        EXPECT_NE(image.pixel(100, y) & 0xFFFFFF, 0x00FF00u) << y;
    }
}

TEST_F(ChartRenderToolTest, BadInputGivesOneLineAndExitOne) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, walk(10)));
    write_text("chart.ini", kReferenceProfile);
    write_text("not.hst", "not a history");
    const std::string profile = path("chart.ini");
    const std::string history = path("EURUSD60.hst");
    const std::string out = path("out.png");
    const std::vector<std::vector<std::string>> cases = {
        {"render", profile, history},
        {"render", profile, history, out, "--size", "480"},
        {"render", profile, history, out, "--size", "0x640"},
        {"render", profile, history, out, "--size", "99999x640"},
        {"render", profile, history, out, "--dpi", "abc"},
        {"render", profile, history, out, "--leftpos", "-3"},
        {"render", profile, history, out, "--colour", "red"},
        {"render", profile, history, out, "--dpi"},
        {"render", path("missing.ini"), history, out},
        {"render", profile, path("not.hst"), out},
        {"render", profile, history, path("no/such/folder/out.png")},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ProcessResult result = tool(arguments);
        const std::string shown = ::testing::PrintToString(arguments);
        EXPECT_EQ(result.exit_code, 1) << shown;
        EXPECT_EQ(result.err.rfind("chart-tool: ", 0), 0u) << shown << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << shown << result.err;
    }
    EXPECT_FALSE(platform::file_exists(out));
}

}  // namespace
}  // namespace kb::tools
