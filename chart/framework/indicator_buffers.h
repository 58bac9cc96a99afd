#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <span>

namespace kb::chart {

inline constexpr int kMaxIndicatorBuffers = 8;

// Whether values already computed are kept when a buffer grows.
enum class KeepValues { No, Yes };

// The output arrays of one indicator, one double per bar, index 0 = oldest bar. Each
// buffer has a used length (the bar count of the last calculation) and a capacity.
// Owned by its indicator; not thread-safe (the window's lock guards it).
class IndicatorBuffers {
public:
    // Allocates count doubles; null when memory is short. Replaceable so that a test can
    // show what a failed allocation does.
    using Allocate = std::unique_ptr<double[]> (*)(std::size_t count);
    static std::unique_ptr<double[]> allocate_doubles(std::size_t count);

    explicit IndicatorBuffers(int count = 0, Allocate allocate = allocate_doubles);

    int count() const { return count_; }

    // Makes each buffer hold bar_count values. A buffer that is missing or whose capacity is
    // below bar_count is replaced by one of (bar_capacity + 2) doubles when bar_capacity
    // exceeds bar_count, else of (bar_count + 256); the old used values are copied when
    // keep says so, the rest is zeroed, and the capacity becomes the new size - 2.
    // False, with every buffer freed, when an allocation fails.
    bool reserve(int bar_count, int bar_capacity, KeepValues keep);

    // Sets the used length of every buffer (at most its capacity).
    void set_used(int bar_count);

    // Frees every buffer (the indicator is hidden on this timeframe or calculated nothing).
    void release();

    // The used values of buffer i (empty for a missing buffer or i out of range).
    std::span<const double> values(int i) const;
    // Buffer i over its whole capacity, for the calculation (empty when missing).
    std::span<double> storage(int i);
    int capacity(int i) const;

private:
    struct Buffer {
        std::unique_ptr<double[]> data;
        int used = 0;
        int capacity = 0;
    };
    int count_;
    Allocate allocate_;
    std::array<Buffer, kMaxIndicatorBuffers> buffers_{};
};

}  // namespace kb::chart
