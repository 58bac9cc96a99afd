#pragma once
#include <memory>
#include <string_view>

#include "chart/framework/indicator.h"
#include "chart/framework/line_io.h"

namespace kb::core {
class Journal;
}

namespace kb::chart {

inline constexpr std::string_view kIndicatorBlockStart = "<indicator>";
inline constexpr std::string_view kIndicatorBlockEnd = "</indicator>";
inline constexpr std::string_view kPriceSeriesName = "main";
// The longest indicator name read from a block.
inline constexpr std::size_t kIndicatorNameBytes = 250;

// What read_indicator_block found.
enum class IndicatorBlockKind {
    Skipped,          // no "name=" first (journaled) or an unknown name: the block is skipped
    PriceSeries,      // "name=main": the caller reads the rest into its price series
    Created,          // a new indicator that has read the whole block
};

struct IndicatorBlock {
    IndicatorBlockKind kind = IndicatorBlockKind::Skipped;
    std::unique_ptr<CInd> indicator;   // set for Created only
};

// Reads one indicator block; called after the line "<indicator>". The first line must begin
// with "name="; otherwise the journal (when given) gets "CInd: indicator header not found"
// at error level and the block is skipped up to "</indicator>". "name=main" consumes only
// that line: the caller passes the rest to its price series' load_block(). Any other name
// is created by create_indicator() and reads the rest of the block; an unknown name skips
// the block silently. The name is cut to 250 bytes before it is compared.
IndicatorBlock read_indicator_block(LineSource& lines, core::Journal* journal);

}  // namespace kb::chart
