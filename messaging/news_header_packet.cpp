#include "messaging/news_header_packet.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "net/block_writer.h"
#include "net/compressed_block.h"
#include "net/output_buffer.h"
#include "net/packet_reader.h"
#include "platform/clock.h"

namespace kb::messaging {

namespace {

constexpr uint16_t kMinSubjectLength = 2;
constexpr uint16_t kMaxSubjectLength = 255;
constexpr uint16_t kMaxKeywordsLength = 63;
constexpr uint16_t kMaxParametersLength = 255;
constexpr int32_t kMaxBodyLength = 32768;

constexpr size_t kMaxSentSubject = 254;
constexpr size_t kMaxSentKeywords = 63;
constexpr size_t kMaxSentBody = 32767;
constexpr char kEmptySubject[] = "-";

enum class Terminator { Counted, NotCounted };

void put_text(net::OutputBuffer& out, std::string_view text, size_t limit, Terminator terminator) {
    const std::string_view cut = text.substr(0, std::min(text.size(), limit));
    out.put_u16(static_cast<uint16_t>(cut.size() + (terminator == Terminator::Counted ? 1 : 0)));
    out.put_bytes(cut.data(), cut.size());
}

// A length-prefixed text into a fixed field; the length must lie in [low, high].
template <size_t N>
bool read_text(net::PacketReader& stream, char (&field)[N], uint16_t low, uint16_t high, Terminator terminator) {
    uint16_t length = 0;
    if (!stream.read_u16(length) || length < low || length > high) return false;
    const size_t bytes = terminator == Terminator::Counted ? length - 1u : length;
    if (bytes >= N) return false;
    return bytes == 0 || stream.read(field, bytes);
}

bool read_body(net::PacketReader& stream, ReceivedNews& news) {
    int32_t length = 0;
    if (!stream.read_i32(length)) return false;
    if (length < 1) {
        news.record.body_length = 0;
        return true;
    }
    if (length > kMaxBodyLength) return false;
    int32_t packed_size = 0;
    if (!stream.read_i32(packed_size)) return false;
    if (packed_size < 1) {
        news.record.body_length = kBodyNotReceived;
        return true;
    }
    if (packed_size > kMaxBodyLength) return false;
    net::CompressedBlock block = net::read_compressed_data(stream, length, packed_size);
    if (!block.ok()) return false;
    news.body.assign(reinterpret_cast<const char*>(block.bytes.get()), block.size);
    news.record.body_length = length;
    return true;
}

}  // namespace

bool put_news_header(net::OutputBuffer& out, const OutgoingNews& news, NewsBody body) {
    out.put_command(net::Command::NewsHeader);
    out.put_u32(news.id);
    out.put_i32(static_cast<int32_t>(news.time));
    const platform::DateTime when = platform::utc_calendar(news.time);
    char time_text[sizeof NewsRecord::time_text]{};
    std::snprintf(time_text, sizeof time_text, "%04d.%02d.%02d %02d:%02d", when.year, when.month, when.day, when.hour,
                  when.minute);
    out.put_bytes(time_text, sizeof time_text);
    put_text(out, news.subject.empty() ? std::string_view(kEmptySubject) : news.subject, kMaxSentSubject,
             Terminator::Counted);
    out.put_byte(0);   // priority
    put_text(out, news.keywords, kMaxSentKeywords, Terminator::NotCounted);
    put_text(out, {}, 0, Terminator::NotCounted);   // parameters
    const std::string_view text = news.body.substr(0, std::min(news.body.size(), kMaxSentBody));
    if (text.empty() || body == NewsBody::Along)
        return net::put_compressed_block(out, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    out.put_i32(static_cast<int32_t>(text.size()));
    out.put_i32(0);   // the body comes later, on request
    return true;
}

std::optional<ReceivedNews> read_news_header(net::PacketReader& stream) {
    ReceivedNews news;
    NewsRecord& record = news.record;
    uint32_t id = 0;
    int32_t time = 0;
    const bool complete =
        stream.read_u32(id) && stream.read_i32(time) && stream.read(record.time_text, sizeof record.time_text) &&
        read_text(stream, record.subject, kMinSubjectLength, kMaxSubjectLength, Terminator::Counted) &&
        stream.read(&record.priority, 1) && read_text(stream, record.keywords, 0, kMaxKeywordsLength, Terminator::NotCounted) &&
        read_text(stream, record.parameters, 0, kMaxParametersLength, Terminator::NotCounted) && read_body(stream, news);
    if (!complete) {
        stream.close();
        return std::nullopt;
    }
    record.id = id;
    record.time = time;
    force_terminators(record);
    return news;
}

}  // namespace kb::messaging
