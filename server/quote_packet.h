#pragma once
#include <cstddef>
#include <span>

#include "net/packet_stream.h"
#include "server/price_engine.h"

namespace kb::server {

// The count travels in one byte, so a packet carries 1 to 255 tick records.
inline constexpr size_t kMaxTicksPerQuotePacket = 255;

// Appends one quote packet (command 151, count, tick records: instrument index as the
// symbol index, time, bid and ask as floats) for 1..255 ticks; nothing for other counts.
// The ticks come oldest first and travel newest first: the terminal reads a packet from
// its last record to its first, so the newest price is the one it keeps.
void put_quote_packet(net::OutputBuffer& out, std::span<const Tick> ticks);

}  // namespace kb::server
