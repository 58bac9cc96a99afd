#pragma once
#include <atomic>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/session_services.h"

namespace kb::integration {

// A symbols store that subscribes to every instrument of the list received at login, as a
// Market Watch showing all of them would, and counts what arrives. Thread-safe.
class SubscribingSymbols final : public session::SymbolsSink {
public:
    void prepare_server(std::string_view) override {}
    net::Md5Digest symbols_digest() override { return {}; }
    net::Md5Digest groups_digest() override { return {}; }
    void replace_symbols(std::span<const market::SymbolRecord> symbols) override {
        std::lock_guard guard(lock_);
        indexes_.clear();
        for (const market::SymbolRecord& symbol : symbols) indexes_.push_back(static_cast<uint16_t>(symbol.symbol_index));
        subscription_due_ = true;
        symbols_received = symbols.size();
    }
    void replace_groups(std::span<const market::SymbolGroupRecord>) override { ++group_tables; }
    void apply_ticks(std::span<const market::TickRecord> ticks) override { ticks_received += ticks.size(); }
    bool apply_symbol_updates(std::span<const market::SymbolUpdateRecord>) override { return true; }
    void set_group(const market::GroupRecord&) override {}
    void set_loop_running(bool) override {}
    std::optional<std::vector<uint16_t>> take_subscription() override {
        std::lock_guard guard(lock_);
        if (!subscription_due_) return std::nullopt;
        subscription_due_ = false;
        return indexes_;
    }

    std::atomic<size_t> symbols_received{0}, group_tables{0}, ticks_received{0};

private:
    std::mutex lock_;
    std::vector<uint16_t> indexes_;
    bool subscription_due_ = false;
};

}  // namespace kb::integration
