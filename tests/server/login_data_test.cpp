#include <cstring>
#include <limits>

#include "market/bar_record.h"
#include "core/fixed_text.h"
#include "market/symbol_record.h"
#include "messaging/mail_record.h"
#include "net/digest.h"
#include "net/server_info.h"
#include "market/history_sync_packets.h"
#include "tests/server/login_data_fixture.h"
#include "trade/account_record.h"

namespace kb::server {
namespace {

using net::Command;
using net::ReturnCode;
using testing_support::LoginDataServer;

constexpr int kOk = 0;
constexpr int kNothingNew = 1;

using Bytes = std::vector<uint8_t>;

int code(ReturnCode value) { return net::code_value(value); }

TEST_F(LoginDataServer, ServerInformationNamesThisServerAndItsAccessPoint) {
    auto stream = logged_in(1001, "secret1");
    ASSERT_TRUE(stream->send_byte(Command::ServerInformation));
    ASSERT_EQ(stream->read_byte(), kOk);
    uint8_t passed_on = 0xFF;
    ASSERT_TRUE(stream->read(&passed_on, 1));
    net::CompressedBlock block = net::read_compressed(*stream, 1000000);
    ASSERT_EQ(block.status, net::BlockStatus::Data);
    auto info = net::parse_server_information({block.bytes.get(), block.size});
    ASSERT_TRUE(info);
    EXPECT_GE(info->head.protocol_version, net::kMinimumServerProtocolVersion);
    ASSERT_EQ(info->access_points.size(), 1u);
    EXPECT_EQ(core::field_text(info->access_points[0].address), "127.0.0.1:" + std::to_string(server->trade_port()));
    EXPECT_EQ(core::field_text(info->tail.server_name), "Loopback-Data");
    EXPECT_EQ(core::field_text(info->tail.text), "Loopback Brokers");
    expect_in_step(*stream);
}

// 8 and 10: a client without the list gets it; one that sends the digest of what it got
// is told to keep it (code 1, nothing more follows).
TEST_F(LoginDataServer, SymbolsAndGroupsHonourTheClientsDigest) {
    auto stream = logged_in(1001, "secret1");
    auto request = [&](Command command, const net::Md5Digest& digest) {
        return send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(command);
            out.put_bytes(digest.data(), digest.size());
        });
    };

    ASSERT_TRUE(request(Command::Symbols, {}));
    ASSERT_EQ(stream->read_byte(), kOk);
    net::CompressedBlock symbols_block = net::read_compressed(*stream, 2000000);
    ASSERT_EQ(symbols_block.status, net::BlockStatus::Data);
    auto symbols = records<market::SymbolRecord>(symbols_block);
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(core::field_text(symbols[1].name), "XAUUSD");
    EXPECT_EQ(symbols[1].symbol_index, 1);
    EXPECT_EQ(symbols[1].digits, 2);
    EXPECT_EQ(symbols[1].group_index, 1);
    EXPECT_DOUBLE_EQ(symbols[1].contract_size, 100);
    EXPECT_DOUBLE_EQ(symbols[1].point, 0.01);
    EXPECT_EQ(symbols[0].quote_hours[1].windows[0].close_minute, 1440);

    ASSERT_TRUE(request(Command::Symbols, net::md5({symbols_block.bytes.get(), symbols_block.size})));
    EXPECT_EQ(stream->read_byte(), kNothingNew);
    expect_in_step(*stream);

    ASSERT_TRUE(request(Command::SymbolGroups, {}));
    ASSERT_EQ(stream->read_byte(), kOk);
    net::CompressedBlock groups_block = net::read_compressed(*stream, 1000000);
    auto groups = records<market::SymbolGroupRecord>(groups_block);
    ASSERT_EQ(groups.size(), 32u);
    EXPECT_EQ(core::field_text(groups[0].name), "Forex");
    EXPECT_EQ(core::field_text(groups[1].name), "Metals");
    EXPECT_EQ(core::field_text(groups[2].name), "");

