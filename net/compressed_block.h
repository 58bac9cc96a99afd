#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kb::net {

class PacketReader;

// Spare bytes after the plain data of every decoded block: callers that want text put a
// NUL there, and a buffer handed to read_compressed_into() must have room for them.
inline constexpr size_t kBlockSpareBytes = 2048;

enum class BlockStatus { Empty, Data, Failed };

// A block read with read_compressed(). For Data, bytes holds size plain bytes followed by
// kBlockSpareBytes spare bytes and belongs to the holder; for Empty and Failed it is null.
struct CompressedBlock {
    BlockStatus status = BlockStatus::Failed;
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;

    bool ok() const { return status != BlockStatus::Failed; }
};

// The outcome of read_compressed_into(): size plain bytes were written to the buffer.
struct BlockRead {
    BlockStatus status = BlockStatus::Failed;
    size_t size = 0;

    bool ok() const { return status != BlockStatus::Failed; }
};

// Reads one compressed block from the connection: plain size (int32), compressed
// size (int32), that many bytes of LZO1X data ending with 17, 0, 0. A plain size of 0 is
// the empty block (only 4 bytes consumed). The plain size must not exceed limit and the
// compressed size must be 1 .. 2 * limit. Every failure (transfer, size check, missing
// end marker, decoding error or length mismatch, no memory) closes the stream before it
// returns; the marker, decoding and memory failures are journaled. Called by the thread
// that owns the stream.
CompressedBlock read_compressed(PacketReader& stream, size_t limit);

// The same, decoding into the caller's buffer, which must hold at least
// limit + kBlockSpareBytes bytes; a smaller buffer is refused before anything is read
// and, because the block stays unread, the stream is closed.
BlockRead read_compressed_into(PacketReader& stream, std::span<uint8_t> buffer, size_t limit);

// The rest of a block whose two sizes a record of another layout carried and the caller
// has checked (plain_size and compressed_size both at least 1): the compressed bytes, the
// end marker and the decoding, with the failures, closing and journal lines of
// read_compressed(). Gives Data or Failed.
CompressedBlock read_compressed_data(PacketReader& stream, int32_t plain_size, int32_t compressed_size);

}  // namespace kb::net
