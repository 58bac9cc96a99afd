#include <cstring>
#include <optional>

#include "net/trade_request_signing.h"
#include "tests/server/login_data_fixture.h"
#include "tests/support/eurusd_request.h"
#include "trade/trade_notification.h"
#include "trade/trade_request.h"

namespace kb::server {
namespace {

using net::ReturnCode;

// Cancels (command 191) on a trade channel of account 1001 that name no request under way.
// A channel is idle between requests and reads nothing: an answer would wait there and be
// taken for part of the next request.
class TradeCancel : public testing_support::LoginDataServer {
protected:
    void SetUp() override {
        LoginDataServer::SetUp();
        channel = logged_in(1001, "secret1", net::LoginMode::TradeChannel);
    }

    void set_group(const std::string& key, const std::string& value) {
        ASSERT_TRUE(storage->set_override({"group", "demo", key, value}));
        server->settings().refresh();
    }

    void send_request(const trade::TradeRequest& request) {
        net::TradeRequestBytes bytes{};
        std::memcpy(bytes.data(), &request, sizeof request);
        ASSERT_TRUE(net::send_trade_request(*channel, bytes));
    }

    void send_cancel(int32_t id) {
        ASSERT_TRUE(send(*channel, [id](net::OutputBuffer& out) {
            out.put_command(net::Command::TradeReject);
            out.put_i32(id);
        }));
    }

    // The next notification of the request; a fault when anything else comes first.
    trade::TradeNotification next_notification(trade::FollowedRequest& followed) {
        const uint8_t command = channel->read_byte();
        EXPECT_EQ(command, net::command_byte(net::Command::TradeRequest)) << "command " << int{command};
        if (command != net::command_byte(net::Command::TradeRequest)) return {};
        trade::TradeNotification step = trade::read_trade_notification(*channel, followed);
        if (const std::optional<trade::RequestState> goes_on = trade::state_going_on(step.code))
            followed.state = *goes_on;
        if (step.code == ReturnCode::OrderAccepted) followed.request_id = step.request_id;
        return step;
    }

    static trade::TradeRequest price_request() {
        return testing::eurusd_request(trade::kPriceRequest, trade::kBuy, 20, 0, 0, 0);
    }

    std::unique_ptr<net::PacketStream> channel;
};

TEST_F(TradeCancel, ACancelAfterTheRequestEndedIsNotAnswered) {
    send_request(price_request());
    trade::FollowedRequest followed{trade::kPriceRequest, trade::RequestState::Ready, 0};
    ReturnCode last = next_notification(followed).code;
    ASSERT_EQ(last, ReturnCode::OrderAccepted);
    auto running = [&] { return last == ReturnCode::OrderAccepted || last == ReturnCode::OrderInProcess; };
    for (int step = 0; step < 3 && running(); ++step) last = next_notification(followed).code;
    ASSERT_FALSE(running());
    const int32_t finished = followed.request_id;

    send_cancel(finished);
    send_cancel(0);
    expect_in_step(*channel);

    // The next request reads its own notifications first.
    send_request(price_request());
    trade::FollowedRequest next{trade::kPriceRequest, trade::RequestState::Ready, 0};
    const trade::TradeNotification accepted = next_notification(next);
    EXPECT_EQ(accepted.code, ReturnCode::OrderAccepted) << accepted.fault;
    EXPECT_NE(accepted.request_id, finished);
}

TEST_F(TradeCancel, ACancelOfAnotherRequestWhileTheDealerThinksIsNotAnswered) {
    set_group("execution", "request");
    set_group("dealer_delay_ms", "5000");
    send_request(price_request());
    trade::FollowedRequest followed{trade::kPriceRequest, trade::RequestState::Ready, 0};
    ASSERT_EQ(next_notification(followed).code, ReturnCode::OrderAccepted);
    ASSERT_EQ(next_notification(followed).code, ReturnCode::OrderInProcess);

    send_cancel(followed.request_id - 1);
    send_cancel(followed.request_id);
    ASSERT_EQ(channel->read_byte(), net::command_byte(net::Command::TradeReject));
    int32_t id = 0;
    ASSERT_TRUE(channel->read_i32(id));
    EXPECT_EQ(id, followed.request_id) << "the answer to the stale cancel came first";
    EXPECT_EQ(channel->read_byte(), 0);
    EXPECT_EQ(next_notification(followed).code, ReturnCode::RequestCanceled);
    expect_in_step(*channel);
}

}  // namespace
}  // namespace kb::server
