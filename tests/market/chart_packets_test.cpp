#include "market/chart_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/fixed_text.h"
#include "net/output_buffer.h"
#include "tests/support/byte_reader.h"
#include "tests/support/wire_bytes.h"

namespace kb::market {
namespace {

using kb::testing::Bytes;
using kb::testing::operator+;
using kb::testing::written;
using kb::testing::ByteReader;

// "EURUSD" in a 12-byte symbol field.
const Bytes kEurusd = {'E', 'U', 'R', 'U', 'S', 'D', 0, 0, 0, 0, 0, 0};

// Two bars: the first fits both forms, the second's high lies 40000 points above its open.
const PointBar kBars[] = {{0x11223344, 110000, 110020, 109990, 110005, 7},
                          {0x11223380, 110000, 150000, 110000, 110000, 1}};

// Header of a push of count bars for EURUSD H1, oldest time 0x01020304.
Bytes push_header(uint8_t count) { return Bytes{156} + kEurusd + Bytes{60, 0, 0, 0, 4, 3, 2, 1, count, 0, 0, 0}; }

// The first bar's time, open, then (for the narrow form) 16-bit differences +20, -10, +5.
const Bytes kFirstBarNarrow = {0x44, 0x33, 0x22, 0x11, 0xB0, 0xAD, 0x01, 0x00, 0x14, 0x00, 0xF6, 0xFF, 0x05, 0x00,
                               0, 0, 0, 0, 0, 0, 0x1C, 0x40};   // volume 7.0
const Bytes kFirstBarWide = {0x44, 0x33, 0x22, 0x11, 0xB0, 0xAD, 0x01, 0x00, 0x14, 0x00, 0x00, 0x00, 0xF6, 0xFF,
                             0xFF, 0xFF, 0x05, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0x1C, 0x40};
const Bytes kSecondBarWide = {0x80, 0x33, 0x22, 0x11, 0xB0, 0xAD, 0x01, 0x00, 0x40, 0x9C, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};   // volume 1.0

ChartHistoryHeader eurusd_header() {
    ChartHistoryHeader header{};
    core::set_field_text(header.symbol, "EURUSD");
    header.period = 60;
    header.oldest_time = 0x01020304;
    header.bar_count = 99;   // the encoder counts the bars itself
    return header;
}

TEST(ChartPackets, RequestsTravelAsCountAndRecords) {
    const ChartRequest requests[] = {{"EURUSD", 60, 0x01020304, 5}};
    net::OutputBuffer out;
    put_chart_requests(out, requests);
    EXPECT_EQ(written(out), (Bytes{156, 1, 0} + kEurusd + Bytes{60, 0, 0, 0, 4, 3, 2, 1, 5, 0}));

    net::OutputBuffer none;
    put_chart_requests(none, {});
    EXPECT_EQ(none.size(), 0u);
}

TEST(ChartPackets, RequestsAreReadWithTheirSymbolsTerminated) {
    // A 12-character symbol, without room for its terminator.
    const Bytes full_symbol = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'};
    ByteReader in(Bytes{2, 0} + kEurusd + Bytes{60, 0, 0, 0, 0, 0, 0, 0, 0, 0} + full_symbol +
                  Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF});
    const ReceivedChartRequests received = read_chart_requests(in, 2);
    ASSERT_EQ(received.status, ReceivedChartRequests::Status::Read);
    ASSERT_EQ(received.requests.size(), 2u);
    EXPECT_EQ(core::field_text(received.requests[0].symbol), "EURUSD");
    EXPECT_EQ(core::field_text(received.requests[1].symbol), "ABCDEFGHIJK");
    EXPECT_EQ(int16_t{received.requests[1].bar_count}, -1);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ChartPackets, RequestCountsBeyondTheLimitOrShortPacketsAreRefused) {
    ByteReader too_many(Bytes{3, 0} + kEurusd);
    const ReceivedChartRequests refused = read_chart_requests(too_many, 2);
    EXPECT_EQ(refused.status, ReceivedChartRequests::Status::TooMany);
    EXPECT_EQ(refused.count, 3);
    EXPECT_TRUE(refused.requests.empty());

    ByteReader short_packet(Bytes{1, 0} + kEurusd);
    EXPECT_EQ(read_chart_requests(short_packet, 2).status, ReceivedChartRequests::Status::Failed);
    EXPECT_TRUE(short_packet.closed());
}

TEST(ChartPackets, PushesCarryTheBarsThatFitTheirForm) {
    net::OutputBuffer narrow;
    put_chart_history(narrow, eurusd_header(), kBars, BarForm::Narrow22);
    EXPECT_EQ(written(narrow), push_header(1) + kFirstBarNarrow);

    net::OutputBuffer wide;
    put_chart_history(wide, eurusd_header(), kBars, BarForm::Wide28);
    EXPECT_EQ(written(wide), push_header(2) + kFirstBarWide + kSecondBarWide);
}

TEST(ChartPackets, PushesAreReadInTheConnectionsForm) {
    const Bytes narrow_push = push_header(1) + kFirstBarNarrow;
    ByteReader narrow_in(Bytes(narrow_push.begin() + 1, narrow_push.end()));
    std::optional<ReceivedChartHistory> narrow = read_chart_history(narrow_in, BarForm::Narrow22);
    ASSERT_TRUE(narrow.has_value());
    EXPECT_EQ(core::field_text(narrow->header.symbol), "EURUSD");
    EXPECT_EQ(int32_t{narrow->header.oldest_time}, 0x01020304);
    ASSERT_EQ(narrow->bars22.size(), 1u);
    EXPECT_TRUE(narrow->bars28.empty());
    EXPECT_EQ(int16_t{narrow->bars22[0].low_delta}, -10);

    const Bytes wide_push = push_header(2) + kFirstBarWide + kSecondBarWide;
    ByteReader wide_in(Bytes(wide_push.begin() + 1, wide_push.end()));
    std::optional<ReceivedChartHistory> wide = read_chart_history(wide_in, BarForm::Wide28);
    ASSERT_TRUE(wide.has_value());
    ASSERT_EQ(wide->bars28.size(), 2u);
    EXPECT_EQ(int32_t{wide->bars28[1].high_delta}, 40000);
    EXPECT_EQ(wide_in.remaining(), 0u);
}

TEST(ChartPackets, PushesWithImpossibleCountsOrMissingBarsAreNotRead) {
    struct Case {
        const char* what;
        Bytes after_symbol;   // period, oldest time, count and bars
    };
    const Case cases[] = {
        {"negative count", {60, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"count above 65536", {60, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00}},
        {"bars missing", {60, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 2, 3}},
        {"header cut short", {60, 0, 0}},
    };
    for (const Case& c : cases) {
        ByteReader in(kEurusd + c.after_symbol);
        EXPECT_FALSE(read_chart_history(in, BarForm::Narrow22).has_value()) << c.what;
        EXPECT_TRUE(in.closed()) << c.what;
    }
}

}  // namespace
}  // namespace kb::market
