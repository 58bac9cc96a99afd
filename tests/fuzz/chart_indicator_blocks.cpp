// Any text as the indicator blocks of a chart profile: reading never fails, every created
// indicator calculates on a few bars, and what it writes reads back to the same block once
// the values the file format cannot hold (rounding, limits) have settled.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/framework/indicator_block.h"
#include "chart/framework/price_series.h"
#include "chart/framework/window_calculation.h"
#include "market/bar_record.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string saved(const kb::chart::CInd& indicator) {
    std::string text;
    kb::chart::StringLineSink sink(text);
    indicator.save_block(sink);
    return text;
}

// The block as read back from its own saved text, and saved again.
std::string resaved(const std::string& block) {
    std::string body = block.substr(block.find('\n') + 1);   // after "<indicator>"
    kb::chart::TextLineSource lines(body);
    kb::chart::IndicatorBlock read = kb::chart::read_indicator_block(lines, nullptr);
    kb::fuzzing::check(read.kind == kb::chart::IndicatorBlockKind::Created);
    return saved(*read.indicator);
}

std::vector<kb::market::BarRecord> bars() {
    std::vector<kb::market::BarRecord> bars(60);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const double price = 1.2 + 0.001 * static_cast<double>((i * 7) % 13);
        bars[i] = {static_cast<int32_t>(i * 3600), price, price - 0.002, price + 0.002, price + 0.0005,
                   static_cast<double>(i % 5)};
    }
    return bars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::chart;
    static const std::vector<kb::market::BarRecord> kBars = bars();
    const std::string text(reinterpret_cast<const char*>(data), size);
    TextLineSource lines(text);
    PriceSeries series;
    std::vector<std::unique_ptr<CInd>> created;
    std::vector<CInd*> window{&series};
    std::string line;
    while (lines.next_line(line)) {
        if (line != kIndicatorBlockStart) continue;
        IndicatorBlock block = read_indicator_block(lines, nullptr);
        if (block.kind == IndicatorBlockKind::PriceSeries) series.load_block(lines);
        if (block.kind != IndicatorBlockKind::Created) continue;
        const std::string once = resaved(saved(*block.indicator));
        kb::fuzzing::check(resaved(once) == once);
        window.push_back(block.indicator.get());
        created.push_back(std::move(block.indicator));
    }
    const BarsUpdate update{.symbol = "EURUSD", .period = 60, .bars = kBars, .bar_capacity = 60,
                            .history_version = 1, .symbol_digits = 5};
    calculate_window(window, update);
    for (CInd* indicator : window)
        for (int b = 0; b < indicator->buffer_count(); ++b)
            kb::fuzzing::check(indicator->buffer(b).empty() || indicator->buffer(b).size() == kBars.size());
    return 0;
}
