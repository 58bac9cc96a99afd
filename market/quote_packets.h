#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "market/symbol_record.h"

namespace kb::net {
class OutputBuffer;
class PacketReader;
}  // namespace kb::net

namespace kb::market {

// Quotes on the wire: the terminal's subscription (command 150) and the servers' quotes
// (command 151). The encoders are pure and append to the caller's buffer; the decoders read
// what follows the command byte from the caller's connection. Callable from the thread that
// owns the buffer or reader.

// ---- subscription: command 150, count (uint16), that many symbol indexes (uint16) ----

// Appends the packet; an empty list is a subscription to nothing.
void put_subscription(net::OutputBuffer& out, std::span<const uint16_t> symbol_indexes);
// Reads the count and the indexes; nothing when a read fails (reader closed).
std::optional<std::vector<uint16_t>> read_subscription(net::PacketReader& in);

// ---- quotes: command 151, count (uint8, 1..255), that many 14-byte TickRecord ----

// The count travels in one byte, so a packet carries 1 to 255 tick records.
inline constexpr size_t kMaxTicksPerQuotePacket = 255;

// Appends the packet with the records in the order given; nothing for other counts. A
// terminal applies them from the last to the first, so a symbol's first record in the
// packet is the price it keeps.
void put_quotes(net::OutputBuffer& out, std::span<const TickRecord> ticks);
// Reads the count and the records; nothing for a count of 0 or when a read fails.
std::optional<std::vector<TickRecord>> read_quotes(net::PacketReader& in);

}  // namespace kb::market
