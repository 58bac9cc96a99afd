#include "session/history_store.h"

#include <string>

#include "core/fixed_text.h"

namespace kb::session {

void HistoryStore::prepare_server(std::string_view server_name) { center_.set_server(std::string(server_name)); }

// The symbol list was replaced before the account data that primes the centre.
void HistoryStore::prime() {
    center_.refresh_symbols();
    center_.after_login();
}

void HistoryStore::apply_chart_history(const market::ChartHistoryHeader& header,
                                       std::span<const market::WireBar28> bars28,
                                       std::span<const market::WireBar22> bars22) {
    const std::string_view symbol = core::field_text(header.symbol);
    if (bars22.empty())
        center_.import(symbol, header.period, header.oldest_time, bars28);
    else
        center_.import(symbol, header.period, header.oldest_time, bars22);
}

}  // namespace kb::session
