#include "chart/framework/indicator_buffers.h"

#include <algorithm>
#include <new>

namespace kb::chart {

std::unique_ptr<double[]> IndicatorBuffers::allocate_doubles(std::size_t count) {
    return std::unique_ptr<double[]>(new (std::nothrow) double[count]);
}

IndicatorBuffers::IndicatorBuffers(int count, Allocate allocate)
    : count_(std::clamp(count, 0, kMaxIndicatorBuffers)), allocate_(allocate) {}

bool IndicatorBuffers::reserve(int bar_count, int bar_capacity, KeepValues keep) {
    if (bar_count < 0) bar_count = 0;
    for (int i = 0; i < count_; ++i) {
        Buffer& buffer = buffers_[i];
        if (buffer.data && buffer.capacity >= bar_count) continue;
        const std::size_t size = bar_capacity > bar_count ? static_cast<std::size_t>(bar_capacity) + 2
                                                          : static_cast<std::size_t>(bar_count) + 256;
        std::unique_ptr<double[]> grown = allocate_(size);
        if (!grown) {
            release();
            return false;
        }
        std::size_t kept = 0;
        if (keep == KeepValues::Yes && buffer.data) {
            kept = static_cast<std::size_t>(std::min(buffer.used, buffer.capacity));
            std::copy(buffer.data.get(), buffer.data.get() + kept, grown.get());
        }
        std::fill(grown.get() + kept, grown.get() + size, 0.0);
        buffer.data = std::move(grown);
        buffer.capacity = static_cast<int>(size - 2);
        buffer.used = std::min(buffer.used, static_cast<int>(kept));
    }
    return true;
}

void IndicatorBuffers::set_used(int bar_count) {
    for (int i = 0; i < count_; ++i) buffers_[i].used = std::clamp(bar_count, 0, buffers_[i].capacity);
}

void IndicatorBuffers::release() {
    for (Buffer& buffer : buffers_) buffer = Buffer{};
}

std::span<const double> IndicatorBuffers::values(int i) const {
    if (i < 0 || i >= count_ || !buffers_[i].data) return {};
    return {buffers_[i].data.get(), static_cast<std::size_t>(buffers_[i].used)};
}

std::span<double> IndicatorBuffers::storage(int i) {
    if (i < 0 || i >= count_ || !buffers_[i].data) return {};
    return {buffers_[i].data.get(), static_cast<std::size_t>(buffers_[i].capacity)};
}

int IndicatorBuffers::capacity(int i) const {
    return i >= 0 && i < count_ && buffers_[i].data ? buffers_[i].capacity : 0;
}

}  // namespace kb::chart
