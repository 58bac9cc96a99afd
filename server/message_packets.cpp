#include "server/message_packets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/fixed_text.h"
#include "messaging/mail_record.h"
#include "messaging/news_record.h"
#include "net/block_writer.h"
#include "platform/clock.h"

namespace kb::server {

namespace {

constexpr size_t kMaxNewsSubject = 254;
constexpr size_t kMaxNewsKeywords = 63;
constexpr size_t kMaxNewsBody = 32767;
constexpr size_t kMaxMailBlock = 65536;
constexpr char kEmptySubject[] = "-";

// Whether a text's length field also counts a terminating NUL (which is not sent).
enum class Length { TextOnly, WithTerminator };

void put_text(net::OutputBuffer& out, std::string_view text, size_t limit, Length length) {
    const std::string_view cut = text.substr(0, std::min(text.size(), limit));
    out.put_u16(static_cast<uint16_t>(cut.size() + (length == Length::WithTerminator ? 1 : 0)));
    out.put_bytes(cut.data(), cut.size());
}

std::span<const uint8_t> text_bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

bool put_news_header(net::OutputBuffer& out, const NewsRow& news, NewsBody body) {
    out.put_command(net::Command::NewsHeader);
    out.put_u32(static_cast<uint32_t>(news.id));
    out.put_i32(static_cast<int32_t>(news.time));
    const platform::DateTime when = platform::utc_calendar(news.time);
    char time_text[sizeof messaging::NewsRecord::time_text]{};
    std::snprintf(time_text, sizeof time_text, "%04d.%02d.%02d %02d:%02d", when.year, when.month, when.day, when.hour,
                  when.minute);
    out.put_bytes(time_text, sizeof time_text);
    put_text(out, news.subject.empty() ? std::string_view(kEmptySubject) : news.subject, kMaxNewsSubject,
             Length::WithTerminator);
    out.put_byte(0);   // priority
    put_text(out, news.category, kMaxNewsKeywords, Length::TextOnly);
    put_text(out, {}, 0, Length::TextOnly);   // parameters
    const std::string_view text = std::string_view(news.body).substr(0, std::min(news.body.size(), kMaxNewsBody));
    if (text.empty() || body == NewsBody::Along) return net::put_compressed_block(out, text_bytes(text));
    out.put_i32(static_cast<int32_t>(text.size()));
    out.put_i32(0);   // the body comes later, on request
    return true;
}

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