    ASSERT_TRUE(request(Command::SymbolGroups, net::md5({groups_block.bytes.get(), groups_block.size})));
    EXPECT_EQ(stream->read_byte(), kNothingNew);
    expect_in_step(*stream);
}

TEST_F(LoginDataServer, CrashLogIsStoredWithoutReplyAndAnOversizedOneCloses) {
    auto stream = logged_in(1001, "secret1");
    const std::string content = "fault at 0x1234\n";
    ASSERT_TRUE(send(*stream, [&](net::OutputBuffer& out) {
        out.put_command(Command::CrashLog);
        out.put_u32(static_cast<uint32_t>(content.size()));
        out.put_bytes(content.data(), content.size());
    }));
    expect_in_step(*stream);
    std::vector<CrashLogRow> logs = storage->crash_logs(1001);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(std::string(logs[0].content.begin(), logs[0].content.end()), content);
    EXPECT_EQ(logs[0].address, 0x0100007Fu);

    ASSERT_TRUE(send(*stream, [](net::OutputBuffer& out) {
        out.put_command(Command::CrashLog);
        out.put_u32(128001);
    }));
    stream->read_byte();
    EXPECT_FALSE(stream->is_open()) << "the server closed instead of reading 128001 bytes";
}

TEST_F(LoginDataServer, MailRecipientsAreTheOtherAccountsOfTheGroup) {
    auto stream = logged_in(1001, "secret1");
    ASSERT_TRUE(stream->send_byte(Command::MailHeaders));
    ASSERT_EQ(stream->read_byte(), kOk);
    uint32_t count = 0;
    ASSERT_TRUE(stream->read_u32(count));
    ASSERT_EQ(count, 1u);
    messaging::MailRecipient recipient{};
    ASSERT_TRUE(stream->read(&recipient, sizeof recipient));
    EXPECT_EQ(recipient.login, 1003);
    EXPECT_EQ(core::field_text(recipient.name), "Bob Example");
    expect_in_step(*stream);

    auto alone = logged_in(1005, "secret5");
    ASSERT_TRUE(alone->send_byte(Command::MailHeaders));
    EXPECT_NE(alone->read_byte(), kOk) << "no recipient: a non-zero code and no count";
    expect_in_step(*alone);
}

TEST_F(LoginDataServer, AccountHistoryHoldsClosedTradesAndBalanceOperationsOfTheRange) {
    TradeRow trade;
    trade.login = 1001;
    trade.symbol = "EURUSD";
    trade.type = TradeType::Sell;
    trade.volume = 150;
    trade.open_time = clock.unix_time() - 600;
    trade.open_price = 1.10012;
    trade.close_time = clock.unix_time() - 60;
    trade.close_price = 1.09950;
    trade.profit = 93;
    trade.comment = "closed by hand";
    std::optional<int64_t> ticket = storage->insert_trade(trade);
    ASSERT_TRUE(ticket);

    auto stream = logged_in(1001, "secret1");
    auto history = [&](int32_t start, int32_t end) {
        return send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(Command::AccountHistory);
            out.put_i32(start);
            out.put_i32(end);
        });
    };
    ASSERT_TRUE(history(0, std::numeric_limits<int32_t>::max()));
    ASSERT_EQ(stream->read_byte(), kOk);
    auto trades = records<trade::TradeRecord>(net::read_compressed(*stream, 5000000));
    ASSERT_EQ(trades.size(), 2u) << "the first deposit and the closed trade";
    EXPECT_EQ(trades[0].type, trade::kBalance);
    EXPECT_DOUBLE_EQ(trades[0].profit, 5000);
    EXPECT_EQ(trades[1].ticket, *ticket);
    EXPECT_EQ(core::field_text(trades[1].symbol), "EURUSD");
    EXPECT_EQ(trades[1].digits, 5);
    EXPECT_EQ(trades[1].type, trade::kSell);
    EXPECT_EQ(trades[1].volume, 150);
    EXPECT_EQ(trades[1].close_time, clock.unix_time() - 60);
    EXPECT_DOUBLE_EQ(trades[1].profit, 93);
    EXPECT_EQ(core::field_text(trades[1].comment), "closed by hand");

    ASSERT_TRUE(history(static_cast<int32_t>(clock.unix_time() - 120), static_cast<int32_t>(clock.unix_time())));
    ASSERT_EQ(stream->read_byte(), kOk);
    EXPECT_EQ(records<trade::TradeRecord>(net::read_compressed(*stream, 5000000)).size(), 1u);

    ASSERT_TRUE(history(100, 100));
    EXPECT_EQ(stream->read_byte(), code(ReturnCode::InvalidParameters));
    expect_in_step(*stream);
}

