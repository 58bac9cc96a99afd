// CSV text as hst-tool imports it. A refused text imports no bar; every bar read is
// written back as a line that reads again as the same time and volume.
#include <cstdint>
#include <string_view>

#include "tests/fuzz/fuzz_support.h"
#include "tools/bar_csv.h"

using namespace kb;
using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const tools::CsvBars read = tools::parse_bar_csv(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.error.empty()) {
        check(read.bars.empty());
        return 0;
    }
    for (const market::BarRecord& bar : read.bars) {
        const tools::CsvBars again = tools::parse_bar_csv(tools::bar_csv_line(bar, 8));
        check(again.error.empty() && again.bars.size() == 1);
        check(again.bars[0].time == bar.time && again.bars[0].volume == bar.volume);
    }
    return 0;
}
