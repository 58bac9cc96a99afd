// Any bytes as symbol updates (command 154) or group settings (command 171), followed by
// a quote of every symbol: the symbols base and the histories that take the changed
// symbols (digits, quote hours) must never crash and must keep sound bars.
//
// Input: byte 0 bit 0 chooses the command; bytes 1..2 give the offset at which the rest
// is laid (wrapping) over a sound block, so that short inputs reach every field. For 154
// the block is two entries of type 2 for known symbols; for 171 it is one zeroed entry,
// whose transaction type and group name are set so that it applies when bit 1 of byte 0
// is set.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "market_world.h"

namespace {

using namespace kb;

// bytes with payload laid over them from offset on, wrapping.
void overlay(std::span<uint8_t> bytes, size_t offset, std::span<const uint8_t> payload) {
    for (size_t i = 0; i < payload.size(); ++i) bytes[(offset + i) % bytes.size()] = payload[i];
}

void apply_symbol_updates(fuzzing::MarketWorld& world, size_t offset, std::span<const uint8_t> payload) {
    const std::vector<market::SymbolRecord> symbols = fuzzing::world_symbols();
    market::SymbolUpdateRecord entries[2]{};
    for (size_t i = 0; i < std::size(entries); ++i) {
        entries[i].header.transaction_type = market::kUpdateTransaction;
        entries[i].symbol = symbols[i * 2];
    }
    overlay({reinterpret_cast<uint8_t*>(entries), sizeof entries}, offset, payload);
    world.base.update_symbols(entries);
}

void apply_group_settings(fuzzing::MarketWorld& world, bool addressed, size_t offset, std::span<const uint8_t> payload) {
    market::GroupUpdateRecord entry{};
    overlay({reinterpret_cast<uint8_t*>(&entry), sizeof entry}, offset, payload);
    if (addressed) {
        entry.header.transaction_type = market::kUpdateTransaction;
        core::set_field_text(entry.group.name, "demo");
    }
    world.base.apply_group_updates({&entry, 1}, "demo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const std::string& folder = fuzzing::market_folder("updatefuzz");
    fuzzing::remove_server_files(folder);
    fuzzing::MarketWorld world(folder);
    const uint8_t mode = data[0];
    const size_t offset = size_t{data[1]} | size_t{data[2]} << 8;
    const std::span<const uint8_t> payload(data + 3, size - 3);
    if (mode & 1) apply_group_settings(world, (mode & 2) != 0, offset, payload);
    else apply_symbol_updates(world, offset, payload);

    // Every selected symbol quoted twice, a minute apart, and a high/low update.
    for (int32_t minute = 0; minute < 2; ++minute) {
        std::vector<market::TickRecord> ticks;
        for (uint16_t index = 1; index <= 4; ++index) {
            market::TickRecord tick{};
            tick.symbol_index = index;
            tick.time = 1796601600 + 12 * 3600 + minute * 60;
            tick.bid = 1.25f + static_cast<float>(minute) * 0.01f;
            tick.ask = tick.bid + 0.0003f;
            ticks.push_back(tick);
            market::TickRecord high_low{};
            high_low.symbol_index = index;
            high_low.set_high_low_points(130000, 120000);
            ticks.push_back(high_low);
        }
        world.base.add_quotes(ticks);
    }
    fuzzing::check_world(world);
    return 0;
}
