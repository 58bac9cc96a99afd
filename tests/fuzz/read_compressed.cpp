// Feeds fuzz bytes through a local socket into a stream and reads compressed blocks until
// the stream closes. Every outcome must be a block within the caller's limit, an empty
// block, or a failure that closed the stream.
//
// Input: byte 0 chooses the key, whether the bytes are scrambled so that the reader sees
// them as written, the limit and the form; the rest is either the stream itself or plain
// data that is compressed into a valid block and then damaged as bytes 1..3 say.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/block_writer.h"
#include "net/compressed_block.h"
#include "net/packet_stream.h"
#include "net/scramble.h"
#include "platform/clock.h"
#include "tests/support/fed_stream.h"

namespace {

using namespace kb;

constexpr size_t kLimits[] = {16, 1000, 32767, 65536, 262144};
// Stays within what the socket pair buffers at once.
constexpr size_t kMaxInput = 65536;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<uint8_t> valid_then_damaged(const uint8_t* data, size_t size) {
    if (size < 3) return {};
    net::OutputBuffer out(0);
    net::put_compressed_block(out, {data + 3, size - 3});
    std::vector<uint8_t> block(out.data(), out.data() + out.size());
    if (!block.empty()) block[(data[0] | data[1] << 8) % block.size()] ^= data[2];
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kMaxInput) return 0;
    const uint8_t flags = data[0];
    const bool keyed = flags & 1;
    const bool prescrambled = flags & 2;
    const bool into = flags & 4;
    const bool compress = flags & 8;
    const size_t limit = kLimits[(flags >> 4) % std::size(kLimits)];

    std::vector<uint8_t> bytes = compress ? valid_then_damaged(data + 1, size - 1)
                                          : std::vector<uint8_t>(data + 1, data + size);
    const net::ConnectionKey key = keyed ? net::connection_key("fuzz") : net::ConnectionKey{};
    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    testing::feed_stream(stream, std::move(bytes), key,
                         prescrambled ? testing::Prescramble::Yes : testing::Prescramble::No);

    std::vector<uint8_t> buffer(into ? limit + net::kBlockSpareBytes : 0);
    while (stream.is_open()) {
        if (into) {
            net::BlockRead read = net::read_compressed_into(stream, buffer, limit);
            check(read.ok() ? read.size <= limit : !stream.is_open());
            check(read.status != net::BlockStatus::Empty || read.size == 0);
        } else {
            net::CompressedBlock block = net::read_compressed(stream, limit);
            check(block.ok() ? block.size <= limit : !stream.is_open());
            if (block.status == net::BlockStatus::Data) {
                check(block.size > 0 && block.bytes != nullptr);
                // The spare bytes are the caller's to use.
                std::memset(block.bytes.get() + block.size, 0, net::kBlockSpareBytes);
            } else {
                check(block.bytes == nullptr && block.size == 0);
            }
        }
    }
    return 0;
}
