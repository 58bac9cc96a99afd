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
constexpr int kOk = net::code_value(ReturnCode::Ok);
constexpr int kCommonError = net::code_value(ReturnCode::CommonError);
constexpr int kRequote = net::code_value(ReturnCode::Requote);
constexpr int kAccepted = net::code_value(ReturnCode::OrderAccepted);
constexpr int kInProcess = net::code_value(ReturnCode::OrderInProcess);

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
    int state = kCommonError;
    {
        std::lock_guard guard(lock_);
        const trade::FollowedRequest followed{request_.kind, state_, request_id_};
        const trade::TradeNotification notification = trade::read_trade_notification(stream_, followed);
        if (!notification.fault.empty()) journal_error(notification.fault.c_str());
        state = notification.state;
        apply_notification(followed, notification);
        journal_state(state);
    }
    finish(state);
}

void TradeContext::apply_notification(const trade::FollowedRequest& followed,
                                      const trade::TradeNotification& notification) {
    switch (notification.state) {
        case kAccepted: request_id_ = notification.request_id; break;
        case kRequote:
            bid_ = notification.bid;
            ask_ = notification.ask;
            if (env_.trade) env_.trade->add_requote(request_, bid_, ask_);
            break;
        case kOk: {
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
        post(canceller, kNotifyCancelResult, body.code);
        return;
    }
    post(canceller, kNotifyCancelResult, kCommonError);
    journal_error("TradeContext: 'reject' notification reading error");
    fail(kCommonError);
}

// The request's line for the state it reached. Called with the lock held.
void TradeContext::journal_state(int code) {
    trade::RequestJournal lines(env_.journal, login_, digits_, request_, order_, opposite_);
    switch (code) {
        case kAccepted: lines.accepted(); break;
        case kInProcess: lines.in_process(); break;
        case kOk: lines.done(result_, bid_, ask_); break;
        case kRequote: lines.requote(bid_, ask_); break;
        default: lines.failed(code); break;
    }
}

}  // namespace kb::session
