#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kb::market {

#pragma pack(push, 1)
// One stored tick of the recent-ticks buffer (memory only), prices after the spread
// difference.
struct TickHistoryEntry {
    char name[12];                   // 11 characters at most
    int32_t time;
    double bid;
    double ask;
    int32_t sequence;                // running count of ticks stored since start
};
#pragma pack(pop)
static_assert(sizeof(TickHistoryEntry) == 36);
static_assert(offsetof(TickHistoryEntry, time) == 12);
static_assert(offsetof(TickHistoryEntry, bid) == 16);
static_assert(offsetof(TickHistoryEntry, ask) == 24);
static_assert(offsetof(TickHistoryEntry, sequence) == 32);

// The most recent ticks of all symbols, for the trade checks. Room for kCapacity entries;
// once it holds more than kShedThreshold the kShedCount oldest go before the next one.
// Not thread-safe: the symbols base calls it under its lock.
class TickHistory {
public:
    static constexpr size_t kCapacity = 4096;
    static constexpr size_t kShedThreshold = 4090;
    static constexpr size_t kShedCount = 256;

    // Stores one tick; false when the buffer could not be allocated (the tick is lost).
    bool append(std::string_view name, int32_t time, double bid, double ask);

    // Up to two newest ticks of the symbol, newest first.
    std::vector<TickHistoryEntry> recent(std::string_view name) const;

    size_t size() const { return entries_.size(); }
    int32_t sequence() const { return sequence_; }
    // True when ticks were stored since the last call.
    bool take_added();

private:
    std::vector<TickHistoryEntry> entries_;
    int32_t sequence_ = 0;
    bool added_ = false;
};

}  // namespace kb::market
