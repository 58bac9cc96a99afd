#pragma once
#include <cstddef>
#include <cstring>
#include <span>

#include "market/bar_record.h"

namespace kb::chart::ind {

// One price field of every bar, read through a byte stride so that the packed bar records
// and plain arrays of doubles (another layout of the same bars) are read by the same code.
struct Column {
    const unsigned char* base = nullptr;
    std::ptrdiff_t stride = sizeof(double);

    double operator[](std::size_t i) const {
        double value;
        std::memcpy(&value, base + static_cast<std::ptrdiff_t>(i) * stride, sizeof value);
        return value;
    }
};

// The chart's bars, oldest first (index 0 = oldest), as five columns.
struct BarView {
    Column open, low, high, close, volume;
    std::size_t count = 0;

    static BarView of(std::span<const market::BarRecord> bars) {
        const auto* base = reinterpret_cast<const unsigned char*>(bars.data());
        constexpr std::ptrdiff_t stride = sizeof(market::BarRecord);
        return {{base + offsetof(market::BarRecord, open), stride},
                {base + offsetof(market::BarRecord, low), stride},
                {base + offsetof(market::BarRecord, high), stride},
                {base + offsetof(market::BarRecord, close), stride},
                {base + offsetof(market::BarRecord, volume), stride},
                bars.size()};
    }

    // Separate arrays of count doubles each.
    static BarView of_arrays(const double* open, const double* low, const double* high,
                             const double* close, const double* volume, std::size_t count) {
        auto column = [](const double* p) {
            return Column{reinterpret_cast<const unsigned char*>(p), sizeof(double)};
        };
        return {column(open), column(low), column(high), column(close), column(volume), count};
    }
};

}  // namespace kb::chart::ind
