#include "market/tick_history.h"

#include <new>

#include "core/fixed_text.h"

namespace kb::market {

bool TickHistory::append(std::string_view name, int32_t time, double bid, double ask) {
    if (entries_.capacity() < kCapacity) {
        try {
            entries_.reserve(kCapacity);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (entries_.size() > kShedThreshold) entries_.erase(entries_.begin(), entries_.begin() + kShedCount);
    TickHistoryEntry entry{};
    core::set_field_text(entry.name, name);
    entry.time = time;
    entry.bid = bid;
    entry.ask = ask;
    entry.sequence = ++sequence_;
    entries_.push_back(entry);
    added_ = true;
    return true;
}

std::vector<TickHistoryEntry> TickHistory::recent(std::string_view name) const {
    std::vector<TickHistoryEntry> out;
    for (auto it = entries_.rbegin(); it != entries_.rend() && out.size() < 2; ++it)
        if (core::field_text(it->name) == name) out.push_back(*it);
    return out;
}

bool TickHistory::take_added() {
    bool added = added_;
    added_ = false;
    return added;
}

}  // namespace kb::market
