#include "market/symbols_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "market_test_support.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::market {
namespace {

using testing::make_symbol;
using testing::make_tick;

struct RecordingListener : TickListener {
    void on_tick(const TickRecord& tick) override { ticks.push_back(tick); }
    void on_symbol_updated(const SymbolRecord& symbol) override { updated.emplace_back(core::field_text(symbol.name)); }
    std::vector<TickRecord> ticks;
    std::vector<std::string> updated;
};

struct FixedUsage : SymbolUsage {
    std::vector<std::string> symbols_in_use() override { return names; }
    std::vector<std::string> names;
};

std::vector<uint8_t> bytes_of_file(const std::string& path) {
    auto bytes = platform::read_file(path);
    return bytes ? *bytes : std::vector<uint8_t>{};
}

template <typename T>
std::vector<uint8_t> raw_bytes(const T* data, size_t count) {
    const auto* begin = reinterpret_cast<const uint8_t*>(data);
    return {begin, begin + count * sizeof(T)};
}

class SymbolsBaseTest : public ::testing::Test {
protected:
    std::string server_file(const std::string& server, const std::string& name) const {
        return folder.file("history/" + server + "/" + name);
    }
    std::unique_ptr<SymbolsBase> open(const std::string& server = "Demo") {
        return std::make_unique<SymbolsBase>(folder.path(), server, nullptr, &listener);
    }
    // Three symbols, EURUSD selected alone.
    std::unique_ptr<SymbolsBase> open_with_eurusd() {
        auto base = open();
        const SymbolRecord symbols[] = {make_symbol("EURUSD", 1, 5, 1), make_symbol("USDJPY", 2, 3, 2),
                                        make_symbol("GOLD", 3, 2, 3, 1)};
        base->replace_symbols(symbols);
        const std::string names[] = {"EURUSD"};
        base->set_selection(names);
        return base;
    }

