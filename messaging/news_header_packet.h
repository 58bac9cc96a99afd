#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "messaging/news_record.h"

namespace kb::net {
class OutputBuffer;
class PacketReader;
}  // namespace kb::net

namespace kb::messaging {

// A news header on the wire (command 152): the servers push it, the terminal reads it.
//
//   id (uint32), time (int32), 32 bytes of time text, subject (uint16 length 2..255 counting
//   a terminator, then length - 1 bytes), priority byte, keywords (uint16 length 0..63 and
//   the bytes), parameters (uint16 length 0..255 and the bytes), body length (int32); a
//   body length of 1..32768 is followed by a compressed size (int32): below 1 the body comes
//   later (command 157), else that many bytes of LZO1X data, the rest of a compressed block
//   (ending with 17, 0, 0) that decodes to exactly body length bytes.
//
// The encoder is pure and appends to the caller's buffer; the decoder reads what follows the
// command byte from the caller's connection. Callable from the thread that owns either.

// A news item as a server sends it.
struct OutgoingNews {
    uint32_t id = 0;
    int64_t time = 0;                // server time; the time text is written from it
    std::string_view subject;        // cut to 254 bytes; an empty one travels as "-"
    std::string_view keywords;       // cut to 63 bytes
    std::string_view body;           // cut to 32767 bytes, as no client takes more
};

enum class NewsBody { Along, OnRequest };

// Appends the header with the time text "YYYY.MM.DD HH:MM", priority 0 and no parameters,
// then the body: compressed along with the header, or only its length so the client asks
// for it. False, with a partial packet that must not be sent, when compressing failed (no
// memory).
bool put_news_header(net::OutputBuffer& out, const OutgoingNews& news, NewsBody body);

// A news header as received, with the body when it travels along.
struct ReceivedNews {
    NewsRecord record{};
    std::string body;   // empty when the item has none or it comes later
};

// Reads the fields after the command byte. Any value outside its range or a failed read
// closes the reader and gives nothing.
std::optional<ReceivedNews> read_news_header(net::PacketReader& in);

}  // namespace kb::messaging
