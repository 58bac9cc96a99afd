#include "market/quote_packets.h"

#include "net/output_buffer.h"
#include "net/packet_reader.h"

namespace kb::market {

void put_subscription(net::OutputBuffer& out, std::span<const uint16_t> symbol_indexes) {
    out.put_command(net::Command::Subscription);
    out.put_u16(static_cast<uint16_t>(symbol_indexes.size()));
    for (uint16_t index : symbol_indexes) out.put_u16(index);
}

std::optional<std::vector<uint16_t>> read_subscription(net::PacketReader& in) {
    uint16_t count = 0;
    if (!in.read_u16(count)) return std::nullopt;
    std::vector<uint16_t> indexes(count);
    if (count && !in.read(indexes.data(), indexes.size() * sizeof(uint16_t))) return std::nullopt;
    return indexes;
}

void put_quotes(net::OutputBuffer& out, std::span<const TickRecord> ticks) {
    if (ticks.empty() || ticks.size() > kMaxTicksPerQuotePacket) return;
    out.put_command(net::Command::Quotes);
    out.put_byte(static_cast<uint8_t>(ticks.size()));
    out.put_bytes(ticks.data(), ticks.size_bytes());
}

std::optional<std::vector<TickRecord>> read_quotes(net::PacketReader& in) {
    uint8_t count = 0;
    if (!in.read(&count, 1) || count == 0) return std::nullopt;
    std::vector<TickRecord> ticks(count);
    if (!in.read(ticks.data(), ticks.size() * sizeof(TickRecord))) return std::nullopt;
    return ticks;
}

}  // namespace kb::market
