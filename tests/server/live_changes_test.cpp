#include <cmath>

#include "core/fixed_text.h"
#include "market/symbol_record.h"
#include "server/admin_commands.h"
#include "tests/server/login_data_fixture.h"
#include "trade/trade_record.h"

namespace kb::server {
namespace {

using net::Command;

class LiveChanges : public testing_support::LoginDataServer {};

TEST_F(LiveChanges, AdminSettingsArePushedAsSymbolAndGroupUpdates) {
    auto stream = terminal(1001, "secret1");
    ASSERT_TRUE(storage->set_override({"instrument", "EURUSD", "stops_level", "25"}));
    ASSERT_TRUE(storage->set_override({"group", "demo", "execution", "market"}));
    next_look();

    ASSERT_EQ(stream->read_byte(), net::command_byte(Command::SymbolUpdates));
    std::vector<market::SymbolUpdateRecord> symbols = records<market::SymbolUpdateRecord>(net::read_compressed(*stream, 1048576));
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0].header.transaction_type, market::kUpdateTransaction);
    EXPECT_EQ(core::field_text(symbols[0].symbol.name), "EURUSD");
    EXPECT_EQ(symbols[0].symbol.stops_level, 25);
    EXPECT_EQ(symbols[1].symbol.stops_level, 0);
    EXPECT_EQ(symbols[1].symbol.execution_mode, market::ExecutionMode::Market) << "the group's mode";

    ASSERT_EQ(stream->read_byte(), net::command_byte(Command::GroupSettings));
    std::vector<market::GroupUpdateRecord> groups = records<market::GroupUpdateRecord>(net::read_compressed(*stream, 1048576));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].header.transaction_type, market::kUpdateTransaction);
    EXPECT_EQ(core::field_text(groups[0].group.name), "demo");
    expect_in_step(*stream);

    next_look();
    expect_in_step(*stream);   // nothing new: nothing pushed again

    // A later login gets the changed list in its login data.
    auto later = logged_in(1003, "secret3");
    ASSERT_TRUE(send(*later, [](net::OutputBuffer& out) {
        out.put_command(Command::Symbols);
        out.put_bytes(net::Md5Digest{}.data(), 16);
    }));
    ASSERT_EQ(later->read_byte(), 0);
    std::vector<market::SymbolRecord> listed = records<market::SymbolRecord>(net::read_compressed(*later, 1048576));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].stops_level, 25);
}

TEST_F(LiveChanges, AdminDepositIsPushedAsABalanceTransaction) {
    auto stream = terminal(1001, "secret1");
    CommandLine line{CommandKind::Deposit, {{"login", "1001"}, {"amount", "250"}}};
    AdminResult result = run_admin_command(line, *config, *storage, clock);
    ASSERT_TRUE(result.ok) << result.message;
    next_look();

    ASSERT_EQ(stream->read_byte(), net::command_byte(Command::TradeUpdates));
    std::vector<trade::TradeTransaction> changes = records<trade::TradeTransaction>(net::read_compressed(*stream, 1048576));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, trade::kTransactionDelete);
    EXPECT_EQ(changes[0].trade.type, trade::kBalance);
    EXPECT_NE(changes[0].trade.close_time, 0);
    EXPECT_DOUBLE_EQ(changes[0].trade.profit, 250);
    EXPECT_DOUBLE_EQ(changes[0].balance, 5250) << "the balance after the deposit";
    expect_in_step(*stream);
}

TEST_F(LiveChanges, ChartBarsAreKeptAndPricesGoOnAfterARestart) {
    BarHistory& history = server->history();
    const int32_t sign = history.time_sign();
    clock.advance_ms(600000);
    server->feed().pump();
    const std::vector<PointBar> hours = history.bars(0, 60, 0, INT32_MAX, 100000);
    const PointBar last_minute = history.bars(0, 1, 0, INT32_MAX, 1).at(0);
    const double last_bid = server->feed().quote(0).bid;

    server.reset();   // stops and saves, before its feed could see the hours it is down
    clock.advance_ms(3 * 3600 * 1000);
    start(testing_support::login_data_config());
    BarHistory& again = server->history();
    EXPECT_EQ(again.time_sign(), sign) << "clients keep their histories";
    const std::vector<PointBar> hours_after = again.bars(0, 60, 0, INT32_MAX, 100000);
    ASSERT_GE(hours_after.size(), hours.size() + 3) << "the hours the server was down are filled";
    for (size_t i = 0; i + 1 < hours.size(); ++i) {
        EXPECT_EQ(hours_after[i].time, hours[i].time);
        EXPECT_EQ(hours_after[i].close, hours[i].close) << "stored bars come back as they were";
    }
    const std::vector<PointBar> minutes = again.bars(0, 1, last_minute.time, last_minute.time + 1, 1);
    ASSERT_EQ(minutes.size(), 1u);
    EXPECT_EQ(minutes[0].close, last_minute.close);
    EXPECT_EQ(minutes[0].volume, last_minute.volume);

    clock.advance_ms(5000);
    server->feed().pump();
    const InstrumentQuote resumed = server->feed().quote(0);
    ASSERT_NE(resumed.time, 0);
    EXPECT_LT(std::fabs(resumed.bid - last_bid), 200 * config->instruments[0].point)
        << "the live prices go on from the stored close, not from the configured start";
}

}  // namespace
}  // namespace kb::server
