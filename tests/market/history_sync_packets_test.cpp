#include "market/history_sync_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/fixed_text.h"
#include "net/block_writer.h"
#include "net/output_buffer.h"
#include "tests/support/byte_reader.h"
#include "tests/support/wire_bytes.h"

namespace kb::market {
namespace {

using kb::testing::Bytes;
using kb::testing::operator+;
using kb::testing::written;
using Status = HistorySyncAnswer::Status;
using kb::testing::ByteReader;

const Bytes kEurusd = {'E', 'U', 'R', 'U', 'S', 'D', 0, 0, 0, 0, 0, 0};
// Time sign 555 (0x22B).
const Bytes kSign = {0x2B, 0x02, 0x00, 0x00};

TEST(HistorySyncPackets, RequestTravelsAsCommandNineAndItsRecord) {
    const HistorySyncRequest request{"EURUSD", 60, 0x01020304, 0x05060708, 555, kHistorySyncVersion};
    net::OutputBuffer out;
    put_history_sync_request(out, request);
    const Bytes expected = Bytes{9} + kEurusd + Bytes{60, 0, 0, 0, 4, 3, 2, 1, 8, 7, 6, 5} + kSign + Bytes{2, 0, 0, 0};
    EXPECT_EQ(written(out), expected);

    ByteReader in(Bytes(expected.begin() + 1, expected.end()));
    std::optional<HistorySyncRequest> read = read_history_sync_request(in);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(core::field_text(read->symbol), "EURUSD");
    EXPECT_EQ(int32_t{read->newest_time}, 0x05060708);

    const Bytes full_symbol = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'};
    ByteReader unterminated(full_symbol + Bytes(20, 0));
    EXPECT_EQ(core::field_text(read_history_sync_request(unterminated)->symbol), "ABCDEFGHIJK");
    ByteReader short_request(kEurusd);
    EXPECT_FALSE(read_history_sync_request(short_request).has_value());
}

TEST(HistorySyncPackets, BarsTravelAsCodeSignAndOneBlockOfTheForm) {
    // The second bar's high lies 40000 points above its open: only the wide form holds it.
    const PointBar bars[] = {{0x11223344, 110000, 110020, 109990, 110005, 7},
                             {0x11223380, 110000, 150000, 110000, 110000, 1}};
    struct Case {
        BarForm form;
        int32_t plain_size;
        size_t bars;
        int32_t last_high_delta;
    };
    for (const Case c : {Case{BarForm::Narrow22, 22, 1, 20}, Case{BarForm::Wide28, 56, 2, 40000}}) {
        net::OutputBuffer out;
        ASSERT_TRUE(put_history_sync_bars(out, 555, bars, c.form));
        const Bytes sent = written(out);
        ASSERT_GT(sent.size(), 13u);
        // Code 0, the sign, then the block's plain size.
        EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 9),
                  (Bytes{0} + kSign + Bytes{static_cast<uint8_t>(c.plain_size), 0, 0, 0}));

        ByteReader in(sent);
        const HistorySyncAnswer answer = read_history_sync_answer(in, c.form);
        ASSERT_EQ(answer.status, Status::Bars);
        EXPECT_EQ(answer.time_sign, 555);
        ASSERT_EQ(answer.bars22.size() + answer.bars28.size(), c.bars);
        const int32_t last_high_delta =
            c.form == BarForm::Wide28 ? answer.bars28.back().high_delta : answer.bars22.back().high_delta;
        EXPECT_EQ(last_high_delta, c.last_high_delta);
        EXPECT_EQ(in.remaining(), 0u);
    }

    net::OutputBuffer none;
    ASSERT_TRUE(put_history_sync_bars(none, 555, {}, BarForm::Wide28));
    EXPECT_EQ(written(none), (Bytes{0} + kSign + Bytes{0, 0, 0, 0}));
}

TEST(HistorySyncPackets, AnswersOtherThanWholeBarsAreTold) {
    // A block of five plain bytes: no whole number of bars in either form.
    net::OutputBuffer odd;
    const uint8_t five[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(net::put_compressed_block(odd, five));
    struct Case {
        const char* what;
        Bytes answer;
        Status status;
        bool closed;
    };
    const Case cases[] = {
        {"nothing new", {1}, Status::NothingNew, false},
        {"refused", {3}, Status::Refused, false},
        {"no answer", {}, Status::Refused, true},
        {"sign cut short", {0, 0x2B}, Status::Refused, true},
        {"empty block", Bytes{0} + kSign + Bytes{0, 0, 0, 0}, Status::Bars, false},
        {"block of no whole bars", Bytes{0} + kSign + written(odd), Status::Unreadable, true},
        {"block size beyond the limit", Bytes{0} + kSign + Bytes{0x41, 0x4B, 0x4C, 0x00, 1, 0, 0, 0},
         Status::Unreadable, true},
    };
    for (const Case& c : cases) {
        ByteReader in(c.answer);
        EXPECT_EQ(read_history_sync_answer(in, BarForm::Wide28).status, c.status) << c.what;
        EXPECT_EQ(in.closed(), c.closed) << c.what;
    }
}

}  // namespace
}  // namespace kb::market
