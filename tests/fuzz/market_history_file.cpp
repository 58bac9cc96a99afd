// Any bytes as a history file: loading never crashes, what survives the repair is in time
// order, and importing it again saves and reads back the bars an import accepts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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
    auto history = kb::market::HistoryBase::create(symbol, 60, kb::market::Offline::Yes, {folder(), "Demo", 512, 256}, nullptr);
    if (!history) std::abort();
    const auto bars = history->bars();
    for (size_t i = 1; i < bars.size(); ++i)
        if (bars[i].time <= bars[i - 1].time) std::abort();
    if (!bars.empty()) {
        // Imported again, the bars replace themselves with those that pass the download
        // checks (a load keeps a bar of volume 0, an import refuses it); when none passes,
        // nothing changes. A refused bar older than the first accepted one may stay in the
        // file (the save keeps the file's bars older than those in memory), so the next
        // load holds exactly the accepted bars from the first of them on.
        std::vector<int32_t> accepted;
        for (const auto& bar : bars)
            if (kb::market::is_acceptable_download(bar)) accepted.push_back(bar.time);
        history->import_bars(bars, 1);
        history->load();
        const auto again = history->bars();
        if (accepted.empty()) {
            if (again.size() != bars.size()) std::abort();
        } else {
            std::vector<int32_t> newer;
            for (const auto& bar : again)
                if (bar.time >= accepted.front()) newer.push_back(bar.time);
            if (newer != accepted) std::abort();
        }
    }
    return 0;
}
