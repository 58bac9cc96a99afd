// Any bytes as a history file: loading never crashes, what survives the repair is in time
// order with sound prices, and saving it reads back the same bars.
#include <cstdint>
#include <cstdlib>
#include <string>

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
        history->import_bars(bars, 1);
        history->load();
        if (history->bars().size() != bars.size()) std::abort();
    }
    return 0;
}
