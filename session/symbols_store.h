#pragma once
#include <span>
#include <string_view>

#include "market/symbols_base.h"
#include "session/session_services.h"

namespace kb::session {

// Feeds the symbols base from the session: the server switch and the digests of the
// login, the instrument list and group table, quotes, symbol updates and group settings,
// and the quote subscription (command 150) that the receive loop sends whenever the
// selection changed and at the start of every connection's loop.
// Thread-safe: the base takes its own lock; the store keeps no state. Does not own the
// base, which must outlive it.
class SymbolsStore final : public SymbolsSink {
public:
    explicit SymbolsStore(market::SymbolsBase& base) : base_(base) {}

    void prepare_server(std::string_view server_name) override;
    net::Md5Digest symbols_digest() override { return base_.symbols_digest(); }
    net::Md5Digest groups_digest() override { return base_.groups_digest(); }
    void replace_symbols(std::span<const market::SymbolRecord> symbols) override { base_.replace_symbols(symbols); }
    // A table of more than 32 groups is ignored, the stored one stays.
    void replace_groups(std::span<const market::SymbolGroupRecord> groups) override { base_.set_groups(groups); }
    // The quotes of selected symbols reach the history centre and the Market Watch entries.
    void apply_ticks(std::span<const market::TickRecord> ticks) override;
    // Always applied: entries the base can't use change nothing.
    bool apply_symbol_updates(std::span<const market::SymbolUpdateRecord> updates) override;
    void set_group(const market::GroupRecord& group) override { base_.set_group_settings(group); }
    // A loop that starts belongs to a new connection, which must be told the selection.
    void set_loop_running(bool running) override;
    std::optional<std::vector<uint16_t>> take_subscription() override { return base_.subscription_list(); }

private:
    market::SymbolsBase& base_;
};

}  // namespace kb::session
