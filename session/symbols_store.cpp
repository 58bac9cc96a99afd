#include "session/symbols_store.h"

#include <string>
#include <vector>

#include "net/protocol.h"

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

bool SymbolsStore::take_subscription(net::OutputBuffer& out) {
    std::optional<std::vector<uint16_t>> indexes = base_.subscription_list();
    if (!indexes) return false;
    out.put_command(net::Command::Subscription);
    out.put_u16(static_cast<uint16_t>(indexes->size()));
    for (uint16_t index : *indexes) out.put_u16(index);
    return true;
}

}  // namespace kb::session
