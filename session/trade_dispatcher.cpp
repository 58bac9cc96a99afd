#include "session/trade_dispatcher.h"

namespace kb::session {

TradeDispatcher::TradeDispatcher(const TradeContextEnvironment& environment) {
    for (std::unique_ptr<TradeContext>& context : contexts_) context = std::make_unique<TradeContext>(environment);
}

TradeDispatcher::~TradeDispatcher() {
    reset();
    for (std::unique_ptr<TradeContext>& context : contexts_) context.reset();
}

net::ReturnCode TradeDispatcher::submit(const trade::TradeRequest& request, platform::Notifier* window) {
    return contexts_[0]->submit(request, window);
}

void TradeDispatcher::cancel(platform::Notifier* window) { contexts_[0]->cancel(window); }

net::ReturnCode TradeDispatcher::result(int index, trade::TradeRecord& out) const {
    if (index < 0 || index >= kContexts) return net::ReturnCode::CommonError;
    out = contexts_[index]->result();
    return net::ReturnCode::Ok;
}

TradeContext* TradeDispatcher::context(int index) {
    return index >= 0 && index < kContexts ? contexts_[index].get() : nullptr;
}

void TradeDispatcher::watchdog() {
    for (std::unique_ptr<TradeContext>& context : contexts_) context->watchdog();
}

void TradeDispatcher::reset() {
    for (std::unique_ptr<TradeContext>& context : contexts_) context->stop();
}

}  // namespace kb::session
