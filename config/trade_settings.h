#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/byte_order.h"

namespace kb::config {

#pragma pack(push, 1)
// The order dialogs' settings: config/trade.ini, plain. Fields other than the forced
// ones and the two limits belong to the dialogs and are kept as they are.
struct TradeSettings {
    int32_t version;             // 400
    int32_t forced_zero_4;       // 0 on every load and save
    int32_t value_8;             // default 100, never negative
    int32_t value_12;            // default 100, never negative
    int32_t forced_one_16;       // 1 on every load and save
    char text_20[12];            // NUL at 31
    char text_32[12];            // NUL at 43
    int32_t forced_zero_44;      // 0 on every load and save
    uint8_t dialog_fields[264];
};
#pragma pack(pop)

static_assert(sizeof(TradeSettings) == 312);
static_assert(offsetof(TradeSettings, forced_zero_4) == 4);
static_assert(offsetof(TradeSettings, value_8) == 8);
static_assert(offsetof(TradeSettings, value_12) == 12);
static_assert(offsetof(TradeSettings, forced_one_16) == 16);
static_assert(offsetof(TradeSettings, text_20) == 20);
static_assert(offsetof(TradeSettings, text_32) == 32);
static_assert(offsetof(TradeSettings, forced_zero_44) == 44);
static_assert(offsetof(TradeSettings, dialog_fields) == 48);

inline constexpr int32_t kTradeSettingsVersion = 400;

TradeSettings default_trade_settings();

// Reads the bytes of a trade.ini file: a short file or another version gives the
// defaults; negative values at 8 and 12 become 0; texts are terminated; the forced
// values are applied. Any input is accepted.
TradeSettings parse_trade_settings(std::span<const uint8_t> bytes);

// What a set keeps and a save writes: version 400, terminated texts, the forced values.
TradeSettings prepared_for_save(const TradeSettings& settings);

}  // namespace kb::config
