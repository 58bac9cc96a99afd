#pragma once
#include "core/terminal.h"

#include <QObject>
#include <QPointer>
#include <mutex>

#include "core/notifications.h"
#include "net/protocol.h"
#include "platform/notifier.h"
#include "trade/trade_request.h"

namespace kb::ui {

// Sends the user's trade requests: the trade base's local test first, then the trade
// dispatcher. Never blocks on the network: the request's codes come back as TradeResult
// posted by the trade context's thread and are re-emitted as state_changed on the
// user-interface thread. One request at a time (the dispatcher's first context).
// User-interface thread only; the terminal's services must outlive it.
class TradeRequestRunner : public QObject {
    Q_OBJECT
public:
    explicit TradeRequestRunner(core::Terminal& terminal, QObject* parent = nullptr);
    // Stops the trade contexts, so that no thread still holds this runner as its window.
    ~TradeRequestRunner() override;

    // Tests the request locally and hands it on. Returns Ok when it was sent (codes follow
    // through state_changed), else the refusing code: the local test's, TradeContextBusy
    // while a request is under way, CommonError without a trade base or dispatcher.
    net::ReturnCode submit(trade::TradeRequest request);
    bool busy() const { return busy_; }
    // The request last submitted, as the local test left it.
    const trade::TradeRequest& request() const { return request_; }
    // The prices of the last requote or price request (bid, ask).
    std::pair<double, double> last_prices() const;

signals:
    // A code of the request: OrderAccepted and OrderInProcess while it runs; any other
    // code ends it.
    void state_changed(net::ReturnCode code);

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

    void on_state(net::ReturnCode code);

    core::Terminal& terminal_;
    Relay relay_{this};
    trade::TradeRequest request_{};
    bool busy_ = false;
};

}  // namespace kb::ui
