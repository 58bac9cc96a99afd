#include "core/fixed_text.h"
#include "messaging/mail_record.h"
#include "messaging/news_header_packet.h"
#include "trade/account_record.h"
#include "tests/server/login_data_fixture.h"

namespace kb::server {
namespace {

using net::Command;

class MessagePushes : public testing_support::LoginDataServer {
protected:
    std::optional<messaging::ReceivedNews> read_news(net::PacketStream& stream) {
        EXPECT_EQ(stream.read_byte(), net::command_byte(Command::NewsHeader));
        return messaging::read_news_header(stream);
    }

    std::optional<int64_t> post(const std::string& subject, const std::string& body) {
        return storage->add_news(NewsRow{0, clock.unix_time(), subject, "fx", body});
    }
};

TEST_F(MessagePushes, NewsArriveWithBodiesAtLoginAndWhileConnected) {
    ASSERT_TRUE(post("Before login", "first body"));
    auto stream = terminal(1001, "secret1");
    std::optional<messaging::ReceivedNews> news = read_news(*stream);
    ASSERT_TRUE(news);
    EXPECT_EQ(core::field_text(news->record.subject), "Before login");
    EXPECT_EQ(core::field_text(news->record.keywords), "fx");
    EXPECT_EQ(news->body, "first body");
    EXPECT_EQ(news->record.time, clock.unix_time());

    const std::optional<int64_t> later = post("While connected", std::string(20000, 'x'));
    ASSERT_TRUE(later);
    next_look();
    news = read_news(*stream);
    ASSERT_TRUE(news);
    EXPECT_EQ(news->record.id, static_cast<uint32_t>(*later));
    EXPECT_EQ(news->body, std::string(20000, 'x'));
    expect_in_step(*stream);
}

TEST_F(MessagePushes, NewsOnRequestAnnounceTheBodyForLater) {
    const std::optional<int64_t> id = post("Headline", "asked for later");
    ASSERT_TRUE(id);
    auto stream = terminal(1005, "secret5");   // a group with bodies on request
    std::optional<messaging::ReceivedNews> news = read_news(*stream);
    ASSERT_TRUE(news);
    EXPECT_EQ(news->record.body_length, messaging::kBodyNotReceived);
    EXPECT_TRUE(news->body.empty());
    expect_in_step(*stream);
}

TEST_F(MessagePushes, HistoryServerPushesNewsButNotMail) {
    auto history = terminal(1001, "", net::LoginMode::HistoryServer);
    ASSERT_TRUE(history->send_byte(Command::KeepAlive));
    EXPECT_EQ(history->read_byte(), net::command_byte(Command::KeepAlive));
    ASSERT_TRUE(storage->add_mail(MailRow{0, 1001, "Desk", "Hello", "body", clock.unix_time(), false}));
    ASSERT_TRUE(post("Both doors", "b"));
    next_look();
    std::optional<messaging::ReceivedNews> news = read_news(*history);
    ASSERT_TRUE(news);
    EXPECT_EQ(core::field_text(news->record.subject), "Both doors");
    expect_in_step(*history);
    EXPECT_EQ(storage->undelivered_mail(1001).size(), 1u) << "kept for the trade server connection";
}

// The account data's mode says whether the connection carries news: 0 all of them, 2 none
// (the terminal's "Enable news" is off), 3 none on the trade server (the history server
// carries them). News of before the login go out right after the account data, ahead of
// any answer.
TEST_F(MessagePushes, NewsGoOnlyToConnectionsWhoseAccountDataAskedForThem) {
    ASSERT_TRUE(post("Before login", "body"));
    const struct {
        int32_t login;
        net::LoginMode door;
        uint32_t mode;
        bool news;
    } cases[] = {
        {2001, net::LoginMode::TradeServer, trade::kAccountDataFull, true},
        {2002, net::LoginMode::TradeServer, trade::kAccountDataWithoutNews, false},
        {2003, net::LoginMode::TradeServer, trade::kAccountDataWithHistoryServer, false},
        {2004, net::LoginMode::HistoryServer, trade::kAccountDataFull, true},
        {2005, net::LoginMode::HistoryServer, trade::kAccountDataWithoutNews, false},
    };
    for (const auto& c : cases) {
        add_account(c.login, "reader", "demo", "Reader", 0);
        auto stream = terminal(c.login, c.door == net::LoginMode::HistoryServer ? "" : "reader", c.door, c.mode);
        ASSERT_TRUE(stream->send_byte(Command::KeepAlive));
        EXPECT_EQ(stream->read_byte(), net::command_byte(c.news ? Command::NewsHeader : Command::KeepAlive)) << c.login;
    }
}

TEST_F(MessagePushes, AccountDataInAnUnknownModeIsRefusedAndTheConnectionGoesOn) {
    auto stream = logged_in(1001, "secret1");
    ASSERT_TRUE(send(*stream, [](net::OutputBuffer& out) {
        out.put_command(Command::AccountData);
        out.put_u32(1);
    }));
    EXPECT_EQ(stream->read_byte(), net::code_value(net::ReturnCode::InvalidParameters));
    expect_in_step(*stream);
}

// Mail to an absent account waits in the database and arrives at its next login; mail to
// a connected one arrives at the next look. Each is delivered once.
TEST_F(MessagePushes, MailReachesItsRecipientOnceConnectedOrAtNextLogin) {
    const int64_t sent_at = clock.unix_time();
    ASSERT_TRUE(storage->add_mail(MailRow{0, 1003, "Desk", "Welcome", "Hello Bob", sent_at, false}));
    auto bob = terminal(1003, "secret3");
    next_look();
    auto read_mail = [](net::PacketStream& stream) {
        EXPECT_EQ(stream.read_byte(), net::command_byte(Command::MailMessage));
        net::CompressedBlock block = net::read_compressed(stream, 65536);
        EXPECT_GE(block.size, sizeof(messaging::MailRecord));
        messaging::MailRecord header{};
        std::memcpy(&header, block.bytes.get(), sizeof header);
        EXPECT_EQ(block.size, sizeof header + static_cast<size_t>(header.body_length));
        return std::make_pair(header, std::string(reinterpret_cast<const char*>(block.bytes.get()) + sizeof header,
                                                  block.size - sizeof header));
    };
    auto [header, body] = read_mail(*bob);
    EXPECT_EQ(core::field_text(header.name), "Desk");
    EXPECT_EQ(core::field_text(header.subject), "Welcome");
    const int32_t time = header.time;   // copied: a packed field
    EXPECT_EQ(time, sent_at);
    EXPECT_EQ(body, "Hello Bob");
    EXPECT_TRUE(storage->undelivered_mail(1003).empty());

    ASSERT_TRUE(storage->add_mail(MailRow{0, 1003, "Desk", "Second", "again", clock.unix_time(), false}));
    next_look();
    EXPECT_EQ(core::field_text(read_mail(*bob).first.subject), "Second");
    next_look();
    expect_in_step(*bob);   // nothing delivered twice
}

TEST_F(MessagePushes, AccountsTradesAndWaitingMailSurviveARestart) {
    ASSERT_TRUE(storage->add_mail(MailRow{0, 1001, "Desk", "Kept", "across restarts", clock.unix_time(), false}));
    TradeRow open;
    open.login = 1001;
    open.symbol = "EURUSD";
    open.volume = 100;
    open.open_price = 1.1;
    ASSERT_TRUE(storage->insert_trade(open));
    ASSERT_TRUE(storage->add_balance_operation(1001, TradeType::Balance, 250, "bonus", clock.unix_time()));

    start(testing_support::login_data_config());
    auto stream = logged_in(1001, "secret1");
    ASSERT_TRUE(send(*stream, [](net::OutputBuffer& out) {
        out.put_command(Command::AccountData);
        out.put_u32(0);
    }));
    ASSERT_EQ(stream->read_byte(), 0);
    net::CompressedBlock block = net::read_compressed(*stream, 262144);
    std::optional<trade::AccountDataReply> reply = trade::parse_account_data({block.bytes.get(), block.size});
    ASSERT_TRUE(reply);
    EXPECT_DOUBLE_EQ(reply->account.balance, 5250);
    EXPECT_EQ(reply->open_trades.size(), 1u);
    next_look();
    EXPECT_EQ(stream->read_byte(), net::command_byte(Command::MailMessage));
}

}  // namespace
}  // namespace kb::server
