// The chart profile as the chart model loads it: any bytes give settings within their
// limits, and the profile the chart would save loads back to the same text.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "tests/chart/chart_test_support.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kb;
using fuzzing::check;

namespace {

bool within_limits(const chart::ChartSettings& s) {
    const int32_t flags[] = {s.foreground, s.volumes, s.grid,        s.days,   s.askline,
                             s.ohlc,       s.trade_levels, s.descriptions, s.scroll, s.shift};
    for (int32_t flag : flags)
        if (flag != 0 && flag != 1) return false;
    return s.period >= 1 && s.period <= 43200 && s.scale >= 1 && s.scale <= 32 && s.color_scheme >= 0 &&
           s.color_scheme <= 2 && s.graphmode >= 0 && s.graphmode <= 2 && s.leftpos >= 0 && s.symbol.size() <= 11;
}

// The text a chart saves after loading the file at path.
std::string loaded_text(chart::ChartMarket& market, const std::string& path) {
    core::DisplayMetrics metrics;
    metrics.dpi_x = metrics.dpi_y = 96;
    chart::Chart chart({path, market, metrics, nullptr, chart::ProfileWrites::No});
    chart.load_profile();
    check(within_limits(chart.settings()));
    return chart.profile_text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static const std::string path = platform::join_path(fuzzing::scratch_folder("chartprofile"), "chart.ini");
    chart::test::FakeMarket market;
    market.add_symbol("EURUSD");
    market.add_symbol("GBPUSD");
    check(platform::write_file_atomic(path, {data, size}));
    const std::string saved = loaded_text(market, path);
    check(platform::write_file_atomic(path, {reinterpret_cast<const uint8_t*>(saved.data()), saved.size()}));
    check(loaded_text(market, path) == saved);
    return 0;
}
