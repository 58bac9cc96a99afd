#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "market/symbol_record.h"
#include "net/protocol.h"
#include "platform/event.h"
#include "platform/random.h"
#include "platform/thread.h"
#include "server/deal_pricing.h"
#include "server/quote_feed.h"
#include "server/server_context.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::server {

// The prices the dealer quoted to a trade channel for an order by request.
struct QuotedPrice {
    std::string symbol;
    double bid = 0;
    double ask = 0;
    int64_t time = 0;   // server time of the quote
};

// What a dealt request comes to: the code of the done or failure notification and its data.
struct DealResult {
    net::ReturnCode code = net::ReturnCode::CommonError;
    double bid = 0;       // requotes and price request answers
    double ask = 0;
    double balance = 0;   // the account after a close or close by
    double credit = 0;
    std::vector<trade::TradeRecord> records;   // as the done notification carries them
};

// The broker's dealing desk: executes verified trade requests against the stored trades
// and the current prices (instant execution within the deviation or a requote, execution
// by request at the quoted price, market execution, pending orders, closes in full or in
// part, modify, delete, close by and multiple close by, with the margin checked), and hits
// stop loss, take profit, pending prices and expirations as the prices move. Every change
// is stored and queued for the account's terminal (command 155).
// Thread-safe: one lock serialises the deals of all sessions and the price checks; it is
// never held across network traffic. on_ticks only queues (feed thread). Lock order:
// core/lock_order.h.
class Dealer final : public TickSubscriber {
public:
    // The context must outlive the dealer.
    explicit Dealer(ServerContext& context);
    ~Dealer() override;

    // A new request id for an accepted request (positive, increasing).
    int32_t next_request_id();

    // Deals one request of the account. quoted: the last price the dealer answered this
    // channel, for orders and closes by request.
    DealResult execute(int32_t login, const trade::TradeRequest& request, const std::optional<QuotedPrice>& quoted);

    // Starts the thread that checks the queued prices against stop loss, take profit,
    // pending prices and expirations. False when it can't be started.
    bool start();
    void stop();
    // One pass over the prices queued since the last one; the thread's work, callable
    // directly by tests without the thread.
    void check_prices();

    void on_ticks(std::span<const Tick> ticks) override;

private:
    struct Market {
        std::shared_ptr<const ServerConfig> config;
        const GroupConfig* group = nullptr;
        const InstrumentConfig* instrument = nullptr;
        int index = -1;
        double bid = 0;
        double ask = 0;
    };
    struct Account {
        AccountRow row;
        std::vector<TradeRow> open;
    };

    std::optional<net::ReturnCode> market_for(const std::string& symbol, const AccountRow& account, Market& market);
    QuoteLookup quote_lookup(const ServerConfig& config);
    // execute's work under the deal lock, before the open records get their margin rates.
    DealResult deal(int32_t login, const trade::TradeRequest& request, const std::optional<QuotedPrice>& quoted);
    AccountMoney money_with(const Account& account, const Market& market, const std::optional<TradeRow>& order);
    static market::SymbolRecord symbol_of(const Market& market);
    bool stops_valid(const Market& market, trade::OrderType type, double reference, double stop_loss, double take_profit);
    double random_share();

    DealResult price_request(const Market& market, const trade::TradeRequest& request);
    DealResult open_order(Account& account, const Market& market, const trade::TradeRequest& request,
                          const std::optional<QuotedPrice>& quoted);
    DealResult place_pending(Account& account, const Market& market, const trade::TradeRequest& request);
    DealResult close_order(Account& account, const trade::TradeRequest& request, const std::optional<QuotedPrice>& quoted);
    DealResult modify_order(Account& account, const trade::TradeRequest& request);
    DealResult delete_order(Account& account, const trade::TradeRequest& request);
    DealResult close_by(Account& account, int64_t ticket, int64_t opposite);
    DealResult multiple_close_by(Account& account, const trade::TradeRequest& request);

    // Closes volume of an open position at price: the closed part, the rest as a new
    // position. Stores both and the profit, queues the transactions. Fills result.
    bool close_position(Account& account, const Market& market, const TradeRow& position, int volume, double price,
                        DealResult& result);
    bool commit(Account& account, DealWrite& deal, const std::vector<trade::TransactionType>& kinds,
                const ServerConfig& config);
    void fill_account(DealResult& result, int32_t login);
    void trigger(const TradeRow& trade, const Market& market, int64_t now);

    ServerContext& context_;
    std::mutex deal_lock_;
    int32_t last_request_id_ = 0;
    platform::SeededRandom random_;   // the requotes' draws, fixed by the price seed

    std::mutex queue_lock_;
    std::map<int, Tick> fresh_;   // the newest queued tick per instrument

    platform::Event wake_{context_.clock, platform::EventReset::Automatic};
    std::atomic<bool> stopping_{false};
    platform::Thread thread_;
};

}  // namespace kb::server
