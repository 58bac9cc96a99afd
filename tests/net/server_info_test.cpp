#include "net/server_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kb::net {
namespace {

ServerInformation sample_information(size_t access_points) {
    ServerInformation info;
    info.head.trade_value = 7;
    info.head.protocol_version = 404;
    for (size_t i = 0; i < access_points; ++i) {
        AccessPointRecord point{};
        std::snprintf(point.address, sizeof(point.address), "10.0.0.%zu:443", i + 1);
        point.priority = static_cast<int32_t>(i);
        info.access_points.push_back(point);
    }
    std::strcpy(info.tail.server_name, "Demo-Server");
    std::strcpy(info.tail.text, "Demo trade server");
    return info;
}

TEST(ServerInformation, RoundTripsWithAnyNumberOfAccessPoints) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{64}}) {
        std::vector<uint8_t> block = build_server_information(sample_information(count));
        ASSERT_EQ(block.size(), 4 + count * 160 + 192) << count;

        std::optional<ServerInformation> info = parse_server_information(block);
        ASSERT_TRUE(info.has_value()) << count;
        EXPECT_EQ(info->head.trade_value, 7);
        EXPECT_EQ(info->head.protocol_version, 404);
        ASSERT_EQ(info->access_points.size(), count);
        if (count > 0) {
            EXPECT_STREQ(info->access_points.back().address, ("10.0.0." + std::to_string(count) + ":443").c_str());
            EXPECT_EQ(info->access_points.back().priority, static_cast<int32_t>(count - 1));
        }
        EXPECT_STREQ(info->tail.server_name, "Demo-Server");
        EXPECT_STREQ(info->tail.text, "Demo trade server");
    }
}

TEST(ServerInformation, HeadComesFirstAndTailLast) {
    std::vector<uint8_t> block = build_server_information(sample_information(1));
    EXPECT_EQ(block[0], 7);
    EXPECT_EQ(block[2], 404 & 0xFF);
    EXPECT_EQ(block[3], 404 >> 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 4)), "10.0.0.1:443");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 164)), "Demo-Server");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 228)), "Demo trade server");
}

TEST(ServerInformation, RefusesBlocksOfTheWrongSize) {
    const size_t wrong_sizes[] = {0, 195, 196 + 1, 196 + 159, 196 + 65 * 160};
    for (size_t size : wrong_sizes) {
        std::vector<uint8_t> block(size, 'a');
        EXPECT_FALSE(parse_server_information(block).has_value()) << size;
    }
}

TEST(ServerInformation, ForcesEveryTerminator) {
    std::vector<uint8_t> block(4 + 2 * 160 + 192, 'a');
    std::optional<ServerInformation> info = parse_server_information(block);
    ASSERT_TRUE(info.has_value());
    for (const AccessPointRecord& point : info->access_points) {
        EXPECT_EQ(std::strlen(point.address), 63u);
        EXPECT_EQ(std::strlen(point.description), 63u);
    }
    EXPECT_EQ(std::strlen(info->tail.server_name), 63u);
    EXPECT_EQ(std::strlen(info->tail.text), 127u);
}

TEST(ServerInformation, BuildsAtMost64AccessPoints) {
    std::vector<uint8_t> block = build_server_information(sample_information(70));
    EXPECT_EQ(block.size(), 4 + 64 * 160 + 192);
}

}  // namespace
}  // namespace kb::net
