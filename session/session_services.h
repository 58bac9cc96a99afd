#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "market/bar_record.h"
#include "market/symbol_record.h"
#include "messaging/mail_record.h"
#include "messaging/news_record.h"
#include "net/digest.h"
#include "net/packet_stream.h"
#include "trade/account_record.h"
#include "trade/trade_record.h"

namespace kb::session {

// What the session hands to the stores that own the data it receives, one small interface
// per store. Every implementation takes its own lock: the session calls from its trade
// server thread and its history server thread, never holding a lock of its own.

// The instruments, groups, quotes and the Market Watch subscription.
class SymbolsSink {
public:
    virtual ~SymbolsSink() = default;
    // A login to the named server is under way: its stored symbols become current.
    virtual void prepare_server(std::string_view server_name) = 0;
    // Digests of the stored symbols and the stored 2560-byte group table; zero when none.
    virtual net::Md5Digest symbols_digest() = 0;
    virtual net::Md5Digest groups_digest() = 0;
    // The server's instrument list (may be empty) and its group table.
    virtual void replace_symbols(std::span<const market::SymbolRecord> symbols) = 0;
    virtual void replace_groups(std::span<const market::SymbolGroupRecord> groups) = 0;
    virtual void apply_ticks(std::span<const market::TickRecord> ticks) = 0;
    // False when the update could not be applied; the loop then ends.
    virtual bool apply_symbol_updates(std::span<const market::SymbolUpdateRecord> updates) = 0;
    virtual void set_group(const market::GroupRecord& group) = 0;
    virtual void set_loop_running(bool running) = 0;
    // The symbol indexes of the subscription (command 150) due now; nothing when none is.
    virtual std::optional<std::vector<uint16_t>> take_subscription() = 0;
};

// Chart history: downloads pushed by the servers and the requests for them.
class HistorySink {
public:
    virtual ~HistorySink() = default;
    virtual void prepare_server(std::string_view server_name) = 0;
    // The account is known and there is no history server to wait for.
    virtual void prime() = 0;
    // A chart history push; exactly one of the two bar lists is filled.
    virtual void apply_chart_history(const market::ChartHistoryHeader& header,
                                     std::span<const market::WireBar28> bars28,
                                     std::span<const market::WireBar22> bars22) = 0;
    // The chart history requests (command 156) due now; empty when none is.
    virtual std::vector<market::ChartRequest> take_requests() = 0;
};

// The account, its open trades and its history.
class TradeSink {
public:
    virtual ~TradeSink() = default;
    // Drops the logged-in account's data (another login follows).
    virtual void clear() = 0;
    virtual void set_account(const trade::AccountDataReply& reply) = 0;
    // Group settings pushed for the account's group.
    virtual void set_group(const market::GroupRecord& group) = 0;
    // The range the history screen asks for: start (at least 0) below end.
    virtual std::pair<int32_t, int32_t> history_range() = 0;
    virtual void replace_history(std::span<const trade::TradeRecord> records) = 0;
    // Revalues open positions after quotes; the result travels with notification 2.
    virtual intptr_t revalue() = 0;
    // Recomputes after symbol updates.
    virtual void recalculate() = 0;
    // False when the transactions could not be applied; the loop then ends.
    virtual bool apply_transactions(std::span<const trade::TradeTransaction> transactions) = 0;
    // The account data's news setting (trade::kNewsOff ...).
    virtual int32_t news_setting() = 0;
    // The account's group name, for pushed group settings.
    virtual std::string group_name() = 0;
};

// The three trade channels.
class TradeChannelsSink {
public:
    virtual ~TradeChannelsSink() = default;
    virtual void reset() = 0;
};

class NewsSink {
public:
    virtual ~NewsSink() = default;
    // A news item with its body (empty when it has none or it comes later).
    virtual void add(const messaging::NewsRecord& record, std::string body) = 0;
    virtual void set_body(uint32_t id, std::string body) = 0;
    // The next body to ask for (command 157), if any.
    virtual std::optional<uint32_t> take_body_request() = 0;
};

class MailSink {
public:
    virtual ~MailSink() = default;
    virtual void set_recipients(std::span<const messaging::MailRecipient> recipients) = 0;
    // A message: its header and body_length body bytes.
    virtual void add_message(const messaging::MailRecord& header, std::string body) = 0;
};

// The stores the session feeds; null members are skipped.
struct SessionSinks {
    SymbolsSink* symbols = nullptr;
    HistorySink* history = nullptr;
    TradeSink* trade = nullptr;
    TradeChannelsSink* channels = nullptr;
    NewsSink* news = nullptr;
    MailSink* mail = nullptr;
};

}  // namespace kb::session
