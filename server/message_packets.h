#pragma once
#include <string>

#include "net/packet_stream.h"
#include "server/storage.h"

namespace kb::server {

// The pushed messages and the news body answer, appended to an output buffer. Each returns
// false, with a partial packet that must not be sent, when compressing failed (no memory).
// Pure functions of their arguments, callable from any thread that owns out.

enum class NewsBody { Along, OnRequest };

// 152: id, time, 32-byte time text, subject (cut to 254 bytes; an empty one travels as
// "-"), priority 0, the category as keywords (cut to 63), no parameters, then the body:
// compressed along with the header, or only its length so the client asks for it (157).
// Bodies beyond 32767 bytes are cut, as no client takes more.
bool put_news_header(net::OutputBuffer& out, const NewsRow& news, NewsBody body);

// 157: the id and the body as a compressed block (the empty block when there is none).
bool put_news_body(net::OutputBuffer& out, uint32_t id, const std::string& body);

// 153: one compressed block of the 224-byte mail header (sender name, time, subject) and
// the body. Bodies beyond what a client takes (65536 bytes with the header) are cut.
bool put_mail_message(net::OutputBuffer& out, const MailRow& mail);

}  // namespace kb::server
