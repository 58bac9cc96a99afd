#include "server/quote_packet.h"

#include "net/protocol.h"

namespace kb::server {

void put_quote_packet(net::OutputBuffer& out, std::span<const Tick> ticks) {
    if (ticks.empty() || ticks.size() > kMaxTicksPerQuotePacket) return;
    out.put_command(net::Command::Quotes);
    out.put_byte(static_cast<uint8_t>(ticks.size()));
    for (const Tick& tick : ticks) {
        out.put_u16(static_cast<uint16_t>(tick.instrument));
        out.put_i32(static_cast<int32_t>(tick.time));
        float bid = static_cast<float>(tick.bid);
        float ask = static_cast<float>(tick.ask);
        out.put_bytes(&bid, sizeof bid);
        out.put_bytes(&ask, sizeof ask);
    }
}

}  // namespace kb::server
