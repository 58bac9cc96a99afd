#include "server/chart_bars.h"

#include <cstring>
#include <limits>

#include "market/bar_record.h"
#include "market/history_sync_request.h"
#include "server/client_session.h"

namespace kb::server {

namespace {

bool fits_16_bits(int32_t value) {
    return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

template <class Wire>
void append(std::vector<uint8_t>& out, const Wire& wire) {
    const size_t at = out.size();
    out.resize(at + sizeof wire);
    std::memcpy(out.data() + at, &wire, sizeof wire);
}

}  // namespace

BarForm bar_form(ServerRole role, int reported_build) {
    const int wide_from =
        role == ServerRole::History ? market::kHistoryServerWideBarsBuild : market::kTradeServerWideBarsBuild;
    return reported_build >= wide_from ? BarForm::Wide28 : BarForm::Narrow22;
}

BarForm chart_push_form(ServerRole role, const ServerConfig& config) {
    if (role == ServerRole::Trade) return bar_form(role, config.reported_build());
    return config.account_data_version() > market::kHistoryServerLastNarrowPushVersion ? BarForm::Wide28
                                                                                        : BarForm::Narrow22;
}

std::vector<uint8_t> encode_bars(std::span<const PointBar> bars, BarForm form, int32_t& count) {
    std::vector<uint8_t> out;
    out.reserve(bars.size() * (form == BarForm::Wide28 ? sizeof(market::WireBar28) : sizeof(market::WireBar22)));
    count = 0;
    for (const PointBar& bar : bars) {
        const int32_t high = bar.high - bar.open;
        const int32_t low = bar.low - bar.open;
        const int32_t close = bar.close - bar.open;
        if (form == BarForm::Wide28) {
            append(out, market::WireBar28{bar.time, bar.open, high, low, close, static_cast<double>(bar.volume)});
        } else if (fits_16_bits(high) && fits_16_bits(low) && fits_16_bits(close)) {
            append(out, market::WireBar22{bar.time, bar.open, static_cast<int16_t>(high), static_cast<int16_t>(low),
                                          static_cast<int16_t>(close), static_cast<double>(bar.volume)});
        } else {
            continue;
        }
        ++count;
    }
    return out;
}

}  // namespace kb::server
