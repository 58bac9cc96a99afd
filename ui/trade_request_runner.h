#pragma once
#include "core/terminal.h"

#include <QObject>
#include <QPointer>
#include <mutex>

#include "platform/notifier.h"
#include "trade/trade_request.h"

namespace kb::ui {

// Code 14: a trade context's state changed (the value is the state).
inline constexpr int kNotifyTradeState = 14;

// Sends the user's trade requests: the trade base's local test first, then the trade
// dispatcher. Never blocks on the network: the request's states come back as code 14
// posted by the trade context's thread and are re-emitted as state_changed on the
// user-interface thread. One request at a time (the dispatcher's first context).
// User-interface thread only; the terminal's services must outlive it.
class TradeRequestRunner : public QObject {
    Q_OBJECT
public:
    explicit TradeRequestRunner(core::Terminal& terminal, QObject* parent = nullptr);
    // Stops the trade contexts, so that no thread still holds this runner as its window.
    ~TradeRequestRunner() override;

    // Tests the request locally and hands it on. Returns 0 when it was sent (states follow
    // through state_changed), else the refusing code: the local test's, 146 while a
    // request is under way, 2 without a trade base or dispatcher.
    int submit(trade::TradeRequest request);
    bool busy() const { return busy_; }
    // The request last submitted, as the local test left it.
    const trade::TradeRequest& request() const { return request_; }
    // The prices of the last requote or price request (bid, ask).
    std::pair<double, double> last_prices() const;

signals:
    // A state of the request: 142 and 143 while it runs; any other code ends it.
    void state_changed(int state);

private:
    // Carries the context thread's posts to the runner's thread; drops them once the
    // runner is gone. Its lock is a leaf of core/lock_order.h.
    class Relay final : public platform::Notifier {
    public:
        explicit Relay(TradeRequestRunner* runner) : runner_(runner) {}
        void withdraw();
        void post(int code, intptr_t value) override;
        intptr_t send(int code, intptr_t value) override;

    private:
        std::mutex lock_;
        QPointer<TradeRequestRunner> runner_;
    };

    void on_state(int state);

    core::Terminal& terminal_;
    Relay relay_{this};
    trade::TradeRequest request_{};
    bool busy_ = false;
};

}  // namespace kb::ui
