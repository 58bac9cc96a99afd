#include <gtest/gtest.h>

#include <cstring>

#include "market/symbol_record.h"
#include "net/protocol.h"
#include "server/quote_packet.h"

namespace kb::server {
namespace {

TEST(QuotePacket, CarriesCountAndTickRecordsNewestFirst) {
    const Tick ticks[] = {{3, 1'704'110'400, 1.08551, 1.08563, 0}, {0, 1'704'110'401, 151.201, 151.215, 0}};
    net::OutputBuffer out;
    put_quote_packet(out, ticks);
    ASSERT_EQ(out.size(), 2 + 2 * sizeof(market::TickRecord));
    EXPECT_EQ(out.data()[0], net::command_byte(net::Command::Quotes));
    EXPECT_EQ(out.data()[1], 2);
    market::TickRecord first, second;
    std::memcpy(&first, out.data() + 2, sizeof first);
    std::memcpy(&second, out.data() + 2 + sizeof(market::TickRecord), sizeof second);
    // Packed fields are copied out before the checks take references to them.
    const uint16_t index = first.symbol_index;
    const int32_t time = first.time, older_time = second.time;
    const float bid = first.bid, ask = first.ask;
    EXPECT_EQ(index, 0);
    EXPECT_EQ(time, 1'704'110'401);
    EXPECT_FLOAT_EQ(bid, 151.201f);
    EXPECT_FLOAT_EQ(ask, 151.215f);
    EXPECT_EQ(older_time, 1'704'110'400);
}

TEST(QuotePacket, CountsOutsideOneByteAddNothing) {
    std::vector<Tick> ticks(kMaxTicksPerQuotePacket + 1);
    net::OutputBuffer out;
    put_quote_packet(out, ticks);
    put_quote_packet(out, {});
    EXPECT_EQ(out.size(), 0u);
    put_quote_packet(out, std::span<const Tick>(ticks).first(kMaxTicksPerQuotePacket));
    EXPECT_EQ(out.data()[1], kMaxTicksPerQuotePacket);
}

}  // namespace
}  // namespace kb::server
