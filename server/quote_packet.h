#pragma once
#include <cstddef>
#include <span>

#include "market/quote_packets.h"
#include "net/output_buffer.h"
#include "server/price_engine.h"

namespace kb::server {

using market::kMaxTicksPerQuotePacket;

// Appends one quote packet (market/quote_packets.h: instrument index as the symbol index,
// time, bid and ask as floats) for 1..255 ticks; nothing for other counts.
// The ticks come oldest first and travel newest first: the terminal reads a packet from
// its last record to its first, so the newest price is the one it keeps.
void put_quote_packet(net::OutputBuffer& out, std::span<const Tick> ticks);

}  // namespace kb::server
