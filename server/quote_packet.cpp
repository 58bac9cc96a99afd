#include "server/quote_packet.h"

#include "market/symbol_record.h"
#include "net/protocol.h"

namespace kb::server {

void put_quote_packet(net::OutputBuffer& out, std::span<const Tick> ticks) {
    if (ticks.empty() || ticks.size() > kMaxTicksPerQuotePacket) return;
    out.put_command(net::Command::Quotes);
    out.put_byte(static_cast<uint8_t>(ticks.size()));
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        const Tick& tick = *it;
        market::TickRecord record{static_cast<uint16_t>(tick.instrument), static_cast<int32_t>(tick.time),
                                  static_cast<float>(tick.bid), static_cast<float>(tick.ask)};
        out.put_bytes(&record, sizeof record);
    }
}

}  // namespace kb::server
