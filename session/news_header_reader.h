#pragma once
#include <optional>
#include <string>

#include "messaging/news_record.h"

namespace kb::net {
class PacketStream;
}

namespace kb::session {

// A news header as the servers push it (command 152), with the body when it travels along.
struct ReceivedNews {
    messaging::NewsRecord record{};
    std::string body;   // empty when the item has none or it comes later
};

// Reads the fields of a news header after its command byte: id, time, 32 bytes of time
// text, subject (uint16 length 2..255 counting a terminator, then length - 1 bytes),
// priority byte, keywords (uint16 length 0..63 and the bytes), parameters (uint16 length
// 0..255 and the bytes), body length (int32). A body length of 1..32768 is followed by a
// compressed size (int32): below 1 the body comes later (body length -1), else 1..32768
// bytes of LZO1X data, read as the rest of a compressed block (ending with 17, 0, 0),
// that must decode to exactly body length bytes. Any other value or a failed read closes
// the stream and gives nothing. Called from the stream's thread.
std::optional<ReceivedNews> read_news_header(net::PacketStream& stream);

}  // namespace kb::session
