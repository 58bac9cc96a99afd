#include "ui/trade_request_runner.h"

#include <QMetaObject>

#include "net/protocol.h"
#include "session/trade_dispatcher.h"
#include "trade/trade_base.h"
#include "trade/trade_notification.h"

namespace kb::ui {

TradeRequestRunner::TradeRequestRunner(core::Terminal& terminal, QObject* parent)
    : QObject(parent), terminal_(terminal) {}

TradeRequestRunner::~TradeRequestRunner() {
    relay_.withdraw();
    if (session::TradeDispatcher* dispatcher = terminal_.services().trade_dispatcher.get(); dispatcher && busy_)
        dispatcher->reset();
}

net::ReturnCode TradeRequestRunner::submit(trade::TradeRequest request) {
    trade::TradeBase* base = terminal_.services().trade_base.get();
    session::TradeDispatcher* dispatcher = terminal_.services().trade_dispatcher.get();
    if (!base || !dispatcher) return net::ReturnCode::CommonError;
    if (busy_) return net::ReturnCode::TradeContextBusy;
    if (const net::ReturnCode code = base->test_request(request); code != net::ReturnCode::Ok) return code;
    request_ = request;
    const net::ReturnCode code = dispatcher->submit(request, &relay_);
    busy_ = code == net::ReturnCode::Ok;
    return code;
}

std::pair<double, double> TradeRequestRunner::last_prices() const {
    session::TradeDispatcher* dispatcher = terminal_.services().trade_dispatcher.get();
    session::TradeContext* context = dispatcher ? dispatcher->context(0) : nullptr;
    return context ? context->last_prices() : std::pair{0.0, 0.0};
}

void TradeRequestRunner::on_state(net::ReturnCode code) {
    if (!trade::state_going_on(code)) busy_ = false;
    emit state_changed(code);
}

void TradeRequestRunner::Relay::withdraw() {
    std::lock_guard guard(lock_);
    runner_ = nullptr;
}

void TradeRequestRunner::Relay::post(int code, intptr_t value) {
    if (core::notification_of(code) != core::Notification::TradeResult) return;
    std::lock_guard guard(lock_);
    if (!runner_) return;
    QPointer<TradeRequestRunner> target = runner_;
    QMetaObject::invokeMethod(
        runner_.data(), [target, value] { if (target) target->on_state(static_cast<net::ReturnCode>(value)); },
        Qt::QueuedConnection);
}

// The trade contexts only post.
intptr_t TradeRequestRunner::Relay::send(int code, intptr_t value) {
    post(code, value);
    return 0;
}

}  // namespace kb::ui
