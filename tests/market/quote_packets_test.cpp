#include "market/quote_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/output_buffer.h"
#include "tests/support/byte_reader.h"
#include "tests/support/wire_bytes.h"

namespace kb::market {
namespace {

using kb::testing::Bytes;
using kb::testing::written;
using kb::testing::ByteReader;

// Symbol 3 at 0x01020304, bid 1.5, ask 2.0; symbol 300 at 0x7F000000, bid and ask 0.25.
const TickRecord kTicks[] = {{3, 0x01020304, 1.5f, 2.0f}, {300, 0x7F000000, 0.25f, 0.25f}};
const Bytes kTickBytes = {0x03, 0x00, 0x04, 0x03, 0x02, 0x01, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x40,
                          0x2C, 0x01, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x80, 0x3E};

TEST(QuotePackets, QuotesTravelAsCountAndRecordsInTheirOrder) {
    net::OutputBuffer out;
    put_quotes(out, kTicks);
    Bytes expected = {151, 2};
    expected.insert(expected.end(), kTickBytes.begin(), kTickBytes.end());
    EXPECT_EQ(written(out), expected);

    ByteReader in(Bytes(expected.begin() + 1, expected.end()));
    std::optional<std::vector<TickRecord>> read = read_quotes(in);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ(uint16_t{(*read)[1].symbol_index}, 300);
    EXPECT_EQ(int32_t{(*read)[0].time}, 0x01020304);
    EXPECT_EQ(float{(*read)[0].ask}, 2.0f);
}

TEST(QuotePackets, CountsOutsideOneByteAreNeitherWrittenNorRead) {
    net::OutputBuffer out;
    put_quotes(out, {});
    put_quotes(out, std::vector<TickRecord>(kMaxTicksPerQuotePacket + 1));
    EXPECT_EQ(out.size(), 0u);
    put_quotes(out, std::vector<TickRecord>(kMaxTicksPerQuotePacket));
    EXPECT_EQ(out.size(), 2 + kMaxTicksPerQuotePacket * sizeof(TickRecord));

    ByteReader none(Bytes{0});
    EXPECT_FALSE(read_quotes(none).has_value());
    ByteReader short_packet(Bytes{2, 0x03, 0x00});
    EXPECT_FALSE(read_quotes(short_packet).has_value());
    EXPECT_TRUE(short_packet.closed());
}

TEST(QuotePackets, SubscriptionTravelsAsCountAndIndexes) {
    const uint16_t indexes[] = {3, 7, 300};
    net::OutputBuffer out;
    put_subscription(out, indexes);
    const Bytes expected = {150, 3, 0, 3, 0, 7, 0, 0x2C, 0x01};
    EXPECT_EQ(written(out), expected);

    ByteReader in(Bytes(expected.begin() + 1, expected.end()));
    EXPECT_EQ(read_subscription(in), (std::vector<uint16_t>{3, 7, 300}));

    net::OutputBuffer nothing;
    put_subscription(nothing, {});
    EXPECT_EQ(written(nothing), (Bytes{150, 0, 0}));
    ByteReader empty(Bytes{0, 0});
    EXPECT_EQ(read_subscription(empty), std::vector<uint16_t>{});

    ByteReader short_packet(Bytes{2, 0, 3, 0});
    EXPECT_FALSE(read_subscription(short_packet).has_value());
}

}  // namespace
}  // namespace kb::market
