#include <limits>

#include "market/history_sync_packets.h"
#include "server/bar_history.h"
#include "server/client_session.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

HandlerResult sent(bool ok) { return ok ? HandlerResult::Continue : HandlerResult::Close; }

}  // namespace

// A client holding this server's data (same time sign) gets the bars from its newest one
// on, that one included as it may have changed since; any other client gets every bar.
HandlerResult handle_history_sync(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    const std::optional<market::HistorySyncRequest> received = market::read_history_sync_request(stream);
    if (!received) return HandlerResult::Close;
    const market::HistorySyncRequest& request = *received;
    ServerContext& context = session.context();
    const InstrumentConfig* instrument = context.config.find_instrument(request.symbol);
    if (!context.history || !instrument || !BarHistory::is_chart_period(request.period))
        return sent(send_code(stream, net::ReturnCode::InvalidParameters));
    const int index = static_cast<int>(instrument - context.config.instruments.data());
    BarHistory& history = *context.history;
    history.wait_ready();
    const bool same_data = request.time_sign == history.time_sign() && request.newest_time > 0;
    const int32_t from = same_data ? request.newest_time : std::numeric_limits<int32_t>::min();
    const std::vector<PointBar> bars =
        history.bars(index, request.period, from, std::numeric_limits<int32_t>::max(), BarHistory::kMaxBarsKept);
    // The client's newest bar follows the live ticks itself: only newer bars are news.
    if (same_data && bars.size() <= 1)
        return sent(send_code(stream, net::ReturnCode::OkNoResult));
    const market::BarForm form = market::bar_form(bar_source(session.role()), context.config.reported_build());
    net::OutputBuffer& out = stream.output();
    out.reset();
    if (!market::put_history_sync_bars(out, history.time_sign(), bars, form)) return HandlerResult::Close;
    return sent(stream.send_output());
}

}  // namespace kb::server