TEST_F(LoginDataServer, AccountDataCarriesGroupAccountFieldsAndOpenTrades) {
    TradeRow open;
    open.login = 1001;
    open.symbol = "XAUUSD";
    open.type = TradeType::Buy;
    open.volume = 10;
    open.open_time = clock.unix_time() - 60;
    open.open_price = 2049.5;
    ASSERT_TRUE(storage->insert_trade(open));

    auto read_account_data = [&](net::PacketStream& stream) {
        EXPECT_TRUE(send(stream, [](net::OutputBuffer& out) {
            out.put_command(Command::AccountData);
            out.put_u32(0);
        }));
        EXPECT_EQ(stream.read_byte(), kOk);
        net::CompressedBlock block = net::read_compressed(stream, 262144);
        return trade::parse_account_data({block.bytes.get(), block.size});
    };

    auto first = logged_in(1001, "secret1");
    std::optional<trade::AccountDataReply> reply = read_account_data(*first);
    ASSERT_TRUE(reply);
    const trade::AccountData& data = reply->account;
    EXPECT_EQ(data.login, 1001);
    EXPECT_EQ(data.leverage, 200);
    EXPECT_DOUBLE_EQ(data.balance, 5000);
    EXPECT_EQ(core::field_text(data.name), "Ann Example");
    EXPECT_EQ(core::field_text(data.group.name), "demo");
    EXPECT_EQ(core::field_text(data.group.deposit_currency), "USD");
    EXPECT_EQ(data.group.symbol_groups[1].minimum_volume, 1);
    EXPECT_EQ(data.first_login, 1);
    EXPECT_EQ(data.news_setting, trade::kNewsHeaders);
    EXPECT_EQ(data.history_server_version, 445);
    EXPECT_FALSE(trade::reports_previous_authorization(data));
    ASSERT_EQ(reply->open_trades.size(), 1u);
    EXPECT_EQ(core::field_text(reply->open_trades[0].symbol), "XAUUSD");
    EXPECT_EQ(reply->open_trades[0].digits, 2);
    EXPECT_DOUBLE_EQ(reply->open_trades[0].open_price, 2049.5);

    auto second = logged_in(1001, "secret1");
    reply = read_account_data(*second);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->account.first_login, 0);
    EXPECT_EQ(trade::dotted_address(reply->account.last_address), "127.0.0.1");
    EXPECT_TRUE(trade::reports_previous_authorization(reply->account));

    auto reader = logged_in(1005, "secret5");
    reply = read_account_data(*reader);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->account.news_setting, trade::kNewsOnRequest);
    EXPECT_EQ(core::field_text(reply->account.group.deposit_currency), "EUR");
    EXPECT_TRUE(reply->open_trades.empty());
}

