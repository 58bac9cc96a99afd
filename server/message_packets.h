#pragma once
#include <string>

#include "net/packet_stream.h"
#include "server/storage.h"

namespace kb::server {

// The pushed mail and the news body answer, appended to an output buffer (news headers are
// messaging/news_header_packet.h). Each returns false, with a partial packet that must not
// be sent, when compressing failed (no memory). Pure functions of their arguments, callable
// from any thread that owns out.

// 157: the id and the body as a compressed block (the empty block when there is none).
bool put_news_body(net::OutputBuffer& out, uint32_t id, const std::string& body);

// 153: one compressed block of the 224-byte mail header (sender name, time, subject) and
// the body. Bodies beyond what a client takes (65536 bytes with the header) are cut.
bool put_mail_message(net::OutputBuffer& out, const MailRow& mail);

}  // namespace kb::server
