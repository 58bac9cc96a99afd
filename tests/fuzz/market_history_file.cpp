// Any bytes as a history file: loading never crashes, what survives the repair is in time
// order, and importing it again saves and reads back the bars an import accepts (and the
// refused ones older than those).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "market/bar_repair.h"
#include "market/history_base.h"
#include "core/fixed_text.h"
#include "platform/files.h"
#include "platform/random_access_file.h"

namespace {

const std::string& folder() {
    static const std::string path = [] {
        std::string file = kb::platform::make_temporary_file("hstfuzz");
        kb::platform::remove_file(file);
        kb::platform::make_directory(file);
        kb::platform::make_directory(file + "/history");
        kb::platform::make_directory(file + "/history/Demo");
        return file;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = folder() + "/history/Demo/EURUSD60.hst";
    if (!kb::platform::write_file_atomic(path, {data, size})) return 0;
    kb::market::SymbolRecord symbol{};
    kb::core::set_field_text(symbol.name, "EURUSD");
    symbol.digits = 5;
    auto history = kb::market::HistoryBase::create(symbol, 60, true, {folder(), "Demo", 512, 256}, nullptr);
    if (!history) std::abort();
    const auto bars = history->bars();
    for (size_t i = 1; i < bars.size(); ++i)
        if (bars[i].time <= bars[i - 1].time) std::abort();
    if (!bars.empty()) {
        // Imported again, the bars replace themselves with those that pass the download
        // checks (a load keeps a bar of volume 0, an import refuses it); when none passes,
        // nothing changes. The save keeps the file's bars older than the first one left in
        // memory, so refused bars before it come back with the next load.
        const auto accepted = std::find_if(bars.begin(), bars.end(), kb::market::is_acceptable_download);
        const auto acceptable =
            static_cast<size_t>(std::count_if(accepted, bars.end(), kb::market::is_acceptable_download));
        const auto older = static_cast<size_t>(accepted - bars.begin());
        history->import_bars(bars, 1);
        history->load();
        if (history->bars().size() != (acceptable > 0 ? older + acceptable : bars.size())) std::abort();
    }
    return 0;
}