// A trade channel is served only what a channel uses; the requests of a connected terminal
// wait for its login data. Anything else closes the connection unanswered.
TEST_F(LoginDataServer, CommandsOutsideTheLoginModeOrBeforeTheLoginDataClose) {
    const Bytes subscription = {150, 0, 0};
    const Bytes chart_request = {156, 0, 0};
    const struct {
        const char* what;
        net::LoginMode mode;
        bool after_account_data;
        Bytes request;
        bool closes;
    } cases[] = {
        {"channel: account data", net::LoginMode::TradeChannel, false, {30, 0, 0, 0, 0}, true},
        {"channel: server information", net::LoginMode::TradeChannel, false, {16}, true},
        {"channel: subscription", net::LoginMode::TradeChannel, false, subscription, true},
        {"terminal: subscription first", net::LoginMode::TradeServer, false, subscription, true},
        {"terminal: chart request first", net::LoginMode::TradeServer, false, chart_request, true},
        {"terminal: news body first", net::LoginMode::TradeServer, false, {157, 1, 0, 0, 0}, true},
        {"history server: chart request first", net::LoginMode::HistoryServer, false, chart_request, true},
        {"terminal: subscription after", net::LoginMode::TradeServer, true, subscription, false},
        {"terminal: chart request after", net::LoginMode::TradeServer, true, chart_request, false},
        {"history server: subscription after", net::LoginMode::HistoryServer, true, subscription, false},
    };
    for (const auto& c : cases) {
        const char* password = c.mode == net::LoginMode::HistoryServer ? "" : "secret1";
        auto stream = c.after_account_data ? terminal(1001, password, c.mode) : logged_in(1001, password, c.mode);
        ASSERT_TRUE(send(*stream, [&](net::OutputBuffer& out) { out.put_bytes(c.request.data(), c.request.size()); }))
            << c.what;
        if (c.closes) {
            stream->read_byte();
            EXPECT_FALSE(stream->is_open()) << c.what;
        } else {
            expect_in_step(*stream);
        }
    }
}

TEST_F(LoginDataServer, UpdateQueryOffersOnlyANewerBuild) {
    auto stream = logged_in(1001, "secret1");
    const struct {
        uint32_t version, build;
        int code;
    } cases[] = {{400, 445, kOk}, {401, 499, kOk}, {401, 500, kNothingNew}, {402, 1, kNothingNew}};
    for (const auto& c : cases) {
        ASSERT_TRUE(send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(Command::UpdateQuery);
            out.put_byte(4);
            out.put_u32(c.version);
            out.put_u32(c.build);
            out.put_byte(5);
            out.put_bytes("Brand", 5);
        }));
        ASSERT_EQ(stream->read_byte(), c.code) << c.version << " " << c.build;
        if (c.code == kOk) {
            int32_t version = 0, build = 0;
            ASSERT_TRUE(stream->read_i32(version) && stream->read_i32(build));
            EXPECT_EQ(version, 401);
            EXPECT_EQ(build, 500);
        }
    }
    expect_in_step(*stream);
}

TEST_F(LoginDataServer, QuotesFollowTheSubscriptionOnly) {
    auto stream = terminal(1001, "secret1");
    clock.advance_ms(5000);
    server->feed().pump();
    ASSERT_TRUE(send(*stream, [](net::OutputBuffer& out) {
        out.put_command(Command::Subscription);
        out.put_u16(1);
        out.put_u16(1);
    }));
    size_t received = 0;
    for (int round = 0; round < 5; ++round) {
        clock.advance_ms(2000);
        server->feed().pump();
        ASSERT_EQ(stream->read_byte(), net::command_byte(Command::Quotes));
        const uint8_t count = stream->read_byte();
        ASSERT_GE(count, 1);
        for (int i = 0; i < count; ++i, ++received) {
            market::TickRecord tick;
            ASSERT_TRUE(stream->read(&tick, sizeof tick));
            // Packed fields are copied before the checks bind references to them.
            const uint16_t symbol_index = tick.symbol_index;
            const float bid = tick.bid, ask = tick.ask;
            EXPECT_EQ(symbol_index, 1) << "only the subscribed instrument";
            EXPECT_GT(ask, bid);
        }
    }
    EXPECT_GT(received, 0u);
}

