// Any bytes as a server's symbols.raw and symgroups.raw: the symbols base loads what is
// whole, never crashes, and what it saves again reads back the same.
//
// Input: bytes 0..1 give how many of the payload bytes (from byte 6 on) form
// symgroups.raw (at most 2600). symbols.raw starts as three sound symbols; bytes 2..3
// give its length (up to three records and one byte) and bytes 4..5 the offset at which
// the payload is laid over it (wrapping), so that short inputs reach every field of
// whole records.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "market_world.h"

namespace {

using namespace kb;

size_t word_at(const uint8_t* data) { return size_t{data[0]} | size_t{data[1]} << 8; }

std::vector<uint8_t> symbols_file(size_t length, size_t offset, std::span<const uint8_t> payload) {
    const std::vector<market::SymbolRecord> sound = fuzzing::world_symbols();
    std::vector<uint8_t> bytes(3 * sizeof(market::SymbolRecord));
    std::memcpy(bytes.data(), sound.data(), bytes.size());
    bytes.resize(length % (bytes.size() + 2));
    if (bytes.empty()) return bytes;
    for (size_t i = 0; i < payload.size(); ++i) bytes[(offset + i) % bytes.size()] = payload[i];
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const std::string& folder = fuzzing::market_folder("symfilefuzz");
    fuzzing::remove_server_files(folder);
    const std::span<const uint8_t> payload(data + 6, size - 6);
    const std::span<const uint8_t> groups = payload.first(std::min<size_t>(word_at(data) % 2601, payload.size()));
    const std::vector<uint8_t> symbols = symbols_file(word_at(data + 2), word_at(data + 4), payload);
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
