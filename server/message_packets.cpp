#include "server/message_packets.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/fixed_text.h"
#include "messaging/mail_record.h"
#include "net/block_writer.h"

namespace kb::server {

namespace {

constexpr size_t kMaxNewsBody = 32767;
constexpr size_t kMaxMailBlock = 65536;

std::span<const uint8_t> text_bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

bool put_news_body(net::OutputBuffer& out, uint32_t id, const std::string& body) {
    out.put_command(net::Command::NewsBody);
    out.put_u32(id);
    return net::put_compressed_block(out, text_bytes(std::string_view(body).substr(0, std::min(body.size(), kMaxNewsBody))));
}

bool put_mail_message(net::OutputBuffer& out, const MailRow& mail) {
    messaging::MailRecord header{};
    header.id = static_cast<int32_t>(mail.id);
    core::set_field_text(header.name, mail.from);
    header.time = static_cast<int32_t>(mail.time);
    core::set_field_text(header.subject, mail.subject);
    const size_t body_size = std::min(mail.body.size(), kMaxMailBlock - sizeof header);
    header.body_length = static_cast<int32_t>(body_size);
    std::vector<uint8_t> block(sizeof header + body_size);
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, mail.body.data(), body_size);
    out.put_command(net::Command::MailMessage);
    return net::put_compressed_block(out, block);
}

}  // namespace kb::server
