#include "messaging/news_header_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "net/output_buffer.h"
#include "tests/support/byte_reader.h"
#include "tests/support/wire_bytes.h"

namespace kb::messaging {
namespace {

using kb::testing::Bytes;
using kb::testing::operator+;
using kb::testing::written;
using kb::testing::ByteReader;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Id 0x01020304 at 1700000000 (2023-11-14 22:13:20 UTC).
const Bytes kIdAndTime = {152, 0x04, 0x03, 0x02, 0x01, 0x00, 0xF1, 0x53, 0x65};
const Bytes kTimeText = text("2023.11.14 22:13") + Bytes(16, 0);

TEST(NewsHeaderPacket, HeaderWithABodyToAskForTravelsFieldByField) {
    net::OutputBuffer out;
    ASSERT_TRUE(put_news_header(out, {0x01020304, 1700000000, "Hi", "fx", "Body"}, NewsBody::OnRequest));
    const Bytes expected = kIdAndTime + kTimeText + Bytes{3, 0} + text("Hi") + Bytes{0} + Bytes{2, 0} + text("fx") +
                           Bytes{0, 0} + Bytes{4, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(written(out), expected);

    ByteReader in(Bytes(expected.begin() + 1, expected.end()));
    std::optional<ReceivedNews> news = read_news_header(in);
    ASSERT_TRUE(news.has_value());
    EXPECT_EQ(news->record.id, 0x01020304u);
    EXPECT_EQ(core::field_text(news->record.time_text), "2023.11.14 22:13");
    EXPECT_EQ(core::field_text(news->record.subject), "Hi");
    EXPECT_EQ(core::field_text(news->record.keywords), "fx");
    EXPECT_EQ(news->record.body_length, kBodyNotReceived);
    EXPECT_TRUE(news->body.empty());
}

TEST(NewsHeaderPacket, EmptySubjectAndBodyTravelAsDashAndEmptyBlock) {
    net::OutputBuffer out;
    ASSERT_TRUE(put_news_header(out, {0x01020304, 1700000000, "", "", ""}, NewsBody::OnRequest));
    const Bytes expected =
        kIdAndTime + kTimeText + Bytes{2, 0, '-', 0} + Bytes{0, 0} + Bytes{0, 0} + Bytes{0, 0, 0, 0};
    EXPECT_EQ(written(out), expected);

    ByteReader in(Bytes(expected.begin() + 1, expected.end()));
    std::optional<ReceivedNews> news = read_news_header(in);
    ASSERT_TRUE(news.has_value());
    EXPECT_EQ(core::field_text(news->record.subject), "-");
    EXPECT_EQ(news->record.body_length, 0);
}

TEST(NewsHeaderPacket, BodyAlongIsReadBackAndLongTextsAreCut) {
    const std::string subject(300, 's');
    const std::string keywords(100, 'k');
    const std::string body(40000, 'b');
    net::OutputBuffer out;
    ASSERT_TRUE(put_news_header(out, {7, 1700000000, subject, keywords, body}, NewsBody::Along));
    ByteReader in(Bytes(out.data() + 1, out.data() + out.size()));
    std::optional<ReceivedNews> news = read_news_header(in);
    ASSERT_TRUE(news.has_value());
    EXPECT_EQ(core::field_text(news->record.subject), subject.substr(0, 254));
    EXPECT_EQ(core::field_text(news->record.keywords), keywords.substr(0, 63));
    EXPECT_EQ(news->record.body_length, 32767);
    EXPECT_EQ(news->body, body.substr(0, 32767));
    EXPECT_EQ(in.remaining(), 0u);
}

}  // namespace
}  // namespace kb::messaging
