#include "session/symbols_store.h"

#include <string>
#include <vector>


namespace kb::session {

void SymbolsStore::prepare_server(std::string_view server_name) { base_.set_server(std::string(server_name)); }

void SymbolsStore::apply_ticks(std::span<const market::TickRecord> ticks) {
    // The base writes the adjusted prices back into the records it is given.
    std::vector<market::TickRecord> records(ticks.begin(), ticks.end());
    base_.add_quotes(records);
}

bool SymbolsStore::apply_symbol_updates(std::span<const market::SymbolUpdateRecord> updates) {
    base_.update_symbols(updates);
    return true;
}

void SymbolsStore::set_loop_running(bool running) {
    if (running) base_.request_subscription();
}

}  // namespace kb::session
