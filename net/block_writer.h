#pragma once
#include <cstdint>
#include <span>

namespace kb::net {

class OutputBuffer;

// The server's side of a compressed block: appends the plain size, the compressed size and
// the LZO1X-1 data (which ends with the 17, 0, 0 marker) to out. Empty plain data appends
// only the 4-byte zero. False, with nothing appended, when plain is too large for the
// block's 32-bit sizes or there is no memory for the compression. Safe on any thread that
// owns out.
bool put_compressed_block(OutputBuffer& out, std::span<const uint8_t> plain);

}  // namespace kb::net
