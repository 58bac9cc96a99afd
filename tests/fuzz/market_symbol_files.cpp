// Any bytes as a server's symbols.raw and symgroups.raw: the symbols base loads what is
// whole, never crashes, and what it saves again reads back the same.
//
// Input: bytes 0..1 give how many of the remaining bytes go to symgroups.raw (at most
// 2600); the rest is symbols.raw.
#include <algorithm>
#include <cstdint>
#include <string>

#include "market_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb;
    if (size < 2) return 0;
    const std::string& folder = fuzzing::scratch_folder("symfilefuzz");
    fuzzing::remove_server_files(folder);
    const size_t group_bytes = std::min<size_t>((size_t{data[0]} | size_t{data[1]} << 8) % 2601, size - 2);
    const std::span<const uint8_t> groups(data + 2, group_bytes);
    const std::span<const uint8_t> symbols(data + 2 + group_bytes, size - 2 - group_bytes);
    const std::string server = folder + "/history/Demo/";
    fuzzing::check(platform::write_file_atomic(server + "symgroups.raw", groups));
    fuzzing::check(platform::write_file_atomic(server + "symbols.raw", symbols));

    size_t count = 0;
    net::Md5Digest digest;
    {
        market::SymbolsBase base(folder, "Demo", nullptr, nullptr);
        count = base.symbol_count();
        fuzzing::check(count == symbols.size() / sizeof(market::SymbolRecord));
        fuzzing::check(base.selected_count() <= 10);
        for (size_t i = 0; i < count; ++i) {
            std::optional<market::SymbolRecord> symbol = base.symbol_at(i);
            fuzzing::check(symbol.has_value());
            base.select(core::field_text(symbol->name), market::Shown::Yes, market::Save::No);
        }
        market::TickRecord ticks[2]{};
        for (size_t i = 0; i < std::min<size_t>(count, 2); ++i) {
            ticks[i].symbol_index = static_cast<uint16_t>(base.symbol_at(i)->symbol_index);
            ticks[i].time = 1796601600;
            ticks[i].bid = 1.5f;
            ticks[i].ask = 1.6f;
        }
        base.add_quotes(ticks);
        base.set_groups({});   // the symbols are written again with the cleared table
        digest = base.symbols_digest();
    }
    market::SymbolsBase again(folder, "Demo", nullptr, nullptr);
    fuzzing::check(again.symbol_count() == count);
    fuzzing::check(again.symbols_digest() == digest);
    for (int g = 0; g < market::kSymbolGroupCount; ++g) fuzzing::check(again.group_at(g).name[0] == '\0');
    return 0;
}
