#pragma once
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/session_services.h"

namespace kb::testing {

// Sinks for the session under test: they check what arrives, keep only counts and the last
// values tests look at, and drop the data. Thread-safe (atomic counters, a lock for the
// rest).

class RecordingSymbols final : public session::SymbolsSink {
public:
    void prepare_server(std::string_view server_name) override {
        std::lock_guard guard(lock_);
        server_ = std::string(server_name);
    }
    net::Md5Digest symbols_digest() override { return {}; }
    net::Md5Digest groups_digest() override { return {}; }
    void replace_symbols(std::span<const market::SymbolRecord> symbols) override { symbols_received = symbols.size(); ++symbol_lists; }
    void replace_groups(std::span<const market::SymbolGroupRecord> groups) override { groups_received = groups.size(); ++group_tables; }
    void apply_ticks(std::span<const market::TickRecord> ticks) override { ticks_received += ticks.size(); }
    bool apply_symbol_updates(std::span<const market::SymbolUpdateRecord> updates) override {
        updates_received += updates.size();
        return true;
    }
    void set_group(const market::GroupRecord&) override { ++groups_set; }
    void set_loop_running(bool running) override { loop_running = running; }
    std::optional<std::vector<uint16_t>> take_subscription() override { return std::nullopt; }
    std::string prepared_server() {
        std::lock_guard guard(lock_);
        return server_;
    }

    std::atomic<size_t> symbols_received{0}, symbol_lists{0}, groups_received{0}, group_tables{0};
    std::atomic<size_t> ticks_received{0}, updates_received{0}, groups_set{0};
    std::atomic<bool> loop_running{false};

private:
    std::mutex lock_;
    std::string server_;
};

class RecordingHistory final : public session::HistorySink {
public:
    void prepare_server(std::string_view) override { ++preparations; }
    void prime() override { ++primes; }
    void apply_chart_history(const market::ChartHistoryHeader&, std::span<const market::WireBar28> bars28,
                             std::span<const market::WireBar22> bars22) override {
        ++pushes;
        bars_received += bars28.size() + bars22.size();
    }
    std::vector<market::ChartRequest> take_requests() override { return {}; }

    std::atomic<size_t> preparations{0}, primes{0}, pushes{0}, bars_received{0};
};

class RecordingTrade final : public session::TradeSink {
public:
    void clear() override { ++clears; }
    void set_account(const trade::AccountDataReply& reply) override {
        ++accounts;
        open_trades = reply.open_trades.size();
        std::lock_guard guard(lock_);
        group_.assign(reply.account.group.name, strnlen(reply.account.group.name, sizeof reply.account.group.name));
    }
    void set_group(const market::GroupRecord&) override { ++groups_set; }
    std::pair<int32_t, int32_t> history_range() override { return {range_start, range_end}; }
    void replace_history(std::span<const trade::TradeRecord> records) override { history_records = records.size(); ++history_lists; }
    intptr_t revalue() override { return ++revaluations, 0; }
    void recalculate() override { ++recalculations; }
    bool apply_transactions(std::span<const trade::TradeTransaction> transactions) override {
        transactions_received += transactions.size();
        return true;
    }
    int32_t news_setting() override { return news; }
    std::string group_name() override {
        std::lock_guard guard(lock_);
        return group_;
    }

    std::atomic<int32_t> range_start{0}, range_end{0x7fffffff};
    std::atomic<int32_t> news{trade::kNewsHeaders};
    std::atomic<size_t> clears{0}, accounts{0}, open_trades{0}, groups_set{0}, history_records{0}, history_lists{0};
    std::atomic<size_t> revaluations{0}, recalculations{0}, transactions_received{0};

private:
    std::mutex lock_;
    std::string group_;
};

class RecordingTradeChannels final : public session::TradeChannelsSink {
public:
    void reset() override { ++resets; }
    std::atomic<size_t> resets{0};
};

class RecordingNews final : public session::NewsSink {
public:
    void add(const messaging::NewsRecord&, std::string body) override {
        ++items;
        body_bytes += body.size();
    }
    void set_body(uint32_t, std::string body) override {
        ++bodies;
        body_bytes += body.size();
    }
    std::optional<uint32_t> take_body_request() override { return std::nullopt; }
    std::atomic<size_t> items{0}, bodies{0}, body_bytes{0};
};

class RecordingMail final : public session::MailSink {
public:
    void set_recipients(std::span<const messaging::MailRecipient> list) override { recipients = list.size(); ++recipient_lists; }
    void add_message(const messaging::MailRecord&, std::string) override { ++messages; }
    std::atomic<size_t> recipients{0}, recipient_lists{0}, messages{0};
};

// One of each, and the sinks that point at them.
struct RecordingStores {
    RecordingSymbols symbols;
    RecordingHistory history;
    RecordingTrade trade;
    RecordingTradeChannels channels;
    RecordingNews news;
    RecordingMail mail;

    session::SessionSinks sinks() { return {&symbols, &history, &trade, &channels, &news, &mail}; }
};

}  // namespace kb::testing
