#include <gtest/gtest.h>

#include <vector>

#include "market/quote_packets.h"
#include "market/symbols_base.h"
#include "net/output_buffer.h"
#include "session/symbols_store.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::session {
namespace {

using market::testing::make_symbol;
using market::testing::make_tick;
using Bytes = std::vector<uint8_t>;

struct SymbolsStoreTest : ::testing::Test {
    // The bytes of the subscription taken; empty when none was due.
    Bytes subscription() {
        std::optional<std::vector<uint16_t>> indexes = store.take_subscription();
        if (!indexes) return {};
        net::OutputBuffer out;
        market::put_subscription(out, *indexes);
        return Bytes(out.data(), out.data() + out.size());
    }

    kb::testing::TempFolder home;
    market::SymbolsBase base{home.path(), "Alpha", nullptr, nullptr};
    SymbolsStore store{base};
};

TEST_F(SymbolsStoreTest, SubscriptionIsSentSortedOnceAndAgainForEachNewLoop) {
    const market::SymbolRecord symbols[] = {make_symbol("EURUSD", 7, 5, 2), make_symbol("GBPUSD", 3, 5, 1),
                                            make_symbol("USDJPY", 300, 3, 3)};
    store.replace_symbols(symbols);
    const Bytes expected = {150, 3, 0, 3, 0, 7, 0, 0x2C, 0x01};
    EXPECT_EQ(subscription(), expected);
    EXPECT_EQ(subscription(), Bytes{}) << "unchanged selection";
    store.set_loop_running(false);
    EXPECT_EQ(subscription(), Bytes{});
    store.set_loop_running(true);
    EXPECT_EQ(subscription(), expected) << "a new connection is told again";
}

TEST_F(SymbolsStoreTest, EmptySelectionSubscribesTheNoSymbolIndex) {
    // Sort keys of 8000 and above never enter the default selection.
    const market::SymbolRecord symbols[] = {make_symbol("EURUSD", 7, 5, 8000)};
    store.replace_symbols(symbols);
    EXPECT_EQ(subscription(), (Bytes{150, 1, 0, 0xFF, 0x7F}));
}

TEST_F(SymbolsStoreTest, TicksOfSelectedSymbolsReachTheMarketWatchAndTheCallersRecordsStay) {
    const market::SymbolRecord symbols[] = {make_symbol("EURUSD", 7, 5, 1)};
    store.replace_symbols(symbols);
    market::GroupRecord group{};
    group.symbol_groups[0].spread_difference = 3;
    store.set_group(group);
    const std::vector<market::TickRecord> ticks = {make_tick(9, 1000, 1.5f, 1.6f), make_tick(7, 1000, 1.2345f, 1.2347f)};
    store.apply_ticks(ticks);

    std::optional<market::SelectedSymbol> entry = base.selected_by_name("EURUSD");
    ASSERT_TRUE(entry);
    EXPECT_DOUBLE_EQ(entry->raw_bid, 1.2345);
    EXPECT_DOUBLE_EQ(entry->bid, 1.23449);
    EXPECT_DOUBLE_EQ(entry->ask, 1.23472);
    EXPECT_EQ(entry->time, 1000);
    EXPECT_EQ(ticks[1].bid, 1.2345f) << "the session's packet is not adjusted in place";
}

TEST_F(SymbolsStoreTest, PrepareServerSwitchesToThatServersStoredSymbols) {
    const market::SymbolRecord symbols[] = {make_symbol("EURUSD", 7, 5, 1)};
    store.replace_symbols(symbols);
    const net::Md5Digest alpha = store.symbols_digest();
    EXPECT_NE(alpha, net::Md5Digest{});

    store.prepare_server("Beta");
    EXPECT_EQ(store.symbols_digest(), net::Md5Digest{}) << "nothing stored for Beta";
    EXPECT_EQ(base.selected_count(), 0u);
    store.prepare_server("Alpha");
    EXPECT_EQ(store.symbols_digest(), alpha);
    EXPECT_TRUE(base.selected_by_name("EURUSD"));
}

TEST_F(SymbolsStoreTest, GroupTablesOfMoreThan32AreIgnored) {
    std::vector<market::SymbolGroupRecord> groups(2);
    core::set_field_text(groups[1].name, "Metals");
    store.replace_groups(groups);
    const net::Md5Digest two = store.groups_digest();
    store.replace_groups(std::vector<market::SymbolGroupRecord>(33));
    EXPECT_EQ(store.groups_digest(), two);
    EXPECT_STREQ(base.group_at(1).name, "Metals");
}

}  // namespace
}  // namespace kb::session
