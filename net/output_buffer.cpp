#include "net/output_buffer.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kb::net {

OutputBuffer::OutputBuffer(size_t capacity) : data_(capacity) {}

void OutputBuffer::reset() { length_ = 0; }

bool OutputBuffer::reserve_for(size_t n, size_t step_units) {
    if (data_.size() - length_ >= n) return true;
    // No packet comes near this size; refusing larger growth before allocating keeps an
    // absurd length from reaching the allocator at all.
    if (step_units > kMaxCapacity / 4 || data_.size() + step_units * kGrowthStep + 64 > kMaxCapacity) return false;
    try {
        data_.resize(data_.size() + step_units * kGrowthStep + 64);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

void OutputBuffer::put_bytes(const void* bytes, size_t n) {
    if (n == 0 || !reserve_for(n, n)) return;
    std::memcpy(data_.data() + length_, bytes, n);
    length_ += n;
}

void OutputBuffer::put_byte(uint8_t value) { put_bytes(&value, sizeof(value)); }
void OutputBuffer::put_u16(uint16_t value) { put_bytes(&value, sizeof(value)); }
void OutputBuffer::put_u32(uint32_t value) { put_bytes(&value, sizeof(value)); }
void OutputBuffer::put_i32(int32_t value) { put_bytes(&value, sizeof(value)); }
void OutputBuffer::put_double(double value) { put_bytes(&value, sizeof(value)); }

void OutputBuffer::put_u16_at(size_t position, uint16_t value) {
    if (position > length_ || length_ - position < sizeof(value)) return;
    std::memcpy(data_.data() + position, &value, sizeof(value));
}

}  // namespace kb::net
