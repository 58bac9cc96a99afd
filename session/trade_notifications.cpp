// The trade context's handling of the server's notifications (command 190) and rejects
// (command 191) on its worker thread.
#include <cstring>
#include <optional>
#include <vector>

#include "core/journal.h"
#include "net/compressed_block.h"
#include "session/trade_context.h"
#include "trade/request_journal.h"
#include "trade/request_sink.h"

namespace kb::session {

namespace {

using net::ReturnCode;
constexpr int kOk = net::code_value(ReturnCode::Ok);
constexpr int kCommonError = net::code_value(ReturnCode::CommonError);
constexpr int kRequote = net::code_value(ReturnCode::Requote);
constexpr int kAccepted = net::code_value(ReturnCode::OrderAccepted);
constexpr int kInProcess = net::code_value(ReturnCode::OrderInProcess);

#pragma pack(push, 1)
// What follows command 190 from the server.
struct NotificationHead {
    int32_t request_id;
    uint8_t kind;
    uint8_t code;
};
static_assert(sizeof(NotificationHead) == 6);
static_assert(offsetof(NotificationHead, kind) == 4);
static_assert(offsetof(NotificationHead, code) == 5);

// What follows command 191 from the server.
struct RejectBody {
    int32_t request_id;
    uint8_t code;
};
static_assert(sizeof(RejectBody) == 5);
static_assert(offsetof(RejectBody, code) == 4);
#pragma pack(pop)

// The records of a block holding between fewest and most of them; nothing otherwise (a
// failed read has closed the stream).
std::optional<std::vector<trade::TradeRecord>> read_records(net::PacketStream& stream, size_t fewest, size_t most) {
    net::CompressedBlock block = net::read_compressed(stream, most * sizeof(trade::TradeRecord));
    if (block.status != net::BlockStatus::Data || block.size % sizeof(trade::TradeRecord) != 0) return std::nullopt;
    const size_t count = block.size / sizeof(trade::TradeRecord);
    if (count < fewest || count > most) return std::nullopt;
    std::vector<trade::TradeRecord> records(count);
    std::memcpy(records.data(), block.bytes.get(), block.size);
    return records;
}

}  // namespace

void TradeContext::on_notification() {
    NotificationHead head{};
    int state = kCommonError;
    {
        std::lock_guard guard(lock_);
        if (stream_.read(&head, sizeof head))
            state = notification_outcome(head.request_id, head.code);
        else
            journal_error("TradeContext: notification reading error");
        journal_state(state);
    }
    finish(state);
}

int TradeContext::notification_outcome(int32_t id, uint8_t code) {
    const int32_t expected = request_id_;
    const auto wrong_id = [&] {
        env_.journal.write(core::Level::Error, "TradeContext: wrong request id %d instead of %d", id, expected);
        return kCommonError;
    };
    switch (code) {
        case kAccepted:
            if (state_ != kTradeReady) {
                journal_error("TradeContext: wrong 'accept' notification");
                return kCommonError;
            }
            request_id_ = id;
            return kAccepted;
        case kInProcess:
            if (state_ != kAccepted) {
                journal_error("TradeContext: 'process' notification without 'accept' notification");
                return kCommonError;
            }
            return id == expected ? kInProcess : wrong_id();
        case kRequote: {
            if (id != expected) return wrong_id();
            if (read_prices(bid_, ask_) != kOk) return kCommonError;
            if (env_.trade) env_.trade->add_requote(request_, bid_, ask_);
            return kRequote;
        }
        case kOk: return id == expected ? done_outcome() : wrong_id();
        default: return code;
    }
}

int TradeContext::read_prices(double& bid, double& ask) {
    double prices[2];
    if (!stream_.read(prices, sizeof prices)) {
        journal_error("TradeContext: prices reading error");
        return kCommonError;
    }
    bid = prices[0];
    ask = prices[1];
    return kOk;
}

int TradeContext::done_outcome() {
    const uint8_t kind = request_.kind;
    const auto ticket_error = [this] {
        journal_error("TradeContext: ticket reading error");
        return kCommonError;
    };
    if (kind == trade::kPriceRequest) return read_prices(bid_, ask_);
    if (trade::is_open_kind(kind)) {
        std::optional<std::vector<trade::TradeRecord>> records = read_records(stream_, 1, 1);
        if (!records) return ticket_error();
        result_ = (*records)[0];
        apply(trade::kTransactionAdd, result_);
        return kOk;
    }
    if (kind == trade::kModify) {
        std::optional<std::vector<trade::TradeRecord>> records = read_records(stream_, 1, 1);
        if (!records) return ticket_error();
        result_ = (*records)[0];
        apply(trade::kTransactionUpdate, result_);
        return kOk;
    }
    if (kind == trade::kDelete) {
        std::optional<trade::TradeRecord> order = env_.trade ? env_.trade->trade_by_ticket(request_.ticket) : order_;
        if (!order) order = order_;
        result_ = order.value_or(trade::TradeRecord{});
        if (order) apply(trade::kTransactionDelete, *order);
        return kOk;
    }
    if (kind == trade::kMultipleCloseBy) {
        result_ = {};
        return kOk;
    }
    const bool close_by = kind == trade::kCloseBy;
    if (!trade::is_close_kind(kind) && !close_by) {
        env_.journal.write(core::Level::Error, "'%d': unknown trade type", login_);
        return kCommonError;
    }
    // Closes carry the account's new balance and credit, then the closed records.
    double balance = 0, credit = 0;
    if (!stream_.read_double(balance) || !stream_.read_double(credit)) return ticket_error();
    std::optional<std::vector<trade::TradeRecord>> records =
        close_by ? read_records(stream_, 2, 3) : read_records(stream_, 1, 2);
    if (!records) return ticket_error();
    const size_t deleted = close_by ? 2 : 1;
    for (size_t i = 0; i < deleted; ++i) apply(trade::kTransactionDelete, (*records)[i], balance, credit);
    // The remainder of a partly closed position comes back as a new one.
    if (records->size() > deleted) apply(trade::kTransactionAdd, (*records)[deleted]);
    if (close_by)
        result_ = records->size() > deleted ? (*records)[deleted] : trade::TradeRecord{};
    else
        result_ = (*records)[0];
    return kOk;
}

void TradeContext::apply(trade::TransactionType type, const trade::TradeRecord& record, double balance, double credit) {
    if (!env_.trade) return;
    trade::TradeTransaction transaction{};
    transaction.type = type;
    transaction.balance = balance;
    transaction.credit = credit;
    transaction.trade = record;
    env_.trade->apply_transactions({&transaction, 1});
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
