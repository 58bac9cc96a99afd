#include <cstring>
#include <limits>

#include "market/chart_packets.h"
#include "server/bar_history.h"
#include "server/client_session.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

// A client queues at most 256 requests; a few times that is still a sane packet.
constexpr uint16_t kMaxChartRequests = 1024;

std::vector<PointBar> requested_bars(BarHistory& history, int instrument, const market::ChartRequest& request) {
    const int32_t from = request.from_time;
    const auto limit = static_cast<size_t>(market::kMaxChartHistoryBars);
    if (request.bar_count > 0) {
        const int32_t before = from > 0 ? from : std::numeric_limits<int32_t>::max();
        return history.bars_before(instrument, request.period, before, static_cast<size_t>(request.bar_count));
    }
    return history.bars(instrument, request.period, from, std::numeric_limits<int32_t>::max(), limit);
}

bool answer(ClientSession& session, int instrument, const market::ChartRequest& request) {
    ServerContext& context = session.context();
    const std::vector<PointBar> bars = requested_bars(*context.history, instrument, request);
    market::ChartHistoryHeader header{};
    std::memcpy(header.symbol, request.symbol, sizeof header.symbol);
    header.period = request.period;
    header.oldest_time = context.history->oldest_time(instrument, request.period);
    const market::BarForm form = market::chart_push_form(bar_source(session.role()), context.config.reported_build(),
                                                         context.config.account_data_version());
    net::OutputBuffer& out = session.stream().output();
    out.reset();
    market::put_chart_history(out, header, bars, form);
    return session.stream().send_output();
}

}  // namespace

HandlerResult handle_chart_request(ClientSession& session) {
    using Status = market::ReceivedChartRequests::Status;
    const market::ReceivedChartRequests received = market::read_chart_requests(session.stream(), kMaxChartRequests);
    if (received.status == Status::TooMany) {
        session.context().log.write("'%d': %u chart requests at once, connection closed", session.account().login,
                                    received.count);
        return HandlerResult::Close;
    }
    if (received.status != Status::Read) return HandlerResult::Close;
    const ServerConfig& config = session.context().config;
    if (session.context().history) session.context().history->wait_ready();
    for (const market::ChartRequest& request : received.requests) {
        if (request.symbol[0] == '\0' || request.bar_count < 0 || !session.context().history) continue;
        const InstrumentConfig* instrument = config.find_instrument(request.symbol);
        if (!instrument || !BarHistory::is_chart_period(request.period)) continue;
        if (!answer(session, static_cast<int>(instrument - config.instruments.data()), request))
            return HandlerResult::Close;
    }
    return HandlerResult::Continue;
}

}  // namespace kb::server
