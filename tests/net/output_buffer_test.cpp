#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "net/packet_stream.h"

namespace kb::net {

TEST(OutputBuffer, StartsWith8192BytesAndResetKeepsTheCapacity) {
    OutputBuffer out;
    EXPECT_EQ(out.capacity(), 8192u);
    EXPECT_EQ(out.size(), 0u);
    std::vector<uint8_t> block(9000, 1);
    out.put_bytes(block.data(), block.size());
    size_t grown = out.capacity();
    out.reset();
    EXPECT_EQ(out.size(), 0u);
    EXPECT_EQ(out.capacity(), grown);
}

TEST(OutputBuffer, GrowsByTwiceTheValueWidthPlus64) {
    OutputBuffer out(8);
    std::vector<uint8_t> filler(200, 0xAA);
    auto fill_leaving = [&](size_t free_bytes) { out.put_bytes(filler.data(), out.capacity() - out.size() - free_bytes); };
    fill_leaving(0);
    EXPECT_EQ(out.capacity(), 8u);   // exactly full: no growth
    const std::vector<size_t> expected = {8 + 1 * 2 + 64, 74 + 4 * 2 + 64, 146 + 8 * 2 + 64, 226 + 500 * 2 + 64};
    std::vector<size_t> capacities;
    out.put_byte(1);
    capacities.push_back(out.capacity());
    fill_leaving(2);
    out.put_u32(0x01020304);
    capacities.push_back(out.capacity());
    fill_leaving(1);
    out.put_double(2.5);
    capacities.push_back(out.capacity());
    std::vector<uint8_t> big(500, 0xBB);
    out.put_bytes(big.data(), big.size());
    capacities.push_back(out.capacity());
    EXPECT_EQ(capacities, expected);
    EXPECT_EQ(out.size(), 146u - 1 + 8 + 500);
}

TEST(OutputBuffer, GrowingKeepsTheContentsAndWritesLittleEndian) {
    OutputBuffer out(2);
    out.put_byte(0x7F);
    out.put_u16(0x1234);
    out.put_i32(-2);
    out.put_u32(0xA1B2C3D4);
    const uint8_t expected[] = {0x7F, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xD4, 0xC3, 0xB2, 0xA1};
    ASSERT_EQ(out.size(), sizeof(expected));
    EXPECT_EQ(std::memcmp(out.data(), expected, sizeof(expected)), 0);
}

TEST(OutputBuffer, PutU16AtOverwritesOnlyBytesAlreadyThere) {
    OutputBuffer out;
    out.put_u32(0);
    out.put_u16_at(1, 0xBEEF);
    const uint8_t expected[] = {0x00, 0xEF, 0xBE, 0x00};
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(std::memcmp(out.data(), expected, 4), 0);
    out.put_u16_at(3, 0xFFFF);   // would reach past the end
    out.put_u16_at(100, 0xFFFF);
    EXPECT_EQ(out.size(), 4u);
    EXPECT_EQ(std::memcmp(out.data(), expected, 4), 0);
}

TEST(OutputBuffer, ValueThatCannotBeStoredIsDropped) {
    OutputBuffer out;
    out.put_byte(9);
    uint8_t source = 0;
    // The size alone makes the growth fail, before any allocation; the bytes are never read.
    out.put_bytes(&source, size_t{1} << 52);
    out.put_bytes(&source, std::numeric_limits<size_t>::max());
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(out.capacity(), 8192u);
    out.put_byte(10);
    EXPECT_EQ(out.size(), 2u);
    EXPECT_EQ(out.data()[1], 10);
}

}  // namespace kb::net
