#include "server/chart_bars.h"

#include <cstring>
#include <limits>

#include "market/bar_record.h"
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

market::BarSource bar_source(ServerRole role) {
    return role == ServerRole::History ? market::BarSource::HistoryServer : market::BarSource::TradeServer;
}

std::vector<uint8_t> encode_bars(std::span<const PointBar> bars, market::BarForm form, int32_t& count) {
    std::vector<uint8_t> out;
    out.reserve(bars.size() * (form == market::BarForm::Wide28 ? sizeof(market::WireBar28) : sizeof(market::WireBar22)));
    count = 0;
    for (const PointBar& bar : bars) {
        const int32_t high = bar.high - bar.open;
        const int32_t low = bar.low - bar.open;
        const int32_t close = bar.close - bar.open;
        if (form == market::BarForm::Wide28) {
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
