#include <gtest/gtest.h>

#include <cstring>

#include "market/symbol_record.h"

namespace kb::market {
namespace {

TEST(TickRecord, HighLowUpdateCarriesPointsWhereThePricesGo) {
    TickRecord tick{};
    tick.symbol_index = 0x0102;
    tick.set_high_low_points(123456, -5);

    uint8_t bytes[sizeof(TickRecord)];
    std::memcpy(bytes, &tick, sizeof(bytes));
    const uint8_t expected[14] = {0x02, 0x01, 0, 0, 0, 0, 0x40, 0xE2, 0x01, 0x00, 0xFB, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof(expected)));

    TickRecord received;
    std::memcpy(&received, expected, sizeof(received));
    EXPECT_EQ(received.high_points(), 123456);
    EXPECT_EQ(received.low_points(), -5);
}

}  // namespace
}  // namespace kb::market
