#include "net/compressed_block.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdarg>
#include <limits>
#include <new>

#include "core/journal.h"
#include "net/packet_reader.h"

namespace kb::net {
namespace {

// Room the decoder may touch beyond the compressed data.
constexpr size_t kPackedSlack = 16;
constexpr uint8_t kEndMarker[3] = {17, 0, 0};

bool lzo_ready() {
    // A function-local static is initialised once, even when two threads get here first.
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

__attribute__((format(printf, 2, 3))) void journal_error(PacketReader& stream, const char* format, ...) {
    core::Journal* journal = stream.journal();
    if (!journal) return;
    va_list args;
    va_start(args, format);
    journal->vwrite(core::Level::Error, format, args);
    va_end(args);
}

std::unique_ptr<uint8_t[]> allocate(PacketReader& stream, size_t n, int32_t journaled_size) {
    try {
        return std::make_unique_for_overwrite<uint8_t[]>(n);
    } catch (const std::bad_alloc&) {
        journal_error(stream, "ReadCompressed: not enough memory (%d bytes)", journaled_size);
        return nullptr;
    }
}

struct PackedBlock {
    int32_t plain_size = 0;
    int32_t compressed_size = 0;
    std::unique_ptr<uint8_t[]> data;
};

BlockStatus fail(PacketReader& stream) {
    stream.close();
    return BlockStatus::Failed;
}

// The compressed bytes of a block whose sizes are known, with their end marker checked.
BlockStatus read_packed_data(PacketReader& stream, PackedBlock& block) {
    const size_t compressed_size = static_cast<size_t>(block.compressed_size);
    block.data = allocate(stream, compressed_size + kPackedSlack, block.compressed_size);
    if (!block.data) return fail(stream);
    if (!stream.read(block.data.get(), compressed_size)) return fail(stream);

    if (compressed_size < std::size(kEndMarker) ||
        !std::equal(std::begin(kEndMarker), std::end(kEndMarker),
                    block.data.get() + compressed_size - std::size(kEndMarker))) {
        journal_error(stream, "Compressor: invalid decompress block [%d bytes]", block.compressed_size);
        return fail(stream);
    }
    return BlockStatus::Data;
}

// Reads the two sizes, then the compressed bytes. Empty for a plain size of 0, which is all the block consists of.
BlockStatus read_packed(PacketReader& stream, size_t limit, PackedBlock& block) {
    const uint64_t plain_limit = std::min<uint64_t>(limit, std::numeric_limits<int32_t>::max());
    if (!stream.read_i32(block.plain_size)) return fail(stream);
    if (block.plain_size == 0) return BlockStatus::Empty;
    if (block.plain_size < 0 || static_cast<uint64_t>(block.plain_size) > plain_limit) return fail(stream);

    if (!stream.read_i32(block.compressed_size)) return fail(stream);
    if (block.compressed_size < 1 || static_cast<uint64_t>(block.compressed_size) > 2 * plain_limit)
        return fail(stream);

    return read_packed_data(stream, block);
}

// Decodes into out (capacity plain size + spare); anything but exactly plain size bytes fails.
bool decode(PacketReader& stream, const PackedBlock& block, uint8_t* out) {
    const size_t plain_size = static_cast<size_t>(block.plain_size);
    lzo_uint produced = plain_size + kBlockSpareBytes;
    const int result = lzo_ready() ? lzo1x_decompress_safe(block.data.get(), static_cast<lzo_uint>(block.compressed_size),
                                                           out, &produced, nullptr)
                                   : LZO_E_ERROR;
    if (result == LZO_E_OK && produced == plain_size) return true;
    journal_error(stream, "ReadCompressed: decoding failed (%d -> %d bytes)", block.compressed_size,
                  block.plain_size);
    stream.close();
    return false;
}

// Decodes a block whose compressed bytes have been read into a fresh buffer.
CompressedBlock decode_new(PacketReader& stream, const PackedBlock& block) {
    CompressedBlock result;
    result.status = BlockStatus::Data;
    const size_t plain_size = static_cast<size_t>(block.plain_size);
    auto plain = allocate(stream, plain_size + kBlockSpareBytes, block.plain_size);
    if (!plain || !decode(stream, block, plain.get())) {
        stream.close();
        return CompressedBlock{};
    }
    result.bytes = std::move(plain);
    result.size = plain_size;
    return result;
}

}  // namespace

CompressedBlock read_compressed(PacketReader& stream, size_t limit) {
    PackedBlock block;
    CompressedBlock result;
    result.status = read_packed(stream, limit, block);
    if (result.status != BlockStatus::Data) return result;
    return decode_new(stream, block);
}

CompressedBlock read_compressed_data(PacketReader& stream, int32_t plain_size, int32_t compressed_size) {
    PackedBlock block{plain_size, compressed_size, nullptr};
    if (plain_size < 1 || compressed_size < 1 || read_packed_data(stream, block) != BlockStatus::Data) {
        stream.close();
        return CompressedBlock{};
    }
    return decode_new(stream, block);
}

BlockRead read_compressed_into(PacketReader& stream, std::span<uint8_t> buffer, size_t limit) {
    if (buffer.size() < kBlockSpareBytes || buffer.size() - kBlockSpareBytes < limit) {
        stream.close();
        return BlockRead{};
    }
    PackedBlock block;
    BlockRead result;
    result.status = read_packed(stream, limit, block);
    if (result.status != BlockStatus::Data) return result;
    if (!decode(stream, block, buffer.data())) return BlockRead{};
    result.size = static_cast<size_t>(block.plain_size);
    return result;
}

}  // namespace kb::net
