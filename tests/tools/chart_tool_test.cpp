#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/symbol_record.h"
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

std::string moving_average_block(int period, int method, int period_flags = 511) {
    return "<indicator>\nname=Moving Average\nperiod=" + std::to_string(period) + "\nshift=0\nmethod=" +
           std::to_string(method) + "\napply=0\ncolor=255\nstyle=0\nweight=1\nperiod_flags=" +
           std::to_string(period_flags) + "\n</indicator>\n";
}

// What the chart model writes for a main window holding the price series only.
constexpr const char* kMainWindowOnly =
    "\n<window>\nheight=100\n<indicator>\nname=main\nperiod=14\ncolor=255\nstyle=0\nweight=1\n</indicator>\n"
    "</window>\n</chart>\n\n";

class ChartToolTest : public testing::ToolTest {
protected:
    ChartToolTest() : ToolTest(CHART_TOOL_PATH) {}

    void write_symbols(const std::string& name, const std::vector<std::string>& names) {
        std::vector<market::SymbolRecord> records(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            records[i] = market::SymbolRecord{};
            core::set_field_text(records[i].name, names[i]);
            records[i].digits = 5;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(records.data());
        write(name, std::vector<uint8_t>(bytes, bytes + records.size() * sizeof(market::SymbolRecord)));
    }
};

TEST_F(ChartToolTest, ProfilePrintsTheProfileAsTheTerminalSavesItWithLimitsApplied) {
    write_text("chart.ini",
               "<chart>\r\n  period=0\nsymbol=GBPUSD\nscale=64\ncolor_scheme=5\ngraphmode=3\ngrid=7\n"
               "digits=3\nunknown=1\n<window>\nheight=3\n</window>\n</chart>\n");
    const std::string settings_tail =
        "leftpos=0\ncolor_scheme=2\ndigits=%d\nscale=32\ngraphmode=1\nforeground=0\nvolumes=0\ngrid=1\ndays=0\n"
        "askline=0\nohlc=0\ntrade_levels=0\ndescriptions=0\nscroll=0\nshift=0\n";
    auto expected = [&](const std::string& symbol, int digits) {
        std::string tail = settings_tail;
        tail.replace(tail.find("%d"), 2, std::to_string(digits));
        std::string text = "<chart>\nperiod=1\nsymbol=" + symbol + "\n" + tail + kMainWindowOnly;
        text.replace(text.find("height=100"), 10, "height=10");
        return text;
    };

    // No symbols base: the name resolves to "EURUSD".
    ProcessResult result = tool({"profile", path("chart.ini")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, expected("EURUSD", 0));

    write_symbols("symbols.raw", {"USDJPY", "GBPUSD"});
    result = tool({"profile", path("chart.ini"), "--symbols", path("symbols.raw")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, expected("GBPUSD", 5));

    write_symbols("other.raw", {"USDJPY", "XAUUSD"});
    result = tool({"profile", path("chart.ini"), "--symbols", path("other.raw")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, expected("USDJPY", 5));
}

TEST_F(ChartToolTest, ValuesAreTheIndicatorsOfEveryWindowOnTheHistorysBars) {
    std::vector<BarRecord> bars;
    for (int i = 0; i < 6; ++i) {
        const double close = i + 1;
        bars.push_back(BarRecord{kMonday + i * kHour, close, close - 0.5, close + 0.5, close, 10});
    }
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    // The profile's symbol and period are not the file's: the file's history is shown.
    write_text("chart.ini", "<chart>\nsymbol=GBPUSD\nperiod=1440\nscale=8\n<window>\nheight=100\n" +
                                moving_average_block(3, 0) + moving_average_block(3, 1) +
                                moving_average_block(4, 0, 1) + "</window>\n<window>\nheight=50\n" +
                                moving_average_block(2, 0) + "</window>\n</chart>\n");
    const ProcessResult result = tool({"values", path("chart.ini"), path("EURUSD60.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    // Closes 1..6. SMA(3) from the third bar; EMA(3) with factor 2 / (3 + 1) = 0.5 from the
    // first close; MA(4) shown on M1 only, so nothing on H1; SMA(2) in the sub-window.
    EXPECT_EQ(result.out,
              "time,Moving Average[0],Moving Average[0],Moving Average[0],Moving Average[0]\n"
              "2026-12-07 00:00:00,0,1,0,0\n"
              "2026-12-07 01:00:00,0,1.5,0,1.5\n"
              "2026-12-07 02:00:00,2,2.25,0,2.5\n"
              "2026-12-07 03:00:00,3,3.125,0,3.5\n"
              "2026-12-07 04:00:00,4,4.0625,0,4.5\n"
              "2026-12-07 05:00:00,5,5.03125,0,5.5\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(ChartToolTest, ValuesOfOscillatorsMatchHandComputedFigures) {
    const double closes[] = {1, 2, 4, 3, 5, 6};
    std::vector<BarRecord> bars;
    for (int i = 0; i < 6; ++i)
        bars.push_back(BarRecord{kMonday + i * kHour, closes[i], closes[i] - 0.5, closes[i] + 0.5, closes[i], 10});
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    write_text("chart.ini",
               "<chart>\n<window>\nheight=100\n</window>\n<window>\nheight=50\n"
               "<indicator>\nname=Momentum\nperiod=3\napply=0\n</indicator>\n"
               "<indicator>\nname=Relative Strength Index\nperiod=2\napply=0\n</indicator>\n"
               "</window>\n</chart>\n");
    const ProcessResult result = tool({"values", path("chart.ini"), path("EURUSD60.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    auto number = [](double value) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", value);
        return std::string(text);
    };
    // Momentum(3): close x 100 / close 3 bars before. RSI(2) on the changes +1, +2, -1, +2,
    // +1: averages of gains and losses start as plain means of the first two, then each is
    // (previous + change) / 2; RSI = 100 - 100 / (1 + gain / loss), 0 while the loss is 0.
    const std::string expected =
        "time,Momentum[0],Relative Strength Index[0],Relative Strength Index[1],Relative Strength Index[2]\n"
        "2026-12-07 00:00:00,0,0,0,0\n"
        "2026-12-07 01:00:00,0,0,0,0\n"
        "2026-12-07 02:00:00,0,0,1.5,0\n"
        "2026-12-07 03:00:00,300,60,0.75,0.5\n"
        "2026-12-07 04:00:00,250," + number(100 - 100 / 6.5) + ",1.375,0.25\n"
        "2026-12-07 05:00:00,150," + number(100 - 100 / 10.5) + ",1.1875,0.125\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(ChartToolTest, ValuesOfAProfileWithoutIndicatorsAreTheTimesAlone) {
    const std::vector<BarRecord> bars = {BarRecord{kMonday, 1.1, 1.0, 1.2, 1.1, 5},
                                         BarRecord{kMonday + kHour, 1.1, 1.0, 1.2, 1.1, 5}};
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    write_text("chart.ini", "<chart>\n</chart>\n");
    const ProcessResult result = tool({"values", path("chart.ini"), path("EURUSD60.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "time\n2026-12-07 00:00:00\n2026-12-07 01:00:00\n");
}

TEST_F(ChartToolTest, BadInputGivesOneLineOnStandardErrorAndExitOne) {
    write_text("chart.ini", "<chart>\nperiod=60\n</chart>\n");
    write_text("not-a-profile.ini", "<chart> \nperiod=60\n");
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, {BarRecord{kMonday, 1, 1, 1, 1, 1}}));
    write("old.hst", hst_bytes("EURUSD", 60, {}, 401));
    write_text("empty.raw", "");
    const struct {
        std::vector<std::string> arguments;
        const char* says;
    } cases[] = {
        {{"profile", path("missing.ini")}, "cannot read"},
        {{"profile", path("not-a-profile.ini")}, "is not a chart profile"},
        {{"profile", path("chart.ini"), "--symbols", path("missing.raw")}, "cannot read"},
        {{"profile", path("chart.ini"), "--symbol", path("empty.raw")}, "unknown option"},
        {{"profile", path("chart.ini"), "--symbols"}, "usage"},
        {{"profile"}, "usage"},
        {{"values", path("missing.ini"), path("EURUSD60.hst")}, "cannot read"},
        {{"values", path("not-a-profile.ini"), path("EURUSD60.hst")}, "is not a chart profile"},
        {{"values", path("chart.ini"), path("missing.hst")}, "cannot read"},
        {{"values", path("chart.ini"), path("old.hst")}, "no valid history header"},
        {{"values", path("chart.ini"), path("chart.ini")}, "no valid history header"},
        {{"values", path("chart.ini")}, "usage"},
        {{"draw", path("chart.ini")}, "unknown command"},
        {{}, "usage"},
    };
    for (const auto& [arguments, says] : cases) {
        const ProcessResult result = tool(arguments);
        const std::string what = arguments.empty() ? "(none)" : arguments[0] + " " + std::to_string(arguments.size());
        EXPECT_EQ(result.exit_code, 1) << what;
        EXPECT_EQ(result.out, "") << what;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << what << ": " << result.err;
        EXPECT_NE(result.err.find(says), std::string::npos) << what << ": " << result.err;
    }
}

}  // namespace
}  // namespace kb::tools
