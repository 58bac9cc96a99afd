#include "trade/trade_notification.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "net/compressed_block.h"
#include "net/packet_stream.h"
#include "net/protocol.h"

namespace kb::trade {

namespace {

using net::ReturnCode;

#pragma pack(push, 1)
struct NotificationHead {
    int32_t request_id;
    uint8_t kind;
    uint8_t code;
};
static_assert(sizeof(NotificationHead) == 6);
static_assert(offsetof(NotificationHead, kind) == 4);
static_assert(offsetof(NotificationHead, code) == 5);

struct PricePair {
    double first;
    double second;
};
static_assert(sizeof(PricePair) == 16);
static_assert(offsetof(PricePair, second) == 8);
#pragma pack(pop)

TradeNotification fault(TradeNotification notification, std::string line) {
    notification.code = ReturnCode::CommonError;
    notification.fault = std::move(line);
    return notification;
}

std::string wrong_id_line(int32_t received, int32_t expected) {
    char line[96];
    std::snprintf(line, sizeof line, "TradeContext: wrong request id %d instead of %d", received, expected);
    return line;
}

// Between fewest and most records in one compressed block; nothing otherwise.
std::optional<std::vector<TradeRecord>> read_records(net::PacketStream& stream, size_t fewest, size_t most) {
    net::CompressedBlock block = net::read_compressed(stream, most * sizeof(TradeRecord));
    if (block.status != net::BlockStatus::Data || block.size % sizeof(TradeRecord) != 0) return std::nullopt;
    const size_t count = block.size / sizeof(TradeRecord);
    if (count < fewest || count > most) return std::nullopt;
    std::vector<TradeRecord> records(count);
    std::memcpy(records.data(), block.bytes.get(), block.size);
    return records;
}

bool read_pair(net::PacketStream& stream, double& first, double& second) {
    PricePair pair{};
    if (!stream.read(&pair, sizeof pair)) return false;
    first = pair.first;
    second = pair.second;
    return true;
}

TradeNotification read_done(net::PacketStream& stream, uint8_t kind, TradeNotification done) {
    constexpr const char* kTicketError = "TradeContext: ticket reading error";
    if (kind == kPriceRequest) {
        if (!read_pair(stream, done.bid, done.ask)) return fault(std::move(done), "TradeContext: prices reading error");
        return done;
    }
    if (kind == kDelete || kind == kMultipleCloseBy) return done;
    size_t fewest = 1, most = 1;
    if (is_close_kind(kind) || kind == kCloseBy) {
        if (!read_pair(stream, done.balance, done.credit)) return fault(std::move(done), kTicketError);
        fewest = kind == kCloseBy ? 2 : 1;
        most = fewest + 1;
    } else if (!is_open_kind(kind) && kind != kModify) {
        // The request's own failure line names an unknown kind.
        done.code = ReturnCode::CommonError;
        return done;
    }
    std::optional<std::vector<TradeRecord>> records = read_records(stream, fewest, most);
    if (!records) return fault(std::move(done), kTicketError);
    done.records = std::move(*records);
    return done;
}

TradeTransaction transaction(TransactionType type, const TradeRecord& record, double balance = 0, double credit = 0) {
    TradeTransaction out{};
    out.type = type;
    out.balance = balance;
    out.credit = credit;
    out.trade = record;
    return out;
}

}  // namespace

std::optional<RequestState> state_going_on(ReturnCode code) {
    switch (code) {
        case ReturnCode::OrderAccepted: return RequestState::Accepted;
        case ReturnCode::OrderInProcess: return RequestState::InProcess;
        default: return std::nullopt;
    }
}

TradeNotification read_trade_notification(net::PacketStream& stream, const FollowedRequest& followed) {
    TradeNotification out;
    NotificationHead head{};
    if (!stream.read(&head, sizeof head)) return fault(std::move(out), "TradeContext: notification reading error");
    out.request_id = head.request_id;
    out.code = static_cast<ReturnCode>(head.code);
    const int32_t expected = followed.request_id;
    switch (out.code) {
        case ReturnCode::OrderAccepted:
            if (followed.state != RequestState::Ready)
                return fault(std::move(out), "TradeContext: wrong 'accept' notification");
            return out;
        case ReturnCode::OrderInProcess:
            if (followed.state != RequestState::Accepted)
                return fault(std::move(out), "TradeContext: 'process' notification without 'accept' notification");
            if (head.request_id != expected) return fault(std::move(out), wrong_id_line(head.request_id, expected));
            return out;
        case ReturnCode::Requote:
            if (head.request_id != expected) return fault(std::move(out), wrong_id_line(head.request_id, expected));
            if (!read_pair(stream, out.bid, out.ask)) return fault(std::move(out), "TradeContext: prices reading error");
            return out;
        case ReturnCode::Ok:
            if (head.request_id != expected) return fault(std::move(out), wrong_id_line(head.request_id, expected));
            return read_done(stream, followed.kind, std::move(out));
        default: return out;
    }
}

std::vector<TradeTransaction> done_transactions(const FollowedRequest& followed, const TradeNotification& done,
                                                const TradeRecord* deleted_order) {
    const uint8_t kind = followed.kind;
    const std::vector<TradeRecord>& records = done.records;
    std::vector<TradeTransaction> out;
    if (is_open_kind(kind) && !records.empty()) out.push_back(transaction(kTransactionAdd, records[0]));
    if (kind == kModify && !records.empty()) out.push_back(transaction(kTransactionUpdate, records[0]));
    if (kind == kDelete && deleted_order) out.push_back(transaction(kTransactionDelete, *deleted_order));
    if (is_close_kind(kind) || kind == kCloseBy) {
        const size_t deleted = std::min<size_t>(kind == kCloseBy ? 2 : 1, records.size());
        for (size_t i = 0; i < deleted; ++i)
            out.push_back(transaction(kTransactionDelete, records[i], done.balance, done.credit));
        // The rest of a partly closed position, or a close by's remainder, comes back new.
        for (size_t i = deleted; i < records.size(); ++i) out.push_back(transaction(kTransactionAdd, records[i]));
    }
    return out;
}

TradeRecord done_result(const FollowedRequest& followed, const TradeNotification& done, const TradeRecord* deleted_order) {
    const uint8_t kind = followed.kind;
    if (kind == kDelete) return deleted_order ? *deleted_order : TradeRecord{};
    if (kind == kCloseBy) return done.records.size() > 2 ? done.records[2] : TradeRecord{};
    if (is_open_kind(kind) || is_close_kind(kind) || kind == kModify)
        return done.records.empty() ? TradeRecord{} : done.records[0];
    return TradeRecord{};
}

}  // namespace kb::trade
