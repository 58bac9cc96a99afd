#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/packet_reader.h"

namespace kb::testing {

// A connection's plain bytes for a decoder, without a socket: reads hand out the bytes in
// order and fail (closing the reader) past their end.
class ByteReader final : public net::PacketReader {
public:
    explicit ByteReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool read(void* out, size_t n) override {
        if (closed_ || bytes_.size() - at_ < n) {
            closed_ = true;
            return false;
        }
        if (n > 0) std::memcpy(out, bytes_.data() + at_, n);
        at_ += n;
        return true;
    }
    void close() override { closed_ = true; }
    core::Journal* journal() const override { return nullptr; }

    bool closed() const { return closed_; }
    size_t remaining() const { return bytes_.size() - at_; }

private:
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
    bool closed_ = false;
};

}  // namespace kb::testing