struct ChartAnswer {
    market::ChartHistoryHeader header{};
    std::vector<market::BarRecord> bars;
};

// Reads one chart answer in the form the client reads from a server of that build.
ChartAnswer read_chart_answer(net::PacketStream& stream, bool wide, int digits) {
    ChartAnswer answer;
    EXPECT_EQ(stream.read_byte(), net::command_byte(Command::ChartHistory));
    EXPECT_TRUE(stream.read(&answer.header, sizeof answer.header));
    for (int32_t i = 0; i < answer.header.bar_count; ++i) {
        if (wide) {
            market::WireBar28 bar;
            EXPECT_TRUE(stream.read(&bar, sizeof bar));
            answer.bars.push_back(market::bar_from_wire(bar, digits));
        } else {
            market::WireBar22 bar;
            EXPECT_TRUE(stream.read(&bar, sizeof bar));
            answer.bars.push_back(market::bar_from_wire(bar, digits));
        }
    }
    return answer;
}

void request_chart(net::PacketStream& stream, std::initializer_list<market::ChartRequest> requests) {
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(Command::ChartHistory);
    out.put_u16(static_cast<uint16_t>(requests.size()));
    for (const market::ChartRequest& request : requests) out.put_bytes(&request, sizeof request);
    ASSERT_TRUE(stream.send_output());
}

void expect_bars_match(const ChartAnswer& answer, const std::vector<PointBar>& stored, double point) {
    ASSERT_EQ(answer.bars.size(), stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        // Packed fields are copied before the checks bind references to them.
        const market::BarRecord& bar = answer.bars[i];
        const int32_t time = bar.time;
        const double open = bar.open, high = bar.high, low = bar.low, close = bar.close;
        EXPECT_EQ(time, stored[i].time);
        EXPECT_NEAR(open, stored[i].open * point, point / 2);
        EXPECT_NEAR(high, stored[i].high * point, point / 2);
        EXPECT_NEAR(low, stored[i].low * point, point / 2);
        EXPECT_NEAR(close, stored[i].close * point, point / 2);
        EXPECT_GE(high, low);
    }
}

TEST_F(LoginDataServer, ChartRequestsAreAnsweredInTheWideFormFromBuild325) {
    auto stream = terminal(1001, "secret1");
    BarHistory& history = server->history();
    const int32_t newest = history.bars_before(0, 60, std::numeric_limits<int32_t>::max(), 1).at(0).time;
    request_chart(*stream, {market::ChartRequest{"EURUSD", 60, 0, 0}, market::ChartRequest{"NOSUCH", 60, 0, 0},
                            market::ChartRequest{"XAUUSD", 15, newest, 10}, market::ChartRequest{"EURUSD", 7, 0, 0}});
    ChartAnswer all = read_chart_answer(*stream, true, 5);
    EXPECT_EQ(core::field_text(all.header.symbol), "EURUSD");
    EXPECT_EQ(all.header.period, 60);
    EXPECT_GE(all.header.bar_count, 3 * 24) << "three days of hours";
    EXPECT_EQ(all.header.oldest_time, history.oldest_time(0, 60));
    expect_bars_match(all, history.bars(0, 60, 0, std::numeric_limits<int32_t>::max(), 100000), 0.00001);

    ChartAnswer before = read_chart_answer(*stream, true, 2);
    EXPECT_EQ(core::field_text(before.header.symbol), "XAUUSD");
    ASSERT_EQ(before.header.bar_count, 10);
    const int32_t last_time = before.bars.back().time;
    EXPECT_LT(last_time, newest);
    expect_bars_match(before, history.bars_before(1, 15, newest, 10), 0.01);
    expect_in_step(*stream);   // unknown symbols and periods get no answer
}