    ::kb::testing::TempFolder folder;
    RecordingListener listener;
};

TEST_F(SymbolsBaseTest, SpreadDifferenceWidensTheQuoteAndKeepsTheRawPrices) {
    auto base = open_with_eurusd();
    GroupRecord group{};
    group.symbol_groups[0].spread_difference = 3;
    base->set_group_settings(group);

    TickRecord ticks[] = {make_tick(1, 1000, 1.23450f, 1.23470f)};
    base->add_quotes(ticks);

    auto entry = base->selected_by_name("EURUSD");
    ASSERT_TRUE(entry);
    EXPECT_DOUBLE_EQ(entry->bid, 1.23449);
    EXPECT_DOUBLE_EQ(entry->ask, 1.23472);
    EXPECT_DOUBLE_EQ(entry->raw_bid, 1.23450);
    EXPECT_DOUBLE_EQ(entry->raw_ask, 1.23470);
    EXPECT_EQ(int32_t{entry->time}, 1000);
    EXPECT_EQ(int32_t{entry->updated}, 1);
    // The packet carries the adjusted prices on to the trade base; the history centre saw
    // the quote as received.
    EXPECT_FLOAT_EQ(ticks[0].bid, 1.23449f);
    EXPECT_FLOAT_EQ(ticks[0].ask, 1.23472f);
    ASSERT_EQ(listener.ticks.size(), 1u);
    EXPECT_FLOAT_EQ(listener.ticks[0].bid, 1.23450f);
    EXPECT_EQ(base->newest_quote_time(), 1000);
}

TEST_F(SymbolsBaseTest, QuoteOfAnUnselectedSymbolOrWithoutANumberChangesNothing) {
    auto base = open_with_eurusd();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TickRecord ticks[] = {make_tick(2, 1000, 150.5f, 150.6f), make_tick(1, 1000, nan, 1.1f),
                          make_tick(1, 1000, 1.1f, std::numeric_limits<float>::infinity())};
    base->add_quotes(ticks);
    EXPECT_TRUE(listener.ticks.empty());
    EXPECT_FLOAT_EQ(ticks[0].bid, 150.5f);
    EXPECT_EQ(base->newest_quote_time(), 0);
    EXPECT_TRUE(base->recent_ticks("USDJPY").empty());
    EXPECT_TRUE(base->recent_ticks("EURUSD").empty());
    EXPECT_EQ(int32_t{base->selected_by_name("EURUSD")->updated}, 0);
}

TEST_F(SymbolsBaseTest, PacketIsProcessedFromItsLastRecord) {
    auto base = open_with_eurusd();
    TickRecord ticks[] = {make_tick(1, 2000, 1.1002f, 1.1004f), make_tick(1, 1000, 1.1000f, 1.1002f)};
    base->add_quotes(ticks);
    ASSERT_EQ(listener.ticks.size(), 2u);
    EXPECT_EQ(int32_t{listener.ticks[0].time}, 1000);
    auto entry = base->selected_by_name("EURUSD");
    EXPECT_EQ(int32_t{entry->time}, 2000);
    EXPECT_DOUBLE_EQ(entry->bid, 1.1002);
    EXPECT_EQ(int32_t{entry->direction}, 0);   // up from 1.1000

    TickRecord lower[] = {make_tick(1, 3000, 1.0990f, 1.0992f)};
    base->add_quotes(lower);
    EXPECT_EQ(int32_t{base->selected_by_name("EURUSD")->direction}, 1);
    auto recent = base->recent_ticks("EURUSD");
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(int32_t{recent[0].time}, 3000);
    EXPECT_EQ(int32_t{recent[1].time}, 2000);
    EXPECT_EQ(int32_t{recent[0].sequence}, 3);
}

TEST_F(SymbolsBaseTest, HighLowUpdateIsReadInPointsAndLoweredByHalfTheDifference) {
    auto base = open_with_eurusd();
    GroupRecord group{};
    group.symbol_groups[0].spread_difference = 2;
    base->set_group_settings(group);
    TickRecord update = make_tick(1, 0, 0, 0);
    update.set_high_low_points(125000, 120010);
    TickRecord ticks[] = {update};
    base->add_quotes(ticks);
    auto entry = base->selected_by_name("EURUSD");
    EXPECT_DOUBLE_EQ(entry->high, 1.24999);
    EXPECT_DOUBLE_EQ(entry->low, 1.20009);
    EXPECT_EQ(int32_t{entry->updated}, 1);
    EXPECT_TRUE(listener.ticks.empty());
}

TEST_F(SymbolsBaseTest, UpdatedFlagIsCollectedOnceAndAtMost32AtATime) {
    auto base = open();
    std::vector<SymbolRecord> symbols;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back("S" + std::to_string(i));
        symbols.push_back(make_symbol(names.back(), i + 1, 5, i));
    }
    base->replace_symbols(symbols);
    base->set_selection(names);
    base->mark_all_updated();
    std::vector<SelectedSymbol> out(64);
    EXPECT_EQ(base->collect_updated(out), 32u);
    EXPECT_EQ(base->collect_updated(out), 8u);
    EXPECT_EQ(base->collect_updated(out), 0u);

    // A repeated identical quote does not clear a change not yet collected.
    TickRecord first[] = {make_tick(1, 1000, 1.1f, 1.2f)};
    TickRecord same[] = {make_tick(1, 1000, 1.1f, 1.2f)};
    base->add_quotes(first);
    base->add_quotes(same);
    EXPECT_EQ(base->collect_updated(out), 1u);
}

TEST_F(SymbolsBaseTest, SubscriptionListIsSortedAndEmptySelectionAsksFor32767) {
    auto base = open();
    const SymbolRecord symbols[] = {make_symbol("A", 30, 5, 9000), make_symbol("B", 7, 5, 9001),
                                    make_symbol("C", 12, 5, 9002)};
    base->replace_symbols(symbols);   // sort keys of 8000 and above: no default selection
    auto list = base->subscription_list();
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, std::vector<uint16_t>{kNoSubscription});
    EXPECT_FALSE(base->subscription_list());

    const std::string names[] = {"A", "B", "C"};
    base->set_selection(names);
    list = base->subscription_list();
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<uint16_t>{7, 12, 30}));
}

