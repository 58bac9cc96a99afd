// Feeds fuzz bytes through a local socket into a stream and reads trade notifications
// until the stream closes. Every outcome must be a state the request can take, with
// records only for a done notification and never more than its kind allows.
//
// Input: byte 0 chooses the followed request's kind, byte 1 its state (sent, accepted,
// in process); bytes 2..5 are the expected request id; the rest is the stream, unscrambled
// as written. Bit 7 of byte 1 compresses the bytes after a 6-byte notification head and
// a 16-byte pair of doubles into a valid record block first.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/block_writer.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "tests/support/fed_stream.h"
#include "trade/trade_notification.h"

namespace {

using namespace kb;

constexpr uint8_t kKinds[] = {0, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 99};
constexpr trade::RequestState kStates[] = {trade::RequestState::Ready, trade::RequestState::Accepted,
                                           trade::RequestState::InProcess};
constexpr size_t kMaxInput = 65536;
constexpr size_t kHeadBytes = 6;
constexpr size_t kPairBytes = 16;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<uint8_t> with_valid_block(const uint8_t* data, size_t size) {
    if (size < kHeadBytes + kPairBytes) return std::vector<uint8_t>(data, data + size);
    std::vector<uint8_t> bytes(data, data + kHeadBytes + kPairBytes);
    net::OutputBuffer out(0);
    net::put_compressed_block(out, {data + kHeadBytes + kPairBytes, size - kHeadBytes - kPairBytes});
    bytes.insert(bytes.end(), out.data(), out.data() + out.size());
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6 || size > kMaxInput) return 0;
    trade::FollowedRequest followed;
    followed.kind = kKinds[data[0] % std::size(kKinds)];
    followed.state = kStates[(data[1] & 0x7F) % std::size(kStates)];
    std::memcpy(&followed.request_id, data + 2, sizeof followed.request_id);
    const bool block = data[1] & 0x80;
    std::vector<uint8_t> bytes = block ? with_valid_block(data + 6, size - 6) : std::vector<uint8_t>(data + 6, data + size);

    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    testing::feed_stream(stream, std::move(bytes), net::ConnectionKey{}, testing::Prescramble::Yes);

    while (stream.is_open()) {
        const trade::TradeNotification notification = trade::read_trade_notification(stream, followed);
        const int code = net::code_value(notification.code);
        check(code >= 0 && code <= 255);
        check(notification.fault.empty() || notification.code == net::ReturnCode::CommonError);
        check(notification.records.size() <= 3);
        if (!notification.records.empty()) check(notification.code == net::ReturnCode::Ok);
        const trade::TradeRecord* none = nullptr;
        const std::vector<trade::TradeTransaction> transactions = trade::done_transactions(followed, notification, none);
        check(transactions.size() <= notification.records.size());
        trade::done_result(followed, notification, none);
        if (notification.code == net::ReturnCode::CommonError) break;
    }
    return 0;
}
