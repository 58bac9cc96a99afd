#pragma once
#include <array>
#include <memory>

#include "session/session_services.h"
#include "session/trade_context.h"

namespace kb::session {

// The process's three trade contexts. User requests go to the first; a context refuses a
// second request while one is under way. The user-interface thread calls everything;
// the session calls reset() from its trade server thread when the account changes.
class TradeDispatcher final : public TradeChannelsSink {
public:
    static constexpr int kContexts = 3;

    explicit TradeDispatcher(const TradeContextEnvironment& environment);
    // Stops and releases the three contexts.
    ~TradeDispatcher() override;
    TradeDispatcher(const TradeDispatcher&) = delete;
    TradeDispatcher& operator=(const TradeDispatcher&) = delete;

    // Hands the request to the first context: Ok when taken, TradeContextBusy while it is
    // busy, CommonError when its thread can't be started. window gets TradeResult with
    // each code.
    net::ReturnCode submit(const trade::TradeRequest& request, platform::Notifier* window);
    // Cancels the first context's request (see TradeContext::cancel).
    void cancel(platform::Notifier* window);
    // Copies the result record of context 0..2 into out: Ok, or CommonError for another
    // index.
    net::ReturnCode result(int index, trade::TradeRecord& out) const;
    // The context 0..2; null for another index.
    TradeContext* context(int index);
    // Runs each context's watchdog.
    void watchdog();
    // Stops all three (the account changed).
    void reset() override;

private:
    std::array<std::unique_ptr<TradeContext>, kContexts> contexts_;
};

}  // namespace kb::session
