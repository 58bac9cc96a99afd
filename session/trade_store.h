#pragma once
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "session/session_services.h"
#include "trade/trade_base.h"

namespace kb::session {

// Feeds the trade base from the session: the account and its open trades at login, group
// settings, the account history, trade transactions (command 155), and the revaluation
// after quotes and symbol updates. It also keeps the history range the history screen
// chose, which the login's history request asks for.
// Thread-safe: the base takes its own lock, the range has a lock of its own (a leaf of
// core/lock_order.h). Does not own
// the base or the clock, which must outlive it.
class TradeStore final : public TradeSink {
public:
    TradeStore(trade::TradeBase& base, platform::Clock& clock) : base_(base), clock_(clock) {}

    void clear() override { base_.clear(); }
    void set_account(const trade::AccountDataReply& reply) override {
        base_.set_account(reply.account, reply.open_trades);
    }
    void set_group(const market::GroupRecord& group) override { base_.set_group(group); }
    // The chosen range; until one is chosen, today: 00:00 local time to 00:00 tomorrow.
    std::pair<int32_t, int32_t> history_range() override;
    // The history screen's choice. False (the range stays) unless 0 <= start < end.
    bool set_history_range(int32_t start, int32_t end);
    void replace_history(std::span<const trade::TradeRecord> records) override { base_.set_history(records); }
    // The number of open trades that got a price.
    intptr_t revalue() override { return base_.revalue(); }
    void recalculate() override { base_.refresh_symbols(); }
    bool apply_transactions(std::span<const trade::TradeTransaction> transactions) override {
        return base_.apply_transactions(transactions);
    }
    int32_t news_setting() override { return base_.news_setting(); }
    std::string group_name() override { return base_.group_name(); }

private:
    trade::TradeBase& base_;
    platform::Clock& clock_;
    std::mutex lock_;
    bool range_chosen_ = false;
    std::pair<int32_t, int32_t> range_{0, 0};
};

}  // namespace kb::session
