// trade.ini loader: any bytes give trade settings with the forced values in place.
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "config/trade_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::config;
    TradeSettings settings = parse_trade_settings(std::span(data, size));
    if (settings.version != kTradeSettingsVersion || settings.value_8 < 0 || settings.value_12 < 0 ||
        settings.forced_zero_4 != 0 || settings.forced_one_16 != 1 || settings.forced_zero_44 != 0 ||
        settings.text_20[11] != '\0' || settings.text_32[11] != '\0') {
        std::abort();
    }
    return 0;
}