TEST_F(SymbolsBaseTest, DefaultSelectionTakesTenSmallestSortKeysBelow8000) {
    auto base = open();
    std::vector<SymbolRecord> symbols;
    const int keys[] = {8000, 5, 3, 7999, 12, 1, 9, 2, 4, 6, 10, 11, 8, 20000};
    for (size_t i = 0; i < std::size(keys); ++i)
        symbols.push_back(make_symbol("K" + std::to_string(keys[i]), static_cast<int>(i + 1), 5, keys[i]));
    base->replace_symbols(symbols);
    ASSERT_EQ(base->selected_count(), 10u);
    std::vector<std::string> selected;
    for (size_t i = 0; i < 10; ++i) {
        auto entry = base->selected_at(i);
        selected.emplace_back(core::field_text(entry->name));
        EXPECT_EQ(int32_t{entry->shown}, 1);
        EXPECT_EQ(int32_t{entry->direction}, 2);
    }
    EXPECT_EQ(selected, (std::vector<std::string>{"K1", "K2", "K3", "K4", "K5", "K6", "K8", "K9", "K10", "K11"}));
}

TEST_F(SymbolsBaseTest, FilesAreWrittenInTheServerFolderAndReadBack) {
    {
        auto base = open_with_eurusd();
        TickRecord ticks[] = {make_tick(1, 1000, 1.5f, 1.6f)};
        base->add_quotes(ticks);
        EXPECT_EQ(bytes_of_file(server_file("Demo", "symbols.raw")).size(), 3 * sizeof(SymbolRecord));
    }
    std::vector<uint8_t> selection = bytes_of_file(server_file("Demo", "symbols.sel"));
    ASSERT_EQ(selection.size(), 4 + sizeof(SelectedSymbol));
    int32_t version = 0;
    std::memcpy(&version, selection.data(), 4);
    EXPECT_EQ(version, 400);
    SelectedSymbol stored;
    std::memcpy(&stored, selection.data() + 4, sizeof stored);
    EXPECT_EQ(core::field_text(stored.name), "EURUSD");
    EXPECT_DOUBLE_EQ(stored.bid, 1.5);
    EXPECT_EQ(bytes_of_file(server_file("Demo", "symgroups.raw")).size(), 2560u);

    auto again = open();
    EXPECT_EQ(again->symbol_count(), 3u);
    auto entry = again->selected_by_name("EURUSD");
    ASSERT_TRUE(entry);
    EXPECT_DOUBLE_EQ(entry->bid, 1.5);
    EXPECT_EQ(int32_t{entry->updated}, 1);
    EXPECT_EQ(again->selected_count(), 1u);
    EXPECT_EQ(again->symbols_digest(), net::md5(bytes_of_file(server_file("Demo", "symbols.raw"))));
    EXPECT_EQ(again->groups_digest(), net::md5(bytes_of_file(server_file("Demo", "symgroups.raw"))));
}

TEST_F(SymbolsBaseTest, MissingServerFilesFallBackToTheDefaultFolder) {
    {
        auto base = open("default");
        const SymbolRecord symbols[] = {make_symbol("EURUSD", 1, 5, 1), make_symbol("GBPUSD", 2, 5, 2)};
        base->replace_symbols(symbols);
    }
    auto base = open("Other");
    EXPECT_EQ(base->symbol_count(), 2u);
    EXPECT_EQ(base->selected_count(), 2u);
    EXPECT_FALSE(platform::file_exists(server_file("Other", "symbols.raw")));
    base->select("EURUSD", Shown::No, Save::Yes);
    EXPECT_TRUE(platform::file_exists(server_file("Other", "symbols.sel")));
}

