#pragma once
#include <cstdint>
#include <span>

#include "net/packet_stream.h"

namespace kb::server {

// Sends a reply code on its own. False when sending failed (the stream is closed then).
bool send_code(net::PacketStream& stream, net::ReturnCode code);

// Sends the reply code followed by a compressed block of plain (the 4-byte empty block when
// plain is empty). False when sending failed or the block can't be built (no memory); the
// stream is closed then, as the client would otherwise wait for a block that never comes.
bool send_block_reply(net::PacketStream& stream, net::ReturnCode code, std::span<const uint8_t> plain);

// The bytes of packed records, for blocks made of them.
template <class Record>
std::span<const uint8_t> record_bytes(std::span<const Record> records) {
    return {reinterpret_cast<const uint8_t*>(records.data()), records.size_bytes()};
}

}  // namespace kb::server
