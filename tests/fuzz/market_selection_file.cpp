// Any bytes as a Market Watch selection file: parsing never reads past the bytes, every
// entry's name is terminated, and a symbols base loading the file stays consistent.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "market/symbol_files.h"
#include "market/symbols_base.h"
#include "core/fixed_text.h"
#include "platform/files.h"
#include "platform/random_access_file.h"

namespace {

const std::string& folder() {
    static const std::string path = [] {
        std::string file = kb::platform::make_temporary_file("selfuzz");
        kb::platform::remove_file(file);
        kb::platform::make_directory(file);
        kb::platform::make_directory(file + "/history");
        kb::platform::make_directory(file + "/history/Demo");
        kb::market::SymbolRecord symbols[2]{};
        kb::core::set_field_text(symbols[0].name, "EURUSD");
        symbols[0].symbol_index = 1;
        kb::core::set_field_text(symbols[1].name, "AAAA");
        symbols[1].symbol_index = 2;
        symbols[1].sort_key = 9000;
        kb::platform::write_file_atomic(file + "/history/Demo/symbols.raw",
                                        {reinterpret_cast<const uint8_t*>(symbols), sizeof symbols});
        return file;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kb::market::SelectionFileContent content = kb::market::parse_selection_file({data, size});
    for (const auto& entry : content.entries)
        if (entry.name[sizeof entry.name - 1] != '\0') std::abort();

    const std::string path = folder() + "/history/Demo/symbols.sel";
    if (!kb::platform::write_file_atomic(path, {data, size})) return 0;
    kb::market::SymbolsBase base(folder(), "Demo", nullptr, nullptr);
    if (base.selected_count() > 2 && content.form == kb::market::SelectionForm::Unknown) std::abort();
    for (size_t i = 0; i < base.selected_count(); ++i) {
        auto entry = base.selected_at(i);
        if (!entry || !base.symbol_by_name(kb::core::field_text(entry->name))) std::abort();
    }
    kb::market::TickRecord ticks[1]{};
    ticks[0].symbol_index = 1;
    ticks[0].time = 100;
    base.add_quotes(ticks);
    return 0;
}