TEST_F(SymbolsBaseTest, EmptyBaseDigestsAreZeroForSymbolsAndMd5OfZeroGroups) {
    auto base = open();
    EXPECT_EQ(base->symbols_digest(), net::Md5Digest{});
    std::vector<uint8_t> zero_table(2560);
    EXPECT_EQ(base->groups_digest(), net::md5(zero_table));
}

TEST_F(SymbolsBaseTest, OlderSelectionFileIsConvertedAndUnknownFormIgnored) {
    {
        auto base = open();
        const SymbolRecord symbols[] = {make_symbol("EURUSD", 1, 5, 9000), make_symbol("USDJPY", 2, 3, 9001)};
        base->replace_symbols(symbols);
    }
    SelectedSymbol old_entries[2]{};
    core::set_field_text(old_entries[0].name, "USDJPY");
    old_entries[0].bid = 150.25;
    old_entries[0].ask = 150.28;
    old_entries[0].shown = 1;
    core::set_field_text(old_entries[1].name, "GONE");
    std::vector<uint8_t> old_file;
    for (const SelectedSymbol& entry : old_entries) {
        const auto* begin = reinterpret_cast<const uint8_t*>(&entry);
        old_file.insert(old_file.end(), begin, begin + kOldSelectedSymbolSize);
    }
    ASSERT_TRUE(platform::write_file_atomic(server_file("Demo", "symbols.sel"), old_file));

    {
        auto base = open();
        ASSERT_EQ(base->selected_count(), 1u);
        auto entry = base->selected_at(0);
        EXPECT_EQ(core::field_text(entry->name), "USDJPY");
        EXPECT_EQ(int32_t{entry->symbol_index}, 2);
        EXPECT_EQ(int32_t{entry->digits}, 3);
        EXPECT_DOUBLE_EQ(entry->raw_bid, 150.25);
        EXPECT_DOUBLE_EQ(entry->raw_ask, 150.28);
        std::vector<uint8_t> rewritten = bytes_of_file(server_file("Demo", "symbols.sel"));
        EXPECT_EQ(rewritten.size(), 4 + sizeof(SelectedSymbol));
    }

    std::vector<uint8_t> neither(113, 0x41);
    ASSERT_TRUE(platform::write_file_atomic(server_file("Demo", "symbols.sel"), neither));
    auto base = open();
    EXPECT_EQ(base->selected_count(), 0u);   // no sort key below 8000 either
}

TEST_F(SymbolsBaseTest, DamagedFilesGiveEmptyStoresWithoutACrash) {
    platform::make_directory(folder.file("history"));
    platform::make_directory(folder.file("history/Demo"));
    const std::vector<uint8_t> cases[] = {{}, {1, 2, 3}, std::vector<uint8_t>(1935, 0xFF), std::vector<uint8_t>(5000, 0x90)};
    for (const auto& bytes : cases) {
        for (const char* name : {"symbols.raw", "symgroups.raw", "symbols.sel"})
            ASSERT_TRUE(platform::write_file_atomic(server_file("Demo", name), bytes));
        auto base = open();
        EXPECT_EQ(base->symbol_count(), bytes.size() / sizeof(SymbolRecord)) << bytes.size();
        if (bytes.size() < kSymbolGroupTableSize) {
            EXPECT_EQ(base->group_at(0).name[0], 0) << bytes.size();
        }
        TickRecord ticks[] = {make_tick(0x9090, 1000, 1.0f, 1.1f)};
        base->add_quotes(ticks);
        EXPECT_TRUE(base->subscription_list());
    }
}

