#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/fixed_text.h"
#include "market/history_base.h"
#include "market/history_center.h"

namespace kb::market {

// One open history and what the centre keeps beside it. Touched only under the centre's
// lock (the base also takes its own).
struct HistoryCenter::Entry {
    Entry(std::unique_ptr<HistoryBase> history, const SymbolRecord& record, Offline kind)
        : base(std::move(history)),
          symbol(core::field_text(record.name)),
          period(base->period()),
          symbol_index(kind == Offline::Yes ? kNoTicks : record.symbol_index),
          offline(kind == Offline::Yes) {}

    // Another chart uses the history: it is in use again.
    void take_reference(size_t& expiring) {
        ++references;
        if (expiry) {
            expiry.reset();
            --expiring;
        }
    }
    void take_symbol(const SymbolRecord& record) {
        base->set_symbol(record);
        if (!offline) symbol_index = record.symbol_index;
    }
    void reload() {
        base->load();
        oldest_covered_time = base->first_bar_time();
    }

    // Quotes carry 16-bit indexes: an offline history never matches one.
    static constexpr int32_t kNoTicks = -1;

    std::unique_ptr<HistoryBase> base;
    const std::string symbol;
    const int period;
    int32_t symbol_index;
    const bool offline;
    int references = 0;
    std::optional<uint32_t> expiry;          // tick count at which it is freed; none while in use
    bool sync_requested = false;
    bool request_pending = false;
    int32_t oldest_covered_time = 0;         // the oldest time the server's data is known to cover
};

}  // namespace kb::market
