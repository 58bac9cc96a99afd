#pragma once
#include <cstdint>
#include <vector>

#include "net/output_buffer.h"

namespace kb::testing {

// Bytes written out by hand for the checks of encoders and decoders.
using Bytes = std::vector<uint8_t>;

// What an encoder appended to the buffer.
inline Bytes written(const net::OutputBuffer& out) { return Bytes(out.data(), out.data() + out.size()); }

// a followed by b.
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace kb::testing