TEST_F(SymbolsBaseTest, GroupOverridesReplaceOnlyGivenValues) {
    auto base = open_with_eurusd();
    GroupRecord group{};
    group.override_count = 1;
    core::set_field_text(group.overrides[0].symbol, "USDJPY");
    group.overrides[0].value_1680 = 7.5;
    group.overrides[0].value_1688 = kNotOverridden;
    group.overrides[0].margin_divider = 2.0;
    SymbolRecord before = *base->symbol_by_name("USDJPY");
    base->set_group_settings(group);
    SymbolRecord after = *base->symbol_by_name("USDJPY");
    EXPECT_EQ(static_cast<double>(after.override_value_1680), 7.5);
    EXPECT_EQ(static_cast<double>(after.override_value_1688), static_cast<double>(before.override_value_1688));
    EXPECT_EQ(static_cast<double>(after.margin_divider), 2.0);

    GroupUpdateRecord updates[2]{};
    updates[0].header.transaction_type = 2;
    core::set_field_text(updates[0].group.name, "other");
    updates[1].header.transaction_type = 2;
    core::set_field_text(updates[1].group.name, "demo");
    EXPECT_EQ(base->apply_group_updates(updates, "demo"), 1u);
}

TEST_F(SymbolsBaseTest, SymbolUpdateOfType2ReplacesTheSymbolAndItsSelectionFields) {
    auto base = open_with_eurusd();
    SymbolUpdateRecord updates[3]{};
    updates[0].header.transaction_type = 1;
    updates[0].symbol = make_symbol("EURUSD", 1, 2, 1);
    updates[1].header.transaction_type = 2;
    updates[1].symbol = make_symbol("EURUSD", 1, 4, 50);
    updates[2].header.transaction_type = 2;
    updates[2].symbol = make_symbol("NOSUCH", 99, 4, 0);
    base->update_symbols(updates);
    EXPECT_EQ(int32_t{base->symbol_by_name("EURUSD")->digits}, 4);
    EXPECT_EQ(int32_t{base->symbol_at(2)->sort_key}, 50);   // sorted by key
    EXPECT_FALSE(base->symbol_by_name("NOSUCH"));
    EXPECT_EQ(int32_t{base->selected_by_name("EURUSD")->digits}, 4);
    EXPECT_EQ(listener.updated, (std::vector<std::string>{"EURUSD", "NOSUCH"}));
}

TEST_F(SymbolsBaseTest, HideKeepsSymbolsInUse) {
    auto base = open_with_eurusd();
    FixedUsage trades, charts;
    trades.names = {"USDJPY"};
    charts.names = {"GOLD"};
    base->set_usage_sources(&trades, &charts);
    base->select("USDJPY", Shown::Yes, Save::No);
    base->select("GOLD", Shown::No, Save::No);
    EXPECT_FALSE(base->hide(1));
    EXPECT_FALSE(base->hide(9));
    base->hide_all_not_in_use();
    ASSERT_EQ(base->selected_count(), 2u);
    EXPECT_FALSE(base->selected_by_name("EURUSD"));
    EXPECT_EQ(int32_t{base->selected_by_name("GOLD")->shown}, 1);
    charts.names.clear();
    EXPECT_TRUE(base->hide(1));
    EXPECT_EQ(base->selected_count(), 1u);
}

TEST_F(SymbolsBaseTest, SelectEnsureSelectedAndSelectAll) {
    auto base = open_with_eurusd();
    EXPECT_FALSE(base->select("NOSUCH", Shown::Yes, Save::No));
    EXPECT_FALSE(base->select("EURUSD", Shown::Yes, Save::No));   // already shown
    EXPECT_TRUE(base->select("EURUSD", Shown::No, Save::No));

    EXPECT_FALSE(base->ensure_selected("NOSUCH"));
    auto prices = base->ensure_selected("GOLD");
    ASSERT_TRUE(prices);
    EXPECT_EQ(prices->bid, 0.0);
    EXPECT_EQ(int32_t{base->selected_by_name("GOLD")->shown}, 0);

    base->select_all();
    EXPECT_EQ(base->selected_count(), 3u);
    EXPECT_EQ(int32_t{base->selected_by_name("GOLD")->shown}, 1);
}

