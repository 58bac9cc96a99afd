#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/hst_file.h"
#include "platform/files.h"
#include "tests/market/market_test_support.h"
#include "tests/tools/tool_test.h"
#include "tools/bar_csv.h"

namespace kb::tools {
namespace {

using market::BarRecord;
using market::testing::hst_bytes;
using server::testing::ProcessResult;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int32_t kHour = 3600;

std::vector<BarRecord> hourly_bars(int count, double price) {
    std::vector<BarRecord> bars;
    for (int i = 0; i < count; ++i)
        bars.push_back(BarRecord{kMonday + i * kHour, price, price - 0.001, price + 0.002, price + 0.001, 10});
    return bars;
}

std::vector<BarRecord> bars_in(const std::vector<uint8_t>& file) {
    std::vector<BarRecord> bars((file.size() - sizeof(market::HistoryFileHeader)) / sizeof(BarRecord));
    if (!bars.empty())
        std::memcpy(bars.data(), file.data() + sizeof(market::HistoryFileHeader), bars.size() * sizeof(BarRecord));
    return bars;
}

class HstToolTest : public testing::ToolTest {
protected:
    HstToolTest() : ToolTest(HST_TOOL_PATH) {}

    std::vector<uint8_t> read(const std::string& name) const {
        auto bytes = platform::read_file(path(name));
        return bytes ? *bytes : std::vector<uint8_t>{};
    }
};

TEST_F(HstToolTest, ExportWritesTheHeaderLineAndOneLinePerBar) {
    std::vector<BarRecord> bars = hourly_bars(2, 1.1);
    bars[1].volume = 2.5;
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    ProcessResult result = tool({"export", path("EURUSD60.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out,
              "time,open,high,low,close,volume\n"
              "2026-12-07 00:00:00,1.10000,1.10200,1.09900,1.10100,10\n"
              "2026-12-07 01:00:00,1.10000,1.10200,1.09900,1.10100,2.5\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(HstToolTest, ExportShowsTheRepairedBarsAndLeavesTheFileAsItIs) {
    std::vector<BarRecord> bars = hourly_bars(5, 1.1);
    bars[1].low = 2.0;                 // low above high: deleted
    bars[3].time = bars[2].time;       // same time as the previous kept bar: the first stays
    const std::vector<uint8_t> damaged = hst_bytes("EURUSD", 60, bars);
    write("damaged.hst", damaged);
    ProcessResult result = tool({"export", path("damaged.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "HistoryBase: 2 errors in 'EURUSD60'\n");
    EXPECT_EQ(result.out,
              "time,open,high,low,close,volume\n"
              "2026-12-07 00:00:00,1.10000,1.10200,1.09900,1.10100,10\n"
              "2026-12-07 02:00:00,1.10000,1.10200,1.09900,1.10100,10\n"
              "2026-12-07 04:00:00,1.10000,1.10200,1.09900,1.10100,10\n");
    EXPECT_EQ(read("damaged.hst"), damaged);
}

TEST_F(HstToolTest, ExportRefusesFilesThatAreNoHistory) {
    write("old.hst", hst_bytes("EURUSD", 60, hourly_bars(2, 1.1), 401));
    write("short.hst", {1, 2, 3});
    write("nameless.hst", hst_bytes("", 60, hourly_bars(2, 1.1)));
    write("period.hst", hst_bytes("EURUSD", 50000, hourly_bars(2, 1.1)));
    for (const char* name : {"old.hst", "short.hst", "nameless.hst", "period.hst", "missing.hst"}) {
        ProcessResult result = tool({"export", path(name)});
        EXPECT_EQ(result.exit_code, 1) << name;
        EXPECT_EQ(result.out, "") << name;
        EXPECT_EQ(result.err.rfind("hst-tool: ", 0), 0u) << name << ": " << result.err;
    }
    EXPECT_EQ(read("old.hst"), hst_bytes("EURUSD", 60, hourly_bars(2, 1.1), 401));
}

TEST_F(HstToolTest, ImportMergesThroughTheImportRulesAndExportReadsItBack) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(6, 1.1)));
    // Hours 2 and 4 come again, in any order; the bar of hour 3 fails the checks, so
    // the stored hour 3 goes as well: the covered range is replaced exactly.
    write_text("bars.csv",
               "time,open,high,low,close,volume\r\n"
               "2026-12-07 04:00:00,1.30000,1.30200,1.29900,1.30100,4\r\n"
               "\r\n"
               "2026.12.07 03:00,1.3,1.2,1.29,1.3,4\r\n"
               "1796608800,1.20000,1.20200,1.19900,1.20100,7\r\n");
    ProcessResult result = tool({"import", path("bars.csv"), path("EURUSD60.hst")});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "EURUSD60: 2 of 3 bars imported, 5 bars in '" + path("EURUSD60.hst") + "'\n");

    std::vector<uint8_t> file = read("EURUSD60.hst");
    int32_t time_sign = 0;
    std::memcpy(&time_sign, file.data() + offsetof(market::HistoryFileHeader, time_sign), sizeof time_sign);
    EXPECT_EQ(time_sign, 77);
    ProcessResult exported = tool({"export", path("EURUSD60.hst")});
    EXPECT_EQ(exported.out,
              "time,open,high,low,close,volume\n"
              "2026-12-07 00:00:00,1.10000,1.10200,1.09900,1.10100,10\n"
              "2026-12-07 01:00:00,1.10000,1.10200,1.09900,1.10100,10\n"
              "2026-12-07 02:00:00,1.20000,1.20200,1.19900,1.20100,7\n"
              "2026-12-07 04:00:00,1.30000,1.30200,1.29900,1.30100,4\n"
              "2026-12-07 05:00:00,1.10000,1.10200,1.09900,1.10100,10\n");
}

TEST_F(HstToolTest, ExportedCsvImportsIntoANewHistoryByteForByte) {
    // Prices as they are stored: the doubles nearest to their five-digit texts.
    std::vector<BarRecord> bars;
    for (int i = 0; i < 3; ++i) bars.push_back(BarRecord{kMonday + i * kHour, 1.23456, 1.23356, 1.23656, 1.23556, 10});
    bars[2].volume = 0.1 + 1.2;   // not exact in decimal: the text must still read back the same
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    ProcessResult exported = tool({"export", path("EURUSD60.hst")});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    write_text("bars.csv", exported.out);
    ProcessResult result = tool({"import", path("bars.csv"), path("copy.hst"), "--symbol", "EURUSD", "--period", "60"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::vector<uint8_t> copy = read("copy.hst");
    ASSERT_EQ(copy.size(), read("EURUSD60.hst").size());
    std::vector<BarRecord> copied = bars_in(copy);
    for (size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(std::memcmp(&copied[i], &bars[i], sizeof(BarRecord)), 0) << i;
    }
}

TEST_F(HstToolTest, BadInputIsRefusedWithoutTouchingTheHistory) {
    const std::vector<uint8_t> stored = hst_bytes("EURUSD", 60, hourly_bars(2, 1.1));
    write("EURUSD60.hst", stored);
    write("other.hst", hst_bytes("EURUSD", 60, hourly_bars(2, 1.1), 401));
    struct Case {
        std::string csv;
        std::vector<std::string> extra;
        int exit_code;
        std::string message;
    };
    const Case cases[] = {
        {"2026-12-07 10:00:00,1.1,1.2,1.0\n", {}, 1, "line 1: expected 6 fields"},
        {"time,open,high,low,close,volume\n2026-02-30 10:00:00,1,1,1,1,1\n", {}, 1, "line 2: time is not a date"},
        {"2026-12-07 10:00:00,1.1,x,1.0,1.1,1\n", {}, 1, "line 1: not a number: 'x'"},
        {"2026-12-07 10:00:00,1.1,inf,1.0,1.1,1\n", {}, 1, "line 1: not a number: 'inf'"},
        {"1969-12-31 23:00:00,1,1,1,1,1\n", {}, 1, "line 1: time is not a date"},
        {"2038-01-19 03:14:08,1,1,1,1,1\n", {}, 1, "line 1: time is not a date"},
        {"2026-12-07 10:00:00 GMT,1,1,1,1,1\n", {}, 1, "line 1: time is not a date"},
        {"2026-12-07 10:00:00,1.1,1.2,1.0,1.1,1,9\n", {}, 1, "line 1: expected 6 fields"},
        {"2026-12-07 10:00:00,1.1,1.2,1.3,1.1,1\n", {}, 1, "none of the 1 bars passed the import checks"},
        {"", {}, 1, "holds no bars"},
        {"2026-12-07 10:00:00,1.1,1.2,1.0,1.1,1\n", {"--period", "30"}, 1, "holds EURUSD60, not the history"},
        {"2026-12-07 10:00:00,1.1,1.2,1.0,1.1,1\n", {"--period"}, 2, "option --period needs a value"},
        {"2026-12-07 10:00:00,1.1,1.2,1.0,1.1,1\n", {"--colour", "red"}, 2, "unknown option '--colour'"},
    };
    for (const Case& c : cases) {
        write_text("bars.csv", c.csv);
        std::vector<std::string> arguments = {"import", path("bars.csv"), path("EURUSD60.hst")};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        ProcessResult result = tool(arguments);
        EXPECT_EQ(result.exit_code, c.exit_code) << c.csv;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.csv << ": " << result.err;
        EXPECT_EQ(result.out, "") << c.csv;
        EXPECT_EQ(read("EURUSD60.hst"), stored) << c.csv;
    }

    write_text("bars.csv", "2026-12-07 10:00:00,1.1,1.2,1.0,1.1,1\n");
    const std::pair<std::vector<std::string>, int> refusals[] = {
        {{"import", path("bars.csv"), path("other.hst")}, 1},                                     // not a history
        {{"import", path("bars.csv"), path("new.hst")}, 2},                                       // no symbol or period
        {{"import", path("bars.csv"), path("new.hst"), "--symbol", "EURUSD", "--period", "0"}, 1},
        {{"import", path("bars.csv"), path("new.hst"), "--symbol", "TWELVECHARSX", "--period", "60"}, 1},
        {{"import", path("missing.csv"), path("EURUSD60.hst")}, 1},
        {{"export"}, 2},
        {{"convert", path("bars.csv")}, 2},
    };
    for (const auto& [arguments, exit_code] : refusals) {
        ProcessResult result = tool(arguments);
        EXPECT_EQ(result.exit_code, exit_code) << arguments.back();
        EXPECT_FALSE(result.err.empty()) << arguments.back();
    }
    EXPECT_FALSE(platform::file_exists(path("new.hst")));
    EXPECT_EQ(read("other.hst"), hst_bytes("EURUSD", 60, hourly_bars(2, 1.1), 401));
}

// Prices of any size the import takes are exported whole, so the line reads back the same.
TEST(BarCsv, LinesOfHugePricesAreWrittenWhole) {
    const market::BarRecord bar{1'704'103'200, 1.10052, 1.10049, 1.1e300, 1.10246, 260};
    const std::string line = bar_csv_line(bar, 8);
    const CsvBars read = parse_bar_csv(line);
    ASSERT_TRUE(read.error.empty()) << read.error;
    ASSERT_EQ(read.bars.size(), 1u);
    // Packed fields are copied out before the checks bind references to them.
    EXPECT_EQ(double{read.bars[0].high}, double{bar.high});
    EXPECT_EQ(double{read.bars[0].close}, double{bar.close});
    EXPECT_EQ(double{read.bars[0].volume}, 260);
}

}  // namespace
}  // namespace kb::tools
