#include <cstring>
#include <vector>

#include "core/fixed_text.h"
#include "net/block_writer.h"
#include "net/trade_request_signing.h"
#include "platform/event.h"
#include "server/client_session.h"
#include "server/dealer.h"
#include "server/login_data_records.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

using net::ReturnCode;

constexpr uint32_t kPauseStepMs = 10;

enum class Pause { Elapsed, Cancelled, Closed };

// Notification 190: id, kind, code, then the data the code and the request's kind call for.
bool send_notification(net::PacketStream& stream, int32_t id, uint8_t kind, ReturnCode code,
                       const DealResult& result = {}) {
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::TradeRequest);
    out.put_i32(id);
    out.put_byte(kind);
    out.put_byte(net::code_byte(code));
    const auto records = record_bytes(std::span<const trade::TradeRecord>(result.records));
    if (code == ReturnCode::Requote || (code == ReturnCode::Ok && kind == trade::kPriceRequest)) {
        out.put_double(result.bid);
        out.put_double(result.ask);
    } else if (code == ReturnCode::Ok && (trade::is_open_kind(kind) || kind == trade::kModify)) {
        if (!net::put_compressed_block(out, records)) return false;
    } else if (code == ReturnCode::Ok && (trade::is_close_kind(kind) || kind == trade::kCloseBy)) {
        out.put_double(result.balance);
        out.put_double(result.credit);
        if (!net::put_compressed_block(out, records)) return false;
    }
    return stream.send_output();
}

bool send_reject(net::PacketStream& stream, int32_t id, ReturnCode code) {
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::TradeReject);
    out.put_i32(id);
    out.put_byte(net::code_byte(code));
    return stream.send_output();
}

// The dealer's delay: keep-alives are answered and a cancel of this request (191 with its
// id) ends it; a cancel of an ended request is dropped (its answer would be taken for this
// request's); anything else in the middle of a request closes the channel.
Pause dealer_pause(ClientSession& session, int32_t id, int delay_ms) {
    net::PacketStream& stream = session.stream();
    platform::Event pause(session.context().clock);   // never set: a wait on the server's clock
    for (int waited = 0; waited < delay_ms; waited += static_cast<int>(kPauseStepMs)) {
        while (stream.bytes_available() > 0) {
            const uint8_t command = stream.read_byte();
            if (!stream.is_open()) return Pause::Closed;
            if (command == net::command_byte(net::Command::KeepAlive)) {
                if (!stream.send_byte(net::Command::KeepAlive)) return Pause::Closed;
                continue;
            }
            int32_t cancelled = 0;
            if (command != net::command_byte(net::Command::TradeReject) || !stream.read_i32(cancelled)) return Pause::Closed;
            if (cancelled == id) return send_reject(stream, id, ReturnCode::Ok) ? Pause::Cancelled : Pause::Closed;
        }
        if (session.context().stopping) return Pause::Closed;
        pause.wait(kPauseStepMs);
    }
    return Pause::Elapsed;
}

bool dealer_takes_time(uint8_t kind, market::ExecutionMode mode) {
    return mode == market::ExecutionMode::Request &&
           (kind == trade::kPriceRequest || kind == trade::kOrderByRequest || kind == trade::kCloseByRequest);
}

}  // namespace

HandlerResult handle_trade_request(ClientSession& session) {
    ServerContext& context = session.context();
    net::PacketStream& stream = session.stream();
    const int32_t login = session.account().login;
    if (session.login_mode() != net::LoginMode::TradeChannel || !context.dealer) {
        context.log.write("'%d': trade request outside a trade channel, connection closed", login);
        return HandlerResult::Close;
    }
    const auto build = static_cast<uint16_t>(context.config.reported_build());
    const uint32_t identity = context.config.server.identity;
    std::vector<uint8_t> payload(net::trade_request_payload_size(login, build, identity));
    if (!stream.read(payload.data(), payload.size())) return HandlerResult::Close;
    trade::TradeRequest request{};
    std::memcpy(&request, payload.data(), sizeof request);
    if (!net::verify_trade_request(payload, login, build, identity)) {
        // The trailer's length depends on its bytes: after a bad one the stream can't be trusted.
        context.log.write("'%d': trade request with a wrong check value, connection closed", login);
        send_notification(stream, 0, request.kind, ReturnCode::CommonError);
        return HandlerResult::Close;
    }
    if (session.investor_mode()) {
        context.log.write("'%d': trade request refused in the investor mode", login);
        return send_notification(stream, 0, request.kind, ReturnCode::TradeDisabled) ? HandlerResult::Continue
                                                                                      : HandlerResult::Close;
    }

    Dealer& dealer = *context.dealer;
    const int32_t id = dealer.next_request_id();
    if (!send_notification(stream, id, request.kind, ReturnCode::OrderAccepted)) return HandlerResult::Close;
    const std::shared_ptr<const ServerConfig> settings = context.settings_now();
    const GroupConfig& group = account_group(*settings, session.account().group);
    if (dealer_takes_time(request.kind, group.execution)) {
        if (!send_notification(stream, id, request.kind, ReturnCode::OrderInProcess)) return HandlerResult::Close;
        switch (dealer_pause(session, id, group.dealer_delay_ms)) {
            case Pause::Closed: return HandlerResult::Close;
            case Pause::Cancelled:
                return send_notification(stream, id, request.kind, ReturnCode::RequestCanceled) ? HandlerResult::Continue
                                                                                               : HandlerResult::Close;
            case Pause::Elapsed: break;
        }
    }
    const DealResult result = dealer.execute(login, request, session.quoted_price());
    if (request.kind == trade::kPriceRequest && result.code == ReturnCode::Ok)
        session.quoted_price() = QuotedPrice{std::string(core::field_text(request.symbol)),
                                             result.bid, result.ask, context.clock.unix_time()};
    context.log.write("'%d': trade request %d kind %d: code %d", login, id, request.kind, net::code_value(result.code));
    return send_notification(stream, id, request.kind, result.code, result) ? HandlerResult::Continue
                                                                            : HandlerResult::Close;
}

// 191 outside a request: its request has ended. The channel reads nothing until its next
// request, which would take an answer for its own, so none is sent.
HandlerResult handle_trade_cancel(ClientSession& session) {
    int32_t id = 0;
    return session.stream().read_i32(id) ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace kb::server
