#include "server/quote_packet.h"

#include <vector>

namespace kb::server {

void put_quote_packet(net::OutputBuffer& out, std::span<const Tick> ticks) {
    std::vector<market::TickRecord> records;
    records.reserve(ticks.size());
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it)
        records.push_back({static_cast<uint16_t>(it->instrument), static_cast<int32_t>(it->time),
                           static_cast<float>(it->bid), static_cast<float>(it->ask)});
    market::put_quotes(out, records);
}

}  // namespace kb::server
