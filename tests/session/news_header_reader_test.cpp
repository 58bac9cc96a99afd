#include <gtest/gtest.h>

#include <string>

#include "messaging/news_header_packet.h"
#include "session_fixture.h"
#include "tests/net/loopback.h"

namespace kb::session::test {
namespace {

Bytes text_field(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A header with the given subject length field and body part, the other fields fixed.
Bytes news_header(uint16_t subject_length, uint16_t keywords_length, const Bytes& body_part) {
    Bytes bytes = le32(42) + le32(1700000000) + Bytes(32, 't') + le16(subject_length);
    bytes = bytes + Bytes(subject_length > 0 ? subject_length - 1u : 0u, 's') + Bytes{1};
    bytes = bytes + le16(keywords_length) + Bytes(keywords_length, 'k');
    return bytes + le16(8) + text_field("lang=en;") + body_part;
}

// The LZO data of a compressed block, without its two sizes.
Bytes lzo_data(const std::string& plain) {
    const Bytes block = compressed(text_field(plain));
    return Bytes(block.begin() + 8, block.end());
}

class NewsHeaderReaderTest : public ::testing::Test {
protected:
    std::optional<messaging::ReceivedNews> read(Bytes bytes) {
        EXPECT_TRUE(streams_.server.send_packet(bytes.data(), bytes.size()));
        return messaging::read_news_header(streams_.client);
    }
    net::testing::LoopbackStreams streams_;
};

TEST_F(NewsHeaderReaderTest, ReadsTheFieldsAndAnInlineBody) {
    const std::string body = "Markets open higher. Markets open higher. Markets open higher.";
    const Bytes packed = lzo_data(body);
    std::optional<messaging::ReceivedNews> news =
        read(news_header(5, 3, le32(static_cast<uint32_t>(body.size())) + le32(static_cast<uint32_t>(packed.size())) + packed));
    ASSERT_TRUE(news);
    EXPECT_EQ(news->record.id, 42u);
    EXPECT_EQ(news->record.time, 1700000000);
    EXPECT_STREQ(news->record.subject, "ssss");
    EXPECT_STREQ(news->record.keywords, "kkk");
    EXPECT_STREQ(news->record.parameters, "lang=en;");
    EXPECT_EQ(news->record.priority, 1);
    EXPECT_EQ(news->record.time_text[31], '\0');
    EXPECT_EQ(news->record.body_length, static_cast<int32_t>(body.size()));
    EXPECT_EQ(news->body, body);
    EXPECT_TRUE(streams_.client.is_open());
}

TEST_F(NewsHeaderReaderTest, BodyLaterOrNone) {
    std::optional<messaging::ReceivedNews> later = read(news_header(2, 0, le32(100) + le32(0)));
    ASSERT_TRUE(later);
    EXPECT_EQ(later->record.body_length, messaging::kBodyNotReceived);
    std::optional<messaging::ReceivedNews> none = read(news_header(2, 0, le32(0)));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->record.body_length, 0);
    EXPECT_TRUE(none->body.empty());
}

TEST_F(NewsHeaderReaderTest, OutOfRangeFieldsCloseTheStream) {
    const Bytes packed = lzo_data("short body");
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"subject length 1", news_header(1, 0, le32(0))},
        {"subject length 256", news_header(256, 0, le32(0))},
        {"keywords length 64", news_header(2, 64, le32(0))},
        {"body length 32769", news_header(2, 0, le32(32769) + le32(0))},
        {"packed size 32769", news_header(2, 0, le32(10) + le32(32769))},
        {"body of another length", news_header(2, 0, le32(11) + le32(static_cast<uint32_t>(packed.size())) + packed)},
    };
    for (const auto& c : cases) {
        net::testing::LoopbackStreams streams;
        Bytes bytes = c.bytes;
        ASSERT_TRUE(streams.server.send_packet(bytes.data(), bytes.size()));
        EXPECT_FALSE(messaging::read_news_header(streams.client)) << c.what;
        EXPECT_FALSE(streams.client.is_open()) << c.what;
    }
}

}  // namespace
}  // namespace kb::session::test
