// The trade context's handling of the server's notifications (command 190) and rejects
// (command 191) on its worker thread.
#include <cstring>

#include "core/journal.h"
#include "session/trade_context.h"
#include "trade/request_journal.h"
#include "trade/request_sink.h"
#include "trade/trade_notification.h"

namespace kb::session {

namespace {

using net::ReturnCode;

#pragma pack(push, 1)
// What follows command 191 from the server.
struct RejectBody {
    int32_t request_id;
    uint8_t code;
};
static_assert(sizeof(RejectBody) == 5);
static_assert(offsetof(RejectBody, code) == 4);
#pragma pack(pop)

}  // namespace

void TradeContext::on_notification() {
    ReturnCode code = ReturnCode::CommonError;
    {
        std::lock_guard guard(lock_);
        const trade::FollowedRequest followed{request_.kind, state_, request_id_};
        const trade::TradeNotification notification = trade::read_trade_notification(stream_, followed);
        if (!notification.fault.empty()) journal_error(notification.fault.c_str());
        code = notification.code;
        apply_notification(followed, notification);
        journal_state(code);
    }
    finish(code);
}

void TradeContext::apply_notification(const trade::FollowedRequest& followed,
                                      const trade::TradeNotification& notification) {
    switch (notification.code) {
        case ReturnCode::OrderAccepted: request_id_ = notification.request_id; break;
        case ReturnCode::Requote:
            bid_ = notification.bid;
            ask_ = notification.ask;
            if (env_.trade) env_.trade->add_requote(request_, bid_, ask_);
            break;
        case ReturnCode::Ok: {
            if (followed.kind == trade::kPriceRequest) {
                bid_ = notification.bid;
                ask_ = notification.ask;
            }
            std::optional<trade::TradeRecord> order = order_;
            if (followed.kind == trade::kDelete && env_.trade)
                if (std::optional<trade::TradeRecord> current = env_.trade->trade_by_ticket(request_.ticket))
                    order = current;
            const trade::TradeRecord* deleted = order ? &*order : nullptr;
            result_ = trade::done_result(followed, notification, deleted);
            const std::vector<trade::TradeTransaction> transactions =
                trade::done_transactions(followed, notification, deleted);
            if (env_.trade && !transactions.empty()) env_.trade->apply_transactions(transactions);
            break;
        }
        default: break;
    }
}

void TradeContext::on_reject() {
    RejectBody body{};
    const bool read = stream_.read(&body, sizeof body);
    platform::Notifier* canceller = nullptr;
    bool matches = false;
    {
        std::lock_guard guard(lock_);
        canceller = canceller_;
        matches = read && body.request_id == request_id_;
    }
    if (matches) {
        post(canceller, core::Notification::CancelResult, body.code);
        return;
    }
    post(canceller, core::Notification::CancelResult, net::code_value(ReturnCode::CommonError));
    journal_error("TradeContext: 'reject' notification reading error");
    fail(ReturnCode::CommonError);
}

// The request's line for the code it reached. Called with the lock held.
void TradeContext::journal_state(ReturnCode code) {
    trade::RequestJournal lines(env_.journal, login_, digits_, request_, order_, opposite_);
    switch (code) {
        case ReturnCode::OrderAccepted: lines.accepted(); break;
        case ReturnCode::OrderInProcess: lines.in_process(); break;
        case ReturnCode::Ok: lines.done(result_, bid_, ask_); break;
        case ReturnCode::Requote: lines.requote(bid_, ask_); break;
        default: lines.failed(code); break;
    }
}

}  // namespace kb::session
