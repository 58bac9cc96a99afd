#pragma once
#include <span>
#include <string_view>

#include "market/history_center.h"
#include "session/session_services.h"

namespace kb::session {

// The session's chart history sink over the history centre: a login's server switches
// the centre's folder, the primed login refreshes the histories' symbols and asks for
// their newest bars, chart pushes are imported and queued requests forwarded.
// Thread-safe as the centre is; the centre must outlive this object.
class HistoryStore final : public HistorySink {
public:
    explicit HistoryStore(market::HistoryCenter& center) : center_(center) {}

    void prepare_server(std::string_view server_name) override;
    void prime() override;
    void apply_chart_history(const market::ChartHistoryHeader& header, std::span<const market::WireBar28> bars28,
                             std::span<const market::WireBar22> bars22) override;
    std::vector<market::ChartRequest> take_requests() override { return center_.take_requests(); }

private:
    market::HistoryCenter& center_;
};

}  // namespace kb::session
