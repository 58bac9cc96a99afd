#include "chart/framework/indicator_block.h"

#include "chart/catalogue/indicator_factory.h"
#include "core/journal.h"
#include "core/utf8_cut.h"

namespace kb::chart {

IndicatorBlock read_indicator_block(LineSource& lines, core::Journal* journal) {
    static constexpr std::string_view kNameKey = "name=";
    std::string line;
    if (!lines.next_line(line)) return {};
    if (line.rfind(kNameKey, 0) != 0) {
        if (journal) journal->write(core::Level::Error, "CInd: indicator header not found");
        if (line != kIndicatorBlockEnd) skip_block(lines, kIndicatorBlockEnd);
        return {};
    }
    const std::string_view name = core::cut_utf8(std::string_view(line).substr(kNameKey.size()), kIndicatorNameBytes);
    if (name == kPriceSeriesName) return {IndicatorBlockKind::PriceSeries, nullptr};

    std::unique_ptr<CInd> indicator = create_indicator(name);
    if (!indicator) {
        skip_block(lines, kIndicatorBlockEnd);
        return {};
    }
    indicator->load_block(lines, journal);
    const WindowKind kind = indicator->window_kind();
    if (kind != WindowKind::Main && kind != WindowKind::Own) return {};
    return {IndicatorBlockKind::Created, std::move(indicator)};
}

}  // namespace kb::chart
