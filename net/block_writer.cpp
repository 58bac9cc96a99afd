#include "net/block_writer.h"

#include <lzo/lzo1x.h>

#include <limits>
#include <memory>
#include <new>

#include "net/output_buffer.h"

namespace kb::net {
namespace {

// LZO1X-1 never grows its input by more than this (the library's documented bound).
size_t worst_compressed_size(size_t plain_size) { return plain_size + plain_size / 16 + 64 + 3; }

bool lzo_ready() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

}  // namespace

bool put_compressed_block(OutputBuffer& out, std::span<const uint8_t> plain) {
    if (plain.empty()) {
        out.put_i32(0);
        return true;
    }
    // Half the field's range leaves room for the worst-case growth of the compressed size.
    constexpr size_t kLargestPlain = std::numeric_limits<int32_t>::max() / 2;
    if (plain.size() > kLargestPlain || !lzo_ready()) return false;

    std::unique_ptr<uint8_t[]> work, packed;
    try {
        work = std::make_unique_for_overwrite<uint8_t[]>(LZO1X_1_MEM_COMPRESS);
        packed = std::make_unique_for_overwrite<uint8_t[]>(worst_compressed_size(plain.size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    lzo_uint packed_size = 0;
    if (lzo1x_1_compress(plain.data(), plain.size(), packed.get(), &packed_size, work.get()) != LZO_E_OK)
        return false;

    out.put_i32(static_cast<int32_t>(plain.size()));
    out.put_i32(static_cast<int32_t>(packed_size));
    out.put_bytes(packed.get(), packed_size);
    return true;
}

}  // namespace kb::net
