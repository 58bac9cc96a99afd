#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/protocol.h"

namespace kb::net {

// A request is assembled here before it is scrambled and sent in one piece. Grows to
// capacity + n * step + 64 when too small; a value that can't be stored (no memory) is
// silently dropped, and the server's reply to the short packet decides the outcome. Growth
// past 1 GiB is refused the same way, before anything is allocated.
// Values are written little-endian. Used by one thread at a time.
class OutputBuffer {
public:
    explicit OutputBuffer(size_t capacity = 8192);

    void reset();                                  // length 0, capacity kept
    void put_byte(uint8_t value);
    void put_u16(uint16_t value);
    void put_u32(uint32_t value);
    void put_i32(int32_t value);
    void put_double(double value);
    void put_bytes(const void* bytes, size_t n);
    void put_command(Command command) { put_byte(command_byte(command)); }
    // Overwrites two bytes already in the buffer; ignored when they aren't all there.
    void put_u16_at(size_t position, uint16_t value);

    uint8_t* data() { return data_.data(); }
    const uint8_t* data() const { return data_.data(); }
    size_t size() const { return length_; }
    size_t capacity() const { return data_.size(); }

private:
    bool reserve_for(size_t n, size_t step_units);
    std::vector<uint8_t> data_;
    size_t length_ = 0;
    static constexpr size_t kGrowthStep = 2;
    static constexpr size_t kMaxCapacity = size_t{1} << 30;
};

}  // namespace kb::net
