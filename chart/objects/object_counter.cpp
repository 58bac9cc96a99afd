#include "chart/objects/object_counter.h"

#include <atomic>

namespace kb::chart {
namespace {

std::atomic<int32_t> g_counter{0};

}  // namespace

int32_t next_object_counter() {
    // Unsigned arithmetic: the wrap past the largest value is defined.
    const int32_t before = g_counter.fetch_add(1, std::memory_order_relaxed);
    return static_cast<int32_t>(static_cast<uint32_t>(before) + 1u);
}

void raise_object_counter(int32_t seen) {
    int32_t current = g_counter.load(std::memory_order_relaxed);
    while (current < seen && !g_counter.compare_exchange_weak(current, seen, std::memory_order_relaxed)) {
    }
}

}  // namespace kb::chart
