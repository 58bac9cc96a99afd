#include "session/news_header_reader.h"

#include <cstring>

#include "net/compressed_block.h"
#include "net/packet_stream.h"

namespace kb::session {

namespace {

constexpr uint16_t kMinSubjectLength = 2;
constexpr uint16_t kMaxSubjectLength = 255;
constexpr uint16_t kMaxKeywordsLength = 63;
constexpr uint16_t kMaxParametersLength = 255;
constexpr int32_t kMaxBodyLength = 32768;

// A length-prefixed text into a fixed field; the length must lie in [low, high].
template <size_t N>
bool read_text(net::PacketStream& stream, char (&field)[N], uint16_t low, uint16_t high, bool counts_terminator) {
    uint16_t length = 0;
    if (!stream.read_u16(length) || length < low || length > high) return false;
    const size_t bytes = counts_terminator ? length - 1u : length;
    if (bytes >= N) return false;
    return bytes == 0 || stream.read(field, bytes);
}

bool read_body(net::PacketStream& stream, ReceivedNews& news) {
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
        news.record.body_length = messaging::kBodyNotReceived;
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

std::optional<ReceivedNews> read_news_header(net::PacketStream& stream) {
    ReceivedNews news;
    messaging::NewsRecord& record = news.record;
    uint32_t id = 0;
    int32_t time = 0;
    const bool complete = stream.read_u32(id) && stream.read_i32(time) && stream.read(record.time_text, sizeof record.time_text) &&
                          read_text(stream, record.subject, kMinSubjectLength, kMaxSubjectLength, true) &&
                          stream.read(&record.priority, 1) &&
                          read_text(stream, record.keywords, 0, kMaxKeywordsLength, false) &&
                          read_text(stream, record.parameters, 0, kMaxParametersLength, false) && read_body(stream, news);
    if (!complete) {
        stream.close();
        return std::nullopt;
    }
    record.id = id;
    record.time = time;
    messaging::force_terminators(record);
    return news;
}

}  // namespace kb::session