TEST_F(LoginDataServer, ChartRequestsAreAnsweredInTheNarrowFormBelowBuild325) {
    start(testing_support::login_data_config(320));
    auto stream = terminal(1001, "secret1");
    request_chart(*stream, {market::ChartRequest{"EURUSD", 1, 0, 100}});
    ChartAnswer answer = read_chart_answer(*stream, false, 5);
    ASSERT_EQ(answer.header.bar_count, 100);
    expect_bars_match(answer, server->history().bars_before(0, 1, std::numeric_limits<int32_t>::max(), 100), 0.00001);
    expect_in_step(*stream);
}

TEST_F(LoginDataServer, NewsBodyRequestAnswersWithTheBody) {
    // Stored after the login data, so that it isn't pushed ahead of the answers.
    auto stream = terminal(1001, "secret1");
    std::optional<int64_t> id = storage->add_news(NewsRow{0, clock.unix_time(), "Rates", "macro", "Body text\nline 2"});
    ASSERT_TRUE(id);
    for (uint32_t asked : {static_cast<uint32_t>(*id), 9999u}) {
        ASSERT_TRUE(send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(Command::NewsBody);
            out.put_u32(asked);
        }));
        ASSERT_EQ(stream->read_byte(), net::command_byte(Command::NewsBody));
        uint32_t answered = 0;
        ASSERT_TRUE(stream->read_u32(answered));
        EXPECT_EQ(answered, asked);
        net::CompressedBlock block = net::read_compressed(*stream, 32767);
        ASSERT_TRUE(block.ok());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.bytes.get()), block.size),
                  asked == 9999u ? "" : "Body text\nline 2");
    }
    expect_in_step(*stream);
}

TEST_F(LoginDataServer, HistoryServerSynchronisesWithTheTimeSign) {
    auto stream = logged_in(1001, "", net::LoginMode::HistoryServer);
    auto synchronise = [&](int32_t first, int32_t newest, int32_t sign) {
        market::HistorySyncRequest request{"EURUSD", 240, first, newest, sign, 2};
        return send(*stream, [&](net::OutputBuffer& out) {
            out.put_command(Command::HistorySync);
            out.put_bytes(&request, sizeof request);
        });
    };
    ASSERT_TRUE(synchronise(0, 0, 0));
    ASSERT_EQ(stream->read_byte(), kOk);
    int32_t sign = 0;
    ASSERT_TRUE(stream->read_i32(sign));
    EXPECT_EQ(sign, server->history().time_sign());
    auto bars = records<market::WireBar28>(net::read_compressed(*stream, 5000000));
    const std::vector<PointBar> stored = server->history().bars(0, 240, 0, std::numeric_limits<int32_t>::max(), 100000);
    ASSERT_EQ(bars.size(), stored.size());
    ASSERT_GE(bars.size(), 3u * 6);
    EXPECT_EQ(bars.front().time, stored.front().time);
    EXPECT_EQ(bars.back().close_delta, stored.back().close - stored.back().open);

    ASSERT_TRUE(synchronise(bars.front().time, bars.back().time, sign));
    EXPECT_EQ(stream->read_byte(), kNothingNew) << "no bar after the client's newest";

    ASSERT_TRUE(synchronise(bars.front().time, bars[bars.size() - 3].time, sign));
    ASSERT_EQ(stream->read_byte(), kOk);
    ASSERT_TRUE(stream->read_i32(sign));
    EXPECT_EQ(records<market::WireBar28>(net::read_compressed(*stream, 5000000)).size(), 3u)
        << "from the client's newest bar on";

    ASSERT_TRUE(synchronise(bars.front().time, bars.back().time, sign + 1));
    ASSERT_EQ(stream->read_byte(), kOk) << "another server's data is replaced";
    ASSERT_TRUE(stream->read_i32(sign));
    EXPECT_EQ(records<market::WireBar28>(net::read_compressed(*stream, 5000000)).size(), stored.size());
    expect_in_step(*stream);
}

}  // namespace
}  // namespace kb::server
