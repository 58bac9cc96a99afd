// Any bytes as symbol updates (command 154) or group settings (command 171), followed by
// a quote of every symbol: the symbols base and the histories that take the changed
// symbols (digits, quote hours) must never crash and must keep sound bars.
//
// Input: byte 0 bit 0 chooses the command. For 154 the rest is the decompressed block of
// 1952-byte entries. For 171, bytes 1..2 give the offset in the 13712-byte entry at
// which the rest is laid (wrapping), so short inputs reach every field; the header's
// transaction type and the group name are set so that the entry applies when bit 1 of
// byte 0 is set.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "market_world.h"

namespace {

using namespace kb;

void apply_symbol_updates(fuzzing::MarketWorld& world, const uint8_t* data, size_t size) {
    std::vector<market::SymbolUpdateRecord> entries(size / sizeof(market::SymbolUpdateRecord));
    if (!entries.empty()) std::memcpy(entries.data(), data, entries.size() * sizeof(market::SymbolUpdateRecord));
    world.base.update_symbols(entries);
}

void apply_group_settings(fuzzing::MarketWorld& world, bool addressed, const uint8_t* data, size_t size) {
    if (size < 2) return;
    std::vector<uint8_t> bytes(sizeof(market::GroupUpdateRecord));
    const size_t offset = (size_t{data[0]} | size_t{data[1]} << 8) % bytes.size();
    for (size_t i = 2; i < size; ++i) bytes[(offset + i - 2) % bytes.size()] = data[i];
    market::GroupUpdateRecord entry;
    std::memcpy(&entry, bytes.data(), sizeof entry);
    if (addressed) {
        entry.header.transaction_type = market::kUpdateTransaction;
        core::set_field_text(entry.group.name, "demo");
    }
    world.base.apply_group_updates({&entry, 1}, "demo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string& folder = fuzzing::scratch_folder("updatefuzz");
    fuzzing::remove_server_files(folder);
    fuzzing::MarketWorld world(folder);
    const uint8_t mode = data[0];
    if (mode & 1) apply_group_settings(world, (mode & 2) != 0, data + 1, size - 1);
    else apply_symbol_updates(world, data + 1, size - 1);

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