TEST_F(SymbolsBaseTest, ReplaceDropsSelectedSymbolsThatAreGoneAndSetGroupsChecksTheCount) {
    auto base = open_with_eurusd();
    const SymbolRecord symbols[] = {make_symbol("USDJPY", 5, 3, 2)};
    base->replace_symbols(symbols);
    EXPECT_FALSE(base->selected_by_name("EURUSD"));
    EXPECT_TRUE(base->selected_by_name("USDJPY"));   // default selection after it went empty

    std::vector<SymbolGroupRecord> groups(33);
    EXPECT_FALSE(base->set_groups(groups));
    std::vector<SymbolGroupRecord> two(2);
    core::set_field_text(two[1].name, "Metals");
    SymbolGroupRecord stale{};
    core::set_field_text(stale.name, "Stale");
    std::vector<SymbolGroupRecord> full(32, stale);
    EXPECT_TRUE(base->set_groups(full));
    EXPECT_TRUE(base->set_groups(two));
    EXPECT_EQ(core::field_text(base->group_at(1).name), "Metals");
    EXPECT_EQ(base->group_at(5).name[0], 0);
    EXPECT_EQ(base->group_at(32).name[0], 0);
}

TEST_F(SymbolsBaseTest, SetServerSavesTheOldFolderAndLoadsTheNew) {
    auto base = open_with_eurusd();
    EXPECT_FALSE(base->set_server("Demo"));
    EXPECT_TRUE(base->set_server("Live"));
    EXPECT_EQ(base->server(), "Live");
    EXPECT_EQ(base->symbol_count(), 0u);
    EXPECT_TRUE(base->set_server("Demo"));
    EXPECT_EQ(base->symbol_count(), 3u);
    EXPECT_TRUE(base->selected_by_name("EURUSD"));

    for (const char* name : {"", "..", "../escape", "a/b"}) {
        EXPECT_TRUE(base->set_server(name)) << name;
        EXPECT_EQ(base->server(), "default") << name;
        base->set_server("Demo");
    }
}

TEST_F(SymbolsBaseTest, QuotesAndReadersMayRunOnDifferentThreads) {
    auto base = open_with_eurusd();
    constexpr int kQuotes = 2000;
    std::thread feeder([&] {
        for (int i = 1; i <= kQuotes; ++i) {
            TickRecord ticks[] = {make_tick(1, i, 1.0f + static_cast<float>(i) / 8192, 1.5f)};
            base->add_quotes(ticks);
        }
    });
    std::vector<SelectedSymbol> out(32);
    int32_t last_seen = 0;
    for (int i = 0; i < kQuotes; ++i) {
        for (size_t n = base->collect_updated(out); n > 0; --n) {
            const int32_t time = out[n - 1].time;
            EXPECT_GE(time, last_seen);
            last_seen = time;
        }
        base->recent_ticks("EURUSD");
        base->subscription_list();
    }
    feeder.join();
    EXPECT_EQ(int32_t{base->selected_by_name("EURUSD")->time}, kQuotes);
    EXPECT_EQ(base->newest_quote_time(), kQuotes);
}

TEST(TickHistory, ShedsThe256OldestWhenAbove4090) {
    TickHistory history;
    for (int i = 0; i < 4091; ++i) ASSERT_TRUE(history.append("EURUSD", i + 1, 1.0, 1.1));
    EXPECT_EQ(history.size(), 4091u);
    history.append("GBPUSD", 5000, 1.2, 1.3);
    EXPECT_EQ(history.size(), 4091u - 256u + 1u);
    EXPECT_EQ(history.sequence(), 4092);
    auto recent = history.recent("EURUSD");
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(int32_t{recent[0].time}, 4091);
    EXPECT_TRUE(history.take_added());
    EXPECT_FALSE(history.take_added());
}

}  // namespace
}  // namespace kb::market
